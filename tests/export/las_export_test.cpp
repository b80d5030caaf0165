#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "LogFixture.h"
#include "config/Ini.h"
#include "export/LasExport.h"
#include "platform/Text.h"

using namespace quelt;
using namespace quelt::testing;

namespace {

// An independent reader of LAS 2.0 files: sections, mnemonic lines, the ASCII block.
struct LasFile {
    std::map<std::string, std::string> version, well;
    std::vector<std::pair<std::string, std::string>> curves;  // mnemonic, unit
    std::vector<std::vector<double>> rows;
    std::string error;
};

LasFile parseLas(const std::string& text) {
    LasFile f;
    std::istringstream in(text);
    std::string line;
    char section = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '~') {
            section = line.size() > 1 ? line[1] : 0;
            continue;
        }
        if (section == 'O') continue;  // free text
        if (section == 'A') {
            std::istringstream row(line);
            std::vector<double> values;
            double v;
            while (row >> v)
                values.push_back(v);
            if (!row.eof()) f.error = "unreadable value in: " + line;
            if (values.size() != f.curves.size()) f.error = "column count differs in: " + line;
            f.rows.push_back(values);
            continue;
        }
        size_t dot = line.find('.');
        size_t colon = line.rfind(':');
        if (dot == std::string::npos || colon == std::string::npos || colon < dot) {
            f.error = "not a LAS line: " + line;
            continue;
        }
        std::string mnem = trim(line.substr(0, dot));
        size_t unitEnd = line.find_first_of(" \t", dot);
        if (unitEnd == std::string::npos || unitEnd > colon) unitEnd = colon;
        std::string unit = line.substr(dot + 1, unitEnd - dot - 1);
        std::string data = trim(line.substr(unitEnd, colon - unitEnd));
        if (section == 'V')
            f.version[mnem] = data;
        else if (section == 'W')
            f.well[mnem] = data;
        else if (section == 'C')
            f.curves.emplace_back(mnem, unit);
    }
    return f;
}

// Stands for the orientation routine of the live decoders: plain functions of the averaged axes,
// nothing at all when gx is 0.
std::optional<OrientationValues> fakeOrientation(double gx, double gy, double gz, double hx, double hy,
                                                 double hz, double offset) {
    if (gx == 0) return std::nullopt;
    OrientationValues v;
    v.tilt = gx / 100.0;
    v.azimuth = gy + offset;
    v.highSide = gz;
    v.magToolface = hx;
    v.gravityTotal = hy / 1000.0;
    v.magneticTotal = hz / 10000.0;
    v.fieldAngle = 45.0;
    return v;
}

class LasExportTest : public ::testing::Test {
  protected:
    fs::path dir;
    Settings settings;
    ProgramPaths paths;
    PlacementRecord placements;
    ScriptedOperator op;
    std::unique_ptr<SondeDatabase> sondes;

    void SetUp() override {
        dir = freshDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir / "home");
        setProgramDirectory((dir / "home").string() + "/");
        paths.programDir = programDirectory();
        sondes = std::make_unique<SondeDatabase>(settings, op);
        SondeEntry e;
        e.serialNumber = 846;
        e.sondeLength = 200;
        e.heightOffset = 100;
        e.deviationOffset = 100;  // D0 = 1.00 - (2.00 - 1.00) = 0
        e.gammaOffset = 150;      // G0 = 0.50 m
        e.gammaCoef = 2.0;
        e.gammaOnBoard = true;
        sondes->setSlot(0, e);
        sondes->SelectSonde(0);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::unique_ptr<CLasExport> exporter() {
        return std::make_unique<CLasExport>(settings, paths, placements, op, *sondes, fakeOrientation);
    }

    // Exports the log and returns the LAS text ("" when the export failed).
    std::string exportLog(const FixtureLog& log, LasChoices choices, double from, double to,
                          const std::string& name = "log") {
        auto las = exporter();
        std::string hed = log.write(dir / "logs", name);
        if (!las->LoadInput(hed)) return "";
        EXPECT_TRUE(las->SetFrom(from));
        EXPECT_TRUE(las->SetTo(to));
        if (!las->Start(choices, true)) return "";
        return readText(las->context().outputPath);
    }

