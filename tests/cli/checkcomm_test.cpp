// quelt checkcomm through the simulated logger on simulated time: what the check finds on the scenarios'
// cables, what it stores, and that the stored values then carry a clean acquisition.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "sim/Cable.h"
#include "tests/support/QueltRun.h"

namespace fs = std::filesystem;

namespace {

class Checkcomm : public ::testing::Test {
  protected:
    fs::path sandbox, home;
    void SetUp() override {
        sandbox =
            fs::temp_directory_path() / ("quelt-checkcomm-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(sandbox);
        home = sandbox / "home";
        ASSERT_EQ(quelt("settings").exitCode, 0);  // a first start fills the program folder
    }
    void TearDown() override { fs::remove_all(sandbox); }

    quelt::test::QueltRun quelt(const std::string& args) {
        return quelt::test::runQuelt(sandbox, args, quelt::test::Stderr::Merged, home);
    }
    // Adds keys to the settings file, as the operator would have set them before the check.
    void preset(const std::string& lines) { std::ofstream(home / "Zorak.cfg", std::ios::app) << lines; }
    fs::path scenarioFile(const std::string& text) {
        fs::path p = sandbox / "scenario.ini";
        std::ofstream(p) << text;
        return p;
    }
    // A setting as the program loads it from the program folder.
    int stored(const char* key) {
        const std::string out = quelt("settings").out;
        const size_t at = out.find("\n" + std::string(key) + "=");
        return at == std::string::npos ? -1 : std::stoi(out.substr(at + std::string(key).size() + 2));
    }
    static std::string jsonLine(const std::string& out) {
        size_t at = out.find("{\"result\"");
        return at == std::string::npos ? std::string() : out.substr(at, out.find('\n', at) - at);
    }
    static int member(const std::string& json, const std::string& name) {
        size_t at = json.find("\"" + name + "\": ");
        return at == std::string::npos ? -1 : std::stoi(json.substr(at + name.size() + 4));
    }
};

int divisorOf(int baud) {
    for (int d : {3, 4, 5, 6, 7, 8, 9, 10, 12, 15, 20})
        if (625000 / d == baud || (625000 + d / 2) / d == baud) return d;
    return 0;
}

// The clean scenario's 1500 m four-conductor cable: the check climbs to a speed the cable carries, stores
// what it found, and a minute of acquisition at the stored settings has no error frame.
TEST_F(Checkcomm, CleanCableEndsInSuccessAndTheStoredSettingsCarryTheLog) {
    auto r = quelt("--device sim checkcomm --fast --accept yes --json");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const std::string json = jsonLine(r.out);
    EXPECT_NE(json.find("\"result\": \"success\""), std::string::npos) << r.out;
    const int divisor = divisorOf(member(json, "baud"));
    ASSERT_NE(divisor, 0) << json;
    EXPECT_EQ(stored("UpBaudDivisor"), divisor);
    EXPECT_EQ(stored("UpGain"), member(json, "gain"));
    EXPECT_EQ(stored("DownEnergie"), member(json, "downholeDrive"));
    EXPECT_EQ(stored("UpholePulseWidth"), member(json, "upholeDrive"));
    quelt::sim::Cable cable;  // the clean scenario's cable
    const quelt::sim::Window w = cable.gainWindow(divisor, member(json, "upholeDrive"));
    EXPECT_GT(member(json, "gain"), w.lo);
    EXPECT_LT(member(json, "gain"), w.hi);
    EXPECT_TRUE(fs::exists(home / "reporting_0412_4cond.txt"));

    auto m = quelt("--device sim monitor --seconds 60 --fast --json");
    ASSERT_EQ(m.exitCode, 0) << m.out;
    const std::string last = m.out.substr(m.out.rfind("{\"t\""));
    EXPECT_NE(last.find("\"t\": 60.0"), std::string::npos) << last;
    EXPECT_NE(last.find("\"error\": 0,"), std::string::npos) << last;
}

// The 3.5 km mono cable: a slower speed, and the stored gain inside that speed's window.
TEST_F(Checkcomm, MonoCableFindsASlowerSpeed) {
    preset("CableType=1\nDownEnergie=25\nUpGain=28\n");
    auto r = quelt("--device sim checkcomm --fast --scenario mono --accept yes --json");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const std::string json = jsonLine(r.out);
    const int divisor = divisorOf(member(json, "baud"));
    EXPECT_GT(divisor, 3) << json;
    quelt::sim::CableSpec mono;
    mono.kind = quelt::sim::CableKind::Mono;
    mono.lengthM = 3500;
    const quelt::sim::Window w = quelt::sim::Cable(mono).gainWindow(divisor, stored("UpholePulseWidth"));
    EXPECT_GT(stored("UpGain"), w.lo) << json;
    EXPECT_LT(stored("UpGain"), w.hi) << json;
    EXPECT_TRUE(fs::exists(home / "reporting_0412_mono.txt"));
}

// Windows pinned by the scenario: drives 12..30 and every gain clean give drive 18, gain 4 and the top
// speed, with uphole drive 16 at 69444 and 5 at 208333.
TEST_F(Checkcomm, PinnedWindowsGiveTheExpectedResult) {
    fs::path s = scenarioFile("[Scenario]\nBase=clean\n[Cable]\nDriveWindow=12..30\nGainWindow=-100..100\n");
    auto r = quelt("--device sim checkcomm --fast --scenario '" + s.string() + "' --accept yes --json");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const std::string json = jsonLine(r.out);
    EXPECT_EQ(json.substr(0, json.find("\"entries\"")),
              "{\"result\": \"success\", \"baud\": 208333, \"downholeDrive\": 18, \"upholeDrive\": 5, "
              "\"gain\": 4, ");
    EXPECT_NE(json.find("{\"baud\": 69444, \"downholeDrive\": 18, \"upholeDrive\": 16, \"gainMin\": 0, "
                        "\"gainMax\": 6}"),
              std::string::npos)
        << json;
}

// A refusal, a sonde that never answers cleanly once the check has begun (its first replies of the gain
// test are its last clean ones), and a bad argument: the exit codes, the texts, and the settings at
// opening untouched.
TEST_F(Checkcomm, RefusalAndFailureKeepTheValuesAtOpening) {
    struct Case {
        std::string args;
        int exitCode;
        const char* result;
        const char* text;
    };
    const fs::path garbled = scenarioFile("[Scenario]\nBase=clean\n[Faults]\nGarbledAt=15\n");
    const Case cases[] = {
        {"--accept no", 2, "refused", "Manual refused!!!"},
        {"--accept yes --scenario '" + garbled.string() + "'", 1, "failed",
         "Fail : no valid communication  !!!"},
        {"--accept maybe", 2, nullptr, "--accept takes yes, no or ask"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        auto r = quelt("--device sim checkcomm --fast --json " + c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.out;
        if (c.result) {
            EXPECT_NE(jsonLine(r.out).find(std::string("\"result\": \"") + c.result + "\""),
                      std::string::npos)
                << r.out;
        }
        EXPECT_NE(r.out.find(c.text), std::string::npos) << r.out;
        EXPECT_EQ(stored("UpBaudDivisor"), 10);
        EXPECT_EQ(stored("UpGain"), 25);
        EXPECT_EQ(stored("DownEnergie"), 15);
        EXPECT_EQ(stored("UpholePulseWidth"), 15);
    }
}

}  // namespace
