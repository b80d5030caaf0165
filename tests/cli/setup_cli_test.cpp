// quelt setup and quelt sonde: the sheet's rules on the command line, and the simulated logger's echoes
// through the real link.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "config/Ini.h"
#include "tests/support/QueltRun.h"

namespace fs = std::filesystem;

namespace {

// Runs quelt on a home of its own; standard error is kept apart.
using RunResult = quelt::test::QueltRun;

RunResult runQuelt(const fs::path& sandbox, const std::string& args) {
    return quelt::test::runQuelt(sandbox, args, quelt::test::Stderr::Separate, sandbox / "home");
}

class SetupCliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sandbox =
            fs::temp_directory_path() / ("quelt-setup-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(sandbox);
        fs::create_directories(sandbox);
    }
    void TearDown() override { fs::remove_all(sandbox); }
    std::string key(const char* k) {
        return quelt::readProfileString((sandbox / "home" / "Zorak.cfg").string(), "QueltLogger", k,
                                        "<missing>");
    }
    fs::path sandbox;
};

TEST_F(SetupCliTest, PrintsEveryPage) {
    RunResult r = runQuelt(sandbox, "setup --json");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* member :
         {"\"winch\": {\"PulleyDir\": true", "\"PulleysDiameter\": 500.0",
          "\"communication\": {\"UpBaudDivisor\": 10, \"speed\": \"62500\"", "\"upholeMaximum\": 40",
          "\"rps\": \"(5.0 RPS)\"", "\"MotorPeriod_M4\": 87", "\"tol\": {\"slot\": 0, \"SerialNumber\": 412"})
        EXPECT_NE(r.out.find(member), std::string::npos) << member << "\n" << r.out;
    EXPECT_EQ(r.out.find("readBack"), std::string::npos);
}

TEST_F(SetupCliTest, SetRefusesByThePagesRulesAndStoresNothing) {
    struct Row {
        const char* args;
        const char* text;
    } rows[] = {
        {"DownEnergie=61", "Bad DownHole entered value !!!\nMin:5 Max:60"},
        {"UpGain=30 MotorPeriod=20 PicResolution=2 UpBaudDivisor=2", "Bad entered value -> Min : 21"},
        {"UpGain=30 PulsResolution=6375", "Bad wheel/encoder combination"},
        {"PulleysDiameter=1500 PulsResolution=1000", "Too high wheel/encoder combination"},
        {"Power=126", "Bad entered value"},
        {"MagneticOffset=360", "Bad entered value\nCorrect value is : 0 to 359.99"},
    };
    ASSERT_EQ(runQuelt(sandbox, "setup set UpGain=25").exitCode, 0);  // the whole file written once
    for (const Row& row : rows) {
        RunResult r = runQuelt(sandbox, std::string("setup set ") + row.args);
        EXPECT_EQ(r.exitCode, 2) << row.args;
        EXPECT_NE(r.err.find(row.text), std::string::npos) << row.args << "\n" << r.err;
        EXPECT_EQ(key("UpGain"), "25") << row.args;
        EXPECT_EQ(key("PulsResolution"), "1000") << row.args;
    }
    EXPECT_EQ(runQuelt(sandbox, "setup set Nonsense=1").exitCode, 2);
    EXPECT_EQ(runQuelt(sandbox, "setup set UpGain=abc").exitCode, 2);
}

TEST_F(SetupCliTest, SetAppliesThePagesSideEffects) {
    RunResult r = runQuelt(sandbox, "setup set --baud 312500 PicResolution=1 MotorPeriod=30");
    EXPECT_EQ(r.exitCode, 2) << "30 is below the minimum of 34 at 312500 bauds\n" << r.err;
    r = runQuelt(sandbox, "setup set PicResolution=1 --baud 312500");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(key("UpBaudDivisor"), "2");
    EXPECT_EQ(key("UpholePulseWidth"), "8");  // the maximum at 312500
    EXPECT_EQ(key("MotorPeriod"), "87");
    EXPECT_EQ(key("MotorPeriod_M1"), "87");
    r = runQuelt(sandbox, "setup set PulleysDiameter=300.5 PulsResolution=2000");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(key("PulleysDiameter"), "3005");
    EXPECT_EQ(key("PulsResolution"), "2000");
}

