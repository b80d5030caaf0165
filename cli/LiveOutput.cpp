#include "cli/LiveOutput.h"

#include <cmath>

#include "cli/Json.h"
#include "platform/Text.h"

namespace quelt::cli {

std::string liveNumber(double value) {
    if (value == kNoValue || !std::isfinite(value)) return "null";
    return jsonNumber(std::round(value * 1000.0) / 1000.0);
}

std::string liveLineJson(const LiveLine& l) {
    const LiveValues& v = l.values;
    JsonObject o;
    o.add("t", jsonNumber(std::round(l.t * 10.0) / 10.0));
    o.add("depth", liveNumber(v.depth)).add("speed", liveNumber(v.speed));
    o.add("tilt", liveNumber(v.tilt))
        .add("azimuth", liveNumber(v.azimuth))
        .add("highSide", liveNumber(v.highSide));
    o.add("rotation", v.rotation == kNoValue ? "null" : std::to_string(static_cast<long long>(v.rotation)));
    o.addInt("gammaRate", l.gammaRate).addInt("voltage", v.voltage).addInt("current", v.current);
    o.addString("status", l.status).addInt("valid", l.valid).addInt("error", l.error);
    o.addInt("linkStatus", l.linkStatus);
    if (!l.device.empty()) o.addString("device", l.device);
    return o.str();
}

std::string liveLineText(const LiveLine& l) {
    const LiveValues& v = l.values;
    auto num = [](double x, const char* fmt) { return x == kNoValue ? std::string("-") : format(fmt, x); };
    std::string text = format(
        "t=%6.1fs depth=%s m speed=%s m/min tilt=%s azimuth=%s highside=%s rotation=%s gamma=%d "
        "V=%d mA=%d valid=%lld error=%lld link=%d %s",
        l.t, num(v.depth, "%.3f").c_str(), num(v.speed, "%.1f").c_str(), num(v.tilt, "%.1f").c_str(),
        num(v.azimuth, "%.1f").c_str(), num(v.highSide, "%.1f").c_str(), num(v.rotation, "%.0f").c_str(),
        l.gammaRate, v.voltage, v.current, l.valid, l.error, l.linkStatus, l.status.c_str());
    if (!l.device.empty()) text += " [device " + l.device + "]";
    return text;
}

}  // namespace quelt::cli
