// The communication auto-check on a fake clock against a sonde scripted by rules: which downhole drives
// its receiver hears, and at which speed, uphole drive and gain its replies arrive clean.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include <unistd.h>

#include "platform/Clock.h"
#include "stream/CheckComm.h"
#include "stream/RuleSonde.h"

using namespace quelt;
namespace fs = std::filesystem;

namespace {

struct CheckRig {
    CheckRig() {
        static int serial = 0;
        home = fs::temp_directory_path() /
               ("quelt_checkcomm_" + std::to_string(::getpid()) + "_" + std::to_string(++serial));
        fs::remove_all(home);
        fs::create_directories(home);
        settings.DownEnergie = 15;
        settings.UpGain = 25;
        settings.UpholePulseWidth = 15;
        settings.UpBaudDivisor = 10;
        settings.PicResolution = 2;
        settings.MotorPeriod = 87;
        check.programFolder = home.string();
        check.sondeSerial = 1234;
        check.saveSettings = [this] { ++saves; };
    }
    ~CheckRig() { fs::remove_all(home); }

    // Runs until the check closes or `limitMs` of simulated time have passed; `each` sees every tick.
    void run(Millis limitMs = 3'600'000, const std::function<void()>& each = {}) {
        check.open(clock.now());
        EXPECT_TRUE(flags.decimate.load());
        const Millis end = clock.now() + limitMs;
        while (!check.closed() && clock.now() < end) {
            clock.advance(10);
            sonde.tick(clock.now());
            check.tick(clock.now());
            if (each) each();
        }
        ASSERT_TRUE(check.closed()) << "still at step " << check.step();
        EXPECT_FALSE(flags.decimate.load()) << "decimate left set";
    }
    std::string report() const {
        std::ifstream in(check.reportPath(), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::vector<int> divisors() const {
        std::vector<int> out;
        for (const CheckCommEntry& e : check.entries())
            out.push_back(e.divisor);
        return out;
    }
    void expectOpeningValues() const {
        EXPECT_EQ(settings.DownEnergie, 15);
        EXPECT_EQ(settings.UpGain, 25);
        EXPECT_EQ(settings.UpholePulseWidth, 15);
        EXPECT_EQ(settings.UpBaudDivisor, 10);
        EXPECT_EQ(settings.PicResolution, 2);
        EXPECT_EQ(saves, 0);
        ASSERT_FALSE(sonde.f3Sent.empty());
        EXPECT_EQ(sonde.f3Sent.back(), std::make_pair(15, 25)) << "the logger is left at a trial value";
    }
    bool asked(const std::string& text) const {
        for (const auto& e : op.log())
            if (e.kind == "question" && e.text == text) return true;
        return false;
    }
    bool told(const std::string& text) const {
        for (const std::string& m : op.messages())
            if (m == text) return true;
        return false;
    }

    fs::path home;
    FakeClock clock{1000};
    Settings settings;
    ReplyEcho echo;
    LinkFlags flags;
    ScriptedOperator op;
    RuleSonde sonde{settings, echo};
    CCheckComm check{settings, echo, flags, sonde, op};
    int saves = 0;
};

struct CheckFixture : ::testing::Test, CheckRig {};

const std::vector<int> kAllSpeeds = {10, 9, 8, 7, 6, 5, 4, 3};

TEST_F(CheckFixture, CleanAtEveryGainClimbsToTheTopSpeedAndAppliesIt) {
    op.answerYes(true);
    run();
    // The gain test ends after gains 0..5 with s = 0: the drive statistics run at gain 4.
    auto firstAt60 = std::find_if(sonde.f3Sent.begin(), sonde.f3Sent.end(),
                                  [](const std::pair<int, int>& f) { return f.first == 60; });
    ASSERT_NE(firstAt60, sonde.f3Sent.end());
    EXPECT_EQ(firstAt60->second, 4);
    EXPECT_EQ(divisors(), kAllSpeeds);
    EXPECT_TRUE(asked("Success at 208333 -> Accept ?"));
    EXPECT_EQ(check.result(), CheckCommResult::Success);
    // Every drive 5..59 valid: d = 5 + 54 / 3.
    EXPECT_EQ(settings.DownEnergie, 23);
    EXPECT_EQ(settings.UpGain, 4);
    EXPECT_EQ(settings.UpGainCommand, 4);
    EXPECT_EQ(settings.UpBaudDivisor, 3);
    EXPECT_EQ(settings.UpholePulseWidth, 6);
    EXPECT_EQ(settings.PicResolution, 2);
    EXPECT_EQ(settings.MotorPeriod, 87);
    EXPECT_EQ(saves, 1);
    EXPECT_TRUE(told("Please check motor speed parameter !!!"));
    EXPECT_EQ(check.view().infos.text, "Success !!!");
    EXPECT_EQ(report().substr(report().find("\n") + 1),
              "VEXA serial number :1234 - cable type :4cond\nWritten by Torvanel s.a.\n\n"
              "BaudRate DownHoleDrive UpholeDrive Gain :Min  Max(checked)\n"
              "  62500        23          23             00  06\n"
              "  69444        23          20             00  06\n"
              "  78125        23          18             00  06\n"
              "  89286        23          16             00  06\n"
              " 104167        23          13             00  06\n"
              " 125000        23          11             00  06\n"
              " 156250        23          09             00  06\n"
              " 208333        23          06             00  06\n");
    EXPECT_EQ(fs::path(check.reportPath()).filename(), "reporting_1234_4cond.txt");
}

TEST_F(CheckFixture, ValidDrivesTwelveToThirtyGiveDriveEighteen) {
    sonde.hears = [](int d) { return d >= 12 && d <= 30; };
    op.answerYes(true);
    run();
    ASSERT_EQ(divisors(), kAllSpeeds);
    const auto& e = check.entries();
    EXPECT_EQ(e[0].downholeDrive, 18);
    EXPECT_EQ(e[0].upholeDrive, 18);
    EXPECT_EQ(e[1].upholeDrive, 16);  // divisor 9
    EXPECT_EQ(e[7].upholeDrive, 5);   // divisor 3: 5.4 is raised to no less than 5
    EXPECT_EQ(settings.DownEnergie, 18);
    EXPECT_EQ(settings.UpholePulseWidth, 5);
}

// Every way the check fails or is refused: the texts, the values at opening, decimate cleared.
TEST_F(CheckFixture, FailuresRestoreTheValuesAtOpening) {
    struct Case {
        const char* name;
        std::function<void(CheckRig&)> arrange;
        CheckCommResult result;
        const char* message;  // told to the operator
        const char* infos;
        bool communication;  // the report has a table
    };
    const Case cases[] = {
        {"drives only at 60", [](CheckRig& f) { f.sonde.hears = [](int d) { return d == 60; }; },
         CheckCommResult::Failed, "Bad communication !!!\n no downholedrv valid ..  fail !!!", "Fail !!!",
         false},
        {"never clean", [](CheckRig& f) { f.sonde.clean = [](int, int, int) { return false; }; },
         CheckCommResult::Failed, "Bad communication !!!\n no result ..  fail !!!", "Fail !!!", false},
        {"clean only in the gain test",
         [](CheckRig& f) { f.sonde.clean = [](int b, int u, int) { return b == 10 && u == 25; }; },
         CheckCommResult::Failed,
         "Fail no valid communication  !!!\n Use manual parameter tools or restart check.",
         "Fail : no valid communication  !!!", false},
        {"refused", [](CheckRig& f) { f.op.answerYes(false); }, CheckCommResult::Refused,
         "Please check motor speed parameter !!!", "Manual refused!!!", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CheckRig f;
        c.arrange(f);
        f.run();
        EXPECT_EQ(f.check.result(), c.result);
        EXPECT_TRUE(f.told(c.message));
        EXPECT_EQ(f.check.view().infos.text, c.infos);
        f.expectOpeningValues();
        EXPECT_EQ(f.report().find("No communication !!!") == std::string::npos, c.communication)
            << f.report();
    }
}

TEST_F(CheckFixture, CancelBeforeTheFirstStepRestoresTheValuesAtOpening) {
    settings.MotorPeriod = 100;
    run(3'600'000, [&] { check.cancel(); });
    EXPECT_EQ(check.result(), CheckCommResult::Cancelled);
    EXPECT_EQ(settings.PicResolution, 2);
    EXPECT_EQ(settings.MotorPeriod, 100);
    EXPECT_EQ(settings.UpBaudDivisor, 10);
    EXPECT_EQ(settings.UpholePulseWidth, 15);
    EXPECT_NE(report().find("No communication !!!"), std::string::npos);
}

TEST_F(CheckFixture, CancelDuringTheSpeedScanRestoresAndReportsTheSpeedsPassed) {
    bool cancelled = false;
    run(3'600'000, [&] {
        if (!cancelled && check.entries().size() == 2) {
            check.cancel();
            cancelled = true;
            EXPECT_EQ(check.view().infos.text, "Cancel , wait !!!");
        }
    });
    EXPECT_EQ(check.result(), CheckCommResult::Cancelled);
    EXPECT_EQ(check.view().infos.text, "Parametres restored , wait !!!");
    expectOpeningValues();
    const std::string text = report();
    EXPECT_NE(text.find("  62500        23          23             00  06\n"
                        "  69444        23          20             00  06\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("78125"), std::string::npos);
}

// The first pass fails at 62500: the second starts at 31250, passes 31250 and 41667 and fails at 52083;
// the fastest speed that passed is restored, verified and offered.
TEST_F(CheckFixture, SecondPassFromTheSlowestSpeed) {
    sonde.clean = [](int b, int u, int) { return b >= 15 || (b == 10 && u == 25); };
    settings.MotorPeriod = 60;
    op.answerYes(true);
    run();
    EXPECT_EQ(divisors(), (std::vector<int>{20, 15}));
    // 41667 bauds at 180 samples a turn: the slow speeds take the minimum of the 52083 column, 67.
    EXPECT_EQ(settings.MotorPeriod, 67);
    EXPECT_TRUE(asked("Success at 41667 !!! -> Accept ?"));
    EXPECT_EQ(check.result(), CheckCommResult::Success);
    EXPECT_EQ(settings.UpBaudDivisor, 15);
    EXPECT_EQ(settings.UpGain, check.entries().back().gainMin + 4);
}

// The replies at 78125 arrive clean but never confirm the link (bit 0 clear): the scan passes it, its
// verification fails, and the check falls back to the entry before it.
TEST_F(CheckFixture, FallsBackToAnOlderEntryWhenTheNewestFailsVerification) {
    sonde.clean = [](int b, int u, int) { return b >= 8 || (b == 10 && u == 25); };
    sonde.unconfirmedDivisor = 8;
    op.answerYes(true);
    run();
    EXPECT_EQ(divisors(), (std::vector<int>{10, 9}));
    EXPECT_TRUE(asked("Success at 69444 !!! -> Accept ?"));
    EXPECT_EQ(settings.UpBaudDivisor, 9);
}

// The sonde falls silent during the verification of the top speed: it times out, the top entry goes, the
// restored 156250 verifies once the sonde answers again.
TEST_F(CheckFixture, VerificationTimesOut) {
    op.answerYes(true);
    bool silenced = false;
    Millis silentSince = 0;
    run(3'600'000, [&] {
        if (!silenced && check.view().infos.text == "Parameters verification, wait !!!") {
            silenced = true;
            sonde.silent = true;
            silentSince = clock.now();
        }
        if (sonde.silent && check.view().infos.text == "Restore last range parameters, wait !!!") {
            EXPECT_GE(clock.now() - silentSince, 100 * 50);
            sonde.silent = false;
        }
    });
    EXPECT_EQ(divisors(), (std::vector<int>{10, 9, 8, 7, 6, 5, 4}));
    EXPECT_TRUE(asked("Success at 156250 !!! -> Accept ?"));
    EXPECT_EQ(settings.UpBaudDivisor, 4);
}

// The report texts, whole, against the checked-in files.
TEST(CheckCommReport, MatchesTheExpectedFiles) {
    auto expected = [](const char* name) {
        std::ifstream in(std::string(QUELT_TEST_DIR) + "/checkcomm/" + name, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    };
    const std::vector<CheckCommEntry> success = {
        {18, 18, 3, 9, 10, true}, {18, 16, 4, 10, 9, true}, {18, 14, 4, 10, 8, true},
        {18, 12, 5, 11, 7, true}, {18, 10, 6, 12, 6, true}, {18, 9, 7, 13, 5, true},
        {18, 7, 8, 14, 4, true},  {18, 5, 9, 15, 3, true},
    };
    const std::vector<CheckCommEntry> partial = {
        {27, 27, 12, 18, 20, true}, {27, 40, 14, 20, 15, true}, {27, 32, 15, 21, 12, true},
        {0, 0, 0, 0, 0, false},     {27, 24, 16, 22, 9, true},
    };
    EXPECT_EQ(checkCommReportText("05 March 2026", 1234, false, success), expected("success.txt"));
    EXPECT_EQ(checkCommReportText("17 November 2026", 42, true, partial), expected("partial.txt"));
    EXPECT_EQ(checkCommReportText("01 January 2027", 7, true, {}), expected("none.txt"));
    EXPECT_EQ(checkCommReportName(42, true), "reporting_0042_mono.txt");
}

TEST_F(CheckFixture, AReportThatCannotBeWrittenIsToldAndTheCheckGoesOn) {
    check.programFolder = (home / "missing" / "deeper").string();
    op.answerYes(true);
    run();
    EXPECT_TRUE(told("Trouble opening or create file. " + (home / "missing" / "deeper").string() +
                     "/reporting_1234_4cond.txt"));
    EXPECT_TRUE(check.reportPath().empty());
    EXPECT_EQ(check.result(), CheckCommResult::Success);
}

// While a command is still being written no reading is taken and nothing else is sent.
TEST_F(CheckFixture, WaitsWhileACommandIsPending) {
    struct Pending : RuleSonde {
        using RuleSonde::RuleSonde;
        bool pending = false;
        bool commandPending() override { return pending; }
    } slow{settings, echo};
    CCheckComm c{settings, echo, flags, slow, op};
    c.programFolder = home.string();
    c.open(clock.now());
    for (int i = 0; i < 100; ++i) {
        clock.advance(10);
        slow.tick(clock.now());
        c.tick(clock.now());
    }
    const int sent = c.commandsSent();
    ASSERT_GT(sent, 0);
    slow.pending = true;
    for (int i = 0; i < 500; ++i) {
        clock.advance(10);
        slow.tick(clock.now());
        c.tick(clock.now());
    }
    EXPECT_EQ(c.commandsSent(), sent);
    EXPECT_LE(c.due() - clock.now(), 64);
    c.cancel();
    slow.pending = false;
    while (!c.closed()) {
        clock.advance(10);
        c.tick(clock.now());
    }
    EXPECT_EQ(c.result(), CheckCommResult::Cancelled);
    EXPECT_FALSE(flags.decimate.load());
}

}  // namespace
