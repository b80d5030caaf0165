#include "stream/CommSetup.h"

#include "config/Preferences.h"
#include "link/Frames.h"
#include "platform/Text.h"

namespace quelt {

// --- EchoCheck ---------------------------------------------------------------------------------------

void EchoCheck::tick(Millis now) {
    if (due_ < 0 || now < due_) return;
    if (shuttingDown && shuttingDown()) {
        due_ = -1;
        return;
    }
    switch (look()) {
        case EchoLook::Pending:
            due_ = now + kPendingLook;
            return;
        case EchoLook::NotYet:
            due_ = now + kNotYetLook;
            return;
        case EchoLook::Ready:
            break;
    }
    if (matches()) {
        due_ = -1;
        resends_ = 0;
    } else if (resends_ < kMaxResends) {
        resend();
        ++resends_;
        due_ = now + kResendLook;
    } else {
        resends_ = 0;
        due_ = -1;
        warn();
    }
}

// --- CommLamps ---------------------------------------------------------------------------------------

const char* CommLamps::caption(int lamp) {
    static const char* const kCaptions[kCount] = {"Data Valid",        "No Resp",          "Int Resp",
                                                  "Checksum error",    "Parameter Update", "Setting Update",
                                                  "Frame length error"};
    return kCaptions[lamp];
}

CommLamps::Kind CommLamps::kind(int lamp) {
    if (lamp == DataValid) return Kind::Valid;
    return lamp == ParameterUpdate || lamp == SettingUpdate ? Kind::Update : Kind::Error;
}

void CommLamps::tick(int linkStatus, std::uint8_t s) {
    if (linkStatus <= kLinkLogger) {  // no status or full data frames arriving
        darken();
        return;
    }
    bool othersDark = true;
    for (int i = NoResp; i < kCount; ++i)
        othersDark = othersDark && counters_[static_cast<size_t>(i)] < 0;
    const bool quiet = othersDark && (s & 0x7E) == 0;
    for (int i = NoResp; i < kCount; ++i)
        if (s & (1u << i)) counters_[static_cast<size_t>(i)] = 0;

    int& valid = counters_[DataValid];
    if (!quiet)
        valid = -1;
    else if (s & 0x01)
        valid = 0;
    if (valid >= 0) {
        if (valid > kHold && (s & 0xFE) == 0)
            valid = -1;
        else
            ++valid;
    }
    for (int i = NoResp; i < kCount; ++i) {
        int& c = counters_[static_cast<size_t>(i)];
        if (c < 0) continue;
        if (c > kHold)
            c = -1;
        else
            ++c;
    }
}

// --- CommSetup ---------------------------------------------------------------------------------------

CommSetup::CommSetup(SetupShared& shared) : s_(shared) {
    readBack.look = [this] {
        auto slots = s_.echo.snapshot();
        s_.echo.update([](ReplyEcho::Slots& e) { e[ReplyEcho::kFrameKindMarker] = 0; });
        if (slots[ReplyEcho::kFrameKindMarker] != 1 || (slots[ReplyEcho::kCommStatus] & ~kCommHealthy) != 0)
            return EchoLook::NotYet;
        return EchoLook::Ready;
    };
    readBack.matches = [this] {
        const bool driveOk = s_.echo.slot(ReplyEcho::kDownDrive) == (s_.settings.DownEnergie & 0xFF);
        const bool gainOk =
            s_.sondes.highSpeed() || s_.echo.slot(ReplyEcho::kUpGain) == (s_.settings.UpGain & 0xFF);
        return driveOk && gainOk;
    };
    readBack.resend = [this] { s_.ports.sendF3(); };
    readBack.warn = [this] {
        const int gain = s_.echo.slot(ReplyEcho::kUpGain), drive = s_.echo.slot(ReplyEcho::kDownDrive);
        if (gain != (s_.settings.UpGain & 0xFF) && !s_.sondes.highSpeed())
            s_.op.message(format("UPHOLE RECEIVER GAIN\nWarning consigne error\n Send:%d  Read back:%d",
                                 s_.settings.UpGain, gain),
                          MessageKind::Warning);
        if (drive != (s_.settings.DownEnergie & 0xFF))
            s_.op.message(format("DOWNHOLE SIGNAL DRIVE\nWarning consigne error\n Send:%d  Read back:%d",
                                 s_.settings.DownEnergie, drive),
                          MessageKind::Warning);
    };
    readBack.shuttingDown = [this] { return s_.flags.quitting.load(); };
    refresh();
}

void CommSetup::refresh() {
    const size_t before = speeds_.size();
    speeds_ = speedList(s_.sondes.highSpeed());
    selected_ = 0;
    for (size_t i = 0; i < speeds_.size(); ++i)
        if (speeds_[i].divisor == s_.settings.UpBaudDivisor) selected_ = static_cast<int>(i);
    if (before != 0 && before != speeds_.size()) s_.ports.sendF3();
}

int CommSetup::upholeMaximum() const {
    return upholeDriveMaximum(s_.settings.UpBaudDivisor);
}

std::string CommSetup::maxText() const {
    return format("Max : %d", upholeMaximum());
}

bool CommSetup::refuse(const std::string& text, bool fromSpin) {
    if (!fromSpin) s_.op.message(text, MessageKind::Warning);
    return false;
}

void CommSetup::applied3() {
    s_.ports.saveSettings();
    s_.ports.sendF3();
}

bool CommSetup::applyDownholeDrive(int v, Millis now, bool fromSpin) {
    if (v < kMinDownholeDrive || v > kMaxDownholeDrive)
        return refuse("Bad DownHole entered value !!!\nMin:5 Max:60", fromSpin);
    s_.settings.DownEnergie = v;
    applied3();
    readBack.start(now);
    s_.resetFrameCounts();
    return true;
}

bool CommSetup::applyGain(int v, Millis now, bool fromSpin) {
    if (v < kMinUpGain || v > kMaxUpGain) return refuse("Bad entered value", fromSpin);
    s_.settings.UpGain = v;
    applied3();
    s_.ports.refreshToolsBox();
    readBack.start(now);
    s_.resetFrameCounts();
    return true;
}

bool CommSetup::applyUpholeDrive(int v, bool fromSpin) {
    if (v < kMinUpholeDrive || v > upholeMaximum()) return refuse("Bad entered value", fromSpin);
    s_.settings.UpholePulseWidth = v;
    s_.ports.saveSettings();
    s_.ports.sendF4();
    s_.resetFrameCounts();
    return true;
}

void CommSetup::chooseSpeed(int index) {
    if (index < 0 || index >= static_cast<int>(speeds_.size())) return;
    selected_ = index;
    Settings& st = s_.settings;
    st.UpBaudDivisor = speeds_[static_cast<size_t>(index)].divisor;
    if (st.UpholePulseWidth > upholeMaximum()) st.UpholePulseWidth = upholeMaximum();
    const int minimum = minimumMotorPeriod(st.PicResolution, speedColumn(st.UpBaudDivisor));
    if (st.MotorPeriod < minimum) {
        st.MotorPeriod = minimum;
        if (st.PicResolution >= 1 && st.PicResolution <= 4)
            st.MotorPeriodPreset[static_cast<size_t>(st.PicResolution - 1)] = minimum;
        s_.ports.refreshPages();
    }
    s_.ports.saveAcquisitionSettings(kSaveAcquisitionReason);
    s_.ports.saveSettings();
    s_.ports.sendF4();
    s_.resetFrameCounts();
}

void CommSetup::set(int gain, int upholeDrive, int downholeDrive, Millis now) {
    applyGain(gain, now);
    applyUpholeDrive(upholeDrive);
    applyDownholeDrive(downholeDrive, now);
}

bool CommSetup::check(Millis now) {
    if (s_.modes.recording.load()) {
        s_.op.message("Stop your record before use this option", MessageKind::Warning);
        return false;
    }
    Settings& st = s_.settings;
    const int resolution = st.PicResolution, period = st.MotorPeriod;
    if (runAutoCheck) runAutoCheck();
    st.PicResolution = resolution;
    st.MotorPeriod = period;
    s_.ports.saveSettings();
    setDue_ = now + 500;
    return true;
}

CommEnables CommSetup::enables(bool pageOn) const {
    CommEnables e;
    if (!pageOn || s_.modes.playing.load()) return e;
    e.downhole = e.speed = e.set = e.check = true;
    e.gain = e.uphole = !s_.sondes.highSpeed();
    return e;
}

std::string CommSetup::speedReadBack() const {
    return s_.live.read([](const LiveValues& v) { return v.baudText; });
}

std::string CommSetup::upholeReadBack() const {
    return s_.live.read([](const LiveValues& v) { return v.pulseText; });
}

void CommSetup::tick(Millis now, bool visible) {
    readBack.tick(now);
    if (setDue_ >= 0 && now >= setDue_) {
        setDue_ = -1;
        // The entries show the settings again after the auto-check: apply them as "&Set" does.
        set(s_.settings.UpGain, s_.settings.UpholePulseWidth, s_.settings.DownEnergie, now);
    }
    if (!visible) {
        lampTimer_.stop();
        return;
    }
    if (!lampTimer_.running()) lampTimer_.start(now);
    if (lampTimer_.due(now))
        lamps.tick(s_.linkStatus.load(), s_.live.read([](const LiveValues& v) { return v.commStatus; }));
}

}  // namespace quelt