    static void expectGolden(const std::string& text, const std::string& file) {
        fs::path golden = fs::path(QUELT_TEST_DIR) / file;
        if (std::getenv("QUELT_UPDATE_GOLDEN")) std::ofstream(golden, std::ios::binary) << text;
        EXPECT_EQ(text, readText(golden)) << file;
    }
};

// The grid of a parsed file: from STRT by STEP to STOP, one row each, depths as written.
void expectGrid(const LasFile& f, double strt, double stop, double step) {
    ASSERT_TRUE(f.error.empty()) << f.error;
    EXPECT_EQ(f.version.at("VERS"), "2.0");
    EXPECT_EQ(f.version.at("WRAP"), "NO");
    EXPECT_DOUBLE_EQ(std::stod(f.well.at("STRT")), strt);
    EXPECT_DOUBLE_EQ(std::stod(f.well.at("STOP")), stop);
    EXPECT_DOUBLE_EQ(std::stod(f.well.at("STEP")), step);
    EXPECT_EQ(f.well.at("NULL"), "-9999.250");
    int expected = static_cast<int>(std::lround((stop - strt) / step)) + 1;
    ASSERT_EQ(static_cast<int>(f.rows.size()), expected);
    for (size_t i = 0; i < f.rows.size(); ++i)
        EXPECT_NEAR(f.rows[i][0], strt + step * static_cast<double>(i), 1e-6) << "row " << i;
}

}  // namespace

TEST_F(LasExportTest, DownLogAtFiveCentimetresMatchesTheExpectedFileAndReadsAsLas) {
    LasChoices c;
    c.stepIndex = 2;  // 5cm
    std::string text = exportLog(centimetreLog(9900, 12100), c, 10.00, 12.00);
    ASSERT_FALSE(text.empty()) << ::testing::PrintToString(op.messages());
    expectGolden(text, "las_down_5cm.las");
    EXPECT_NE(text.back(), '\n');
    LasFile f = parseLas(text);
    expectGrid(f, 10.00, 12.00, 0.05);
    std::vector<std::string> mnems;
    for (const auto& [m, u] : f.curves)
        mnems.push_back(m);
    EXPECT_EQ(mnems,
              (std::vector<std::string>{"DEPTH", "SPEED", "GAMMA", "INCL", "AZ", "HGDELTA", "ROLL", "MROLL",
                                        "TGRAV", "TMAG", "GX", "GY", "GZ", "HX", "HY", "HZ"}));
    EXPECT_EQ(f.curves[0].second, "M");
    EXPECT_EQ(f.curves[1].second, "M/Min");
    // One line per centimetre every 100 ms: 6 m/min once the 75 line speeds no longer hold the first 0.
    EXPECT_NEAR(f.rows[20][1], 6.0, 1e-9);
}

TEST_F(LasExportTest, ReverseDepthStartsAtToWithANegativeStep) {
    LasChoices c;
    c.stepIndex = 2;
    c.reverse = true;
    c.curves = LasCurves{};
    c.curves.raw = false;
    std::string text = exportLog(centimetreLog(9900, 12100), c, 10.00, 12.00);
    expectGolden(text, "las_down_5cm_reverse.las");
    LasFile f = parseLas(text);
    expectGrid(f, 12.00, 10.00, -0.05);
}

TEST_F(LasExportTest, AnUpLogRunsUpTheGrid) {
    LasChoices c;
    c.stepIndex = 3;  // 10cm
    c.curves = LasCurves{};
    c.curves.gamma = false;
    std::string text = exportLog(centimetreLog(12100, 9900), c, 12.00, 10.00);
    LasFile f = parseLas(text);
    expectGrid(f, 12.00, 10.00, -0.10);
    EXPECT_NE(text.find("     Notes: The log is recorded in Up Mode.\n"), std::string::npos);
}

