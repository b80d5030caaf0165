#include <gtest/gtest.h>

#include <cmath>

#include "LogFixture.h"
#include "config/Ini.h"
#include "export/Resampling.h"

using namespace quelt;
using namespace quelt::testing;

namespace {

FixtureLog fullLog(int fromMm, int toMm, int stepMm) {
    FixtureLog log;
    log.recLineSize = kFixtureFullLine;
    int dir = toMm >= fromMm ? 1 : -1;
    for (int d = fromMm, i = 0; dir > 0 ? d <= toMm : d >= toMm; d += stepMm * dir, ++i) {
        FixtureLine l;
        l.depth = d;
        l.time = 100 * i;
        l.ngam = static_cast<std::uint16_t>(100 + i);
        l.axes[1] = static_cast<std::int16_t>(1000 + i);
        log.lines.push_back(l);
    }
    return log;
}

class ResamplingTest : public ::testing::Test {
  protected:
    fs::path dir;
    Settings settings;
    ProgramPaths paths;
    PlacementRecord placements;
    ScriptedOperator op;
    std::unique_ptr<SondeDatabase> sondes;
    RotationRoutine rotation;  // none: nothing computed

    void SetUp() override {
        dir = freshDir(std::string("rs-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir / "home");
        setProgramDirectory((dir / "home").string() + "/");
        sondes = std::make_unique<SondeDatabase>(settings, op);
        SondeEntry e;
        e.serialNumber = 846;
        e.heightOffset = 0;  // depths compare as recorded
        sondes->setSlot(0, e);
        sondes->SelectSonde(0);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::unique_ptr<CFileResampling> load(const FixtureLog& log, const std::string& name = "log") {
        auto r = std::make_unique<CFileResampling>(settings, paths, placements, op, *sondes, rotation);
        EXPECT_TRUE(r->LoadInput(log.write(dir / "logs", name))) << ::testing::PrintToString(op.messages());
        return r;
    }

    static std::vector<std::vector<std::uint8_t>> outputLines(const CFileResampling& r) {
        DataFileReader reader;
        std::vector<std::vector<std::uint8_t>> lines;
        if (!reader.open(r.outputDataPath(), kFixtureFullLine)) return lines;
        std::vector<std::uint8_t> l;
        for (std::uint64_t p = 0; reader.readLine(p, l); p += kFixtureFullLine)
            lines.push_back(l);
        EXPECT_EQ(reader.trailingBytes(), 0u);
        return lines;
    }
};

}  // namespace

TEST_F(ResamplingTest, AFiveMillimetreLogAllowsThreeToTwentyFiveMillimetres) {
    auto r = load(fullLog(10000, 11000, 5));
    EXPECT_EQ(r->sampling().averageText, "5.0");
    EXPECT_EQ(r->sampling().rangeText, "(3 - 25)");
    EXPECT_EQ(r->directionText(), "Down");
    struct Case {
        const char* typed;
        bool accepted;
        const char* message;
        double interval;
    };
    const Case cases[] = {
        {"2.95", true, nullptr, 0.00295},
        {"2.8", false, "Minimal interval : 3 mm", 0.00295},
        {"26", false, "Maximal interval : 25 mm", 0.00295},
        {"25", true, nullptr, 0.025},
        {"abc", false, nullptr, 0.025},
    };
    for (const auto& k : cases) {
        op.clear();
        EXPECT_EQ(r->CheckInterval(k.typed), k.accepted) << k.typed;
        EXPECT_EQ(op.messages(), k.message ? std::vector<std::string>{k.message} : std::vector<std::string>{})
            << k.typed;
        EXPECT_NEAR(r->interval(), k.interval, 1e-12) << k.typed;
    }
}

TEST_F(ResamplingTest, AMilEntryUnderAFeetDisplayIsRoundedFirst) {
    settings.SetDepthUnit = 1;
    FixtureLog log = fullLog(10000, 11000, 2);  // thousandths of a foot
    log.depthUnit = 1;
    auto r = load(log);
    EXPECT_EQ(r->sampling().unitText, "mil");
    EXPECT_EQ(r->sampling().rangeText, "(12 - 120)");
    ASSERT_TRUE(r->CheckInterval("12.5"));
    EXPECT_NEAR(r->interval(), 13.0 / 12000.0, 1e-12);
    EXPECT_EQ(r->sampling().intervalShown, 13);
}

TEST_F(ResamplingTest, TargetsOnSourceLinesCopyThemAndTheOutputIsACompleteLog) {
    auto r = load(fullLog(10000, 10200, 5));
    ASSERT_TRUE(r->CheckInterval("10"));
    r->SetDeviation(0);
    ASSERT_TRUE(r->Resample(false)) << ::testing::PrintToString(op.messages());
    auto lines = outputLines(*r);
    ASSERT_EQ(lines.size(), 21u);
    FixtureLog src = fullLog(10000, 10200, 5);
    for (size_t i = 0; i < lines.size(); ++i) {
        auto expected = fixtureBytes(src.lines[2 * i], kFixtureFullLine);
        // Everything but the sum matches the source line at that depth.
        EXPECT_TRUE(std::equal(expected.begin(), expected.end() - 2, lines[i].begin())) << "line " << i;
        std::uint16_t sum = 0;
        for (size_t b = 0; b + 2 < lines[i].size(); ++b)
            sum = static_cast<std::uint16_t>(sum + lines[i][b]);
        EXPECT_EQ(lines[i][lines[i].size() - 2] | (lines[i].back() << 8), sum) << "line " << i;
    }
    EXPECT_EQ(fs::path(r->outputHeaderPath()).filename(), "log_X.hed");
    std::string hed = r->outputHeaderPath();
    EXPECT_EQ(readProfileString(hed, "File1", "FileName", ""), "log_X.viv");
    EXPECT_EQ(readProfileString(hed, "File1", "StartDepth", ""), "10000");
    EXPECT_EQ(readProfileString(hed, "WellInfo", "EndDepth", ""), "10200");
    EXPECT_EQ(readProfileString(hed, "WellInfo", "step", ""), "10");
    EXPECT_EQ(readProfileString(hed, "WellInfo", "EndTime", ""), "4000");
    EXPECT_EQ(readProfileString(hed, "General", "ScreenMode", ""), "0");
}

TEST_F(ResamplingTest, BetweenSourceLinesValuesAreInterpolated) {
    auto r = load(fullLog(10000, 10100, 10));
    ASSERT_TRUE(r->CheckInterval("5"));
    ASSERT_TRUE(r->Resample(true));
    auto lines = outputLines(*r);
    ASSERT_EQ(lines.size(), 21u);
    // 10.005 lies half way between the lines at 10.000 (time 0) and 10.010 (time 100).
    const auto& mid = lines[1];
    EXPECT_EQ(mid[0] | (mid[1] << 8) | (mid[2] << 16), 10005);
    EXPECT_EQ(mid[4] | (mid[5] << 8), 50);
    EXPECT_EQ(mid[22] | (mid[23] << 8), 1001);  // gx 1000 .. 1001, 1000.5 rounded away from zero
    std::uint16_t t0 = fixtureTravel(10000, 3), t1 = fixtureTravel(10010, 3);
    EXPECT_EQ(mid[37 + 12] | (mid[37 + 13] << 8), static_cast<int>(std::trunc(t0 + 0.5 * (t1 - t0))));
}

TEST_F(ResamplingTest, AnUpwardLogRunsTowardASmallerTo) {
    auto r = load(fullLog(11000, 10000, 5));
    EXPECT_FALSE(r->down());
    EXPECT_LT(r->interval(), 0);
    EXPECT_EQ(r->directionText(), "Up");
    ASSERT_TRUE(r->SetTo(10.5));
    ASSERT_TRUE(r->CheckInterval("20"));
    EXPECT_NEAR(r->interval(), -0.020, 1e-12);
    ASSERT_TRUE(r->Resample(true));
    auto lines = outputLines(*r);
    ASSERT_EQ(lines.size(), 26u);
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i][0] | (lines[i][1] << 8), 11000 - 20 * static_cast<int>(i)) << "line " << i;
}

TEST_F(ResamplingTest, NamesFollowTheDeviationWithoutStackingSuffixes) {
    FixtureLog log = fullLog(10000, 10100, 5);
    log.screenMode = 1;
    auto r = load(log, "well_n");
    EXPECT_EQ(r->baseName(), "well");
    EXPECT_EQ(r->deviation(), 1);
    EXPECT_EQ(fs::path(r->outputDataPath()).filename(), "well_N.viv");
    EXPECT_EQ(fs::path(r->outputDataPath()).parent_path().filename(), "RESAMPLING");
    r->SetDeviation(2);
    EXPECT_EQ(fs::path(r->outputHeaderPath()).filename(), "well_H.hed");
}

TEST_F(ResamplingTest, CancelStopsBeforeTheNextLineAndLeavesNothing) {
    auto r = load(fullLog(10000, 11000, 5));
    ASSERT_TRUE(r->CheckInterval("5"));
    std::int64_t seen = 0;
    r->progress = [&](std::int64_t, std::int64_t) {
        seen = r->linesWritten();
        if (seen == 4) r->abort = true;
    };
    EXPECT_FALSE(r->Resample(true));
    EXPECT_EQ(seen, 4);
    EXPECT_FALSE(fs::exists(r->outputDataPath()));
    EXPECT_FALSE(fs::exists(r->outputHeaderPath()));
    EXPECT_FALSE(fs::exists(fs::path(r->outputDataPath()).parent_path())) << "the folder it made goes too";
}

TEST_F(ResamplingTest, TheDetectedOrientationComparesModesWithTheRecordedRotation) {
    struct Case {
        double none, north, high;
        std::int16_t recorded;
        int chosen;
        const char* text;
    };
    const Case cases[] = {
        {100, 40, 30, 100, 0, "None"},
        {10, 40, 101, 100, 0, "HighSide"},
        {10, 99, 30, 100, 0, "Magnetic North"},
        {10, 137.4, 30, 100, 1, "Delta : 37\u00B0"},
    };
    int n = 0;
    for (const auto& k : cases) {
        rotation = [&](double, double, double, double, double, double, int mode, double, double) {
            return std::optional<double>(mode == 0 ? k.none : mode == 1 ? k.north : k.high);
        };
        FixtureLog log = fullLog(10000, 10500, 5);
        log.screenMode = k.chosen;
        for (auto& l : log.lines)
            l.shan = k.recorded;
        auto r = load(log, "o" + std::to_string(n++));
        EXPECT_EQ(r->orientationText(), k.text);
    }
}

TEST_F(ResamplingTest, ThePreviewTurnsEachLineByTheChosenRotationLessTheRecordedOne) {
    rotation = [](double, double, double, double, double, double, int mode, double, double) {
        return std::optional<double>(mode == 2 ? 30.0 : 0.0);
    };
    FixtureLog log = fullLog(10000, 10100, 5);
    for (size_t i = 0; i < log.lines.size(); ++i)
        log.lines[i].shan = static_cast<std::int16_t>(10 * i);
    auto r = load(log);
    r->SetDeviation(2);
    struct Rows final : PreviewRaster {
        std::vector<std::pair<std::int32_t, int>> rows;
        void ComposeRow(int, const ResampleLine& line, int offset) override {
            rows.emplace_back(line.depth(), offset);
        }
    } raster;
    r->CreateViewerBMP(raster, 4);
    EXPECT_EQ(raster.rows,
              (std::vector<std::pair<std::int32_t, int>>{{10000, 30}, {10005, 20}, {10010, 10}, {10015, 0}}));
    // The export still starts at the line of From.
    ASSERT_TRUE(r->Resample(true));
    EXPECT_EQ(outputLines(*r).front()[0] | (outputLines(*r).front()[1] << 8), 10000);
}

TEST_F(ResamplingTest, ALogLoadedAfterAnotherIsReadFromItsOwnFile) {
    auto r = std::make_unique<CFileResampling>(settings, paths, placements, op, *sondes, rotation);
    struct Rows final : PreviewRaster {
        std::vector<std::int32_t> depths;
        void ComposeRow(int, const ResampleLine& line, int) override { depths.push_back(line.depth()); }
    };
    // Two logs of the same layout and length (longer than the lines read at a time), previewed one after
    // the other: the lines of the second are not those the first left behind.
    for (int start : {10000, 20000}) {
        ASSERT_TRUE(
            r->LoadInput(fullLog(start, start + 1500, 5).write(dir / "logs", "log" + std::to_string(start))));
        Rows raster;
        r->CreateViewerBMP(raster, 2);
        EXPECT_EQ(raster.depths, (std::vector<std::int32_t>{start, start + 5}));
    }
}
