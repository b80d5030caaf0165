#include "sim/SimLogger.h"

#include <algorithm>
#include <cmath>

#include "config/Resolution.h"
#include "link/Frames.h"
#include "sim/Random.h"

namespace quelt::sim {
namespace {

constexpr Millis kLoggerPeriod = 250, kStatusPeriod = 100, kBootMs = 600, kSondeLatency = 40;
constexpr Millis kParameteringMs = 300, kUpdatingMs = 150;
constexpr size_t kUplinkMax = 1 << 20;

void put16(std::vector<std::uint8_t>& b, size_t at, std::uint16_t v) {
    writeLe16(&b[at], v);
}
void put32(std::vector<std::uint8_t>& b, size_t at, std::uint32_t v) {
    writeLe32(&b[at], v);
}
std::uint8_t byteOf(double v) {
    return static_cast<std::uint8_t>(std::clamp(std::round(v), 0.0, 255.0));
}

}  // namespace

SimLogger::SimLogger(const Scenario& scenario, Millis start)
    : scenario_(scenario),
      hole_(boreholeOf(scenario)),
      winch_(scenario.winch),
      cable_(scenario.cable),
      start_(start),
      last_(start),
      nextFrame_(start + kLoggerPeriod) {
    toolTemp_ = hole_.waterTemperature(0);
}

double SimLogger::runSeconds(Millis at) const {
    return static_cast<double>(at - start_) / 1000.0;
}

double SimLogger::trueDepth(Millis at) const {
    if (winchStart_ < 0) return winch_.at(0).depth;
    return winch_.at(static_cast<double>(at - winchStart_) / 1000.0).depth;
}

bool SimLogger::attached(Millis now) const {
    if (pulled_) return false;
    const FaultSpec& f = scenario_.faults;
    if (f.pullAt < 0) return true;
    double t = runSeconds(now);
    return t < f.pullAt || (f.returnAt >= 0 && t >= f.returnAt);
}

void SimLogger::pull(Millis now) {
    tick(now);
    pulled_ = true;
}

void SimLogger::plugBack(Millis now) {
    tick(now);
    pulled_ = false;
}

void SimLogger::resetLogger(Millis now) {
    tick(now);
    forget();
}

void SimLogger::forget() {
    logger_ = LoggerSettings{};
    sonde_ = SondeSettings{};
    acquiring_ = false;
    poweredAt_ = -1;
    sondeOn_ = false;
    depthShift_ = 0;
    pending_.clear();
    rx_.clear();
}

LinkSettings SimLogger::link() const {
    return {logger_.upGain, logger_.downDrive, sonde_.baudDivisor, sonde_.pulseWidth,
            (logger_.winchMode >> 4) & 1};
}

double SimLogger::currentMa() const {
    if (poweredAt_ < 0) return 0;
    if (!acquiring_) return 80;
    return 150 + 40.0 * 87.0 / std::max<int>(sonde_.motorPeriod, 21);
}

bool SimLogger::sondePowered(Millis) const {
    return poweredAt_ >= 0;
}
bool SimLogger::sondeBooted(Millis at) const {
    return poweredAt_ >= 0 && at >= poweredAt_ + kBootMs;
}

void SimLogger::write(const std::uint8_t* data, size_t n, Millis now) {
    tick(now);
    if (!attached(now)) return;
    if (!rx_.empty() && now - rxSince_ > 100) rx_.clear();  // a half command never completed
    if (rx_.empty()) rxSince_ = now;
    rx_.insert(rx_.end(), data, data + n);
    while (!rx_.empty()) {
        int len = static_cast<int>(quelt::commandLength(rx_[0]));
        if (len == 0) {
            ++counters_.commandsRejected;
            rx_.erase(rx_.begin());
            continue;
        }
        if (rx_.size() < static_cast<size_t>(len)) break;
        if (!commandSumValid(rx_.data(), static_cast<size_t>(len))) {
            ++counters_.commandsRejected;
            rx_.erase(rx_.begin());
            continue;
        }
        std::vector<std::uint8_t> cmd(rx_.begin(), rx_.begin() + len);
        rx_.erase(rx_.begin(), rx_.begin() + len);
        takeCommand(cmd, now);
    }
    rxSince_ = now;
}

void SimLogger::takeCommand(const std::vector<std::uint8_t>& c, Millis now) {
    ++counters_.commandsTaken;
    ++accepted_;
    switch (c[0]) {
        case kCmdWinchMode:
            logger_.winchMode = c[f0::kWinchMode];
            // The sonde is switched off: the logger stops relaying it and speaks for itself again.
            sondeOn_ = false;
            pending_.push_back({now + kSondeLatency, c});
            break;
        case kCmdLogger: {
            logger_.configured = true;
            logger_.winchMode = c[f1::kWinchMode];
            if (firstWinchMode_ < 0) firstWinchMode_ = c[f1::kWinchMode];
            logger_.constant = readLe16(&c[f1::kConstant]);
            // Keep the depth the operator sees across a change of scale.
            logger_.scaleField = readLe16(&c[f1::kEncoderScale]);
            bool wasPowered = logger_.power != 0;
            logger_.power = c[f1::kPower];
            if (logger_.power == 0) {
                poweredAt_ = -1;
                sondeOn_ = false;
                acquiring_ = false;
                sonde_ = SondeSettings{};
            } else if (!wasPowered || poweredAt_ < 0) {
                if (cable_.headVoltage(logger_.power, 80) >= 40.0) poweredAt_ = now;
            }
            break;
        }
        case kCmdPresetDepth: {
            const std::int32_t count = readLeI32(&c[f2::kPresetCount]);
            double cpc = countsPerCm();
            if (cpc > 0) {
                double sign =
                    ((logger_.winchMode & 0x20) != 0) != scenario_.sonde.encoderReversed ? 1.0 : -1.0;
                depthShift_ = sign * count / (cpc * 100.0) - trueDepth(now);
            }
            break;
        }
        case kCmdGains:
            // The power-up sets the cable link: from here the logger relays the sonde, and the crew starts
            // the winch, whether or not the sonde then takes its commands.
            sondeOn_ = true;
            if (winchStart_ < 0) winchStart_ = now;
            logger_.upGain = c[f3::kUpGain];
            if (firstGain_ < 0) firstGain_ = c[f3::kUpGain];
            logger_.downDrive = c[f3::kDownDrive];
            updatingUntil_ = now + kUpdatingMs;
            break;
        default:
            pending_.push_back({now + kSondeLatency, c});
            break;
    }
}

void SimLogger::applySondeCommand(const std::vector<std::uint8_t>& c, Millis at) {
    if (!sondeBooted(at)) return;
    RandomStream rnd(scenario_.seed, kKeyCable);
    if (cable_.downlinkErrors(link(), rnd.normal(1000000 + commandIndex_++)) != 0) return;
    if (c[0] == kCmdWinchMode) {
        acquiring_ = false;
        return;
    }
    if (scenario_.faults.sondeSilent) return;
    if (c[0] == kCmdPicture) {
        sonde_.resolution = c[f4::kResolution];
        sonde_.motorPeriod = c[f4::kMotorPeriod];
        if (firstMotorPeriod_ < 0) firstMotorPeriod_ = c[f4::kMotorPeriod];
        sonde_.baudDivisor = c[f4::kBaudDivisor];
        sonde_.pulseWidth = c[f4::kPulseWidth];
        sonde_.format = c[f4::kFormat];
        acquiring_ = true;
        parameteringUntil_ = at + kParameteringMs;
        if (winchStart_ < 0) winchStart_ = at;
    } else if (c[0] == kCmdAcoustic) {
        sonde_.blanking = readLe16(&c[f5::kBlanking]);
        sonde_.window = readLe16(&c[f5::kWindow]);
        sonde_.gain = c[f5::kGain];
        updatingUntil_ = at + kUpdatingMs;
    }
    nextFrame_ = std::min(nextFrame_, at + 20);
}

int SimLogger::samplesPerRevolution() const {
    return samplesForResolution(sonde_.resolution);
}

double SimLogger::shortestRevolutionMs() const {
    int n = samplesPerRevolution();
    bool three = scenario_.sonde.threeByteSamples && sonde_.format == kSampleFormat3Byte &&
                 (sonde_.gain & image::kGainAutomatic) == 0;
    double bytes = (three ? 3 : 4) * n + 45 + 8;
    double baud = Cable::baudOf(std::max<int>(sonde_.baudDivisor, 1));
    double transmit = bytes * 10.0 / baud * 1000.0;
    return std::max({21 * 2.304, n * 0.2176, transmit});
}

double SimLogger::revolutionMs() const {
    return std::max(sonde_.motorPeriod * 2.304, shortestRevolutionMs());
}

std::uint8_t SimLogger::flags() const {
    std::uint8_t f = 0;
    if (acquiring_) f |= 0x03;
    if (scenario_.faults.encoderFault) f |= kAlarmEncoder;
    double v = cable_.headVoltage(logger_.power, currentMa());
    if (scenario_.faults.lowBattery || (poweredAt_ >= 0 && v < 45.0)) f |= kAlarmPower;
    return static_cast<std::uint8_t>(f | echoedWinchMode());  // bits 4 and 5: the winch mode in use
}

double SimLogger::countsPerCm() const {
    const double field = logger_.scaleField / 256.0;
    const bool halved = wheel_ > 0 ? wheel_ > 250.0 : logger_.scaleField > 250 * 256;
    return halved ? field * 2 : field;
}

std::int32_t SimLogger::encoderCount(Millis at) const {
    double cpc = countsPerCm();
    double sign = ((logger_.winchMode & 0x20) != 0) != scenario_.sonde.encoderReversed ? 1.0 : -1.0;
    double c = std::round(sign * (trueDepth(at) + depthShift_) * 100.0 * cpc);
    return static_cast<std::int32_t>(std::clamp(c, -2147483647.0, 2147483647.0));
}

std::int16_t SimLogger::speedCount(Millis at) const {
    double speed = winchStart_ < 0 ? 0.0 : winch_.at(static_cast<double>(at - winchStart_) / 1000.0).speed;
    double sign = ((logger_.winchMode & 0x20) != 0) != scenario_.sonde.encoderReversed ? 1.0 : -1.0;
    // The decoder's speed = count x 2 x W / PulsResolution / 100 = count / (1.25 x counts per cm).
    double c = std::round(sign * speed * countsPerCm() * 1.25);
    return static_cast<std::int16_t>(std::clamp(c, -32767.0, 32767.0));
}

std::uint8_t SimLogger::commStatus(Millis at, bool& uplinkOk) {
    RandomStream rnd(scenario_.seed, kKeyCable);
    LinkSettings s = link();
    std::uint8_t up = cable_.uplinkErrors(s, rnd.normal(2 * frameIndex_));
    const double garbledAt = scenario_.faults.garbledAt;
    if (garbledAt >= 0 && runSeconds(at) >= garbledAt) up = kCommChecksumError;
    std::uint8_t down = cable_.downlinkErrors(s, rnd.normal(2 * frameIndex_ + 1));
    uplinkOk = up == 0;
    std::uint8_t status = (up | down) ? static_cast<std::uint8_t>(up | down) : kCommHealthy;
    // A new setting is being taken: the link itself stays valid, so the reply that first echoes a new
    // value can tell whether the command that set it was heard.
    if (at < updatingUntil_) status = static_cast<std::uint8_t>(status | kCommUpdating);
    if (acquiring_ && at < parameteringUntil_)
        status = static_cast<std::uint8_t>((status & ~kCommHealthy) | kCommParametering);
    return status;
}

std::uint8_t SimLogger::echoedGain() const {
    const bool wrong = scenario_.faults.changedEchoWrong && firstGain_ >= 0 && logger_.upGain != firstGain_;
    return static_cast<std::uint8_t>(logger_.upGain + (wrong ? 3 : 0));
}

std::uint8_t SimLogger::echoedMotorPeriod() const {
    const bool wrong = scenario_.faults.changedEchoWrong && firstMotorPeriod_ >= 0 &&
                       sonde_.motorPeriod != firstMotorPeriod_;
    return static_cast<std::uint8_t>(sonde_.motorPeriod + (wrong ? 5 : 0));
}

std::uint8_t SimLogger::echoedWinchMode() const {
    const bool wrong =
        scenario_.faults.changedEchoWrong && firstWinchMode_ >= 0 && logger_.winchMode != firstWinchMode_;
    return static_cast<std::uint8_t>((logger_.winchMode ^ (wrong ? 0x10 : 0)) & 0x30);
}

std::vector<std::uint8_t> SimLogger::loggerBody(Millis at) {
    // Built in the 20-byte layout; the 19-byte logger drops the high byte of the scale read-back.
    using namespace quelt::logger;
    std::vector<std::uint8_t> b(kLogger20Length - 2);
    b[kAlarms] = flags();
    put16(b, kConstant, logger_.constant);
    put16(b, kEncoderScale, logger_.scaleField);
    b[kPower] = static_cast<std::uint8_t>(logger_.power + scenario_.faults.loggerEchoError);
    b[kSlot6] = echoedGain();
    b[kSlot7] = logger_.downDrive;
    put16(b, kSlot8, accepted_);
    put32(b, kEncoder, static_cast<std::uint32_t>(encoderCount(at)));
    put16(b, kSpeed, static_cast<std::uint16_t>(speedCount(at)));
    double i = currentMa();
    b[kVoltage] = byteOf(cable_.headVoltage(logger_.power, i));
    b[kCurrent] = byteOf(i);
    if (scenario_.sonde.loggerFrame19) b.erase(b.begin() + kEncoderScale + 1);
    ++counters_.loggerFrames;
    return b;
}

void SimLogger::writeSondeHeader(std::vector<std::uint8_t>& b, Millis at) {
    // A status frame and a full data frame open with the same fields.
    using namespace quelt::status;
    b[kAlarms] = flags();
    b[kUpGain] = echoedGain();
    b[kDownDrive] = logger_.downDrive;
    put16(b, kReadBack, accepted_);
    put32(b, kEncoder, static_cast<std::uint32_t>(encoderCount(at)));
    put16(b, kSpeed, static_cast<std::uint16_t>(speedCount(at)));
    double i = currentMa();
    b[kVoltage] = byteOf(cable_.headVoltage(logger_.power, i));
    b[kCurrent] = byteOf(i);
}

std::vector<std::uint8_t> SimLogger::statusBody(Millis at, std::uint8_t status) {
    using namespace quelt::status;
    std::vector<std::uint8_t> b(kStatusFrameLength - 2);
    writeSondeHeader(b, at);
    b[kCommStatus] = status;
    ++counters_.statusFrames;
    return b;
}

std::vector<std::uint8_t> SimLogger::dataBody(Millis at, std::uint8_t status) {
    int n = samplesPerRevolution();
    bool agc = (sonde_.gain & image::kGainAutomatic) != 0;
    bool three = scenario_.sonde.threeByteSamples && sonde_.format == kSampleFormat3Byte && !agc;
    int stride = three ? 3 : 4;
    using namespace quelt::image;
    std::vector<std::uint8_t> b(kHeaderSize + static_cast<size_t>(stride * n) + 3);
    double depth = trueDepth(at);
    double t = winchStart_ < 0 ? 0.0 : static_cast<double>(at - winchStart_) / 1000.0;
    ++revolution_;
    writeSondeHeader(b, at);
    int echo = scenario_.faults.sondeEchoError;
    put16(b, kBlanking, static_cast<std::uint16_t>(sonde_.blanking + echo));
    put16(b, kWindow, static_cast<std::uint16_t>(sonde_.window + echo));
    b[kGain] = agc ? static_cast<std::uint8_t>(kGainAutomatic | 30) : sonde_.gain;
    b[kResolution] = sonde_.resolution;
    b[kMotorPeriod] = echoedMotorPeriod();
    b[kBaud] = static_cast<std::uint8_t>(sonde_.baudDivisor & kBaudMask);
    b[kPulse] = sonde_.pulseWidth;
    b[kFormat] = three ? kSampleFormat3Byte : 4;
    // Orientation sensors, with a little noise.
    RandomStream sn(scenario_.seed, kKeySensorNoise);
    AxisValues ax = axesFor(hole_.orientation(depth, t), hole_.description().field);
    double* v[6] = {&ax.hx, &ax.gx, &ax.hy, &ax.gy, &ax.hz, &ax.gz};
    for (int k = 0; k < 6; ++k)
        *v[k] += 2.0 * sn.normal(revolution_ * 8 + static_cast<std::uint64_t>(k));
    AxisCounts c = toCounts(ax);
    const std::int16_t axes[6] = {c.hx, c.gx, c.hy, c.gy, c.hz, c.gz};
    const size_t where[6] = {kHx, kGx, kHy, kGy, kHz, kGz};
    for (int k = 0; k < 6; ++k)
        put16(b, where[k], static_cast<std::uint16_t>(axes[k]));
    // Gamma over the counting window of this revolution.
    double rev = revolutionMs();
    auto gclk = static_cast<std::uint8_t>(std::min(255.0, std::floor(rev)));
    RandomStream gr(scenario_.seed, kKeyGamma);
    int counts = gr.poisson(revolution_, hole_.gammaRate(depth) * gclk / 1000.0);
    put16(b, kGamma, static_cast<std::uint16_t>(std::min(counts, 65535)));
    b[kGammaClock] = gclk;
    // Temperatures: the tool follows the water with a lag, the electronics warm up once powered.
    double water = hole_.waterTemperature(depth);
    toolTemp_ += (water - toolTemp_) * (1.0 - std::exp(-rev / 60000.0));
    double on = poweredAt_ >= 0 ? static_cast<double>(at - poweredAt_) / 1000.0 : 0.0;
    b[kToolTemp] = byteOf(toolTemp_);
    b[kProbeTemp] = byteOf(toolTemp_ + 10.0 * (1.0 - std::exp(-on / 300.0)));
    // Samples.
    AcquisitionWindow w{sonde_.blanking, sonde_.window, scenario_.sonde.d42Travel};
    auto echoes = hole_.scan(depth, t, n, w, revolution_);
    double gainLin = std::pow(10.0, (sonde_.gain & 0x7F) / 20.0);
    // Automatic gain sets the revolution's strongest echo near 80% of the 16-bit range.
    double agcScale = 45000.0;
    for (const auto& e : echoes)
        agcScale = std::min(agcScale, 0.8 * 65535.0 / std::max(e.reflectivity, 1e-6));
    for (int k = 0; k < n; ++k) {
        size_t at0 = kHeaderSize + static_cast<size_t>(stride * k);
        put16(b, at0 + kSampleTravel, echoes[static_cast<size_t>(k)].travel);
        double r = echoes[static_cast<size_t>(k)].reflectivity;
        if (agc) {
            put16(b, at0 + kSampleAmplitude,
                  static_cast<std::uint16_t>(std::clamp(std::round(r * agcScale), 0.0, 65535.0)));
        } else {
            b[at0 + kSampleAmplitude] = byteOf(r * 60.0 * gainLin);
        }
    }
    size_t tail = kHeaderSize + static_cast<size_t>(stride * n);
    put16(b, tail, static_cast<std::uint16_t>(revolution_ & 0xFFFF));
    b[tail + 2] = status;
    ++counters_.dataFrames;
    return b;
}

void SimLogger::send(const std::vector<std::uint8_t>& body, Millis) {
    RandomStream ff(scenario_.seed, kKeyFrameFaults);
    const FaultSpec& f = scenario_.faults;
    std::uint8_t seq = sequence_++;
    if (f.lostFrameRate > 0 && ff.uniform(frameIndex_) < f.lostFrameRate) {
        ++counters_.lostFrames;
        return;
    }
    std::vector<std::uint8_t> p = buildUsbFrame(seq, body.data(), body.size());
    bool faulty = f.corruptRate > 0 || f.dropRate > 0 || f.insertRate > 0;
    RandomStream bf(scenario_.seed, kKeyByteFaults);
    for (std::uint8_t x : p) {
        if (faulty) {
            std::uint64_t k = 4 * byteIndex_;
            if (bf.uniform(k) < f.insertRate) {
                uplink_.push_back(static_cast<std::uint8_t>(bf.bits(k + 3)));
                ++counters_.bytesInserted;
            }
            if (bf.uniform(k + 1) < f.dropRate) {
                ++counters_.bytesDropped;
                ++byteIndex_;
                continue;
            }
            if (bf.uniform(k + 2) < f.corruptRate) {
                x = static_cast<std::uint8_t>(x ^ (1 + bf.bits(k + 3) % 255));
                ++counters_.bytesCorrupted;
            }
        }
        ++byteIndex_;
        uplink_.push_back(x);
    }
    while (uplink_.size() > kUplinkMax)
        uplink_.pop_front();
}

void SimLogger::emitFrame(Millis at) {
    ++frameIndex_;
    Millis period = kLoggerPeriod;
    if (!sondeBooted(at) || (!sondeOn_ && !acquiring_)) {
        send(loggerBody(at), at);
    } else if (!acquiring_ || at < parameteringUntil_) {
        bool ok = false;
        std::uint8_t status = commStatus(at, ok);
        if (!acquiring_ && ++idleSlot_ % 5 == 0)
            send(loggerBody(at), at);
        else
            send(statusBody(at, status), at);
        period = kStatusPeriod;
    } else {
        bool ok = false;
        std::uint8_t status = commStatus(at, ok);
        if (ok)
            send(dataBody(at, status), at);
        else
            send(statusBody(at, status), at);
        period = static_cast<Millis>(std::llround(revolutionMs()));
    }
    nextFrame_ = at + period;
}

void SimLogger::emitDue(Millis now) {
    while (true) {
        Millis due = nextFrame_;
        if (!pending_.empty() && pending_.front().at <= due && pending_.front().at <= now) {
            Pending p = pending_.front();
            pending_.pop_front();
            applySondeCommand(p.cmd, p.at);
            continue;
        }
        if (due > now) break;
        const FaultSpec& f = scenario_.faults;
        if (!resetDone_ && f.loggerResetAt >= 0 && runSeconds(due) >= f.loggerResetAt) {
            resetDone_ = true;
            forget();
        }
        // The logger goes on sending while the USB cable is out; its bytes go nowhere.
        emitFrame(due);
        if (!attached(due)) uplink_.clear();
    }
}

void SimLogger::tick(Millis now) {
    if (now < last_) return;
    emitDue(now);
    last_ = now;
}

size_t SimLogger::read(std::uint8_t* out, size_t n) {
    size_t k = std::min(n, uplink_.size());
    std::copy_n(uplink_.begin(), k, out);
    uplink_.erase(uplink_.begin(), uplink_.begin() + static_cast<std::ptrdiff_t>(k));
    return k;
}

}  // namespace quelt::sim