TEST_F(LasExportTest, ARecordSeveralStepsBeyondTheGridFillsTheSkippedSteps) {
    FixtureLog log = centimetreLog(10000, 10200);
    FixtureLog tail = centimetreLog(10500, 10800);
    for (auto& l : tail.lines)
        l.ngam = 500;
    log.lines.insert(log.lines.end(), tail.lines.begin(), tail.lines.end());
    LasChoices c;
    c.stepIndex = 2;
    c.curves = LasCurves{};
    c.curves.speed = c.curves.incl = c.curves.azimuth = c.curves.hgDelta = c.curves.roll = c.curves.mroll =
        c.curves.tgrav = c.curves.tmag = c.curves.raw = false;
    settings.SetDepthUnit = 0;
    sondes->setSlot(0, [&] {
        SondeEntry e = sondes->slot(0);
        e.gammaOffset = 100;  // no gamma shift
        return e;
    }());
    sondes->SelectSonde(0);
    std::string text = exportLog(log, c, 10.00, 10.80);
    expectGolden(text, "las_gap.las");
    LasFile f = parseLas(text);
    expectGrid(f, 10.00, 10.80, 0.05);
    // 10.25 has no record before it: NULL. 10.30 .. 10.45 repeat the record at 10.50 (gamma 500 / 0.1 s x 2).
    EXPECT_EQ(f.rows[5], (std::vector<double>{10.25, -9999.25}));
    for (size_t i = 6; i <= 9; ++i)
        EXPECT_EQ(f.rows[i][1], 10000.0) << "row " << i;
}

// The gamma column moves by the signed distance between the gamma and deviation sensors, in records: a
// detector above the deviation sensor (G0 > 0) reads a depth later on a down log, one below it (G0 < 0)
// earlier; the records shifted in from beyond the log are NULL at the end or at the start.
TEST_F(LasExportTest, GammaIsShiftedByTheSignedSensorDistanceAndNullBeyondTheLog) {
    LasChoices c;
    c.stepIndex = 2;
    c.curves = LasCurves{};
    c.curves.speed = c.curves.incl = c.curves.azimuth = c.curves.hgDelta = c.curves.roll = c.curves.mroll =
        c.curves.tgrav = c.curves.tmag = c.curves.raw = false;
    FixtureLog log = centimetreLog(9900, 12100);
    auto exportWithGammaOffset = [&](int gammaOffsetCm, bool reverse, const char* name) {
        SondeEntry e = sondes->slot(0);
        e.gammaOffset = gammaOffsetCm;
        sondes->setSlot(0, e);
        sondes->SelectSonde(0);
        c.reverse = reverse;
        return parseLas(exportLog(log, c, 10.00, 12.00, name));
    };
    const struct {
        int gammaOffsetCm;
        bool reverse;
        int records;  // how many lines further on in the file a line finds its gamma
    } cases[] = {{150, false, 10}, {50, false, -10}, {150, true, -10}, {50, true, 10}};
    for (const auto& k : cases) {
        const LasFile plain = exportWithGammaOffset(100, k.reverse, "plain");  // G0 = 0
        const LasFile shifted =
            exportWithGammaOffset(k.gammaOffsetCm, k.reverse, k.records > 0 ? "above" : "below");
        ASSERT_EQ(shifted.rows.size(), plain.rows.size()) << k.gammaOffsetCm;
        const auto n = static_cast<long>(plain.rows.size());
        for (long i = 0; i < n; ++i) {
            const long j = i + k.records;
            const double expected = j >= 0 && j < n ? plain.rows[static_cast<size_t>(j)][1] : -9999.25;
            EXPECT_EQ(shifted.rows[static_cast<size_t>(i)][0], plain.rows[static_cast<size_t>(i)][0]);
            EXPECT_EQ(shifted.rows[static_cast<size_t>(i)][1], expected)
                << "G0 " << k.gammaOffsetCm - 100 << " cm, reverse " << k.reverse << ", row " << i;
        }
    }
}

