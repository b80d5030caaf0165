#pragma once
// The communication auto-check without its window: it searches for a downhole drive, an uphole receiver
// gain window, an uphole drive and the fastest uphole speed at which the sonde still answers cleanly on the
// cable in use, asks the operator to accept the result, applies and stores it, and writes a report.
//
// The search runs in three phases on the ordinary commands 0x03, 0x04 and 0x05, judging every trial by
// what the decoders left in ReplyEcho:
//  - the gain test (62500 bauds, drive 25): the lowest gain of six clean gains in a row;
//  - the drive statistics: every downhole drive 60, 5..60 once, each trial tagged by a new acoustic window
//    value so that the echo of that window names the reply to that very trial;
//  - the speed scan: at each speed a run of seven clean gains, then the next faster speed, up to 208333,
//    with a second pass from 31250 when the first speed already fails, and 100 clean frames in a row to
//    verify the top speed or the fastest one that passed.
// Every reading waits while a command is still being written (a command issued meanwhile would be lost).
// While the check runs the shared flag `decimate` is set (the reader then hands on one frame in four);
// every way out clears it again. The check runs on the operator's thread, driven by tick(now); its
// questions and messages go through the Operator.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "config/Settings.h"
#include "link/LinkState.h"
#include "platform/Clock.h"
#include "platform/Operator.h"
#include "stream/LiveState.h"
#include "stream/ProbePanel.h"

namespace quelt {

// One speed that passed.
struct CheckCommEntry {
    std::int32_t downholeDrive = 0;
    std::int32_t upholeDrive = 0;
    std::int32_t gainMin = 0;
    std::int32_t gainMax = 0;
    std::int32_t divisor = 0;
    bool valid = false;
};

enum class CheckCommResult { Running, Success, Refused, Failed, Cancelled };
const char* checkCommResultName(CheckCommResult r);  // "success", "refused", "failed", "cancelled"

// How a field or the Infos line is coloured: the window maps each to its colour.
enum class CheckCommTone {
    Plain,
    Current,   // a value under trial (blue)
    Result,    // a final value (dark blue)
    Accepted,  // accepted (green, RGB 00,c8,00)
    Error,     // a failure or an error reading (red, RGB c8,00,00)
};

struct CheckCommField {
    std::string text;
    CheckCommTone tone = CheckCommTone::Plain;
};

// What the dialog shows. Fields in the order "Downh. Drive", "Receiver Gain", "Uphole Drive", "Baudrate".
struct CheckCommView {
    std::array<CheckCommField, 4> current, selected;
    CheckCommField infos;
    bool progressVisible = false;
    int progress = 0;  // 0..100 during verification
    bool cancelEnabled = true;
};

// The report: "Communication report - <date>", the serial and cable line, the table of valid entries (or
// "No communication !!!"). `date` is already formatted as "%d %B %Y" with English month names.
std::string checkCommReportText(const std::string& date, int serialNumber, bool mono,
                                const std::vector<CheckCommEntry>& entries);
// "reporting_%04d_<mono|4cond>.txt".
std::string checkCommReportName(int serialNumber, bool mono);
// Today as "%d %B %Y", English month names whatever the locale.
std::string reportDate();

class CCheckComm {
  public:
    static constexpr int kMaxEntries = 20;
    static constexpr int kVerifyFrames = 100;

    // Steps of the state machine.
    enum Step : int {
        kStepInit = 0,
        kStepWindow = 1,
        kStepGainStart = 2,
        kStepGainTest = 32,
        kStepDriveEcho = 4,
        kStepDriveTag = 5,
        kStepSpeedScan = 40,
        kStepReport = 128,
        kStepRestoreWindow = 129,
        kStepApply = 130,
        kStepApplyEcho = 131,
        kStepSave = 64,
    };

    // `commands` carries sendF3/F4/F5 and tells whether a command is still being written; `flags`
    // gives `decimate`. All must outlive the check.
    CCheckComm(Settings& settings, ReplyEcho& echo, LinkFlags& flags, LoggerCommands& commands, Operator& op);
    ~CCheckComm();

    // Where the report goes and whose it is.
    std::string programFolder;
    int sondeSerial = 0;
    // SaveSettings, RefreshDataView and the refresh of the setup sheet's pages.
    std::function<void()> saveSettings;
    std::function<void(int code)> refreshDataView;
    std::function<void()> refreshSetupPages;
    // Told whenever the view changes, and each passed speed (for a progress line).
    std::function<void()> onChange;
    std::function<void(const CheckCommEntry&)> onSpeedPassed;

