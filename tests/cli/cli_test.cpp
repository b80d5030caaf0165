#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "config/Ini.h"
#include "config/ProgramContext.h"
#include "sim/Borehole.h"
#include "sim/Scenario.h"
#include "stream/DataFile.h"
#include "stream/LogFile.h"
#include "tests/support/QueltRun.h"

namespace fs = std::filesystem;

namespace {

using RunResult = quelt::test::QueltRun;

// Runs quelt with a home, a user folder and a switch store of its own; standard error is not compared.
RunResult runQuelt(const fs::path& sandbox, const std::string& args) {
    return quelt::test::runQuelt(sandbox, args, quelt::test::Stderr::Discarded);
}

class CliTest : public ::testing::Test {
  protected:
    fs::path sandbox;
    void SetUp() override {
        sandbox =
            fs::temp_directory_path() / ("quelt-cli-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(sandbox);
        fs::create_directories(sandbox);
    }
    void TearDown() override { fs::remove_all(sandbox); }
};

}  // namespace

TEST_F(CliTest, SettingsJsonOnAnEmptyHomePrintsTheDefaultsAndLeavesTheFirstRunKeys) {
    fs::path home = sandbox / "home";
    RunResult r = runQuelt(sandbox, "--home '" + home.string() + "' settings --json");
    ASSERT_EQ(r.exitCode, 0);
    for (const char* member : {"\"UpGain\": 25", "\"MagneticOffset\": 0.0", "\"PulleysDiameter\": 500.0",
                               "\"RefreshTime\": 500", "\"ExportGamm\": true", "\"FileName\": \"Demo.VIV\"",
                               "\"ProgramPaths\": {", "\"switches\": {\"TechnicalTools\": false"}) {
        EXPECT_NE(r.out.find(member), std::string::npos) << member << "\n" << r.out;
    }
    std::string cfg = (home / "Zorak.cfg").string();
    auto key = [&](const char* k) { return quelt::readProfileString(cfg, "QueltLogger", k, "<missing>"); };
    EXPECT_EQ(key("RefreshTime"), "500");
    EXPECT_EQ(key("ScreenRefreshTime"), "2000");
    EXPECT_EQ(key("DataFile"), (home / "Demo/Demo.VIV").string());
    EXPECT_EQ(key("FileName"), "Demo.VIV");
    // No Zorak.dat on a first start: the placement reset set these.
    EXPECT_EQ(key("LastFile"), sandbox.string() + "/");
    EXPECT_EQ(key("FilePath"), sandbox.string() + "/");
    EXPECT_EQ(fs::file_size(home / "Zorak.dat"), 237u);

    // A second run reads what the first left.
    RunResult again = runQuelt(sandbox, "--home '" + home.string() + "' settings");
    ASSERT_EQ(again.exitCode, 0);
    EXPECT_NE(again.out.find("LastFile=" + sandbox.string() + "/\n"), std::string::npos) << again.out;
}

TEST_F(CliTest, HelpVersionAndUsageErrors) {
    struct Case {
        const char* args;
        int exitCode;
        const char* shows;
    };
    for (const Case& c :
         {Case{"--version", 0, "quelt "}, Case{"--help", 0, "settings"},
          Case{"settings --help", 0, "Usage: quelt [--home DIR] settings [--json]"},
          Case{"nosuchcommand", 2, ""}, Case{"--bogus", 2, ""}, Case{"settings --bogus", 2, ""},
          // Depths that are no number, or beyond what a log stores, are refused before any log is read.
          Case{"replay x.HED --from nan", 2, ""}, Case{"replay x.HED --from 1e20", 2, ""},
          Case{"lines x.HED --to nan", 2, ""}, Case{"lines x.HED --from", 2, ""},
          Case{"info a.HED b.HED", 2, ""}, Case{"frames --json", 2, ""}}) {
        SCOPED_TRACE(c.args);
        RunResult r = runQuelt(sandbox, std::string("--home '") + (sandbox / "h").string() + "' " + c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_NE(r.out.find(c.shows), std::string::npos) << r.out;
    }
}

TEST_F(CliTest, InfoShowsTheLayoutAndTheLinesOfALogWithoutRepairingIt) {
    fs::path home = sandbox / "home";
    ::setenv("XDG_CONFIG_HOME", (sandbox / "config").c_str(), 1);
    quelt::ScriptedOperator op;
    quelt::ProgramContext context;
    std::string error;
    ASSERT_TRUE(quelt::startProgram(home.string(), op, context, error)) << error;
    std::string header = (home / "well.HED").string();
    context.headerIo->SetHeaderDefaults();
    ASSERT_TRUE(context.headerIo->WriteHeader(header));
    ASSERT_TRUE(quelt::MarkRecordingStart(header, 12.0, 0));
    quelt::LineLayout layout = quelt::layoutFromHeader(context.header);
    quelt::DataFileWriter w;
    ASSERT_TRUE(w.open((home / "well.VIV").string(), layout.lineSize));
    std::vector<std::uint8_t> frame(40 + 4 * 180 + 3, 0), line;
    frame[18] = 2;
    for (int i = 0; i < 4; ++i) {
        quelt::buildDataLine(frame, {12.0 + i * 0.5, 0, i * 100, false}, layout, line);
        ASSERT_TRUE(w.appendLine(line, 0));
    }
    w.close();

    RunResult r = runQuelt(sandbox, "--home '" + home.string() + "' info '" + header + "' --json");
    ASSERT_EQ(r.exitCode, 0);
    for (std::string member : {std::string("\"recLineSize\": ") + std::to_string(layout.lineSize),
                               std::string("\"wholeLines\": 4"), std::string("\"trailingBytes\": 0"),
                               std::string("\"corrupt\": true"), std::string("\"firstDepth\": 12.0"),
                               std::string("\"lastDepth\": 13.5"), std::string("\"mnemonic\": \"SCAN\"")}) {
        EXPECT_NE(r.out.find(member), std::string::npos) << member << "\n" << r.out;
    }
    EXPECT_EQ(quelt::readProfileString(header, "WellInfo", "EndDepth", ""), "CORRUPT");

    // quelt lines opens it as a replay does: repaired, then every line as written.
    RunResult lines =
        runQuelt(sandbox, "--home '" + home.string() + "' lines '" + header + "' --json --from 12.4");
    ASSERT_EQ(lines.exitCode, 0);
    EXPECT_EQ(
        lines.out.rfind("{\"i\": 1, \"pos\": " + std::to_string(layout.lineSize) +
                            ", \"depth\": 12.5, \"depthUnit\": \"m\", \"depthLog\": 12.5, \"time\": 0.1, "
                            "\"DPTH\": 12500, \"TIME\": 100, ",
                        0),
        0u)
        << lines.out;
    EXPECT_EQ(std::count(lines.out.begin(), lines.out.end(), '\n'), 3);
    EXPECT_EQ(quelt::readProfileString(header, "WellInfo", "EndDepth", ""), "13500");
    RunResult replay =
        runQuelt(sandbox, "--home '" + home.string() + "' replay '" + header + "' --speed 50 --json");
    ASSERT_EQ(replay.exitCode, 0);
    EXPECT_NE(replay.out.find("\"depth\": 13.5,"), std::string::npos) << replay.out;
    EXPECT_NE(replay.out.find("\"valid\": 4,"), std::string::npos) << replay.out;
    // A log in feet: depth in metres, depthLog as stored.
    ASSERT_TRUE(quelt::writeProfileString(header, "File1", "ReferenceUnit", "1"));
    RunResult feet =
        runQuelt(sandbox, "--home '" + home.string() + "' lines '" + header + "' --json --to 12.1");
    ASSERT_EQ(feet.exitCode, 0);
    EXPECT_NE(feet.out.find("\"depth\": 3.6576, \"depthUnit\": \"ft\", \"depthLog\": 12.0,"),
              std::string::npos)
        << feet.out;
    // Every value the header reader fills.
    RunResult all = runQuelt(sandbox, "--home '" + home.string() + "' info --json '" + header + "'");
    ASSERT_EQ(all.exitCode, 0);
    for (std::string member :
         {"\"dataFiles\": 1", "\"logMode\": 13", "\"zero\": 0", "\"readError\": false",
          "\"referenceUnit\": 1", "\"files\": [{\"section\": \"File1\", \"FileName\": \"",
          "\"StartDepth\": 12000, \"EndDepth\": 13500,",
          "\"StartTime\": 0, \"EndTime\": ", "\"file\": 1, \"fileOffset\": 0"}) {
        EXPECT_NE(all.out.find(member), std::string::npos) << member << "\n" << all.out;
    }

    EXPECT_EQ(runQuelt(sandbox, "--home '" + home.string() + "' info '" + (home / "none.HED").string() + "'")
                  .exitCode,
              1);
}

TEST_F(CliTest, MonitorPowersTheSimulatedSondeUpFollowsTheWinchAndPowersDown) {
    RunResult r = runQuelt(
        sandbox, "--home '" + (sandbox / "h").string() + "' --device sim monitor --seconds 30 --json --fast");
    EXPECT_EQ(r.exitCode, 0);
    std::vector<std::string> lines;
    for (size_t at = 0, nl; (nl = r.out.find('\n', at)) != std::string::npos; at = nl + 1)
        lines.push_back(r.out.substr(at, nl - at));
    ASSERT_EQ(lines.size(), 30u) << r.out;
    auto number = [](const std::string& line, const std::string& key) {
        size_t at = line.find("\"" + key + "\": ");
        return at == std::string::npos ? -1e9 : std::stod(line.substr(at + key.size() + 4));
    };
    // The gamma rate is counts per second: the simulated hole's rate at the depth, give or take the
    // counting noise and the sonde's coefficient (a count of one revolution would be a fifth of it).
    quelt::sim::Scenario clean;
    std::string error;
    ASSERT_TRUE(quelt::sim::resolveScenario("clean", 1, false, clean, error)) << error;
    const quelt::sim::Borehole hole(quelt::sim::boreholeOf(clean));
    double measured = 0, expected = 0;
    for (const std::string& line : lines) {
        measured += number(line, "gammaRate");
        expected += hole.gammaRate(number(line, "depth"));
        EXPECT_NE(line.find("\"device\": \"sim\""), std::string::npos) << line;
    }
    EXPECT_NEAR(measured / expected, 1.0, 0.25) << measured / 30 << " CPS against " << expected / 30;
    for (const std::string& line : lines) {
        EXPECT_NE(line.find("\"status\": \"Status OK\""), std::string::npos) << line;
        EXPECT_EQ(number(line, "error"), 0) << line;
        EXPECT_EQ(number(line, "linkStatus"), 255) << line;
    }
    // The clean scenario's winch starts lowering the sonde at 3 m/min after its first stop.
    const double d25 = number(lines[24], "depth"), d30 = number(lines[29], "depth");
    EXPECT_NEAR(number(lines[29], "speed"), 3.0, 0.1);
    EXPECT_NEAR(d30 - d25, 3.0 * 5 / 60, 0.01);
    EXPECT_GT(number(lines[29], "valid"), number(lines[0], "valid"));
}

namespace {

// The number after "key": in a JSON text; NaN when absent.
double jsonValue(const std::string& json, const std::string& key) {
    size_t at = json.find("\"" + key + "\": ");
    if (at == std::string::npos) return std::nan("");
    return std::strtod(json.c_str() + at + key.size() + 4, nullptr);
}

// Records a log with the simulated logger on simulated time; gives its header path.
std::string recordSimLog(const fs::path& sandbox, const fs::path& home, const std::string& name,
                         const std::string& scenario) {
    RunResult r = runQuelt(sandbox, "--home '" + home.string() + "' --device sim acquire --fast --out '" +
                                        (sandbox / name).string() + "' --scenario " + scenario +
                                        " --seed 1 --lines 400 --json");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    size_t at = r.out.find("\"header\": \"");
    if (at == std::string::npos) return {};
    at += 11;
    return r.out.substr(at, r.out.find('"', at) - at);
}

}  // namespace

TEST_F(CliTest, QcOfACleanSimulatorLog) {
    fs::path home = sandbox / "home";
    const std::string header = recordSimLog(sandbox, home, "clean", "clean");
    ASSERT_FALSE(header.empty());
    const std::string qc = "--home '" + home.string() + "' qc '" + header + "'";

    RunResult r = runQuelt(sandbox, qc + " --json");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    // The simulator turns at 200 ms a revolution: 5 mm a revolution is 1.5 m/min, and its winch runs at
    // 3 m/min, one line every 10 mm: twice the step, no gap, but above the limit.
    EXPECT_EQ(jsonValue(r.out, "lines"), 400);
    EXPECT_EQ(jsonValue(r.out, "replaced"), 0);
    EXPECT_NEAR(jsonValue(r.out, "revolutionMs"), 200.0, 1.0);
    EXPECT_NEAR(jsonValue(r.out, "speedLimit"), 1.5, 0.01);
    EXPECT_EQ(jsonValue(r.out, "gaps"), 0) << r.out;
    EXPECT_NEAR(jsonValue(r.out, "highestSpeed"), 3.0, 0.1);
    EXPECT_GT(jsonValue(r.out, "linesOverSpeed"), 300);
    EXPECT_NEAR(jsonValue(r.out, "firstDepth"), 10.0, 1e-9);
    EXPECT_NEAR(jsonValue(r.out, "mean"), 1.0, 0.001);  // |g| comes first
    EXPECT_NE(r.out.find("\"outside\": 0, \"ranges\": []}, \"magnetic\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"outside\": 0, \"ranges\": [], \"reference\": 0.47"), std::string::npos) << r.out;

    // A smaller step wanted: 10 mm a line is now a gap, the limit lower.
    RunResult fine = runQuelt(sandbox, qc + " --step 2 --json");
    ASSERT_EQ(fine.exitCode, 0);
    EXPECT_NEAR(jsonValue(fine.out, "speedLimit"), 0.6, 0.01);
    EXPECT_GT(jsonValue(fine.out, "gaps"), 300);

    struct Case {
        std::string args;
        int exitCode;
    };
    for (const Case& c :
         {Case{"--step 0", 2}, Case{"--step x", 2}, Case{"--field -1", 2}, Case{"--bogus", 2}}) {
        EXPECT_EQ(runQuelt(sandbox, qc + " " + c.args).exitCode, c.exitCode) << c.args;
    }
    EXPECT_EQ(runQuelt(sandbox, "--home '" + home.string() + "' qc").exitCode, 2);
    EXPECT_EQ(runQuelt(sandbox, "--home '" + home.string() + "' qc '" + (home / "none.HED").string() + "'")
                  .exitCode,
              1);
}

TEST_F(CliTest, QcListsTheGapsOfTheNoisyScenariosLogWithTheirDepths) {
    fs::path home = sandbox / "home";
    const std::string header = recordSimLog(sandbox, home, "noisy", "noisy");
    ASSERT_FALSE(header.empty());

    // The gaps as the line listing shows them: successive depths more than 10 mm apart.
    RunResult lines = runQuelt(sandbox, "--home '" + home.string() + "' lines '" + header + "' --json");
    ASSERT_EQ(lines.exitCode, 0);
    std::vector<double> depths;
    for (size_t at = lines.out.find("\"depth\": "); at != std::string::npos;
         at = lines.out.find("\"depth\": ", at + 1))
        depths.push_back(std::strtod(lines.out.c_str() + at + 9, nullptr));
    ASSERT_EQ(depths.size(), 400u);
    std::vector<std::string> expected;
    for (size_t i = 1; i < depths.size(); ++i) {
        if (std::lround(std::fabs(depths[i] - depths[i - 1]) * 1000.0) <= 10) continue;
        char buf[64];
        std::snprintf(buf, sizeof buf, "    %.3f > %.3f m\n", depths[i - 1], depths[i]);
        expected.push_back(buf);
    }
    ASSERT_GT(expected.size(), 10u) << "the noisy link loses frames";

    RunResult r = runQuelt(sandbox, "--home '" + home.string() + "' qc '" + header + "'");
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("Gaps      " + std::to_string(expected.size()) + ", largest "), std::string::npos)
        << r.out;
    std::string listed;
    for (const std::string& gap : expected)
        listed += gap;
    EXPECT_NE(r.out.find(listed), std::string::npos) << r.out;
}

TEST_F(CliTest, EveryCommandPrintsTheSettingsItClampedOnLoading) {
    const fs::path home = sandbox / "home";
    ASSERT_EQ(runQuelt(sandbox, "--home '" + home.string() + "' settings").exitCode, 0);
    const std::string missing = "'" + (sandbox / "none.HED").string() + "'";
    for (const std::string command : {"info", "lines", "las", "resample", "html", "qc", "render"}) {
        SCOPED_TRACE(command);
        ASSERT_TRUE(quelt::writeProfileString((home / "Zorak.cfg").string(), "QueltLogger", "Power", "200"));
        const std::string args = command + " " + missing + (command == "render" ? " -o out.jpg" : "");
        const auto r = quelt::test::runQuelt(sandbox, args, quelt::test::Stderr::Separate, home);
        EXPECT_NE(r.err.find("quelt " + command + ": "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Power = 200 is outside 80..125"), std::string::npos) << r.err;
    }
}
