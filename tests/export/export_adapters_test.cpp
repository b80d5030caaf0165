// The exports over the decoders' orientation and the imaging code's export raster.

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <map>
#include <sstream>

#include "LogFixture.h"
#include "export/ExportAdapters.h"
#include "imaging/Picture.h"
#include "sim/Axes.h"

using namespace quelt;
using namespace quelt::testing;

namespace {

double angleGap(double a, double b) {
    return std::fabs(std::remainder(a - b, 360.0));
}

// A log of constant orientation: axes of the simulator's sensor model, one line a centimetre.
FixtureLog orientedLog(const sim::Orientation& o, int fromMm, int toMm) {
    FixtureLog log;
    const sim::AxisCounts c = sim::toCounts(sim::axesFor(o));
    for (int d = fromMm; d <= toMm; d += 10) {
        FixtureLine l;
        l.depth = d;
        const std::int16_t axes[6] = {c.hx, c.gx, c.hy, c.gy, c.hz, c.gz};
        std::copy(axes, axes + 6, l.axes);
        log.lines.push_back(l);
    }
    return log;
}

// The numbers of the ~A block.
std::vector<std::vector<double>> lasRows(const std::string& text) {
    std::vector<std::vector<double>> rows;
    std::istringstream in(text.substr(text.find("~A")));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream row(line);
        std::vector<double> v;
        double x;
        while (row >> x)
            v.push_back(x);
        if (!v.empty()) rows.push_back(v);
    }
    return rows;
}

class ExportAdaptersTest : public ::testing::Test {
  protected:
    fs::path dir;
    Settings settings;
    ProgramPaths paths;
    PlacementRecord placements;
    ScriptedOperator op;
    std::unique_ptr<SondeDatabase> sondes;