TEST_F(LasExportTest, DataLinesAreFormattedAsPrintfFormatsThem) {
    // Every column of one line against printf's own formats, on values whose rounding is delicate.
    const double values[] = {0.0,   -0.0,   0.005,   0.015,         0.125,    -0.125, 2.675,     1e-9,
                             -1e-9, 99.995, 12345.6, 123456789.987, -9999.25, 1e15,   -123.4567, 0.0049999};
    LasCurves all;
    auto las = exporter();
    for (double v : values) {
        // The total field is written in whole hundred-thousandths, which a 32-bit number holds.
        const double tmag = std::fabs(v) < 1e4 ? v : 0.5;
        LasRecord r{v, v, v, v, v, v, v, v, v, tmag, v, v, v, v, v, v};
        std::string text;
        las->appendLine(text, r, all);
        std::string expected = format("\n%#9.2f", v);
        for (int i = 0; i < 7; ++i)
            expected += format(" %#9.2f", v);
        expected += format(" %#9.3f", v);
        expected +=
            tmag == kLasNull ? format(" %#9.2f", tmag) : format(" %9d", static_cast<int>(tmag * 100000.0));
        for (int i = 0; i < 6; ++i)
            expected += format(" %#9.2f", v);
        EXPECT_EQ(text, expected) << v;
    }
}

TEST_F(LasExportTest, ATotalFieldNoWholeNumberHoldsIsWrittenAsNull) {
    // A damaged log's field beyond 21474 gauss (or not a number) has no nT value: the column says null.
    LasCurves onlyField{};
    onlyField.speed = onlyField.gamma = onlyField.incl = onlyField.azimuth = onlyField.hgDelta =
        onlyField.roll = onlyField.mroll = onlyField.tgrav = onlyField.raw = false;
    auto las = exporter();
    const struct {
        double tmag;
        const char* column;
    } cases[] = {{0.5, "     50000"},     {-0.5, "    -50000"},  {21474.0, " 2147400000"},
                 {21475.0, "  -9999.25"}, {-1e12, "  -9999.25"}, {std::nan(""), "  -9999.25"},
                 {kLasNull, "  -9999.25"}};
    for (const auto& k : cases) {
        LasRecord r{};
        r.depth = 1.0;
        r.tmag = k.tmag;
        std::string text;
        las->appendLine(text, r, onlyField);
        EXPECT_EQ(text, std::string("\n     1.00") + k.column) << k.tmag;
    }
}

TEST_F(LasExportTest, AZeroTimeByteGivesGammaMinus999AndKeepsTheSpeedFinite) {
    FixtureLog log = centimetreLog(10000, 10300);
    for (size_t i = 10; i <= 15; ++i)
        log.lines[i].gclk = 0;  // 10.10 .. 10.15
    LasChoices c;
    c.stepIndex = 2;
    c.curves = LasCurves{};
    c.curves.incl = c.curves.azimuth = c.curves.hgDelta = c.curves.roll = c.curves.mroll = c.curves.tgrav =
        c.curves.tmag = c.curves.raw = false;
    SondeEntry e = sondes->slot(0);
    e.gammaOffset = 100;
    sondes->setSlot(0, e);
    sondes->SelectSonde(0);
    std::string text = exportLog(log, c, 10.00, 10.30);
    expectGolden(text, "las_zero_time.las");
    EXPECT_EQ(text.find("nan"), std::string::npos);
    EXPECT_EQ(text.find("inf"), std::string::npos);
    LasFile f = parseLas(text);
    // The 10.15 line averages 10.11 .. 10.15, all without counting time.
    EXPECT_EQ(f.rows[3][2], -999.25);
    // Every line speed is 6 m/min; the mean starts with the first record's 0.
    for (size_t i = 1; i < f.rows.size(); ++i) {
        EXPECT_GT(f.rows[i][1], f.rows[i - 1][1]) << "row " << i;
        EXPECT_LT(f.rows[i][1], 6.0) << "row " << i;
    }
}

