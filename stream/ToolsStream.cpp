#include "stream/ToolsStream.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>

#include "config/Diagnostics.h"
#include "link/Frames.h"
#include "link/SpeedTables.h"
#include "platform/Text.h"
#include "platform/Units.h"

namespace quelt {

std::int64_t systemFileTimeNow() {
    // 100 ns ticks since 1601-01-01; the Unix epoch is 11644473600 s later.
    using namespace std::chrono;
    auto sinceUnix = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100;
    return sinceUnix + 116444736000000000LL;
}

double DepthCalibration::countsPerCm() const {
    if (!(pulleyCircumferenceMm > 0.0) || pulsResolution == 0) return 0.0;
    return pulsResolution / pulleyCircumferenceMm * 40.0;
}

DepthCalibration DepthCalibration::from(const Settings& settings) {
    // PulleysDiameter is held in millimetres (the file keeps tenths): it is W itself.
    return DepthCalibration{settings.PulleysDiameter, settings.PulsResolution};
}

bool depthFromCount(const DepthCalibration& cal, std::int32_t encoderCount, double& depth) {
    double cpc = cal.countsPerCm();
    if (cpc == 0.0) return false;
    depth = encoderCount / (cpc * 100.0);
    return true;
}

bool speedFromCount(const DepthCalibration& cal, std::int16_t speedCount, double& speed) {
    if (cal.pulsResolution == 0 || !(cal.pulleyCircumferenceMm > 0.0)) return false;
    speed = speedCount * 2.0 * cal.pulleyCircumferenceMm / cal.pulsResolution / 100.0;
    return true;
}

double orientationAngle(double s, double c, int mode) {
    // Rounding can carry a ratio a hair past 1; keep acos and asin defined.
    s = std::clamp(s, -1.0, 1.0);
    c = std::clamp(c, -1.0, 1.0);
    double ac = std::acos(c);
    double angle = ac * 180.0 / 3.1415926535;
    bool positive = std::asin(s) * ac > 0;
    switch (mode) {
        case 1:
            return (positive || ac == 0) ? angle : 360.0 - angle;
        case 2:
            return (positive || ac == 0) ? angle + 180.0 : 180.0 - angle;
        case 3:
            return 180.0 - angle;
        default:
            return 0.0;
    }
}

namespace {
// 100 x 10^(i / 20) rounded, i = 0..48 dB.
const std::array<int, 49>& attenuationTable() {
    static const std::array<int, 49> table = [] {
        std::array<int, 49> t{};
        for (int i = 0; i <= 48; ++i)
            t[i] = static_cast<int>(std::lround(100.0 * std::pow(10.0, i / 20.0)));
        return t;
    }();
    return table;
}

void setSensorTextsBlank(LiveValues& v) {
    v.gainText = v.resolutionText = v.stepValueText = v.baudText = v.pulseText = "-";
    v.probeTempText = v.toolTempText = "-";
}

std::string elapsedTextOf(double seconds) {
    double hours = std::trunc(seconds / 3600.0);
    double minutes = std::trunc((seconds - hours * 3600.0) / 60.0);
    double secs = seconds - hours * 3600.0 - minutes * 60.0;
    auto lastTwo = [](std::string s) { return s.size() > 2 ? s.substr(s.size() - 2) : s; };
    return format("%02.0f", hours) + ":" + lastTwo(format("%02.0f", minutes)) + ":" +
           lastTwo(format("%02.0f", secs));
}

// The step's display format is "%#####.2f"; repeated flags add nothing, so it is written "%#.2f".
std::string stepTextOf(double step) {
    return format("%#.2f", step);
}

void traceCommStatus(const char* prefix, std::uint8_t sequence, std::uint8_t status) {
    if (!Diagnostics::enabled()) return;
    std::string line = format("%s%2X Comm status %2X ->", prefix, sequence, status);
    line += commStatusText(status);
    line += "\n";
    TraceDebug("%s", line.c_str());
}
}  // namespace

std::uint8_t scaleAmplitude16(std::uint16_t amplitude, int levelContrast) {
    unsigned k = static_cast<std::uint16_t>(levelContrast);
    if (k > 48) k = 48;
    int f = attenuationTable()[48 - k];
    double scaled = std::min(255.0, amplitude * 100.0 / f);
    return static_cast<std::uint8_t>(scaled);
}

std::uint8_t scaleTravelTime(std::uint16_t t, double displayBlanking, double displayWindow) {
    if (!(displayWindow > 0.0)) return 0;  // no window to scale into
    double x = t - displayBlanking;
    if (x < 0) x = 0;
    if (x > displayWindow) x = displayWindow;
    return static_cast<std::uint8_t>(std::trunc(x * 255.0 / displayWindow));
}

void OrientationFilter::push(std::array<double, 6>& axes, int window) {
    window = std::clamp(window, 1, kCapacity);
    if (count_ == 0) {
        for (int a = 0; a < 6; ++a)
            ring_[a].fill(axes[a]);
        next_ = 1 % kCapacity;
    } else {
        for (int a = 0; a < 6; ++a)
            ring_[a][next_] = axes[a];
        next_ = (next_ + 1) % kCapacity;
    }
    ++count_;
    for (int a = 0; a < 6; ++a) {
        double sum = 0;
        for (int k = 1; k <= window; ++k)
            sum += ring_[a][(next_ - k + kCapacity) % kCapacity];
        axes[a] = sum / window;
    }
}

CToolsStream::CToolsStream(const Settings& settings, LiveState& live, ReplyEcho& echo, ImageLine& line,
                           StreamShared& shared, LinkCounters& counters, const std::atomic<int>& linkStatus,
                           StreamEvents& events)
    : settings_(settings),
      live_(live),
      echo_(echo),
      line_(line),
      shared_(shared),
      counters_(counters),
      linkStatus_(linkStatus),
      events_(events) {}

int CToolsStream::averagingWindow() const {
    double revolution = settings_.MotorPeriod * 2.304;
    if (settings_.SetFilter == 0 || revolution == 0) return 1;
    double g = std::ceil(settings_.SetFilter / revolution);
    return static_cast<int>(std::clamp(g, 1.0, 125.0));
}

void CToolsStream::resetOrientationFilter() {
    live_.update([&](LiveValues& v) {
        filter_.clear();
        v.hx = v.hy = v.hz = v.gx = v.gy = v.gz = kNoValue;
        v.highSide = v.magToolface = v.tilt = v.azimuth = kNoValue;
    });
}

bool CToolsStream::updateOrientation(double hx, double hy, double hz, double gx, double gy, double gz,
                                     bool average) {
    bool nothing = true;
    live_.update([&](LiveValues& v) { nothing = orientationInto(v, hx, hy, hz, gx, gy, gz, average); });
    if (!nothing) events_.refreshToolsBox();
    return nothing;
}

bool CToolsStream::orientationInto(LiveValues& v, double hx, double hy, double hz, double gx, double gy,
                                   double gz, bool average) {
    if (gx <= -32767) {
        v.hx = v.hy = v.hz = v.gx = v.gy = v.gz = kNoValue;
        v.highSide = v.magToolface = v.tilt = v.azimuth = kNoValue;
        v.gravityTotal = v.magneticTotal = kNoValue;
        return true;
    }
    v.hx = hx, v.hy = hy, v.hz = hz, v.gx = gx, v.gy = gy, v.gz = gz;
    std::array<double, 6> axes = {hx, hy, hz, gx, gy, gz};
    if (average) filter_.push(axes, averagingWindow());
    const double Hx = axes[0], Hy = axes[1], Hz = axes[2], Gx = axes[3], Gy = axes[4], Gz = axes[5];

    double r = std::sqrt(Gy * Gy + Gz * Gz);
    if (r == 0) return true;
    double gLen = std::sqrt(Gx * Gx + Gy * Gy + Gz * Gz);
    double hLen = std::sqrt(Hx * Hx + Hy * Hy + Hz * Hz);
    if (gLen == 0 || hLen == 0) {
        v.fieldAngle = -999;
    } else {
        double dot = (Gx * Hx + Gy * Hy + Gz * Hz) / (gLen * hLen);
        v.fieldAngle = std::acos(std::clamp(dot, -1.0, 1.0)) * 180.0 / 3.1415926535;
    }
    v.highSide = orientationAngle(Gy / r, Gz / r, 1);
    double rh = std::sqrt(Hy * Hy + Hz * Hz);
    if (rh == 0) return true;
    v.magToolface = orientationAngle(-Hy / rh, -Hz / rh, 1);
    if (gLen == 0) return true;
    v.tilt = orientationAngle(r / gLen, Gx / gLen, 3);
    if (r * gLen == 0) return true;
    double m = (Hx * (Gy * Gy + Gz * Gz) - Hy * Gy * Gx - Gz * Gx * Hz) / (r * gLen);
    double l = (Hy * Gz - Gy * Hz) / r;
    double len = std::sqrt(l * l + m * m);
    if (len == 0) return true;
    double azimuth = orientationAngle(-l / len, m / len, 2) + settings_.MagneticOffset;
    if (azimuth > 360) {
        azimuth -= 360;
    } else if (azimuth < 0) {
        azimuth += 360;
    }
    v.azimuth = std::isnan(azimuth) ? kNoValue : azimuth;
    v.gravityTotal = gLen / 10000.0;
    v.magneticTotal = hLen / 10000.0;

    double p = 0;
    if (settings_.PicOriented == 1) {
        p = v.highSide - azimuth;
        if (p < 0) {
            p += 360;
        } else if (p > 360) {
            p -= 360;
        }
    } else if (settings_.PicOriented == 2) {
        p = v.highSide;
    }
    double rotation = roundHalfAway(360.0 - p + shared_.rotationOffset.load());
    if (rotation >= 360) {
        rotation -= 360;
    } else if (rotation < 0) {
        rotation += 360;
    }
    v.rotation = shared_.modes.replayLoaded.load() ? 0.0 : rotation;
    v.tiltText = format("%5.1f", v.tilt);
    v.azimuthText = format("%5.1f", azimuth);
    return false;
}

void CToolsStream::OnScreenAssigment(int channel, int value, bool fromFile) {
    live_.update([&](LiveValues& v) { assignChannel(v, channel, value, fromFile); });
}

void CToolsStream::assignChannel(LiveValues& v, int channel, int value, bool fromFile) {
    try {
        int id = channel;
        if (fromFile) id = shared_.channelIdOfIndex ? shared_.channelIdOfIndex(channel) : -1;
        std::string text = format("%d", value);
        switch (id) {
            case channel::DPTH: {
                double d = value / 1000.0;
                if (fromFile && shared_.logInFeet.load()) d *= units::kMetresPerFoot;
                v.fileDepth = d;
                if (linkStatus_.load() < kLinkLogger) {
                    v.depth = v.imageDepth = d;
                    v.speed = 0;
                }
                break;
            }
            case channel::TIME:
                v.elapsed = value / 1000.0;
                v.elapsedText = elapsedTextOf(v.elapsed);
                break;
            case channel::SHAN:
                v.shan = value;
                break;
            case channel::BLNK:
                v.blanking = value;
                break;
            case channel::PEAK:
                v.window = value;
                break;
            case channel::GAIN:
                v.gainText = text;
                v.gain = value;
                break;
            case channel::RESO:
                v.resolutionText = quelt::resolutionText(value);
                v.resolutionCode = value;
                break;
            case channel::STEP:
                v.stepValueText = text;
                v.step = value;
                break;
            case channel::BAUD:
                v.baudText = quelt::baudText(value);
                v.baudCode = value;
                break;
            case channel::PULS:
                v.pulseText = text;
                v.pulseWidth = value;
                break;
            case channel::HX:
                v.hx = value;
                break;
            case channel::GX:
                v.gx = value;
                break;
            case channel::HY:
                v.hy = value;
                break;
            case channel::GY:
                v.gy = value;
                break;
            case channel::HZ:
                v.hz = value;
                break;
            case channel::GZ:
                v.gz = value;
                break;
            case channel::NGAM:
                v.gamma = value;
                break;
            case channel::GCLK:
                v.gclk = value;
                break;
            case channel::TTEM:
                v.toolTempText = text;
                break;
            case channel::PTEM:
                v.probeTempText = text;
                break;
            default:
                break;
        }
    } catch (const std::exception&) {
        ReportException("CToolsStream::OnScreenAssigment", "ToolsStream", __LINE__);
    }
}

void CToolsStream::raiseAlarms(std::uint8_t flags) {
    if (flags & kAlarmEncoder) events_.showAlarm(kAlarmTypeEncoder, "Invalid Depth !!!", "Encoder Error");
    if (flags & kAlarmPower)
        events_.showAlarm(kAlarmTypeBattery, "Low Battery.", "Low battery / Power Failure !!!");
}

void CToolsStream::replaceLine(int resolutionCode) {
    events_.addImageLine(line_.lineDirection, resolutionCode);
    if (counters_.fullDecoded.load() > 0) ++counters_.fullReplaced;
}

namespace {
// A status frame and a full data frame open with the same fields: the sonde's read-backs, the encoder,
// the speed, the voltage and the current.
static_assert(status::kAlarms == image::kAlarms && status::kUpGain == image::kUpGain &&
              status::kDownDrive == image::kDownDrive && status::kReadBack == image::kReadBack &&
              status::kEncoder == image::kEncoder && status::kSpeed == image::kSpeed &&
              status::kVoltage == image::kVoltage && status::kCurrent == image::kCurrent);
// A logger frame copies its first bytes into the echo: its read-back of command 0x01 keeps its offsets.
static_assert(ReplyEcho::kConstant == logger::kConstant &&
              ReplyEcho::kEncoderScale == logger::kEncoderScale && ReplyEcho::kPower == logger::kPower);

// The echo of the fields a status frame and a full data frame share; the acquisition slots are cleared.
void echoSondeHeader(ReplyEcho::Slots& e, const std::uint8_t* f, std::uint8_t commStatus) {
    e[ReplyEcho::kFlags] = f[status::kAlarms];
    e[ReplyEcho::kUpGain] = f[status::kUpGain];
    e[ReplyEcho::kDownDrive] = f[status::kDownDrive];
    e[ReplyEcho::kReadBack] = f[status::kReadBack];
    e[ReplyEcho::kReadBack + 1] = f[status::kReadBack + 1];
    e[ReplyEcho::kBaud] = ReplyEcho::kNoBaud;
    e[ReplyEcho::kCommStatus] = commStatus;
    std::fill(e.begin() + ReplyEcho::kWindow, e.begin() + ReplyEcho::kFrameKindMarker, 0);
    e[ReplyEcho::kFrameKindMarker] = 1;
    e[ReplyEcho::kNewReplyMarker] = 1;
}

// Depth, speed, voltage and current of a status or full data frame.
void takeSondeHeader(LiveValues& v, const std::uint8_t* f, const DepthCalibration& cal) {
    v.frameFlags = f[status::kAlarms];
    double d;
    if (depthFromCount(cal, readLeI32(f + status::kEncoder), d)) v.depth = v.imageDepth = d;
    speedFromCount(cal, readLeI16(f + status::kSpeed), v.speed);
    v.voltage = f[status::kVoltage];
    v.voltageText = format("%d", v.voltage);
    v.current = f[status::kCurrent];
    v.currentText = format("%d", v.current);
}

void noteCommStatus(LiveValues& v, std::uint8_t status) {
    v.commStatus = status;
    v.commStatusSeen |= status;
}
}  // namespace

bool CToolsStream::decodeStatusFrame(const std::uint8_t* frame, std::size_t length, std::uint8_t sequence) {
    if (frame == nullptr || length < kStatusFrameLength) return false;
    std::array<std::uint8_t, kStatusFrameLength> f{};
    std::copy(frame, frame + kStatusFrameLength, f.begin());
    if (!frameSumValid(f.data(), kStatusFrameLength)) {
        TraceDebug("ToolStream::16 bytes receiving USBFrame:%2X Checksum error !!!\n", sequence);
        return false;
    }
    const std::uint8_t comm = f[status::kCommStatus];
    echo_.update([&](ReplyEcho::Slots& e) { echoSondeHeader(e, f.data(), comm); });
    if (!(comm & kCommHealthy)) traceCommStatus("ToolStream::16 bytes receiving USBFrame:", sequence, comm);

    const DepthCalibration cal = DepthCalibration::from(settings_);
    live_.update([&](LiveValues& v) {
        noteCommStatus(v, comm);
        takeSondeHeader(v, f.data(), cal);
        v.stepText.clear();
        setSensorTextsBlank(v);
        orientationInto(v, kNoValue, kNoValue, kNoValue, kNoValue, kNoValue, kNoValue, false);
    });
    events_.refreshDataView(kRefreshValues);
    raiseAlarms(f[status::kAlarms]);
    // A status frame in place of a full data frame: the picture repeats its line.
    if (comm & kCommBadData) replaceLine(settings_.PicResolution);
    return false;
}

bool CToolsStream::decodeLoggerFrame19(const std::uint8_t* frame, std::size_t length,
                                       std::uint8_t /*sequence*/) {
    if (frame == nullptr || length < kLogger19Length) return false;
    if (!frameSumValid(frame, kLogger19Length)) {
        decodeLoggerBody(nullptr, true);
        return false;
    }
    const auto body = widenLogger19(frame);
    decodeLoggerBody(body.data(), true);
    return false;
}

bool CToolsStream::decodeLoggerFrame20(const std::uint8_t* frame, std::size_t length,
                                       std::uint8_t /*sequence*/) {
    if (frame == nullptr || length < kLogger20Length) return false;
    std::array<std::uint8_t, kLogger20Length> body{};
    std::copy(frame, frame + kLogger20Length, body.begin());
    decodeLoggerBody(frameSumValid(body.data(), kLogger20Length) ? body.data() : nullptr, false);
    return false;
}

void CToolsStream::decodeLoggerBody(const std::uint8_t* b, bool nineteen) {
    if (b == nullptr) {  // checksum mismatch
        live_.update([](LiveValues& v) { noteCommStatus(v, kCommChecksumError); });
        events_.refreshDataView(kRefreshValues);
        return;
    }
    echo_.update([&](ReplyEcho::Slots& e) {
        // The logger's own fields up to its encoder count: the read-back of command 0x01 among them.
        std::copy(b, b + logger::kEncoder, e.begin());
        e[ReplyEcho::kBaud] = ReplyEcho::kNoBaud;
        e[ReplyEcho::kCommStatus] = 0;
        std::fill(e.begin() + ReplyEcho::kWindow, e.begin() + ReplyEcho::kNewReplyMarker, 0);
        e[ReplyEcho::kNewReplyMarker] = 1;
    });
    const DepthCalibration cal = DepthCalibration::from(settings_);
    const bool playing = shared_.modes.playing.load() != 0;
    live_.update([&](LiveValues& v) {
        const std::int32_t count = readLeI32(b + logger::kEncoder);
        const std::uint16_t loggerScale = readLe16(b + logger::kEncoderScale);
        double d;
        if (depthFromCount(cal, count, d)) {
            v.depth = v.imageDepth = d;
        } else if (nineteen && loggerScale != 0) {
            // No winch calibration: the logger's own encoder-scale read-back stands in.
            v.depth = v.imageDepth = count / (loggerScale * 100.0);
        }
        speedFromCount(cal, readLeI16(b + logger::kSpeed), v.speed);
        v.frameFlags = b[logger::kAlarms];
        v.voltage = b[logger::kVoltage];
        v.voltageText = format("%d", v.voltage);
        v.current = b[logger::kCurrent];
        v.currentText = format("%d", v.current);
        v.commStatus = 0;
        if (!playing) {
            setSensorTextsBlank(v);
            v.blanking = 0;
            v.window = 0;
            if (nineteen)
                orientationInto(v, kNoValue, kNoValue, kNoValue, kNoValue, kNoValue, kNoValue, false);
        }
    });
    events_.refreshDataView(kRefreshValues);
    events_.loggerReadBack(b);
    raiseAlarms(b[logger::kAlarms]);
}

double GammaRate::push(std::uint16_t count, std::uint8_t timeMs, int motorPeriod, double coefficient) {
    const double period = motorPeriod * 2.304;
    const int n =
        period == 0 ? 1 : std::clamp(static_cast<int>(roundHalfAway(1000.0 / period)), 1, kMaxLines);
    counts_[static_cast<size_t>(next_)] = count;
    times_[static_cast<size_t>(next_)] = timeMs;
    if (++next_ >= n) next_ = 0;
    double counts = 0, times = 0;
    for (int i = 0; i < n; ++i) {
        counts += counts_[static_cast<size_t>(i)];
        times += times_[static_cast<size_t>(i)];
    }
    if (times / n == 0) return 0.0;
    const double rate = roundHalfAway((counts / n) / (times / n) * 1000.0 * coefficient);
    return std::isfinite(rate) ? rate : 0.0;
}

void GammaRate::clear() {
    counts_.fill(0);
    times_.fill(0);
    next_ = 0;
}

// A full data frame is taken in steps: its layout is checked against its length and sum, its
// read-backs are echoed, its header becomes the live values (and decides whether the line is
// accepted), its samples become the image line, and the line is handed over.
bool CToolsStream::decodeFullDataFrame(const std::uint8_t* f, std::size_t length, std::uint8_t sequence) {
    const std::optional<FullFrameLayout> layout = checkedFullLayout(f, length, sequence);
    if (!layout) return false;
    const int resolution = f[image::kResolution];
    const std::uint8_t comm = f[layout->commOffset];
    echoFullFrame(f, comm);
    if (!(comm & (kCommHealthy | kCommUpdating))) {
        // Neither heard nor busy taking a setting: the samples are not the sonde's, the line repeats.
        live_.update([&](LiveValues& v) { noteCommStatus(v, comm); });
        replaceLine(resolution);
        return false;
    }
    const FullFrameOutcome outcome = takeFullHeader(f, comm);
    fillImageLine(f, *layout);
    handOverLine(outcome, f);
    return false;
}

std::optional<FullFrameLayout> CToolsStream::checkedFullLayout(const std::uint8_t* f, std::size_t length,
                                                               std::uint8_t sequence) {
    if (f == nullptr || length <= image::kFormat) {
        // Too short to carry even a header: the picture repeats its line.
        replaceLine(f != nullptr && length > image::kResolution ? f[image::kResolution]
                                                                : settings_.PicResolution);
        return std::nullopt;
    }
    // The stride follows the area size: format 6 with gain bit 7 carries four-byte samples, so they are
    // read four bytes apart and never more than N of them.
    const FullFrameLayout layout = fullFrameLayout(f[image::kResolution], f[image::kFormat], f[image::kGain]);
    // A header that promises more than the frame holds is never read past the frame's end.
    if (layout.length > length) {
        TraceDebug("ToolStream::Full data receiving USBFrame:%2X Checksum error !!!\n", sequence);
        replaceLine(f[image::kResolution]);
        return std::nullopt;
    }
    const std::uint8_t comm = f[layout.commOffset];
    const bool sumOk = frameSumValid(f, layout.length);
    if (!sumOk) TraceDebug("ToolStream::Full data receiving USBFrame:%2X Checksum error !!!\n", sequence);
    if (!(comm & kCommHealthy)) traceCommStatus("ToolStream::Full data  receiving USBFrame:", sequence, comm);
    if (!sumOk) {
        replaceLine(f[image::kResolution]);
        return std::nullopt;
    }
    return layout;
}

void CToolsStream::echoFullFrame(const std::uint8_t* f, std::uint8_t comm) {
    echo_.update([&](ReplyEcho::Slots& e) {
        echoSondeHeader(e, f, comm);
        e[ReplyEcho::kBaud] = f[image::kBaud] & image::kBaudMask;
        writeLe32(&e[ReplyEcho::kWindow], readLe16(f + image::kWindow));
        writeLe32(&e[ReplyEcho::kBlanking], readLe16(f + image::kBlanking));
        e[ReplyEcho::kMotorPeriod] = f[image::kMotorPeriod];
        e[ReplyEcho::kResolution] = f[image::kResolution];
    });
}

std::uint8_t CToolsStream::acceptLine(double depth, double speed, bool recording, bool recordPaused,
                                      bool& accepted) {
    std::uint8_t direction = line_.lineDirection;
    if (!recording) {
        // Not recording: every line is drawn, in the direction the winch moves.
        accepted = true;
        if (speed > 0) {
            direction = 1;
        } else if (speed < 0) {
            direction = 0;
        }
        return direction;
    }
    // Recording: a line is taken only beyond the last one taken, in the recording's direction; a move
    // back of more than a centimetre is shown as a winch going the wrong way.
    direction = shared_.recordDirection.load() ? 1 : 0;
    const double last = shared_.lastAcceptedDepth.load();
    if (recordPaused) {
        shared_.reverseMotion = 0;
    } else if (direction == 1 ? last < depth : last > depth) {
        accepted = true;
        shared_.lastAcceptedDepth = depth;
        shared_.reverseMotion = 0;
    } else {
        const bool back = direction == 1 ? last - 0.01 > depth : last + 0.01 < depth;
        shared_.reverseMotion = back ? 1 : 0;
    }
    if (!accepted) shared_.lastRejectedTime = shared_.fileTimeNow ? shared_.fileTimeNow() : 0;
    return direction;
}

CToolsStream::FullFrameOutcome CToolsStream::takeFullHeader(const std::uint8_t* f, std::uint8_t comm) {
    const DepthCalibration cal = DepthCalibration::from(settings_);
    FullFrameOutcome out;
    out.recording = shared_.modes.recording.load() != 0;
    out.recordPaused = shared_.modes.recordPaused.load() != 0;
    live_.update([&](LiveValues& v) {
        noteCommStatus(v, comm);
        takeSondeHeader(v, f, cal);
        line_.lineDirection = acceptLine(v.depth, v.speed, out.recording, out.recordPaused, out.accepted);
        // The vertical distance between two revolutions: the speed over one turn of MotorPeriod units.
        line_.step = v.speed * 0.0384 * f[image::kMotorPeriod];
        v.stepText = stepTextOf(line_.step);

        assignChannel(v, channel::PEAK, readLe16(f + image::kWindow), false);
        assignChannel(v, channel::BLNK, readLe16(f + image::kBlanking), false);
        assignChannel(v, channel::GAIN, f[image::kGain], false);
        assignChannel(v, channel::RESO, f[image::kResolution], false);
        assignChannel(v, channel::STEP, f[image::kMotorPeriod], false);
        assignChannel(v, channel::BAUD, f[image::kBaud], false);
        assignChannel(v, channel::NGAM, readLe16(f + image::kGamma), false);
        assignChannel(v, channel::GCLK, f[image::kGammaClock], false);
        v.gammaRate = gamma_.push(static_cast<std::uint16_t>(v.gamma), static_cast<std::uint8_t>(v.gclk),
                                  settings_.MotorPeriod, gammaCoef_.load());
        assignChannel(v, channel::PULS, f[image::kPulse], false);
        assignChannel(v, channel::TTEM, f[image::kToolTemp], false);
        assignChannel(v, channel::PTEM, f[image::kProbeTemp], false);
        out.orientationDone = !orientationInto(v, readLeI16(f + image::kHx), readLeI16(f + image::kHy),
                                               readLeI16(f + image::kHz), readLeI16(f + image::kGx),
                                               readLeI16(f + image::kGy), readLeI16(f + image::kGz), true);
    });
    return out;
}

void CToolsStream::fillImageLine(const std::uint8_t* f, const FullFrameLayout& layout) {
    const double blanking = settings_.DisplayBlanking;
    const double window = settings_.DisplayWindow;
    const int contrast = settings_.LevelContrast;
    // Locals, not the layout's members: the line's byte stores could alias them and force a reload.
    const int n = layout.samples;
    const std::size_t stride = static_cast<std::size_t>(layout.stride);
    const bool wideAmplitude = layout.wideAmplitude;
    const std::uint8_t* sample = f + image::kHeaderSize;
    for (int i = 0; i < n; ++i, sample += stride) {
        const std::uint16_t t = readLe16(sample + image::kSampleTravel);
        line_.rawLine[i] = t;
        line_.sampleLine[i] = scaleTravelTime(t, blanking, window);
        const std::uint8_t a = wideAmplitude
                                   ? scaleAmplitude16(readLe16(sample + image::kSampleAmplitude), contrast)
                                   : sample[image::kSampleAmplitude];
        line_.sampleLine[ImageLine::kAmplitudeOffset + i] = a;
        line_.rawLine[ImageLine::kRawAmplitudeOffset + i] = a;
    }
    line_.rawLine[ImageLine::kRawResolutionIndex] = f[image::kResolution];
    line_.rawLine[ImageLine::kRawGainIndex] = f[image::kGain];
    line_.samplesPerTurn = n;
}

void CToolsStream::handOverLine(const FullFrameOutcome& outcome, const std::uint8_t* f) {
    if (outcome.accepted) {
        events_.addImageLine(line_.lineDirection, f[image::kResolution]);
        if (outcome.recording && !outcome.recordPaused) events_.writeDataFile();
    }
    if (outcome.orientationDone) events_.refreshToolsBox();
    events_.refreshDataView(kRefreshValues);
    raiseAlarms(f[image::kAlarms]);
    ++counters_.fullDecoded;
}

}  // namespace quelt
