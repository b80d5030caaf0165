#pragma once
// The probe control panel without its window: the Power button with its lock-out, the power-up and
// power-down sequencers, the status poll, the status text and the counters. Every timer is a deadline
// driven by tick(now); the window draws view() and forwards clicks to pressPower(now).

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "link/LinkState.h"
#include "platform/Clock.h"
#include "stream/LiveState.h"
#include "stream/StreamPorts.h"

namespace quelt {

// What the panel shows or asks of the windows and the recording (its commands go to LoggerCommands).
// Called on the thread that ticks the panel; the desktop program acts on its widgets there, the command
// line ignores most of them.
class ProbePanelWindow {
  public:
    virtual ~ProbePanelWindow() = default;
    virtual void beep(int /*hz*/, int /*ms*/) {}
    virtual void showMessage(const std::string& /*text*/) {}
    virtual void clearPicture() {}
    virtual void resetLiveOrientation() {}
    virtual void stopRecording() {}
    virtual void runStop() {}
    virtual void modeMessage(const std::string& /*text*/) {}
    virtual void refreshTravelTools() {}
    virtual void saveDisplaySettings() {}     // display blanking, window and LevelContrast at power-off
    virtual void restoreDisplaySettings() {}  // ... restored at power-on
};

enum class StatusClass { Blank, Normal, Replay, Error };

// The status text and colour class of the sonde's communication status byte.
struct SondeStatus {
    std::string text;
    StatusClass cls;
};
SondeStatus sondeStatusText(int status);
enum class PowerPicture { Off, On, OnBlink, OffBlink };

struct ProbePanelView {
    std::string statusText;
    StatusClass statusClass = StatusClass::Blank;
    bool statusBlack = false;  // the Power button turns the status text black until the next text
    std::string voltageText, currentText, validText, errorText, elapsedText, gammaText;
    bool voltageBlinking = false, currentBlinking = false, gammaShown = false;
    bool powerEnabled = false;
    PowerPicture powerPicture = PowerPicture::Off;
    // A recording shows the active Record picture four polls out of eight; a paused one blinks Pause.
    bool recordActive = false, pauseBlink = false;
};

class ProbePanel {
  public:
    static constexpr int kReady = 10;  // PowerUpStep when no power-up runs

    // flags: dataFlowing and quitting are read, poweredCopy is written; linkStatus as the link keeps it.
    ProbePanel(ReplyEcho& echo, LiveState& live, StreamShared& shared, LinkCounters& counters,
               LinkFlags& flags, const std::atomic<int>& linkStatus, LoggerCommands& commands,
               ProbePanelWindow& window);

    // Set by the probe page while the rotation offset or the gamma coefficient is edited.
    std::atomic<bool> offsetEditing{false};
    void selectSonde(int serialNumber, bool gammaOnBoard) {
        sondeSerial_ = serialNumber;
        sondeGamma_ = gammaOnBoard;
    }

    void start(Millis now);  // OnInitDialog: PowerUpStep 10, first status poll after 50 ms
    void pressPower(Millis now);
    // The sonde stays on while the power-up sequence runs again from its first step (after the logger
    // lost power and forgot the sonde's settings). Nothing else of the panel changes.
    void powerUpAgain(Millis now);
    // A fault the operator must see instead of the sonde's status text, until clearFault().
    void showFault(const std::string& text);
    void clearFault();
    void tick(Millis now);
    void UpdateStatusText(Millis now);
    void UpdateCounters();

    bool powered() const { return powered_; }
    int powerUpStep() const { return powerUpStep_.load(); }
    bool powerUpRunning() const { return upDue_ >= 0; }
    bool powerDownRunning() const { return downDue_ >= 0; }
    const ProbePanelView& view() const { return view_; }
    // Why the last power-up was refused: the step, the command and what was sent and read back ("" when
    // none was refused since the last press of Power).
    const std::string& refusal() const { return refusal_; }

  private:
    void arm(Millis& due, Millis now, Millis delay);  // re-arming clears the new-reply marker
    bool waiting();
    void switchOff(Millis now);
    void powerUpStepDue(Millis now);
    void powerDownStepDue(Millis now);
    void statusPoll(Millis now);

    ReplyEcho& echo_;
    LiveState& live_;
    StreamShared& shared_;
    LinkCounters& counters_;
    LinkFlags& flags_;
    const std::atomic<int>& linkStatus_;
    LoggerCommands& commands_;
    ProbePanelWindow& window_;

    int sondeSerial_ = 0;
    bool sondeGamma_ = false;
    bool powered_ = false;
    std::atomic<int> powerUpStep_{kReady};
    int retry_ = 0;
    int idleReplies_ = 0;
    int zeroCommands_ = 0;
    int startCountdown_ = 10;
    int blink_ = 0;
    int recordBlink_ = 0;  // 0..7 while recording
    int lastStatus_ = -1;

    Millis lockoutUntil_ = -1;
    Millis upDue_ = -1, downDue_ = -1, pollDue_ = -1, holdUntil_ = -1;

    std::array<std::uint8_t, 8> f1_{};
    std::array<std::uint8_t, 4> f3_{};
    std::array<std::uint8_t, 7> f5_{};

    ProbePanelView view_;
    std::string refusal_;
    bool faultShown_ = false;
};

}  // namespace quelt
