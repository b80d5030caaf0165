#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "config/Ini.h"
#include "config/Preferences.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;
using namespace quelt;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A program folder of its own, a switch store of its own and the records the application object owns.
class PreferencesTest : public ::testing::Test {
  protected:
    fs::path home, switchFile;
    Settings settings;
    ProgramPaths paths;
    PlacementRecord placements;
    ScriptedOperator op;

    void SetUp() override {
        home = fs::temp_directory_path() / ("quelt-prefs-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(home);
        fs::create_directories(home);
        switchFile = home / "config" / "TechnicalTools";
    }
    void TearDown() override { fs::remove_all(home); }

    std::string cfg(const char* key) {
        return readProfileString((home / "Zorak.cfg").string(), "QueltLogger", key, "<missing>");
    }

    void writeValidPlacements() {
        PlacementRecord record;
        record.bytes[0] = 1;
        WindowPlacement w;
        w.length = 44;
        w.right = 800;
        record.set(PlacementSlot::MainWindow, w);
        writeFile(home / "Zorak.dat", std::string(reinterpret_cast<const char*>(record.bytes.data()), 237));
    }

    CPreferences load(const std::string& cfgText) {
        writeFile(home / "Zorak.cfg", cfgText);
        CPreferences prefs(settings, paths, placements, op, SwitchStore(switchFile));
        prefs.LoadAll(home.string());
        return prefs;
    }
};

}  // namespace

TEST_F(PreferencesTest, EmptySettingsBesideValidPlacementsGiveEveryDefaultAndTheDemonstrationPaths) {
    writeValidPlacements();
    load("");
    const Settings d;  // the defaults of the record are the defaults of the file
    EXPECT_EQ(settings.UpGain, 25);
    EXPECT_EQ(settings.UpGainCommand, 25);
    EXPECT_EQ(settings.MotorPeriod, d.MotorPeriod);
    EXPECT_EQ(settings.PicColorRef, d.PicColorRef);
    EXPECT_DOUBLE_EQ(settings.DisplayBlanking, 1200);
    EXPECT_DOUBLE_EQ(settings.DisplayWindow, 500);
    EXPECT_DOUBLE_EQ(settings.PulleysDiameter, 500.0);
    EXPECT_EQ(settings.SetFilter, 50);
    EXPECT_TRUE(settings.PulleyDir);
    EXPECT_TRUE(settings.DisplayTracking);
    EXPECT_TRUE(settings.ExportGamm);
    EXPECT_FALSE(settings.SplashScreenOff);
    EXPECT_EQ(settings.PaletteScale, (std::array<int, 7>{0, 127, 255, 0, 127, 255, 80}));

    EXPECT_EQ(paths.dataFileName, "Demo.VIV");
    EXPECT_EQ(paths.lastHeader, (home / "Demo/Demo.HED").string());
    EXPECT_EQ(paths.lastDataFile, (home / "Demo/Demo.VIV").string());
    EXPECT_EQ(paths.logDir, (home / "Demo").string());
    EXPECT_EQ(cfg("RefreshTime"), "500");
    EXPECT_EQ(cfg("ScreenRefreshTime"), "2000");
    EXPECT_EQ(cfg("FilePath"), (home / "Demo").string());
    EXPECT_EQ(cfg("UpGain"), "<missing>");  // only the first-run keys are written by the load
    EXPECT_EQ(placements.get(PlacementSlot::MainWindow).right, 800);
    EXPECT_TRUE(op.log().empty());
}

TEST_F(PreferencesTest, MissingOrShortPlacementFileResetsThePathsAndRewritesIt) {
    for (bool shortFile : {false, true}) {
        SCOPED_TRACE(shortFile ? "short Zorak.dat" : "no Zorak.dat");
        fs::remove(home / "Zorak.dat");
        if (shortFile) writeFile(home / "Zorak.dat", std::string(100, '\1'));
        settings = Settings{};
        load("");
        EXPECT_EQ(paths.lastHeader, defaultUserFolder());
        EXPECT_EQ(paths.logDir, defaultUserFolder());
        EXPECT_EQ(paths.tempDir, systemTempDir());
        EXPECT_EQ(cfg("LastFile"), defaultUserFolder());
        EXPECT_EQ(cfg("FilePath"), defaultUserFolder());
        EXPECT_EQ(cfg("Tempdir"), systemTempDir());
        EXPECT_EQ(cfg("DataFile"), (home / "Demo/Demo.VIV").string());
        std::string dat = readFile(home / "Zorak.dat");
        ASSERT_EQ(dat.size(), 237u);
        EXPECT_EQ(dat[0], 1);
        WindowPlacement main = placements.get(PlacementSlot::MainWindow);
        EXPECT_EQ(main.length, 44);
        EXPECT_EQ(main.left, 10);
        EXPECT_EQ(main.bottom, 500);
        EXPECT_FALSE(placements.get(PlacementSlot::ToolsBox).valid());
    }
}