    // Opens the check: decimate set, values at opening remembered, first step after 200 ms.
    void open(Millis now);
    void tick(Millis now);
    // "&Cancel" or closing the window: the check ends at the next step with the values at opening.
    void cancel();

    bool running() const { return running_; }
    bool closed() const { return closed_; }
    CheckCommResult result() const { return result_; }
    int step() const { return step_; }
    Millis due() const { return due_; }
    const CheckCommView& view() const { return view_; }
    const std::vector<CheckCommEntry>& entries() const { return entries_; }
    // The report written at the end; empty when it could not be written.
    const std::string& reportPath() const { return reportPath_; }
    // The values the check ended with: applied on success, those at opening otherwise.
    int finalDrive() const { return d_; }
    int finalGain() const { return g_; }
    int finalUphole() const { return u_; }
    int finalDivisor() const { return b_; }
    int commandsSent() const { return commandsSent_; }

  private:
    struct Reading {
        int drive, gain, divisor;
        std::uint32_t window;
        std::uint8_t status;
        bool clean() const { return (status & 0xDE) == 0; }
        bool valid() const { return (status & 0x01) != 0; }
    };
    Reading read() const;
    void after(Millis ms) { due_ = now_ + ms; }
    void go(int step, Millis ms) {
        step_ = step;
        after(ms);
    }
    // Runs `then` once no command is pending any more, or after `limitMs` anyway.
    void whenIdle(Millis limitMs, std::function<void()> then);
    void sendF3();
    void sendF4();
    void sendF5();
    void setInfos(const std::string& text, CheckCommTone tone = CheckCommTone::Plain);
    void showCurrent();
    void changed();

    void saveValues();
    void runStep();
    void stepInit();
    void stepGainTest();
    void endGainTest();
    void gainTestExhausted();
    void stepDriveEcho();
    void stepDriveTag();
    void nextDrive();
    void driveStatisticsDone();
    void stepSpeedScan();
    void enterSpeed();
    void scanClean(const Reading& r);
    void scanError();
    void speedPassed();
    void finish();
    void restoreEntry();
    void noValidCommunication();
    void acceptQuestion(const std::string& question);
    void fail(const std::string& infos, CheckCommResult why);
    void stepReport();
    void stepRestoreWindow();
    void stepApply();
    void stepApplyEcho();
    void stepSave();
    void close();
    void writeReport();

    // Verification: `then(true)` after 100 clean frames in a row.
    void verify(std::function<void(bool)> then);
    void verifyPoll();

    Settings& settings_;
    ReplyEcho& echo_;
    LinkFlags& flags_;
    LoggerCommands& commands_;
    Operator& op_;

    Millis now_ = 0, due_ = -1;
    int step_ = kStepInit;
    bool running_ = false, closed_ = false, cancelRequested_ = false, restoreSaved_ = false;
    bool anyClean_ = false, gainTestClean_ = false, secondPass_ = false;
    CheckCommResult result_ = CheckCommResult::Running;
    CheckCommView view_;

    // The current trial.
    int d_ = 25, g_ = 25, u_ = 25, b_ = 10;
    // Saved at step 0, and at opening.
    struct Saved {
        int picResolution, motorPeriod, divisor, drive, uphole, acousticalGain;
        double blanking, window;
    } saved_{};
    struct Opening {
        int drive, gain, uphole, divisor;
    } opening_{};

    std::array<bool, 100> validDrive_{};
    int s_ = -1;  // window start
    int divisorResends_ = 0;
    int good_ = 0, badLooks_ = 0, mismatches_ = 0, cleanRun_ = 0, errorRun_ = 0, looks_ = 0;
    bool ascending_ = false, firstDrivePass_ = true, enteringSpeed_ = false;
    std::uint32_t tag_ = 300;
    std::size_t driveIndex_ = 0;
    // Best so far.
    int bestMarker_ = -1;
    int bestDrive_ = 0, bestGain_ = 0, bestDivisor_ = 10, bestUphole_ = 25;
    bool bestRecorded_ = false;
    int selectedGain_ = 0;
    std::vector<CheckCommEntry> entries_;
    std::array<std::uint8_t, 4> lastF3_{};
    int applyRetries_ = 0;

    std::function<void()> afterIdle_;
    Millis idleLimit_ = 0;

    bool verifying_ = false, verifyCounting_ = false;
    int verifyPolls_ = 0, verifyCount_ = 0;
    std::function<void(bool)> verifyThen_;

    std::string reportPath_;
    int commandsSent_ = 0;
};

}  // namespace quelt