    void SetUp() override {
        dir = freshDir(std::string("ad-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir / "home");
        setProgramDirectory((dir / "home").string() + "/");
        paths.programDir = programDirectory();
        sondes = std::make_unique<SondeDatabase>(settings, op);
        SondeEntry e;
        e.serialNumber = 846;
        sondes->setSlot(0, e);
        sondes->SelectSonde(0);
    }
    void TearDown() override { fs::remove_all(dir); }
};

}  // namespace

TEST_F(ExportAdaptersTest, LasOrientationCurvesGiveBackTheSimulatedOrientation) {
    const sim::Orientation cases[] = {
        {3.0, 20.0, 100.0},
        {25.0, 200.0, 300.0},
        {60.0, 310.0, 45.0},
        {89.0, 95.0, 180.0},
    };
    int n = 0;
    for (const auto& o : cases) {
        FixtureLog log = orientedLog(o, 10000, 11000);
        log.declination = 1.5;
        std::string hed = log.write(dir / "logs", "orient" + std::to_string(n++));
        CLasExport las(settings, paths, placements, op, *sondes, decoderOrientationRoutine(settings));
        ASSERT_TRUE(las.LoadInput(hed)) << ::testing::PrintToString(op.messages());
        LasChoices c;
        c.stepIndex = 2;  // 5cm
        c.curves = LasCurves{false, false, true, true, true, true, true, true, true, false};
        ASSERT_TRUE(las.Start(c, true)) << ::testing::PrintToString(op.messages());
        auto rows = lasRows(readText(las.context().outputPath));
        ASSERT_EQ(rows.size(), 21u);
        for (const auto& r : rows) {
            ASSERT_EQ(r.size(), 8u);  // DEPTH INCL AZ HGDELTA ROLL MROLL TGRAV TMAG
            EXPECT_NEAR(r[1], o.tilt, 0.2) << "depth " << r[0];
            EXPECT_LT(angleGap(r[2], o.azimuth + log.declination), 0.2)
                << "depth " << r[0] << " tilt " << o.tilt;
            EXPECT_LT(angleGap(r[4], o.highSide), 0.2) << "depth " << r[0];
            EXPECT_NEAR(r[6], 1.0, 0.001);        // gravity in g
            EXPECT_NEAR(r[7], 47000, 30);         // 0.47 gauss in nT
            EXPECT_NEAR(r[3], 90.0 - 64.0, 0.3);  // field to gravity: 90 - dip
        }
    }
}

TEST_F(ExportAdaptersTest, AxesThatGiveNothingLeaveTheCurvesNull) {
    FixtureLog log = orientedLog({10, 10, 10}, 10000, 10200);
    for (auto& l : log.lines)
        std::fill(l.axes, l.axes + 6, 0);
    std::string hed = log.write(dir / "logs", "zero");
    CLasExport las(settings, paths, placements, op, *sondes, decoderOrientationRoutine(settings));
    ASSERT_TRUE(las.LoadInput(hed));
    LasChoices c;
    c.stepIndex = 2;
    c.curves = LasCurves{false, false, true, true, false, true, false, false, false, false};
    ASSERT_TRUE(las.Start(c, true));
    for (const auto& r : lasRows(readText(las.context().outputPath)))
        for (size_t i = 1; i < r.size(); ++i)
            EXPECT_EQ(r[i], -9999.25);
}

TEST_F(ExportAdaptersTest, RotationRoutineGivesTheDecodersImageRotationPerMode) {
    const sim::Orientation o{20.0, 70.0, 100.0};
    const sim::AxisValues a = sim::axesFor(o);
    RotationRoutine rotation = decoderRotationRoutine(settings);
    struct Case {
        int mode;
        double magnetic, offset, expected;
    } cases[] = {
        {0, 0, 0, 0},     // none: 360 - 0
        {0, 0, 15, 15},   // the sonde's rotation offset
        {2, 0, 0, 260},   // high side: 360 - 100
        {1, 0, 0, 330},   // magnetic north: 360 - (100 - 70)
        {1, 40, 0, 10},   // the declination moves the azimuth to 110: 360 - (-10 + 360)
        {2, 0, 120, 20},  // 260 + 120 - 360
    };
    for (const auto& c : cases) {
        auto r = rotation(a.gx, a.gy, a.gz, a.hx, a.hy, a.hz, c.mode, c.magnetic, c.offset);
        ASSERT_TRUE(r.has_value());
        EXPECT_LT(angleGap(*r, c.expected), 1.01) << "mode " << c.mode << " offset " << c.offset;
        EXPECT_EQ(*r, std::round(*r));
    }
    EXPECT_FALSE(rotation(0, 0, 0, 0, 0, 0, 2, 0, 0).has_value());
}

TEST_F(ExportAdaptersTest, ResamplingToTheHighSideStoresTheDecodersRotation) {
    // Recorded without orientation (SHAN 0) by a tool whose high side is 100 degrees from sample 0.
    FixtureLog log = orientedLog({20.0, 70.0, 100.0}, 10000, 10500);
    log.recLineSize = kFixtureFullLine;
    log.screenMode = 0;
    std::string hed = log.write(dir / "logs", "turn");
    CFileResampling rs(settings, paths, placements, op, *sondes, decoderRotationRoutine(settings));
    ASSERT_TRUE(rs.LoadInput(hed)) << ::testing::PrintToString(op.messages());
    EXPECT_EQ(rs.orientationText(), "None");
    rs.SetDeviation(2);
    ASSERT_TRUE(rs.CheckInterval("10"));
    ASSERT_TRUE(rs.Resample(true)) << ::testing::PrintToString(op.messages());
    DataFileReader reader;
    ASSERT_TRUE(reader.open(rs.outputDataPath(), kFixtureFullLine));
    ASSERT_GT(reader.wholeLines(), 40u);
    std::vector<std::uint8_t> line;
    for (std::uint64_t p = 0; reader.readLine(p, line); p += kFixtureFullLine) {
        int shan = line[8] | line[9] << 8;
        EXPECT_EQ(shan, 260) << "line at " << p / kFixtureFullLine;
        // 90 samples of 4 degrees: sample i of the source is now at i + 65.
        int travel0 = line[37 + 4 * 65] | line[37 + 4 * 65 + 1] << 8;
        EXPECT_EQ(travel0, fixtureTravel(lineDepthField(line), 0)) << "line at " << p / kFixtureFullLine;
    }
}

TEST_F(ExportAdaptersTest, PicturesEncodedOnThePoolAreTheSequentialOnesAndAFailureLeavesNothing) {
    // A log of 2 510 lines: six full pictures and a partial one, the samples varying along it.
    FixtureLog log;
    log.recLineSize = kFixtureFullLine;
    for (int d = 10000; d < 10000 + 5 * 2510; d += 5) {
        FixtureLine l;
        l.depth = d;
        log.lines.push_back(l);
    }
    const std::string hed = log.write(dir / "logs", "pool");
    LogHeader header;
    CHeader io(settings, paths, placements, op, header, *sondes);
    OpenedLog opened;
    ASSERT_EQ(openLog(hed, io, op, opened, false), OpenLogResult::Ok);
    ColourTable table;
    BuildColourTable(defaultPalette(), 0, table);
    // The files of one report, by name; "" when it failed.
    auto report = [&](unsigned threads, const std::string& logDir, const std::string& blocked) {
        DataFileLineSource lines;
        EXPECT_TRUE(lines.open(opened.dataPath, header));
        ExportReportRaster raster(settings, header, opened.layout, table);
        CHtmlReport r(logDir, 0, raster);
        r.setEncoderThreads(threads);
        // A folder under a picture's name: that picture cannot be written.
        if (!blocked.empty()) fs::create_directories(fs::path(r.reportFolder("pool")) / blocked);
        std::map<std::string, std::string> files;
        if (!r.MakeHtmlReport(lines, header, "pool")) {
            for (const auto& entry : fs::directory_iterator(r.reportFolder("pool")))
                if (entry.is_regular_file()) files[entry.path().filename().string()] = "left behind";
            return files;
        }
        for (const auto& entry : fs::directory_iterator(r.reportFolder("pool")))
            files[entry.path().filename().string()] = readText(entry.path());
        return files;
    };
    const auto sequential = report(0, (dir / "one").string() + "/", "");
    ASSERT_EQ(sequential.size(), 8u);  // seven pictures and the page
    const std::string fourth = std::next(sequential.begin(), 3)->first;
    for (unsigned threads : {1u, 3u}) {
        const std::string tag = std::to_string(threads);
        EXPECT_EQ(report(threads, (dir / ("pool" + tag)).string() + "/", ""), sequential)
            << threads << " threads";
        EXPECT_TRUE(report(threads, (dir / ("fail" + tag)).string() + "/", fourth).empty())
            << threads << " threads";
    }
}