TEST_F(PreferencesTest, LoadedValuesAreClampedAndConverted) {
    struct Case {
        const char* text;
        std::function<double(const Settings&)> field;
        double expected;
    };
    const Case cases[] = {
        {"RefreshTime=50", [](const Settings& s) { return s.RefreshTime; }, 100},
        {"ScreenRefreshTime=150", [](const Settings& s) { return s.ScreenRefreshTime; }, 200},
        {"SetFilter=10", [](const Settings& s) { return s.SetFilter; }, 50},
        {"SetFilter=5000", [](const Settings& s) { return s.SetFilter; }, 2000},
        {"SetDepthUnit=7", [](const Settings& s) { return s.SetDepthUnit; }, 1},
        {"SetDepthUnit=7", [](const Settings& s) { return s.ShownDepthUnit; }, 1},
        {"SetDepthUnit=-3", [](const Settings& s) { return s.SetDepthUnit; }, 0},
        {"MagneticOffset=-1,5", [](const Settings& s) { return s.MagneticOffset; }, -1.5},
        {"MagneticOffset=-1.5", [](const Settings& s) { return s.MagneticOffset; }, -1.5},
        {"MagneticOffset=2,25", [](const Settings& s) { return s.MagneticOffset; }, 2.25},
        {"PulleysDiameter=5000", [](const Settings& s) { return s.PulleysDiameter; }, 500.0},
        {"SplashScreenOff=YES", [](const Settings& s) { return s.SplashScreenOff; }, 1},
        {"SplashScreenOff=1", [](const Settings& s) { return s.SplashScreenOff; }, 1},
        {"SplashScreenOff=2", [](const Settings& s) { return s.SplashScreenOff; }, 0},
        {"UpBlanking=900", [](const Settings& s) { return s.DisplayBlanking; }, 900},
        {"UpBlanking=900\nDisplayBlanking=700", [](const Settings& s) { return s.DisplayBlanking; }, 700},
        {"UpBlanking=900", [](const Settings& s) { return s.SavedDisplayBlanking; }, 900},
        {"UpGain=40", [](const Settings& s) { return s.UpGainCommand; }, 40},
        {"GammaScale=3", [](const Settings& s) { return s.ShownGamma; }, 1},
        {"LevelContrast=6", [](const Settings& s) { return s.SavedLevelContrast; }, 6},
        {"UpGain=abc", [](const Settings& s) { return s.UpGain; }, 0},
        {"PulleyCircumInch=20.5", [](const Settings& s) { return s.PulleyCircumInch; }, 19.685},
        {"SetDepthUnit=1\nPulleyCircumInch=20.5", [](const Settings& s) { return s.PulleyCircumInch; }, 20.5},
        // Outside the ranges their setup pages allow: clamped to the nearest end.
        {"SetDepthUnit=1\nPulleyCircumInch=99", [](const Settings& s) { return s.PulleyCircumInch; }, 60},
        {"DownEnergie=99", [](const Settings& s) { return s.DownEnergie; }, 60},
        {"DownEnergie=1", [](const Settings& s) { return s.DownEnergie; }, 5},
        {"UpGain=-5", [](const Settings& s) { return s.UpGainCommand; }, 0},
        {"UpholePulseWidth=0", [](const Settings& s) { return s.UpholePulseWidth; }, 5},
        {"UpBaudDivisor=1", [](const Settings& s) { return s.UpBaudDivisor; }, 2},
        {"MotorPeriod=5", [](const Settings& s) { return s.MotorPeriod; }, 21},
        {"MotorPeriod_M3=200", [](const Settings& s) { return s.MotorPeriodPreset[2]; }, 127},
        {"PicResolution=9", [](const Settings& s) { return s.PicResolution; }, 4},
        {"PicOriented=5", [](const Settings& s) { return s.PicOriented; }, 2},
        {"Power=200", [](const Settings& s) { return s.Power; }, 125},
        {"PulsResolution=100", [](const Settings& s) { return s.PulsResolution; }, 500},
        {"PulleysDiameter=100", [](const Settings& s) { return s.PulleysDiameter; }, 250.0},
        {"PulleysDiameter=99999", [](const Settings& s) { return s.PulleysDiameter; }, 1500.0},
        {"QualityStepMm=0", [](const Settings& s) { return s.QualityStepMm; }, 0.5},
        {"QualityStepMm=2.5", [](const Settings& s) { return s.QualityStepMm; }, 2.5},
        {"Unrelated=1", [](const Settings& s) { return s.QualityStepMm; }, 5.0},
        {"QualityFieldGauss=0.47", [](const Settings& s) { return s.QualityFieldGauss; }, 0.47},
        {"QualityFieldGauss=-1", [](const Settings& s) { return s.QualityFieldGauss; }, 0.0},
    };
    writeValidPlacements();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        settings = Settings{};
        load(std::string("[QueltLogger]\r\n") + c.text + "\r\n");
        EXPECT_DOUBLE_EQ(c.field(settings), c.expected);
    }
}