TEST_F(LasExportTest, WellTextsArePaddedToForty) {
    FixtureLog log = centimetreLog(10000, 10100);
    log.company = std::string(45, 'C');
    log.wellname = std::string(40, 'W');
    log.extraWell["Fieldname"] = "  ";
    LasChoices c;
    std::string text = exportLog(log, c, 10.00, 10.10);
    EXPECT_NE(text.find(" COMP.    " + std::string(45, 'C') + "      :   COMPANY NAME\n"), std::string::npos);
    EXPECT_NE(text.find(" WELL.    " + std::string(40, 'W') + "  :   WELL NAME\n"), std::string::npos);
    EXPECT_NE(text.find(" FLD.     N/A" + std::string(37, ' ') + " :   FIELD NAME\n"), std::string::npos);
    EXPECT_NE(text.find(" CNTY.    N/A" + std::string(37, ' ') + " :   COUNTY\n"), std::string::npos);
    EXPECT_NE(text.find(" STAT.    N/A" + std::string(37, ' ') + " :   STATE\n"), std::string::npos);
    EXPECT_NE(text.find(" MAGN-DEC.            1.50         : Magnetic declination in degree.\n"),
              std::string::npos);
}

TEST_F(LasExportTest, AFeetLogShownInMetresConvertsDepths) {
    FixtureLog log;
    log.depthUnit = 1;
    for (int d = 32000; d <= 34000; d += 25) {  // thousandths of a foot
        FixtureLine l;
        l.depth = d;
        l.axes[1] = 1000;
        log.lines.push_back(l);
    }
    settings.SetDepthUnit = 0;
    LasChoices c;
    c.stepIndex = 3;  // 10 cm = 0.328083 ft
    c.curves = LasCurves{};
    c.curves.gamma = c.curves.raw = false;
    auto las = exporter();
    ASSERT_TRUE(las->LoadInput(log.write(dir / "logs", "feet")));
    EXPECT_NEAR(las->context().firstDepth, 32.00, 1e-9);
    ASSERT_TRUE(las->Start(c, true));
    std::string text = readText(las->context().outputPath);
    expectGolden(text, "las_feet_in_metres.las");
    EXPECT_NE(text.find(format(" STRT.M       %#8.2f                             :   START DEPTH\n",
                               32.0 * 0.3048)),
              std::string::npos);
    EXPECT_NE(text.find(" STEP.M           0.10                             :   STEP VALUE\n"),
              std::string::npos);
    LasFile f = parseLas(text);
    ASSERT_TRUE(f.error.empty()) << f.error;
    ASSERT_FALSE(f.rows.empty());
    EXPECT_NEAR(f.rows.front()[0], 32.0 * 0.3048, 0.006);
}

TEST_F(LasExportTest, FromAndToEntriesAreChecked) {
    struct Case {
        bool from;
        double value;
        const char* message;
        double kept;
    };
    const Case cases[] = {
        {true, 9.0, "Bad entry value (begining 9.90 ending 12.10) \n", 9.90},
        {false, 12.5, "Bad entry value (begining 9.90 ending 12.10) \n", 12.10},
        {true, 11.5, "Bad entry value, the depth of beginning must be smaller than the depth of stop", 9.90},
        {false, 10.5, "Bad entry value, the depth of beginning must be smaller than the depth of stop",
         12.10},
        {true, 10.004, nullptr, 10.004},
    };
    FixtureLog log = centimetreLog(9900, 12100);
    std::string hed = log.write(dir / "logs", "log");
    for (const auto& k : cases) {
        auto las = exporter();
        ASSERT_TRUE(las->LoadInput(hed));
        ASSERT_TRUE(las->SetTo(11.0) && las->SetFrom(10.6) && las->SetTo(11.0));
        las->context().to = 11.0;
        las->context().from = 10.6;
        op.clear();
        bool kept = k.from ? las->SetFrom(k.value) : las->SetTo(k.value);
        EXPECT_EQ(kept, k.message == nullptr);
        if (k.message) {
            EXPECT_EQ(op.messages(), std::vector<std::string>{k.message});
        }
        EXPECT_NEAR(k.from ? las->context().from : las->context().to, k.kept, 1e-9);
    }
    // Up log: the stop must be above the beginning.
    auto las = exporter();
    ASSERT_TRUE(las->LoadInput(centimetreLog(12100, 9900).write(dir / "logs", "up")));
    op.clear();
    ASSERT_TRUE(las->SetFrom(11.0));
    EXPECT_FALSE(las->SetTo(11.5));
    EXPECT_EQ(op.messages(),
              std::vector<std::string>{
                  "Bad entry value, the depth of stop must be smaller than the depth of beginning"});
}

