#include "stream/PictureSetup.h"

#include <cstdlib>

#include "link/Frames.h"
#include "link/SpeedTables.h"
#include "platform/Text.h"

namespace quelt {

namespace {
constexpr double kPeriodUnitSeconds = 0.002304;  // one motor period unit per turn
constexpr Millis kPendingRetry = 64;
}  // namespace

PictureSetup::PictureSetup(SetupShared& shared) : s_(shared) {
    echoCheck.look = [this] {
        if (s_.ports.commandPending()) return EchoLook::Pending;
        auto slots = s_.echo.snapshot();
        s_.echo.update([](ReplyEcho::Slots& e) { e[ReplyEcho::kFrameKindMarker] = 0; });
        if (slots[ReplyEcho::kFrameKindMarker] != 1 || (slots[ReplyEcho::kCommStatus] & ~kCommHealthy) != 0)
            return EchoLook::NotYet;
        return EchoLook::Ready;
    };
    echoCheck.matches = [this] {
        return s_.echo.slot(ReplyEcho::kMotorPeriod) == (s_.settings.MotorPeriod & 0xFF) &&
               s_.echo.slot(ReplyEcho::kResolution) == (s_.settings.PicResolution & 0xFF);
    };
    echoCheck.resend = [this] { s_.ports.sendF4(); };
    echoCheck.warn = [this] {
        const bool motor = s_.echo.slot(ReplyEcho::kMotorPeriod) != (s_.settings.MotorPeriod & 0xFF);
        const bool resolution = s_.echo.slot(ReplyEcho::kResolution) != (s_.settings.PicResolution & 0xFF);
        if (motor && resolution)
            s_.op.message("Warning consign error.\n Motor Speed - Picture resolution", MessageKind::Warning);
        else if (motor)
            s_.op.message("Warning consign error.\n Motor Speed ", MessageKind::Warning);
        else
            s_.op.message("Warning consign error.\n Picture resolution", MessageKind::Warning);
    };
    echoCheck.shuttingDown = [this] { return s_.flags.quitting.load(); };
}

const char* PictureSetup::orientationText(int code) {
    switch (code) {
        case 1:
            return "Magnetic North";
        case 2:
            return "High Side";
        default:
            return "None";
    }
}

int PictureSetup::minimumColumn(int divisor) {
    // 2 and 3 share the first column; 12, 15, 20 (and any divisor without an entry) use the tenth.
    if (divisor >= 2 && divisor <= 3) return 0;
    if (divisor >= 4 && divisor <= 10) return divisor - 3;
    return 9;
}

int PictureSetup::minimumPeriod() const {
    return minimumMotorPeriod(s_.settings.PicResolution, minimumColumn(s_.settings.UpBaudDivisor) + 1);
}

std::string PictureSetup::rpsText(double period) {
    if (period <= 0) return "-";
    return format("(%#.1f RPS)", 1.0 / (period * kPeriodUnitSeconds));
}

void PictureSetup::setPeriod(int period) {
    Settings& st = s_.settings;
    st.MotorPeriod = period;
    if (st.PicResolution >= 1 && st.PicResolution <= 4)
        st.MotorPeriodPreset[static_cast<size_t>(st.PicResolution - 1)] = period;
}

void PictureSetup::send(Millis now) {
    if (s_.ports.commandPending()) {
        sendDue_ = now + kPendingRetry;
        return;
    }
    sendDue_ = -1;
    s_.ports.sendF4();
}

void PictureSetup::chooseResolution(int code, Millis now) {
    if (code < 1 || code > 4) return;
    Settings& st = s_.settings;
    st.PicResolution = code;
    int period = st.MotorPeriodPreset[static_cast<size_t>(code - 1)];
    period = std::max(period, minimumPeriod());
    setPeriod(period);
    send(now);
    echoCheck.start(now);
    s_.ports.saveSettings();
    s_.ports.travelToolsResolution();
    s_.ports.refreshPages();
    s_.resetFrameCounts();
}

bool PictureSetup::applyMotorPeriod(int p, Millis now) {
    const int m = minimumPeriod();
    if (p > kMaxMotorPeriod && p >= m) {
        s_.op.message("Bad entered value -> Max : 127", MessageKind::Warning);
        s_.ports.refreshPages();
        return false;
    }
    if (p < m) {
        s_.op.message(std::string("Bad entered value") + format(" -> Min : %d", m), MessageKind::Warning);
        s_.ports.refreshPages();
        return false;
    }
    setPeriod(p);
    send(now);
    echoCheck.start(now);
    s_.ports.saveSettings();
    s_.ports.refreshToolsBox();
    s_.resetFrameCounts();
    s_.ports.refreshPages();
    return true;
}

void PictureSetup::chooseOrientation(int code) {
    s_.settings.PicOriented = code;
    s_.ports.saveSettings();
    s_.ports.setOrientationLabels(code);
    s_.resetFrameCounts();
}

void PictureSetup::setFilter(int ms) {
    s_.settings.SetFilter = std::clamp(ms, kMinFilter, kMaxFilter);
    s_.ports.saveSettings();
}

void PictureSetup::offsetEdit(int code, Millis now) {
    if (code == kOffsetEditStart && !calibrating_) {
        calibrating_ = true;
        savedOrientation_ = s_.settings.PicOriented;
        savedResolution_ = s_.settings.PicResolution;
        s_.settings.PicOriented = 2;
        s_.ports.setOrientationLabels(2);
        chooseResolution(1, now);
    } else if (code == kOffsetEditEnd && calibrating_) {
        calibrating_ = false;
        s_.settings.PicOriented = savedOrientation_;
        s_.ports.setOrientationLabels(savedOrientation_);
        chooseResolution(savedResolution_, now);
    }
}

PictureReadBack PictureSetup::readBack() const {
    PictureReadBack r = s_.live.read([](const LiveValues& v) {
        return PictureReadBack{v.resolutionText, v.stepValueText, "", v.toolTempText, v.probeTempText};
    });
    const std::string motor = trim(r.motor);
    r.rps = motor.empty() || motor == "-" ? "-" : rpsText(parseLeadingDouble(motor));
    return r;
}

void PictureSetup::tick(Millis now) {
    if (sendDue_ >= 0 && now >= sendDue_) send(now);
    echoCheck.tick(now);
}

}  // namespace quelt