TEST_F(PreferencesTest, ExportFlagsAreClearedOnlyByAFalseKey) {
    writeValidPlacements();
    load("[LASGenerator]\nExportRaw=0\nExportGamm=abc\nExportSpeed=1\n");
    EXPECT_FALSE(settings.ExportRaw);
    EXPECT_FALSE(settings.ExportGamm);  // not a number reads as 0
    EXPECT_TRUE(settings.ExportSpeed);
    EXPECT_TRUE(settings.ExportIncl);
}

TEST_F(PreferencesTest, SaveSettingsWritesTheFileFormats) {
    writeValidPlacements();
    CPreferences prefs = load("[QueltLogger]\nMagneticOffset=-1,5\nUnknownKey=kept\n");
    settings.PulleysDiameter = 314.159;
    settings.UpGain = 31;
    prefs.SaveSettings();
    EXPECT_EQ(cfg("MagneticOffset"), "-1.50");
    EXPECT_EQ(cfg("PulleysDiameter"), "3141");
    EXPECT_EQ(cfg("UpGain"), "31");
    EXPECT_EQ(settings.UpGainCommand, 31);
    EXPECT_EQ(cfg("PulleyCircumInch"), "<missing>");
    EXPECT_EQ(cfg("UnknownKey"), "kept");

    // What a first load read comes back unchanged from a save.
    for (int tenths : {4999, 5001, 3141, 1, 12345}) {
        settings.PulleysDiameter = tenths / 10.0;
        prefs.SaveSettings();
        EXPECT_EQ(cfg("PulleysDiameter"), std::to_string(tenths));
    }
}

TEST_F(PreferencesTest, SaveAcquisitionSettingsWritesOnlyForItsReason) {
    writeValidPlacements();
    CPreferences prefs = load("");
    settings.UpBlanking = 1234.9;
    settings.DisplayWindow = 600.7;
    prefs.SaveAcquisitionSettings(100, false);
    EXPECT_EQ(cfg("UpBlanking"), "<missing>");
    prefs.SaveAcquisitionSettings(kSaveAcquisitionReason, false);
    EXPECT_EQ(cfg("UpBlanking"), "1234");
    EXPECT_EQ(cfg("DisplayWindow"), "600");
    EXPECT_EQ(cfg("PlaybackDisplayWindow"), "<missing>");
    prefs.SaveAcquisitionSettings(kSaveAcquisitionReason, true);
    EXPECT_EQ(cfg("PlaybackDisplayWindow"), "600");
}