TEST_F(LasExportTest, UnusableInputsAreRefusedWithAMessageAndWriteNothing) {
    struct Case {
        const char* name;
        int recLineSize;
        int lines;
        bool removeData;
        const char* message;
    };
    const Case cases[] = {
        {"nosize", 0, 20, false, "Bad header file. The header declares no line size (RecLineSize is 0)."},
        {"short", 20, 20, false, "Bad header file. The header declares no channel."},
        {"empty", 40, 0, false, "The data file holds no whole line.\nExport file failled..."},
        {"nodata", 40, 20, true, "Data file not present.\n{logs}/nodata.viv"},
    };
    for (const auto& k : cases) {
        FixtureLog log = centimetreLog(10000, 10000 + 10 * (k.lines - 1));
        if (k.lines == 0) log.lines.clear();
        log.recLineSize = k.recLineSize;
        std::string hed = log.write(dir / "logs", k.name);
        if (k.removeData) fs::remove(dir / "logs" / (std::string(k.name) + ".VIV"));
        op.clear();
        auto las = exporter();
        EXPECT_FALSE(las->LoadInput(hed)) << k.name;
        std::string message = k.message;  // the missing data file is named with the path looked for
        if (auto at = message.find("{logs}"); at != std::string::npos)
            message.replace(at, 6, (dir / "logs").string());
        EXPECT_EQ(op.messages(), std::vector<std::string>{message}) << k.name;
        EXPECT_FALSE(las->Start(LasChoices{}, true)) << k.name;
        EXPECT_FALSE(fs::exists(dir / "logs" / "LAS20" / (std::string(k.name) + ".las"))) << k.name;
    }
}

TEST_F(LasExportTest, AnUnknownSondeUsesTheCurrentOneAfterAMessage) {
    FixtureLog log = centimetreLog(10000, 10100);
    log.serial = 999;
    auto las = exporter();
    ASSERT_TRUE(las->LoadInput(log.write(dir / "logs", "log")));
    EXPECT_EQ(op.messages(),
              std::vector<std::string>{"The sonde 999 not found in dbase.\nThe offset parameter from "
                                       "sonde 846 are used by default."});
    EXPECT_NEAR(las->context().g0, 0.5, 1e-12);
    EXPECT_EQ(las->context().outputPath, (dir / "logs" / "LAS20" / "log.las").string());
    EXPECT_EQ(las->context().intervalText, "9.09");  // 0.10 m over 11 lines
}

TEST_F(LasExportTest, AnExistingFileIsReplacedOnlyWhenTheOperatorAgrees) {
    FixtureLog log = centimetreLog(10000, 10100);
    auto las = exporter();
    ASSERT_TRUE(las->LoadInput(log.write(dir / "logs", "log")));
    std::ofstream(las->context().outputPath) << "old";
    op.clear();
    op.answerYes(false);
    EXPECT_FALSE(las->Start(LasChoices{}, false));
    EXPECT_EQ(op.messages(), std::vector<std::string>{"Migration to LAS file aborted. "});
    EXPECT_EQ(readText(las->context().outputPath), "old");
    op.answerYes(true);
    EXPECT_TRUE(las->Start(LasChoices{}, false));
    EXPECT_EQ(readText(las->context().outputPath).rfind("#VEXA Logger file export\n", 0), 0u);
}

