#include "link/Commands.h"
#include "platform/Units.h"

#include <cmath>
#include <limits>

namespace quelt {

EncoderScale encoderScale(const Settings& s) {
    EncoderScale e;
    double w = s.PulleysDiameter;  // held in millimetres; the file's tenths divided by 10
    if (!(w > 0)) return e;
    double raw = std::trunc(s.PulsResolution / w * 40.0 * 256.0);
    if (!(raw >= std::numeric_limits<std::int32_t>::min() && raw <= std::numeric_limits<std::int32_t>::max()))
        return e;
    e.scale = static_cast<std::int32_t>(raw);
    e.countsPerCm = e.scale / 256.0;
    std::int32_t value = e.countsPerCm > 250 ? e.scale / 2 : e.scale;
    e.field = static_cast<std::uint16_t>(value);
    return e;
}

std::int32_t presetCount(const Settings& s, const SondeInfo& sonde, double depth, double* startDepth) {
    double d = units::fromDisplay(depth, s.SetDepthUnit);
    d += sonde.heightOffsetCm() / 100.0;
    if (startDepth) *startDepth = d;
    double count = std::trunc(encoderScale(s).countsPerCm * 100.0 * d);
    if (!(count >= std::numeric_limits<std::int32_t>::min() &&
          count <= std::numeric_limits<std::int32_t>::max()))
        return 0;
    return static_cast<std::int32_t>(count);
}

namespace {
std::uint8_t low(int v) {
    return static_cast<std::uint8_t>(v);
}
std::uint16_t low16(double v) {
    double t = std::trunc(v);
    if (!std::isfinite(t)) return 0;
    return static_cast<std::uint16_t>(static_cast<long long>(std::fmod(t, 65536.0)));
}
}  // namespace

CommandFrame makeF0(const Settings& s) {
    return buildF0(winchModeByte(s.CableType, s.PulleyDir));
}

CommandFrame makeF1(const Settings& s) {
    return buildF1(winchModeByte(s.CableType, s.PulleyDir), kLoggerConstant, encoderScale(s).field,
                   low(s.Power));
}

CommandFrame makeF2(const Settings& s, const SondeInfo& sonde, double depth, double* startDepth) {
    return buildF2(presetCount(s, sonde, depth, startDepth));
}

CommandFrame makeF3(const Settings& s, const SondeInfo& sonde) {
    return buildF3(sonde.highSpeed() ? kHighSpeedUpGain : low(s.UpGain), low(s.DownEnergie));
}

CommandFrame makeF4(const Settings& s) {
    return buildF4(low(s.PicResolution), low(s.MotorPeriod), low(s.UpBaudDivisor), low(s.UpholePulseWidth),
                   kSampleFormat3Byte);
}

CommandFrame makeF5(const Settings& s) {
    return buildF5(low16(s.UpBlanking), low16(s.UpWindow),
                   s.AcousticalAGC != 0 ? kAutomaticGain : low(s.AcousticalGain));
}

bool loggerReadBackMatches(const std::uint8_t* f, const std::uint8_t* c) {
    return readLe16(f + logger::kConstant) == readLe16(c + f1::kConstant) &&
           readLe16(f + logger::kEncoderScale) == readLe16(c + f1::kEncoderScale) &&
           f[logger::kPower] == c[f1::kPower];
}

void LastLoggerCommand::record(const CommandFrame& frame) {
    if (frame.code() != kCmdLogger) return;
    std::lock_guard<std::mutex> lock(mutex_);
    frame_ = frame;
}

std::optional<CommandFrame> LastLoggerCommand::get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frame_;
}

std::optional<CommandFrame> LastLoggerCommand::resendFor(const std::uint8_t* logger20) const {
    std::optional<CommandFrame> f = get();
    if (!f || loggerReadBackMatches(logger20, *f)) return std::nullopt;
    return f;
}

}  // namespace quelt