TEST_F(PreferencesTest, TechnicalSwitchesAndTheirSideEffects) {
    struct Case {
        const char* store;
        bool debugingTools, debugingTrace, message;
    };
    const Case cases[] = {
        {"DebugingTools=  TrUe \nDebugingTrace=1\n", true, false, true},
        {"DebugingTools=false\nDebugingTrace=TRUE\n", false, true, true},
        {"TechnicalTools=true\nFullTracing=true\n", false, false, false},
    };
    writeValidPlacements();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.store);
        fs::create_directories(switchFile.parent_path());
        writeFile(switchFile, c.store);
        writeFile(home / "trace_klar.LOG", "old trace");
        settings = Settings{};
        op.clear();
        load("");
        EXPECT_EQ(settings.switches.DebugingTools, c.debugingTools);
        EXPECT_EQ(settings.switches.DebugingTrace, c.debugingTrace);
        EXPECT_EQ(op.messages().size(), c.message ? 1u : 0u);
        if (c.message) {
            EXPECT_EQ(op.messages()[0], "Debugging mode!");
        }
        EXPECT_EQ(fs::exists(home / "trace_klar.LOG"), !c.debugingTrace);
    }
}

TEST_F(PreferencesTest, SavePathsTouchesTheSwitchStoreOnlyWhenASwitchIsOn) {
    writeValidPlacements();
    CPreferences prefs = load("");
    prefs.SavePaths();
    EXPECT_FALSE(fs::exists(switchFile));
    settings.switches.DebugingTrace = true;
    prefs.SavePaths();
    EXPECT_EQ(readFile(switchFile),
              "TechnicalTools=false\nDebugingTools=false\nDebugingTrace=true\nFullTracing=false\n");
}

TEST_F(PreferencesTest, WindowsSettingsFileReadsTheSame) {
    writeValidPlacements();
    load(
        "[QUELTLOGGER]\r\nFilePath=C:\\Logs\\Well 7\r\nLastFile=C:\\Logs\\Well "
        "7\\run1.HED\r\nTempdir=c:\\temp\r\n");
    EXPECT_EQ(paths.logDir, "C:/Logs/Well 7");
    EXPECT_EQ(paths.lastHeader, "C:/Logs/Well 7/run1.HED");
    EXPECT_EQ(paths.tempDir, systemTempDir());
}

TEST(PlacementRecord, SlotValidity) {
    struct Case {
        std::int32_t length;
        bool valid;
    };
    for (auto [length, valid] :
         {Case{0, false}, Case{44, true}, Case{999, true}, Case{1000, false}, Case{-1, false}}) {
        PlacementRecord record;
        WindowPlacement w;
        w.length = length;
        record.set(PlacementSlot::LoggerSetup, w);
        EXPECT_EQ(record.get(PlacementSlot::LoggerSetup).valid(), valid) << length;
    }
}

TEST_F(PreferencesTest, EachClampedValueIsNotedOnceAndAValueInRangeIsNot) {
    writeValidPlacements();
    CPreferences prefs = load("[QueltLogger]\r\nPower=200\r\nMotorPeriod=87\r\nDownEnergie=2\r\n");
    ASSERT_EQ(prefs.loadNotes().size(), 2u);
    EXPECT_NE(prefs.loadNotes()[0].find("DownEnergie = 2 is outside 5..60"), std::string::npos)
        << prefs.loadNotes()[0];
    EXPECT_NE(prefs.loadNotes()[1].find("Power = 200 is outside 80..125"), std::string::npos)
        << prefs.loadNotes()[1];
    EXPECT_NE(prefs.loadNotes()[1].find("125 is used"), std::string::npos) << prefs.loadNotes()[1];
    EXPECT_TRUE(op.messages().empty()) << "clamps go to the trace and the command line, not to a window";
}

// A program folder that cannot be written: the first failed save tells the operator why, later ones
// add nothing; the values in memory stay what the operator chose.
TEST_F(PreferencesTest, ASettingsFileThatCannotBeSavedIsReportedOncePerRun) {
    writeValidPlacements();
    CPreferences prefs = load("[QueltLogger]\nUpGain=20\n");
    fs::remove_all(home);  // its folder is gone: nothing can be written beside the file
    settings.UpGain = 33;
    prefs.SaveSettings();
    prefs.SaveSettings();
    prefs.WriteInt("BlackAndWhite", 1, "QueltLogger");
    const auto messages = op.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("The settings cannot be saved in " + (home / "Zorak.cfg").string() +
                               " (No such file or directory)"),
              std::string::npos)
        << messages[0];
    EXPECT_EQ(settings.UpGain, 33);
}