TEST_F(LasExportTest, NoChannelIsRefused) {
    auto las = exporter();
    ASSERT_TRUE(las->LoadInput(centimetreLog(10000, 10100).write(dir / "logs", "log")));
    LasChoices c;
    c.curves = LasCurves{false, false, false, false, false, false, false, false, false, false};
    op.clear();
    EXPECT_FALSE(las->Start(c, true));
    EXPECT_EQ(op.messages(), std::vector<std::string>{"You must at least choose one channel !!!"});
}

TEST_F(LasExportTest, CloseKeepsTheFlagsInSectionLASGenerator) {
    auto las = exporter();
    LasCurves c;
    c.roll = false;
    c.raw = false;
    las->Close(c);
    EXPECT_FALSE(settings.ExportRoll);
    EXPECT_TRUE(settings.ExportSpeed);
    std::string cfg = CIni::ResolveFileName("ZORAK.cfg", 1);
    EXPECT_EQ(readProfileString(cfg, "LASGenerator", "ExportRoll", "?"), "0");
    EXPECT_EQ(readProfileString(cfg, "LASGenerator", "ExportRaw", "?"), "0");
    EXPECT_EQ(readProfileString(cfg, "LASGenerator", "ExportGamm", "?"), "1");
}

// The LAS files also read in an outside LAS 2.0 reader (the npm package las-js, on Node.js), when the
// machine has it: QUELT_LASJS_DIR names a folder whose node_modules holds it.
TEST_F(LasExportTest, TheFilesReadInLasJs) {
    const char* lasjs = std::getenv("QUELT_LASJS_DIR");
    std::string nodePath = lasjs ? std::string(lasjs) + "/node_modules" : "";
    if (nodePath.empty() || !fs::exists(fs::path(nodePath) / "las-js"))
        GTEST_SKIP() << "las-js not installed";
    fs::path script = dir / "read.js";
    std::ofstream(script)
        << "const { Las } = require('las-js');\n"
           "(async () => {\n"
           "  const las = new Las(process.argv[2]);\n"
           "  const curves = await las.curveParams();\n"
           "  const data = await las.data();\n"
           "  const well = await las.wellParams();\n"
           "  const names = Object.keys(curves);\n"
           "  console.log(names.map(n => n + '.' + curves[n].unit).join(','));\n"
           "  console.log(well.STRT.value + ' ' + well.STOP.value + ' ' + well.STEP.value + ' ' +\n"
           "              well.NULL.value);\n"
           "  console.log(data.length + ' ' + data[0].join(' ') + ' | ' + data[data.length - 1].join(' '));\n"
           "})().catch(e => { console.error(e.message); process.exit(1); });\n";
    LasChoices c;
    c.stepIndex = 2;
    c.curves = LasCurves{};
    c.curves.incl = c.curves.azimuth = c.curves.hgDelta = c.curves.roll = c.curves.mroll = false;
    std::string text = exportLog(centimetreLog(9900, 12100), c, 10.00, 12.00);
    fs::path las = dir / "logs" / "LAS20" / "log.las";
    ASSERT_TRUE(fs::exists(las));
    std::string cmd =
        "NODE_PATH='" + nodePath + "' node '" + script.string() + "' '" + las.string() + "' 2>&1";
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    ASSERT_EQ(WEXITSTATUS(::pclose(p)), 0) << out;
    LasFile mine = parseLas(text);
    std::istringstream lines(out);
    std::string curves, well, data;
    std::getline(lines, curves);
    std::getline(lines, well);
    std::getline(lines, data);
    EXPECT_EQ(curves,
              "DEPTH.M,SPEED.M/Min,GAMMA.CPS,TGRAV.G,TMAG.nT,GX.RAW,GY.RAW,GZ.RAW,HX.RAW,HY.RAW,HZ.RAW");
    EXPECT_EQ(well, "10.00 12.00 0.05 -9999.250");
    auto join = [](const std::vector<double>& row) {
        std::string s;
        for (double v : row)
            s += (s.empty() ? "" : " ") + formatG(v);
        return s;
    };
    EXPECT_EQ(data,
              format("%zu ", mine.rows.size()) + join(mine.rows.front()) + " | " + join(mine.rows.back()));
}