// Through the real link on the simulated logger: the clean sonde echoes every value; the misecho sonde
// reads back each changed value wrong, and each warning comes once after the resends.
TEST_F(SetupCliTest, EchoesThroughTheSimulatedLogger) {
    RunResult r = runQuelt(sandbox, "--device sim setup set UpBaudDivisor=3 --fast");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(key("UpBaudDivisor"), "3");
    EXPECT_EQ(key("UpholePulseWidth"), "12");
    fs::remove_all(sandbox / "home");  // back to 62500 bauds, which the simulated cable carries well

    struct Row {
        const char* args;
        const char* warning;
    } rows[] = {
        {"PulleyDir=0", "Warning consigne error, ACK puley -Mode error"},
        {"UpGain=20", "UPHOLE RECEIVER GAIN\nWarning consigne error\n Send:20  Read back:23"},
        {"MotorPeriod=90", "Warning consign error.\n Motor Speed "},
    };
    for (const Row& row : rows) {
        r = runQuelt(sandbox,
                     std::string("--device sim setup set ") + row.args + " --fast --scenario misecho");
        EXPECT_EQ(r.exitCode, 4) << row.args << "\n" << r.err;
        const std::string w = row.warning;
        const size_t first = r.err.find(w);
        EXPECT_NE(first, std::string::npos) << row.args << "\n" << r.err;
        EXPECT_EQ(r.err.find(w, first + 1), std::string::npos) << "one warning\n" << r.err;
        r = runQuelt(sandbox, std::string("--device sim setup set ") + row.args + " --fast");
        EXPECT_EQ(r.exitCode, 0) << row.args << "\n" << r.err;
    }
    r = runQuelt(sandbox, "--device sim setup --json --power --fast");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* member :
         {"\"readBack\": {\"winchMode\": 0,", "\"upGain\": 20", "\"motorPeriod\": \"90\"",
          "\"speed\": \"62500\"", "\"upholeDrive\": \"15\"", "\"device\": \"sim\""})
        EXPECT_NE(r.out.find(member), std::string::npos) << member << "\n" << r.out;
}

// The live link with its threads, on real time: the winch mode read back wrong warns once.
TEST_F(SetupCliTest, WinchEchoThroughTheThreadedLink) {
    RunResult r = runQuelt(sandbox, "--device sim setup set PulleyDir=0 --scenario misecho");
    EXPECT_EQ(r.exitCode, 4) << r.err;
    EXPECT_NE(r.err.find("Warning consigne error, ACK puley -Mode error"), std::string::npos) << r.err;
    EXPECT_EQ(key("PulleyDir"), "0") << "the echo check warns and keeps the setting";
}

TEST_F(SetupCliTest, SondeDatabase) {
    const std::string file = std::string(QUELT_SOURCE_DATA_DIR) + "/Sonde0846.vxq";
    RunResult r = runQuelt(sandbox, "sonde import '" + file + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(key("SondeUsed"), "3");
    r = runQuelt(sandbox, "sonde import '" + file + "'");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("A sonde with the same serial number is already stored in dbase. Overwrite?"),
              std::string::npos);
    EXPECT_EQ(runQuelt(sandbox, "--yes sonde import '" + file + "'").exitCode, 0);
    EXPECT_EQ(runQuelt(sandbox, "sonde import '" + (sandbox / "none.vxq").string() + "'").exitCode, 1);

    EXPECT_EQ(runQuelt(sandbox, "sonde select 518").exitCode, 0);
    EXPECT_EQ(key("SondeUsed"), "1");
    EXPECT_EQ(runQuelt(sandbox, "sonde remove 846").exitCode, 2) << "the question answered no";
    r = runQuelt(sandbox, "--yes sonde remove 846");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("Sonde removed.\nDo not forget to select another sonde"), std::string::npos);
    EXPECT_EQ(key("SondeUsed"), "1") << "removing another sonde keeps the selection";
    r = runQuelt(sandbox, "sonde list --json");
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("{\"slot\": 3, \"inUse\": false"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"selected\": 1,"), std::string::npos) << r.out;
    EXPECT_EQ(runQuelt(sandbox, "sonde select 999").exitCode, 2);
    EXPECT_EQ(runQuelt(sandbox, "sonde").exitCode, 2);
}

}  // namespace
