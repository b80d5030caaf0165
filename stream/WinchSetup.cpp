#include "stream/WinchSetup.h"

#include <algorithm>
#include <cmath>

#include "link/Commands.h"
#include "platform/Text.h"

namespace quelt {

namespace {
constexpr double kMinPulseSpan = 150.0, kMaxPulseSpan = 3000.0;  // 3000 x mm per pulse
constexpr double kMinP40 = 10.0, kMaxP40 = 510.0;                // pulses per 40 mm, exclusive
}  // namespace

WheelCheck checkWheel(int pulses, double mm) {
    if (pulses <= 0 || mm <= 0) return WheelCheck::Bad;
    const double span = 3000.0 * mm / pulses;
    if (span > kMaxPulseSpan) return WheelCheck::TooHigh;
    if (span < kMinPulseSpan) return WheelCheck::TooLow;
    const double p40 = 40.0 * pulses / mm;
    if (!(p40 > kMinP40 && p40 < kMaxP40)) return WheelCheck::Bad;
    return WheelCheck::Ok;
}

const char* wheelCheckText(WheelCheck c) {
    switch (c) {
        case WheelCheck::TooHigh:
            return "Too high wheel/encoder combination";
        case WheelCheck::TooLow:
            return "Too low wheel/encoder combination";
        case WheelCheck::Bad:
            return "Bad wheel/encoder combination";
        default:
            return "";
    }
}

WinchSetup::WinchSetup(SetupShared& shared) : s_(shared) {
    echoCheck.look = [this] {
        if (!s_.echo.newReply()) return EchoLook::NotYet;
        s_.echo.clearNewReply();
        return EchoLook::Ready;
    };
    echoCheck.matches = [this] {
        return s_.echo.word(ReplyEcho::kEncoderScale) == quelt::encoderScale(s_.settings).field &&
               s_.echo.word(ReplyEcho::kConstant) == kLoggerConstant &&
               (s_.echo.slot(ReplyEcho::kFlags) & kWinchModeBits) == modeByte();
    };
    echoCheck.resend = [this] { s_.ports.sendF1(); };
    echoCheck.warn = [this] {
        s_.op.message("Warning consigne error, ACK puley -Mode error", MessageKind::Warning);
    };
    echoCheck.shuttingDown = [this] { return s_.flags.quitting.load(); };
}

std::uint8_t WinchSetup::modeByte() const {
    return static_cast<std::uint8_t>(((s_.settings.CableType << 4) & 0x10) |
                                     (s_.settings.PulleyDir ? 0x20 : 0));
}

std::string WinchSetup::circumferenceText() const {
    return imperial() ? format("%.2f", s_.settings.PulleyCircumInch)
                      : format("%.1f", s_.settings.PulleysDiameter);
}

std::int32_t WinchSetup::encoderScale() const {
    const double mm = s_.settings.PulleysDiameter;
    if (mm <= 0) return 0;
    return static_cast<std::int32_t>(roundHalfAway(40.0 * s_.settings.PulsResolution / mm * 256.0));
}

void WinchSetup::accepted(Millis now, bool send) {
    s_.ports.saveSettings();
    if (send) s_.ports.sendF1();
    echoCheck.start(now);
}

bool WinchSetup::applyResolution(int r, Millis now) {
    if (r < kMinPulsResolution || r > kMaxPulsResolution) {
        s_.op.message("Bad entered value.\nMin 500 - Max 10000", MessageKind::Warning);
        return false;
    }
    WheelCheck c = checkWheel(r, s_.settings.PulleysDiameter);
    if (c != WheelCheck::Ok) {
        s_.op.message(wheelCheckText(c), MessageKind::Warning);
        return false;
    }
    s_.settings.PulsResolution = r;
    accepted(now, true);
    return true;
}

bool WinchSetup::applyCircumference(double c, int resolutionEntry, Millis now) {
    // The resolution entry is taken as it stands (the operator may have typed both before "&Set").
    s_.settings.PulsResolution = resolutionEntry;
    double mm = c;
    if (imperial()) {
        if (c < kMinCircumInch || c > kMaxCircumInch) {
            s_.op.message("Bad entered value.\nMin 10 inch - Max 60 inch", MessageKind::Warning);
            return false;
        }
        mm = c * kInchToMm;
    } else if (c < kMinCircumMm || c > kMaxCircumMm) {
        s_.op.message("Bad entered value.\nMin 250mm - Max 1500mm", MessageKind::Warning);
        return false;
    }
    WheelCheck check = checkWheel(s_.settings.PulsResolution, mm);
    if (check != WheelCheck::Ok) {
        s_.op.message(wheelCheckText(check), MessageKind::Warning);
        return false;
    }
    s_.settings.PulleysDiameter = mm;
    if (imperial()) s_.settings.PulleyCircumInch = c;
    accepted(now, true);
    s_.ports.refreshToolsBox();
    return true;
}

void WinchSetup::set(int resolutionEntry, double circumference, Millis now) {
    applyResolution(resolutionEntry, now);
    applyCircumference(circumference, resolutionEntry, now);
}

int WinchSetup::stepResolution(int current, int direction) {
    int next = std::clamp(current + direction, kMinPulsResolution, kMaxPulsResolution);
    if (checkWheel(next, s_.settings.PulleysDiameter) != WheelCheck::Ok) {
        s_.op.message(wheelCheckText(WheelCheck::Bad), MessageKind::Warning);
        return current;
    }
    return next;
}

double WinchSetup::stepCircumference(double current, int direction) {
    double next, mm;
    if (imperial()) {
        next = std::clamp(std::round((current + 0.01 * direction) * 100.0) / 100.0, kMinCircumInch,
                          kMaxCircumInch);
        mm = next * kInchToMm;
    } else {
        next = std::clamp(std::round((current + 0.1 * direction) * 10.0) / 10.0, kMinCircumMm, kMaxCircumMm);
        mm = next;
    }
    if (checkWheel(s_.settings.PulsResolution, mm) != WheelCheck::Ok) {
        s_.op.message(wheelCheckText(WheelCheck::Bad), MessageKind::Warning);
        return current;
    }
    return next;
}

void WinchSetup::releaseResolution(int value, Millis now) {
    if (checkWheel(value, s_.settings.PulleysDiameter) != WheelCheck::Ok) return;
    s_.settings.PulsResolution = std::clamp(value, kMinPulsResolution, kMaxPulsResolution);
    accepted(now, !s_.ports.commandPending());
}

void WinchSetup::releaseCircumference(double value, Millis now) {
    const double mm = imperial() ? value * kInchToMm : value;
    if (checkWheel(s_.settings.PulsResolution, mm) != WheelCheck::Ok) return;
    s_.settings.PulleysDiameter = mm;
    if (imperial()) s_.settings.PulleyCircumInch = value;
    accepted(now, !s_.ports.commandPending());
    if (!imperial()) s_.ports.refreshToolsBox();
}

void WinchSetup::setDirection(bool normal, Millis now) {
    s_.settings.PulleyDir = normal;
    accepted(now, true);
}

void WinchSetup::setCableType(int type, Millis now) {
    s_.settings.CableType = std::clamp(type, 0, 1);
    accepted(now, true);
}

void WinchSetup::unitChanged() {
    if (imperial()) {
        s_.settings.PulleyCircumInch =
            parseLeadingDouble(format("%.2f", s_.settings.PulleysDiameter * kMmToInch));
        s_.ports.saveSettings();
    }
}

}  // namespace quelt
