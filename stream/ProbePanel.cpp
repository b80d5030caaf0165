#include "stream/ProbePanel.h"

#include "link/Commands.h"
#include "platform/Text.h"

namespace quelt {

namespace {
constexpr Millis kLockout = 350;
constexpr Millis kPollPeriod = 300;
}  // namespace

ProbePanel::ProbePanel(ReplyEcho& echo, LiveState& live, StreamShared& shared, LinkCounters& counters,
                       LinkFlags& flags, const std::atomic<int>& linkStatus, LoggerCommands& commands,
                       ProbePanelWindow& window)
    : echo_(echo),
      live_(live),
      shared_(shared),
      counters_(counters),
      flags_(flags),
      linkStatus_(linkStatus),
      commands_(commands),
      window_(window) {}

void ProbePanel::start(Millis now) {
    powerUpStep_ = kReady;
    pollDue_ = now + 50;
}

void ProbePanel::arm(Millis& due, Millis now, Millis delay) {
    echo_.clearNewReply();
    due = now + delay;
}

bool ProbePanel::waiting() {
    return commands_.commandPending() || !echo_.newReply();
}

void ProbePanel::pressPower(Millis now) {
    if (offsetEditing) {
        window_.showMessage("You must close the editing offset before use this button !!!");
        return;
    }
    if (lockoutUntil_ >= 0 && now < lockoutUntil_) {
        window_.beep(255, 100);
        return;
    }
    lockoutUntil_ = now + kLockout;
    view_.statusBlack = true;
    if (powered_) {
        switchOff(now);
    } else {
        if (sondeSerial_ <= 0) {
            window_.showMessage("No sondes selected ...");
            return;
        }
        if (powerDownRunning()) return;
        window_.runStop();
        shared_.modes.replayLoaded = 0;
        window_.clearPicture();
        window_.modeMessage("Acquisition Mode.");
        view_.statusText = "Probe powered";
        view_.powerPicture = PowerPicture::On;
        powered_ = true;
        powerUpStep_ = 0;
        refusal_.clear();
        faultShown_ = false;
        if (!powerUpRunning()) {
            arm(upDue_, now, 100);
            retry_ = 0;
        }
        if (pollDue_ < 0) pollDue_ = now + 100;
        window_.restoreDisplaySettings();
        window_.refreshTravelTools();
    }
    flags_.poweredCopy = powered_;
}

void ProbePanel::powerUpAgain(Millis now) {
    if (powerDownRunning()) return;
    powered_ = true;
    flags_.poweredCopy = true;
    refusal_.clear();
    powerUpStep_ = 0;
    retry_ = 0;
    view_.powerPicture = PowerPicture::On;
    arm(upDue_, now, 100);
    if (pollDue_ < 0) pollDue_ = now + 100;
}

void ProbePanel::showFault(const std::string& text) {
    faultShown_ = true;
    view_.statusText = text;
    view_.statusClass = StatusClass::Error;
    view_.statusBlack = false;
}

void ProbePanel::clearFault() {
    if (!faultShown_) return;
    faultShown_ = false;
    auto [text, cls] =
        sondeStatusText(live_.read([](const LiveValues& v) { return static_cast<int>(v.commStatus); }));
    view_.statusText = text;
    view_.statusClass = cls;
}

void ProbePanel::switchOff(Millis now) {
    window_.stopRecording();
    view_.powerPicture = PowerPicture::Off;
    powered_ = false;
    upDue_ = -1;
    if (!powerDownRunning()) {
        arm(downDue_, now, 100);
        idleReplies_ = 0;
        zeroCommands_ = 0;
    }
    window_.resetLiveOrientation();
    window_.clearPicture();
    window_.runStop();
    window_.saveDisplaySettings();
    window_.refreshTravelTools();
    flags_.poweredCopy = false;
}

void ProbePanel::tick(Millis now) {
    if (upDue_ >= 0 && now >= upDue_) {
        upDue_ = -1;
        powerUpStepDue(now);
    }
    if (downDue_ >= 0 && now >= downDue_) {
        downDue_ = -1;
        powerDownStepDue(now);
    }
    if (pollDue_ >= 0 && now >= pollDue_) {
        pollDue_ = -1;
        statusPoll(now);
    }
}

void ProbePanel::powerUpStepDue(Millis now) {
    const int step = powerUpStep_;
    if (step == 0) {
        window_.resetLiveOrientation();
        echo_.clearNewReply();
        f1_ = commands_.sendF1();
        retry_ = 0;
        powerUpStep_ = 1;
        arm(upDue_, now, 250);
        return;
    }
    const bool wait = waiting();
    const ReplyEcho::Slots e = echo_.snapshot();
    auto word = [&](std::size_t i) { return readLe16(&e[i]); };
    switch (step) {
        case 1:
            if (wait) return arm(upDue_, now, 32);
            // A logger frame left its own bytes in the echo: they read the command back as the frame does.
            if (loggerReadBackMatches(e.data(), f1_.data())) {
                echo_.clearNewReply();
                f3_ = commands_.sendF3();
                powerUpStep_ = 2;
                arm(upDue_, now, 250);
            } else if (retry_++ > 25) {
                refusal_ = format(
                    "power-up step 1: the logger did not take command 0x01: sent constant %d, scale %d, "
                    "power "
                    "0x%02X; read back constant %d, scale %d, power 0x%02X",
                    readLe16(&f1_[f1::kConstant]), readLe16(&f1_[f1::kEncoderScale]), f1_[f1::kPower],
                    word(ReplyEcho::kConstant), word(ReplyEcho::kEncoderScale), e[ReplyEcho::kPower]);
                window_.showMessage("Order refused !!!");
                retry_ = 0;
                switchOff(now);
            } else {
                echo_.clearNewReply();
                f1_ = commands_.sendF1();
                arm(upDue_, now, 200);
            }
            return;
        case 2:
            if (wait) return arm(upDue_, now, 32);
            if (e[ReplyEcho::kDownDrive] == f3_[f3::kDownDrive] &&
                e[ReplyEcho::kUpGain] == f3_[f3::kUpGain]) {
                echo_.clearNewReply();
                f5_ = commands_.sendF5();
                powerUpStep_ = 3;
                arm(upDue_, now, 200);
            } else if (retry_++ > 25) {
                refusal_ = format(
                    "power-up step 2: the sonde did not take command 0x03: sent gain %d, drive %d; read back "
                    "gain %d, drive %d",
                    f3_[f3::kUpGain], f3_[f3::kDownDrive], e[ReplyEcho::kUpGain], e[ReplyEcho::kDownDrive]);
                retry_ = 0;
                switchOff(now);
            } else {
                echo_.clearNewReply();
                f3_ = commands_.sendF3();
                arm(upDue_, now, 200);
            }
            return;
        case 3:
            if (wait) return arm(upDue_, now, 100);
            retry_ = 0;
            echo_.clearNewReply();
            commands_.sendF4();
            counters_.fullDecoded = 0;
            counters_.fullReplaced = 0;
            powerUpStep_ = 4;
            arm(upDue_, now, 500);
            return;
        case 4:
            if (wait) return arm(upDue_, now, 200);
            if (e[ReplyEcho::kFlags] & kRunningHead) {
                powerUpStep_ = 5;
                arm(upDue_, now, 32);
            } else if (retry_++ > 30) {
                refusal_ = format(
                    "power-up step 4: the sonde did not start acquiring after command 0x04: its state 0x%02X "
                    "shows no running head",
                    e[ReplyEcho::kFlags]);
                switchOff(now);
            } else {
                echo_.clearNewReply();
                commands_.sendF4();
                arm(upDue_, now, 500);
            }
            return;
        case 5:
            if (wait) return arm(upDue_, now, 32);
            if (readLe32(&e[ReplyEcho::kBlanking]) == readLe16(&f5_[f5::kBlanking]) &&
                readLe32(&e[ReplyEcho::kWindow]) == readLe16(&f5_[f5::kWindow])) {
                powerUpStep_ = kReady;
            } else if (retry_++ > 10) {
                powerUpStep_ = kReady;
            } else {
                echo_.clearNewReply();
                f5_ = commands_.sendF5();
                arm(upDue_, now, 300);
            }
            return;
        default:
            return;
    }
}

void ProbePanel::powerDownStepDue(Millis now) {
    if (waiting()) return arm(downDue_, now, 32);
    powerUpStep_ = kReady;
    upDue_ = -1;
    if (echo_.slot(ReplyEcho::kFlags) & kRunningHead) {  // the sonde still runs
        if (zeroCommands_ < 20) {
            arm(downDue_, now, 500);
            commands_.sendF0();
            ++zeroCommands_;
        }
        return;
    }
    if (idleReplies_ < 3) {
        arm(downDue_, now, 500);
        ++idleReplies_;
        return;
    }
    idleReplies_ = 0;
    zeroCommands_ = 0;
    window_.clearPicture();
}

void ProbePanel::statusPoll(Millis now) {
    const int linkStatus = linkStatus_.load();
    if (linkStatus < 16) {
        UpdateStatusText(now);
        UpdateCounters();
    }
    if (startCountdown_ > 0) --startCountdown_;
    const LiveValues v = live_.snapshot();
    view_.elapsedText = v.elapsedText;
    view_.voltageBlinking = v.voltage > 130;
    view_.currentBlinking = v.current > 250;
    view_.gammaShown = !shared_.modes.replayLoaded && sondeGamma_;
    view_.gammaText = view_.gammaShown && powered_ ? format("%.0f", v.gammaRate) : "";
    if (linkStatus <= 2) {
        view_.powerEnabled = false;
        powered_ = false;
        flags_.poweredCopy = false;
    } else {
        view_.powerEnabled = true;
    }
    ++blink_;
    const bool odd = (blink_ & 1) != 0;
    if (powerUpStep_ == kReady) {
        if (powerDownRunning()) {
            view_.powerPicture = odd ? PowerPicture::OffBlink : PowerPicture::Off;
        } else if (!powerUpRunning()) {
            const bool running = (echo_.slot(ReplyEcho::kFlags) & kRunningHead) != 0;
            view_.powerPicture = running ? PowerPicture::On : PowerPicture::Off;
            powered_ = running;
            flags_.poweredCopy = running;
        }
    } else if (linkStatus > 2) {
        view_.powerPicture = odd ? PowerPicture::OnBlink : PowerPicture::On;
    }
    // Record active at counts 7, 0, 1 and 2 of its eight, idle from 3; Pause blinks while paused.
    const ModeFlags& modes = shared_.modes;
    if (!modes.recording) {
        recordBlink_ = 0;
        view_.recordActive = view_.pauseBlink = false;
    } else {
        recordBlink_ = (recordBlink_ + 1) % 8;
        view_.recordActive = !modes.recordPaused && (recordBlink_ == 7 || recordBlink_ < 3);
        view_.pauseBlink = modes.recordPaused && (recordBlink_ & 1) != 0;
    }
    pollDue_ = now + kPollPeriod;
}

SondeStatus sondeStatusText(int status) {
    if (status == 0) return {"", StatusClass::Blank};
    if (status & 0x01) return {"Status OK", StatusClass::Normal};
    struct Test {
        int bit;
        const char* text;
        StatusClass cls;
    };
    // Later hits overwrite earlier ones: the last bit tested wins.
    static const Test kTests[] = {{0x20, "Setting adjustment in progress ... wait", StatusClass::Normal},
                                  {0x10, "Parameter adjustment in progress ... wait", StatusClass::Normal},
                                  {0x08, "CheckSum Error", StatusClass::Error},
                                  {0x40, "Frame error", StatusClass::Error},
                                  {0x80, "Frame error", StatusClass::Error},
                                  {0x04, "Int resp", StatusClass::Error},
                                  {0x02, "No response", StatusClass::Error}};
    SondeStatus out{"", StatusClass::Blank};
    for (const Test& t : kTests)
        if (status & t.bit) out = {t.text, t.cls};
    return out;
}

void ProbePanel::UpdateStatusText(Millis now) {
    if (flags_.quitting || startCountdown_ > 0 || faultShown_) return;
    if (flags_.poweredCopy) {
        view_.validText = format("%u", counters_.fullDecoded.load());
        view_.errorText = format("%u", counters_.fullReplaced.load());
    } else {
        view_.validText.clear();
        view_.errorText.clear();
    }
    const int status = live_.read([](const LiveValues& v) { return static_cast<int>(v.commStatus); });
    if (status != lastStatus_) {
        holdUntil_ = -1;
        lastStatus_ = status;
    }
    if (holdUntil_ >= 0 && now < holdUntil_) return;
    holdUntil_ = -1;
    holdUntil_ = now + (status == 0 ? 250 : 1000);
    auto [text, cls] = sondeStatusText(status);
    if (!flags_.dataFlowing) {
        text = "No USB Hardware Detected : Replay Mode.";
        cls = StatusClass::Replay;
    }
    if (shared_.reverseMotion) {
        text = "Bad Winch Direction !!!";
        cls = StatusClass::Error;
        shared_.reverseMotion = 0;
    }
    view_.statusText = text;
    view_.statusClass = cls;
    view_.statusBlack = false;
}

void ProbePanel::UpdateCounters() {
    if (linkStatus_.load() <= 2) {
        view_.voltageText.clear();
        view_.currentText.clear();
        return;
    }
    const LiveValues v = live_.snapshot();
    view_.voltageBlinking = v.voltage > 130;
    view_.currentBlinking = v.current > 250;
    view_.voltageText = v.voltageText;
    view_.currentText = v.currentText;
    view_.elapsedText = v.elapsedText;
}

}  // namespace quelt
