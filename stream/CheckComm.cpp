#include "stream/CheckComm.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "link/Frames.h"
#include "link/SpeedTables.h"
#include "platform/Paths.h"

namespace quelt {
namespace {

// Periods of the step timer, ms.
constexpr Millis kOpenMs = 200;        // open to step 0, step 0 to step 1
constexpr Millis kPendingMs = 32;      // a command is still being written: look again
constexpr Millis kShortMs = 64;        // after a command whose answer comes at once
constexpr Millis kReadingMs = 350;     // between two readings of a trial
constexpr Millis kGainLookMs = 250;    // extra looks at a bad gain in the gain test
constexpr Millis kTagLookMs = 200;     // looks for the echoed window tag
constexpr Millis kSpeedStartMs = 200;  // from the drive statistics to the speed scan
constexpr Millis kClosingMs = 20;      // to the closing steps
constexpr Millis kIdlePollMs = 50;     // while waiting for the sender
constexpr Millis kIdleLongMs = 5000;   // "at most about 5 s"
constexpr Millis kIdleShortMs = 1100;  // 11 x 100 ms
constexpr Millis kVerifyPollMs = 50;   // one poll of the verification
constexpr int kVerifyPollLimit = 100;  // polls per frame
constexpr Millis kAfterF4Ms = 350;     // step 128 to 129
constexpr Millis kAfterF5Ms = 200;     // step 129 to 130

// Acquisition values of the check's own trials.
constexpr int kTestResolution = 4, kTestMotorPeriod = 87, kDriveMotorPeriod = 65, kScanResolution = 2;
constexpr int kFastMotorPeriod = 40, kSlowMotorPeriod = 65, kSecondPassMotorPeriod = 45;
constexpr int kTestDivisor = 10, kSecondPassDivisor = 20, kTopDivisor = 3;
constexpr int kTestDrive = 25, kMaxDrive = 60, kFirstDrive = 5, kDriveStep = 5;
constexpr int kMaxGain = 40, kGainCeiling = 35;
constexpr int kAcousticalGain = 128, kBlanking = 1024, kFirstTag = 300, kTagTop = 3000, kTagBottom = 1500;
constexpr int kGoodGains = 6, kBadLooks = 4, kGainMismatches = 30, kDriveMismatches = 50, kTagLooks = 6;
constexpr int kCleanLooks = 4, kErrorLooks = 5, kScanMismatches = 6, kWindowWidth = 6, kApplyRetries = 6;
constexpr int kDivisorResends = 30;

// The divisor after a passed one; 0 after the top speed.
int nextDivisor(int passed) {
    switch (passed) {
        case 20:
            return 15;
        case 15:
            return 12;
        case 12:
            return 10;
        case 10:
            return 9;
        case 9:
            return 8;
        case 8:
            return 7;
        case 7:
            return 6;
        case 6:
            return 5;
        case 5:
            return 4;
        case 4:
            return 3;
        default:
            return 0;
    }
}

// The report's fixed speed texts.
const char* reportSpeed(int divisor) {
    switch (divisor) {
        case 3:
            return " 208333";
        case 4:
            return " 156250";
        case 5:
            return " 125000";
        case 6:
            return " 104167";
        case 7:
            return "  89286";
        case 8:
            return "  78125";
        case 9:
            return "  69444";
        case 10:
            return "  62500";
        case 12:
            return "  52083";
        case 15:
            return "  41667";
        case 20:
            return "  31250";
        default:
            return "      -";
    }
}

std::string number(int v) {
    return std::to_string(v);
}

// The drive trials of the statistics: 60 first, then 5..60.
int driveTrial(std::size_t index) {
    return index == 0 ? kMaxDrive : kFirstDrive - 1 + static_cast<int>(index);
}
constexpr std::size_t kDriveTrials = 1 + kMaxDrive - kFirstDrive + 1;

}  // namespace

const char* checkCommResultName(CheckCommResult r) {
    switch (r) {
        case CheckCommResult::Success:
            return "success";
        case CheckCommResult::Refused:
            return "refused";
        case CheckCommResult::Failed:
            return "failed";
        case CheckCommResult::Cancelled:
            return "cancelled";
        case CheckCommResult::Running:
            break;
    }
    return "running";
}

std::string checkCommReportName(int serialNumber, bool mono) {
    char name[64];
    std::snprintf(name, sizeof name, "reporting_%04d_%s.txt", serialNumber, mono ? "mono" : "4cond");
    return name;
}

std::string reportDate() {
    static const char* const kMonths[12] = {"January",   "February", "March",    "April",
                                            "May",       "June",     "July",     "August",
                                            "September", "October",  "November", "December"};
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char out[48];
    std::snprintf(out, sizeof out, "%02d %s %d", tm.tm_mday, kMonths[tm.tm_mon % 12], tm.tm_year + 1900);
    return out;
}

std::string checkCommReportText(const std::string& date, int serialNumber, bool mono,
                                const std::vector<CheckCommEntry>& entries) {
    std::string out = "Communication report - " + date + "\n";
    char line[160];
    std::snprintf(line, sizeof line, "VEXA serial number :%04d - cable type :%s", serialNumber,
                  mono ? "mono" : "4cond");
    out += line;
    out += "\nWritten by Torvanel s.a.\n\n";
    if (entries.empty() || !entries.front().valid) return out + "No communication !!!";
    out += "BaudRate DownHoleDrive UpholeDrive Gain :Min  Max(checked)\n";
    for (const CheckCommEntry& e : entries) {
        if (!e.valid) break;
        std::snprintf(line, sizeof line, "%s        %02d          %02d             %02d  %02d\n",
                      reportSpeed(e.divisor), e.downholeDrive, e.upholeDrive, e.gainMin, e.gainMax);
        out += line;
    }
    return out;
}

CCheckComm::CCheckComm(Settings& settings, ReplyEcho& echo, LinkFlags& flags, LoggerCommands& commands,
                       Operator& op)
    : settings_(settings), echo_(echo), flags_(flags), commands_(commands), op_(op) {}

CCheckComm::~CCheckComm() {
    if (running_) flags_.decimate = false;
}

void CCheckComm::open(Millis now) {
    now_ = now;
    running_ = true;
    closed_ = false;
    cancelRequested_ = restoreSaved_ = anyClean_ = gainTestClean_ = secondPass_ = false;
    result_ = CheckCommResult::Running;
    flags_.decimate = true;
    opening_ = {settings_.DownEnergie, settings_.UpGain, settings_.UpholePulseWidth, settings_.UpBaudDivisor};
    saveValues();  // a cancel before the first step restores these too
    entries_.clear();
    d_ = g_ = u_ = kTestDrive;
    b_ = settings_.UpBaudDivisor;
    bestMarker_ = -1;
    bestRecorded_ = false;
    firstDrivePass_ = true;
    enteringSpeed_ = verifying_ = false;
    afterIdle_ = nullptr;
    verifyThen_ = nullptr;
    commandsSent_ = 0;
    reportPath_.clear();
    view_ = CheckCommView{};
    go(kStepInit, kOpenMs);
    changed();
}

void CCheckComm::cancel() {
    if (!running_ || cancelRequested_ || step_ == kStepReport || step_ == kStepRestoreWindow ||
        step_ == kStepApply || step_ == kStepApplyEcho || step_ == kStepSave)
        return;
    cancelRequested_ = true;
    view_.cancelEnabled = false;
    setInfos("Cancel , wait !!!", CheckCommTone::Error);
    changed();
}

CCheckComm::Reading CCheckComm::read() const {
    const ReplyEcho::Slots e = echo_.snapshot();
    return {e[ReplyEcho::kDownDrive], e[ReplyEcho::kUpGain], e[ReplyEcho::kBaud],
            readLe32(&e[ReplyEcho::kWindow]), e[ReplyEcho::kCommStatus]};
}

void CCheckComm::whenIdle(Millis limitMs, std::function<void()> then) {
    afterIdle_ = std::move(then);
    idleLimit_ = now_ + limitMs;
    after(kIdlePollMs);
}

void CCheckComm::sendF3() {
    lastF3_ = commands_.sendF3();
    ++commandsSent_;
}
void CCheckComm::sendF4() {
    commands_.sendF4();
    ++commandsSent_;
}
void CCheckComm::sendF5() {
    commands_.sendF5();
    ++commandsSent_;
}

void CCheckComm::setInfos(const std::string& text, CheckCommTone tone) {
    view_.infos = {text, tone};
}

void CCheckComm::showCurrent() {
    view_.current[0] = {number(d_), CheckCommTone::Current};
    view_.current[1] = {number(g_), CheckCommTone::Current};
    view_.current[2] = {number(u_), CheckCommTone::Current};
    view_.current[3] = {baudText(b_), CheckCommTone::Current};
}

void CCheckComm::changed() {
    if (onChange) onChange();
}

void CCheckComm::tick(Millis now) {
    if (!running_ || due_ < 0 || now < due_) return;
    now_ = now;
    if (afterIdle_) {
        if (commands_.commandPending() && now < idleLimit_) {
            after(kIdlePollMs);
            return;
        }
        std::function<void()> then = std::move(afterIdle_);
        afterIdle_ = nullptr;
        then();
        changed();
        return;
    }
    if (commands_.commandPending()) {
        after(kPendingMs);
        return;
    }
    runStep();
    changed();
}

void CCheckComm::runStep() {
    const bool closing = step_ == kStepReport || step_ == kStepRestoreWindow || step_ == kStepApply ||
                         step_ == kStepApplyEcho || step_ == kStepSave;
    if (cancelRequested_ && !closing) {
        cancelRequested_ = false;
        verifying_ = false;
        view_.progressVisible = false;
        fail("Parametres restored , wait !!!", CheckCommResult::Cancelled);
        return;
    }
    if (verifying_) {
        verifyPoll();
        return;
    }
    switch (step_) {
        case kStepInit:
            stepInit();
            break;
        case kStepWindow:
            settings_.AcousticalGain = kAcousticalGain;
            settings_.UpBlanking = kBlanking;
            settings_.UpWindow = kTagTop;
            sendF5();
            go(kStepGainStart, kShortMs);
            break;
        case kStepGainStart:
            g_ = 0;
            d_ = kTestDrive;
            settings_.UpGain = g_;
            settings_.DownEnergie = d_;
            s_ = -1;
            good_ = badLooks_ = mismatches_ = 0;
            showCurrent();
            setInfos("Gain setting test, wait...");
            sendF3();
            go(kStepGainTest, kShortMs);
            break;
        case kStepGainTest:
            stepGainTest();
            break;
        case kStepDriveEcho:
            stepDriveEcho();
            break;
        case kStepDriveTag:
            stepDriveTag();
            break;
        case kStepSpeedScan:
            stepSpeedScan();
            break;
        case kStepReport:
            stepReport();
            break;
        case kStepRestoreWindow:
            stepRestoreWindow();
            break;
        case kStepApply:
            stepApply();
            break;
        case kStepApplyEcho:
            stepApplyEcho();
            break;
        case kStepSave:
            stepSave();
            break;
        default:
            break;
    }
}

// --- gain test -----------------------------------------------------------------------------------------

void CCheckComm::saveValues() {
    saved_ = {settings_.PicResolution, settings_.MotorPeriod,      settings_.UpBaudDivisor,
              settings_.DownEnergie,   settings_.UpholePulseWidth, settings_.AcousticalGain,
              settings_.UpBlanking,    settings_.UpWindow};
}

void CCheckComm::stepInit() {
    saveValues();
    validDrive_.fill(false);
    d_ = kTestDrive;
    u_ = kTestDrive;
    g_ = 0;
    b_ = kTestDivisor;
    showCurrent();
    setInfos("Initialization ");
    settings_.PicResolution = kTestResolution;
    settings_.MotorPeriod = kTestMotorPeriod;
    settings_.UpBaudDivisor = b_;
    settings_.UpholePulseWidth = u_;
    sendF4();
    go(kStepWindow, kOpenMs);
}

void CCheckComm::stepGainTest() {
    const Reading r = read();
    if (r.drive != d_ || r.gain != g_) {
        if (++mismatches_ >= kGainMismatches) {
            gainTestExhausted();
            return;
        }
        sendF3();
        after(kReadingMs);
        return;
    }
    mismatches_ = 0;
    if (r.clean()) {
        gainTestClean_ = true;
        badLooks_ = 0;
        if (s_ < 0) s_ = g_;
        if (++good_ >= kGoodGains) {
            endGainTest();
            return;
        }
        settings_.UpGain = ++g_;
        view_.current[1] = {number(g_), CheckCommTone::Current};
        sendF3();
        after(kReadingMs);
        return;
    }
    s_ = -1;
    good_ = 0;
    view_.current[1] = {number(g_), CheckCommTone::Error};
    if (g_ < kMaxGain) {
        if (++badLooks_ < kBadLooks) {
            after(kGainLookMs);
            return;
        }
        badLooks_ = 0;
        settings_.UpGain = ++g_;
    } else {
        badLooks_ = 0;
        const int next = firstDrivePass_ ? kFirstDrive : d_ + kDriveStep;
        firstDrivePass_ = false;
        if (next > kMaxDrive) {
            gainTestExhausted();
            return;
        }
        d_ = next;
        g_ = 0;
        settings_.DownEnergie = d_;
        settings_.UpGain = g_;
    }
    showCurrent();
    sendF3();
    after(kReadingMs);
}

void CCheckComm::gainTestExhausted() {
    if (gainTestClean_) {
        finish();
        return;
    }
    op_.message("Bad communication !!!\n no result ..  fail !!!", MessageKind::Information);
    fail("Fail !!!", CheckCommResult::Failed);
}

void CCheckComm::endGainTest() {
    g_ = std::min(s_ + 4, kMaxGain);
    s_ = -1;
    d_ = kMaxDrive;
    settings_.DownEnergie = d_;
    settings_.UpGain = g_;
    showCurrent();
    setInfos("Create Downhole drive statistic, wait...");
    settings_.MotorPeriod = kDriveMotorPeriod;
    sendF4();
    tag_ = kFirstTag;
    driveIndex_ = 0;
    mismatches_ = 0;
    whenIdle(kIdleLongMs, [this] {
        sendF3();
        go(kStepDriveEcho, kShortMs);
    });
}

// --- drive statistics ----------------------------------------------------------------------------------

void CCheckComm::stepDriveEcho() {
    const Reading r = read();
    if (r.drive != d_) {
        if (++mismatches_ >= kDriveMismatches) {
            if (!gainTestClean_ && !anyClean_) {
                op_.message("Error : No communication!!!", MessageKind::Error);
                fail("Fail !!!", CheckCommResult::Failed);
            } else {
                finish();
            }
            return;
        }
        sendF3();
        after(kShortMs);
        return;
    }
    mismatches_ = 0;
    if (--tag_ < static_cast<std::uint32_t>(kTagBottom)) tag_ = kTagTop;
    settings_.UpWindow = tag_;
    sendF5();
    looks_ = 0;
    go(kStepDriveTag, kShortMs);
}

void CCheckComm::stepDriveTag() {
    const Reading r = read();
    if (r.window == tag_) {
        if (r.valid()) validDrive_[static_cast<std::size_t>(d_)] = true;
        view_.current[0] = {number(d_), r.valid() ? CheckCommTone::Current : CheckCommTone::Error};
        nextDrive();
        return;
    }
    if (++looks_ < kTagLooks) {
        after(kTagLookMs);
        return;
    }
    view_.current[0] = {number(d_), CheckCommTone::Error};
    nextDrive();
}

void CCheckComm::nextDrive() {
    if (++driveIndex_ < kDriveTrials) {
        d_ = driveTrial(driveIndex_);
        settings_.DownEnergie = d_;
        view_.current[0] = {number(d_), CheckCommTone::Current};
        sendF3();
        go(kStepDriveEcho, kShortMs);
        return;
    }
    driveStatisticsDone();
}

void CCheckComm::driveStatisticsDone() {
    setInfos("Downhole drive setting, wait...");
    int lo = -1, hi = -1;
    for (int k = kFirstDrive; k < kMaxDrive; ++k) {
        if (validDrive_[static_cast<std::size_t>(k)]) {
            if (lo < 0) lo = k;
            hi = k;
        } else if (lo >= 0) {
            break;
        }
    }
    if (lo < 0) {
        op_.message("Bad communication !!!\n no downholedrv valid ..  fail !!!", MessageKind::Information);
        fail("Fail !!!", CheckCommResult::Failed);
        return;
    }
    d_ = lo + (hi - lo) / 3;
    settings_.DownEnergie = d_;
    sendF3();
    u_ = d_;
    settings_.UpholePulseWidth = u_;
    settings_.PicResolution = kScanResolution;
    g_ = 0;
    bestMarker_ = -1;
    showCurrent();
    // Two commands in a row: the second waits for the first, or the link would lose it.
    whenIdle(kIdleLongMs, [this] {
        sendF4();
        enteringSpeed_ = true;
        go(kStepSpeedScan, kSpeedStartMs);
    });
}

// --- speed scan ----------------------------------------------------------------------------------------

void CCheckComm::enterSpeed() {
    enteringSpeed_ = false;
    cleanRun_ = errorRun_ = mismatches_ = 0;
    if (bestMarker_ == -1) {
        bestMarker_ = 0;
        bestDrive_ = d_;
        bestGain_ = g_;
        s_ = g_ - 3;
        g_ = std::max(g_ - 3, 0);
        ascending_ = false;
    }
    setInfos("Setting gain range, wait !!!");
    settings_.UpGain = g_;
    showCurrent();
    sendF3();
    after(kReadingMs);
}

void CCheckComm::stepSpeedScan() {
    if (enteringSpeed_) {
        enterSpeed();
        return;
    }
    const Reading r = read();
    if (r.divisor != b_ && r.divisor != 0xFF) {
        // A sonde that no longer takes the speed would hold the scan here for ever.
        if (++divisorResends_ > kDivisorResends) {
            divisorResends_ = 0;
            finish();
            return;
        }
        settings_.UpBaudDivisor = b_;
        sendF4();
        after(kSpeedStartMs);
        return;
    }
    divisorResends_ = 0;
    if (r.drive != d_ || r.gain != g_) {
        cleanRun_ = errorRun_ = 0;
        if (g_ >= kGainCeiling) {
            finish();
            return;
        }
        if (++mismatches_ >= kScanMismatches) {
            mismatches_ = 0;
            if (ascending_) {
                ++g_;
            } else {
                g_ = std::max(s_, 0);
                ascending_ = true;
            }
        }
        settings_.UpGain = g_;
        sendF3();
        after(kReadingMs);
        return;
    }
    mismatches_ = 0;
    if (r.clean()) {
        errorRun_ = 0;
        if (++cleanRun_ < kCleanLooks) {
            after(kReadingMs);
            return;
        }
        cleanRun_ = 0;
        scanClean(r);
        return;
    }
    cleanRun_ = 0;
    if (++errorRun_ < kErrorLooks) {
        after(kReadingMs);
        return;
    }
    errorRun_ = 0;
    scanError();
}

void CCheckComm::scanClean(const Reading&) {
    anyClean_ = true;
    if (!bestRecorded_) {
        bestRecorded_ = true;
        bestDrive_ = d_;
        bestGain_ = g_;
        bestDivisor_ = b_;
        bestUphole_ = u_;
    }
    setInfos("Check Gain Window ... wait.");
    view_.current[1] = {number(g_), CheckCommTone::Current};
    if (!ascending_) {
        if (--g_ < 0) {
            g_ = 0;
            ascending_ = true;
        }
    } else {
        if (s_ >= 0 && g_ - s_ >= kWindowWidth) {
            speedPassed();
            return;
        }
        if (s_ < 0) s_ = g_;
        if (g_ >= kGainCeiling) {
            finish();
            return;
        }
        ++g_;
    }
    settings_.UpGain = g_;
    sendF3();
    after(kReadingMs);
}

void CCheckComm::scanError() {
    setInfos("Check Gain Window ... wait.", CheckCommTone::Error);
    view_.current[1] = {number(g_), CheckCommTone::Error};
    if (ascending_) {
        if (g_ > kGainCeiling) {
            finish();
            return;
        }
        s_ = ++g_;
    } else {
        if (++g_ > kMaxGain) g_ = s_;
        g_ = std::max(g_, 0);
        ascending_ = true;
    }
    whenIdle(kIdleShortMs, [this] {
        settings_.UpGain = g_;
        sendF3();
        after(kReadingMs);
    });
}

void CCheckComm::speedPassed() {
    CheckCommEntry e{d_, u_, s_, g_, b_, true};
    if (static_cast<int>(entries_.size()) < kMaxEntries) entries_.push_back(e);
    if (onSpeedPassed) onSpeedPassed(e);
    selectedGain_ = std::min(s_ + 4, kMaxGain);
    bestDivisor_ = b_;
    bestUphole_ = u_;
    view_.selected[0] = {number(d_), CheckCommTone::Accepted};
    view_.selected[1] = {number(selectedGain_), CheckCommTone::Accepted};
    view_.selected[2] = {number(u_), CheckCommTone::Accepted};
    g_ = s_;
    const int next = nextDivisor(b_);
    if (next == 0) {
        view_.selected[3] = {baudText(b_), CheckCommTone::Accepted};
        verify([this](bool ok) {
            if (!ok) {
                entries_.pop_back();
                finish();
                return;
            }
            g_ = selectedGain_;
            setInfos("Success !!!", CheckCommTone::Accepted);
            view_.selected[3] = {baudText(kTopDivisor), CheckCommTone::Accepted};
            changed();
            acceptQuestion(std::string("Success at ") + baudText(kTopDivisor) + " -> Accept ?");
        });
        return;
    }
    u_ = next * d_ / 10;
    if (u_ < kMinUpholeDrive + 1) u_ = kMinUpholeDrive;
    settings_.UpholePulseWidth = u_;
    view_.selected[3] = {view_.current[3].text, CheckCommTone::Accepted};
    view_.current[3] = {baudText(next), CheckCommTone::Current};
    settings_.UpGain = g_;
    settings_.MotorPeriod = next <= 12 ? kFastMotorPeriod : kSlowMotorPeriod;
    sendF4();  // still with the previous divisor: the new one follows through the divisor check
    whenIdle(kIdleShortMs, [this, next] {
        b_ = next;
        settings_.UpBaudDivisor = b_;
        showCurrent();
        sendF3();
        enteringSpeed_ = true;
        go(kStepSpeedScan, kReadingMs);
    });
}

// --- finish, verification, acceptance -----------------------------------------------------------------

void CCheckComm::finish() {
    if (entries_.empty() && !secondPass_) {
        secondPass_ = true;
        b_ = kSecondPassDivisor;
        settings_.UpBaudDivisor = b_;
        settings_.MotorPeriod = kSecondPassMotorPeriod;
        g_ = 0;
        s_ = -1;
        ascending_ = true;
        bestMarker_ = 0;  // the second pass climbs from gain 0
        showCurrent();
        whenIdle(kIdleLongMs, [this] {
            settings_.UpGain = g_;
            sendF3();
            cleanRun_ = errorRun_ = mismatches_ = 0;
            go(kStepSpeedScan, kReadingMs);
        });
        return;
    }
    if (anyClean_) {
        setInfos("Restore last range parameters, wait !!!");
        restoreEntry();
        return;
    }
    noValidCommunication();
}

void CCheckComm::noValidCommunication() {
    fail("Fail : no valid communication  !!!", CheckCommResult::Failed);
    changed();
    op_.message("Fail no valid communication  !!!\n Use manual parameter tools or restart check.",
                MessageKind::Information);
}

void CCheckComm::restoreEntry() {
    if (!entries_.empty()) {
        const CheckCommEntry& e = entries_.back();
        d_ = e.downholeDrive;
        u_ = e.upholeDrive;
        g_ = std::min(e.gainMin + 4, kMaxGain);
        b_ = e.divisor;
    } else {
        d_ = bestDrive_;
        u_ = bestUphole_;
        g_ = bestGain_;
        b_ = bestDivisor_;
    }
    selectedGain_ = g_;
    showCurrent();
    view_.selected[0] = {number(d_), CheckCommTone::Result};
    view_.selected[1] = {number(g_), CheckCommTone::Result};
    view_.selected[2] = {number(u_), CheckCommTone::Result};
    view_.selected[3] = {baudText(b_), CheckCommTone::Result};
    settings_.DownEnergie = d_;
    settings_.UpGain = g_;
    sendF3();
    whenIdle(kIdleLongMs, [this] {
        settings_.UpBaudDivisor = b_;
        settings_.UpholePulseWidth = u_;
        sendF4();
        whenIdle(kIdleLongMs, [this] {
            verify([this](bool ok) {
                if (!ok && entries_.size() > 1) {
                    entries_.pop_back();
                    restoreEntry();
                    return;
                }
                // Nothing older to fall back on: values that failed their verification are no success.
                if (!ok) {
                    noValidCommunication();
                    return;
                }
                const std::string speed = std::string(" at ") + baudText(b_) + " !!!";
                setInfos("Success" + speed, CheckCommTone::Result);
                changed();
                acceptQuestion("Success" + speed + " -> Accept ?");
            });
        });
    });
}

void CCheckComm::acceptQuestion(const std::string& question) {
    if (!op_.askYesNo(question)) {
        fail("Manual refused!!!", CheckCommResult::Refused);
        return;
    }
    result_ = CheckCommResult::Success;
    settings_.UpGain = g_;
    settings_.UpBaudDivisor = b_;
    go(kStepReport, kClosingMs);
}

void CCheckComm::verify(std::function<void(bool)> then) {
    setInfos("Parameters verification, wait !!!");
    verifyThen_ = std::move(then);
    verifying_ = true;
    verifyCounting_ = false;
    verifyPolls_ = verifyCount_ = 0;
    view_.progress = 0;
    echo_.update([](ReplyEcho::Slots& e) { e[ReplyEcho::kFrameKindMarker] = 0; });
    after(kVerifyPollMs);
}

void CCheckComm::verifyPoll() {
    const ReplyEcho::Slots e = echo_.snapshot();
    bool done = false, ok = false;
    if (e[ReplyEcho::kFrameKindMarker] != 0) {
        echo_.update([](ReplyEcho::Slots& s) { s[ReplyEcho::kFrameKindMarker] = 0; });
        const bool valid = (e[ReplyEcho::kCommStatus] & kCommHealthy) != 0;
        // Before the first valid frame the 100 polls are one limit for all; then each frame has its own.
        if (valid) verifyPolls_ = 0;
        if (!verifyCounting_) {
            if (valid) {
                verifyCounting_ = true;
                view_.progressVisible = true;
            } else if (++verifyPolls_ >= kVerifyPollLimit) {
                done = true;
            }
        } else if (!valid) {
            done = true;
        } else {
            view_.progress = ++verifyCount_;
            if (verifyCount_ >= kVerifyFrames) done = ok = true;
        }
    } else if (++verifyPolls_ >= kVerifyPollLimit) {
        done = true;
    }
    if (!done) {
        after(kVerifyPollMs);
        return;
    }
    verifying_ = false;
    view_.progressVisible = false;
    std::function<void(bool)> then = std::move(verifyThen_);
    verifyThen_ = nullptr;
    then(ok);
}

void CCheckComm::fail(const std::string& infos, CheckCommResult why) {
    setInfos(infos, CheckCommTone::Error);
    result_ = why;
    afterIdle_ = nullptr;
    d_ = opening_.drive;
    g_ = opening_.gain;
    u_ = opening_.uphole;
    b_ = opening_.divisor;
    showCurrent();
    // The values at opening go back to the logger at step 130: the recorded best is only shown.
    if (bestRecorded_) {
        view_.selected[0] = {number(bestDrive_), CheckCommTone::Result};
        view_.selected[1] = {number(bestGain_), CheckCommTone::Result};
    }
    restoreSaved_ = true;
    go(kStepReport, kClosingMs);
}

// --- closing steps -------------------------------------------------------------------------------------

void CCheckComm::writeReport() {
    const bool mono = settings_.CableType != 0;
    std::string name = checkCommReportName(sondeSerial, mono);
    fs::path path = resolveNoCase(fs::path(programFolder) / name);
    const std::string text = checkCommReportText(reportDate(), sondeSerial, mono, entries_);
    if (!replaceFileAtomically(path, text)) {
        op_.message("Trouble opening or create file. " + path.string(), MessageKind::Error);
        return;
    }
    reportPath_ = path.string();
}

void CCheckComm::stepReport() {
    view_.cancelEnabled = false;
    writeReport();
    if (result_ == CheckCommResult::Success) {
        view_.selected[0] = {number(d_), CheckCommTone::Accepted};
        view_.selected[1] = {number(g_), CheckCommTone::Accepted};
        view_.selected[2] = {number(u_), CheckCommTone::Accepted};
        view_.selected[3] = {baudText(b_), CheckCommTone::Accepted};
    }
    settings_.PicResolution = saved_.picResolution;
    changed();
    op_.message("Please check motor speed parameter !!!", MessageKind::Information);
    if (restoreSaved_) {
        settings_.UpBaudDivisor = saved_.divisor;
        settings_.UpholePulseWidth = saved_.uphole;
    } else {
        settings_.UpholePulseWidth = u_;
    }
    // The slow speeds share the column of 52083 bauds.
    const int divisor = settings_.UpBaudDivisor;
    const int column = speedColumn(divisor > 10 ? 12 : divisor);
    const int minimum = minimumMotorPeriod(settings_.PicResolution, column);
    settings_.MotorPeriod = std::min(std::max(saved_.motorPeriod, minimum), kMaxMotorPeriod);
    sendF4();
    go(kStepRestoreWindow, kAfterF4Ms);
}

void CCheckComm::stepRestoreWindow() {
    settings_.AcousticalGain = saved_.acousticalGain;
    settings_.UpBlanking = saved_.blanking;
    settings_.UpWindow = saved_.window;
    sendF5();
    if (refreshDataView) refreshDataView(kRefreshRestored);
    go(kStepApply, kAfterF5Ms);
}

void CCheckComm::stepApply() {
    if (restoreSaved_) {
        settings_.DownEnergie = opening_.drive;
        settings_.UpGain = settings_.UpGainCommand = opening_.gain;
        sendF3();
        close();
        return;
    }
    settings_.DownEnergie = d_;
    settings_.UpGain = settings_.UpGainCommand = g_;
    settings_.UpBaudDivisor = b_;
    sendF3();
    applyRetries_ = 0;
    go(kStepApplyEcho, kShortMs);
}

void CCheckComm::stepApplyEcho() {
    const Reading r = read();
    if ((r.gain != lastF3_[1] || r.drive != lastF3_[2]) && applyRetries_++ < kApplyRetries) {
        sendF3();
        after(kShortMs);
        return;
    }
    go(kStepSave, kShortMs);
}

void CCheckComm::stepSave() {
    view_.selected[1] = {number(g_), CheckCommTone::Accepted};
    if (refreshSetupPages) refreshSetupPages();
    if (saveSettings) saveSettings();
    settings_.AcousticalGain = saved_.acousticalGain;
    settings_.UpBlanking = saved_.blanking;
    settings_.UpWindow = saved_.window;
    sendF5();
    close();
}

void CCheckComm::close() {
    flags_.decimate = false;
    running_ = false;
    closed_ = true;
    due_ = -1;
    view_.progressVisible = false;
}

}  // namespace quelt
