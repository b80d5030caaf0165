#include "stream/DepthSetting.h"

#include <algorithm>
#include <cmath>

#include "link/Commands.h"
#include "platform/Text.h"
#include "platform/Units.h"

namespace quelt {

void RecordingMode::apply(StreamShared& shared, std::optional<bool> downhole, double currentDepthMetres) {
    if (downhole) shared.recordDirection = *downhole ? 1 : 0;
    shared.lastAcceptedDepth = currentDepthMetres;
}

double DepthReset::confirm(double entry) {
    FixedSondeInfo sonde(heightOffsetCm_);
    presetCount(settings_, sonde, entry, &preset_);
    if (sendF2_) sendF2_(entry);
    return preset_;
}

ReplayStartRange::ReplayStartRange(std::optional<std::int32_t> firstLineDepth, const LogHeader& header,
                                   int displayUnit)
    : logUnit_(header.depthUnit == 1 ? 1 : 0), displayUnit_(displayUnit == 1 ? 1 : 0) {
    // Whole hundredths, then one hundredth inward at each end.
    std::int64_t a = firstLineDepth ? *firstLineDepth : header.startDepth;
    std::int64_t b = header.endDepth;
    a = a / 10 * 10;
    b = b / 10 * 10;
    if (a < b) {
        a += 10;
        b -= 10;
    } else {
        a -= 10;
        b += 10;
    }
    auto clamp32 = [](std::int64_t v) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN + 10, INT32_MAX - 10));
    };
    a_ = clamp32(a);
    b_ = clamp32(b);
}

double ReplayStartRange::shown(std::int32_t logValue) const {
    double v = logValue / 1000.0;
    if (logUnit_ == displayUnit_) return v;
    return units::convert(v, logUnit_, displayUnit_);
}

std::string ReplayStartRange::label() const {
    const char* unit = displayUnit_ == 1 ? "ft" : "m";
    return format("Depth : %#.2f %s to %#.2f %s", shown(a_), unit, shown(b_), unit);
}

ReplayStartRange::Check ReplayStartRange::check(double entry) const {
    Check c;
    double v = std::round(entry * 1000.0);
    if (logUnit_ != displayUnit_) {
        v = units::convert(v, displayUnit_, logUnit_);
        v = std::round(v / 10.0) * 10.0;
    }
    const std::int32_t lo = std::min(a_, b_), hi = std::max(a_, b_);
    // The bound is shown in the display unit, as the range label shows it.
    const char* suffix = displayUnit_ == 1 ? " ft" : (logUnit_ == 0 ? "m" : " m");
    if (!(v >= lo)) {
        c.message = format("Set at min : %#.2f%s", shown(lo), suffix);
    } else if (v > hi) {
        c.message = format("Set at max : %#.2f%s", shown(hi), suffix);
    } else {
        c.accepted = true;
        c.depth = static_cast<std::int32_t>(v);
    }
    return c;
}

}  // namespace quelt
