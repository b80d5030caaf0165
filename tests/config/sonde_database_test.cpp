#include "config/SondeDatabase.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/Ini.h"
#include "config/Preferences.h"
#include "platform/Text.h"

namespace quelt {
namespace {

namespace fs = std::filesystem;

class SondeDatabaseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               format("quelt_sonde_%d_%s", static_cast<int>(getpid()),
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        setProgramDirectory(dir_.string());
    }
    void TearDown() override { fs::remove_all(dir_); }

    void writeFile(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }
    std::string readFile(const std::string& name) {
        std::ifstream in(dir_ / name, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // A database file with `slots` sondes in use, serials 101, 102 ...
    void writeSlots(int slots) {
        std::string text;
        for (int i = 0; i < slots; ++i)
            text += format("[Sonde%d]\nSerialNumber=%04d\n", i, 101 + i);
        writeFile("Zorak.tol", text);
    }

    fs::path dir_;
    Settings settings_;
    ScriptedOperator op_;
    SondeDatabase db_{settings_, op_};
};

TEST_F(SondeDatabaseTest, SlotReadingRules) {
    writeFile("Zorak.tol",
              "[Sonde0]\nSerialNumber=0200\nSondeLenght=200\nWindowOffset=30\nHeightOffset=99\n"
              "[Sonde1]\nSerialNumber=0201\nSondeLenght=200\n"
              "[Sonde2]\nSerialNumber=0202\nSondeLenght=200\nHeightOffset=150\n"
              "[Sonde3]\nSerialNumber=0203\nImageOffset=12.5\n"
              "[Sonde4]\nSerialNumber=0204\nRotationOffset=0\nImageOffset=12.5\n"
              "[Sonde5]\nSerialNumber=0205\nRotationOffset=33,5\nGammaOnBoard=5\nHighSpeedCOM=YES\n"
              "[Sonde6]\nSerialNumber=0206\nGammaOnBoard=0\nGammaCoef=0.85\nPiezzoLenght=72\n");
    db_.LoadSondeDatabase();

    struct Expect {
        int slot, height;
        double rotation;
        bool gamma, highSpeed;
    };
    const Expect table[] = {
        {0, 170, 0.0, false, false},   // WindowOffset wins over HeightOffset
        {1, 183, 0.0, false, false},   // neither: length - 17
        {2, 150, 0.0, false, false},   // HeightOffset alone
        {3, 190, 12.5, false, false},  // ImageOffset stands in for a missing RotationOffset
        {4, 190, 0.0, false, false},   // a present RotationOffset of 0 is kept
        {5, 190, 33.5, true, true},    // decimal comma; any non-zero integer is on
    };
    for (const auto& t : table) {
        SCOPED_TRACE(t.slot);
        const SondeEntry& e = db_.slot(t.slot);
        EXPECT_EQ(e.heightOffset, t.height);
        EXPECT_DOUBLE_EQ(e.rotationOffset, t.rotation);
        EXPECT_EQ(e.gammaOnBoard, t.gamma);
        EXPECT_EQ(e.highSpeedCom, t.highSpeed);
    }
    const SondeEntry& six = db_.slot(6);
    EXPECT_NEAR(six.gammaCoef, 0.85, 1e-6);
    EXPECT_EQ(six.transducerLength, 72);
    EXPECT_EQ(six.travelTimeOffset, 132);
    EXPECT_DOUBLE_EQ(six.deviationOffset, 151.0);
    EXPECT_DOUBLE_EQ(six.gammaOffset, 199.0);
    EXPECT_FALSE(db_.slot(7).inUse());
    EXPECT_EQ(db_.slot(7).serialNumber, -999);
}

TEST_F(SondeDatabaseTest, SondeUsedSelectsTheCurrentSlotAndItsMirrors) {
    writeFile("Zorak.tol",
              "[Sonde0]\nSerialNumber=0100\nSondeLenght=200\nWindowOffset=30\n"
              "[Sonde3]\nSerialNumber=0103\nSondeLenght=220\nWindowOffset=20\nHighSpeedCOM=yes\n");
    struct Case {
        int sondeUsed, slot, serial, height;
        bool highSpeed;
    };
    for (const Case& c :
         {Case{3, 3, 103, 200, true}, Case{12, 0, 100, 170, false}, Case{-1, 0, 100, 170, false}}) {
        SCOPED_TRACE(c.sondeUsed);
        settings_.SondeUsed = c.sondeUsed;
        db_.LoadSondeDatabase();
        EXPECT_EQ(db_.currentSlot(), c.slot);
        EXPECT_EQ(settings_.SondeUsed, c.slot);
        EXPECT_EQ(db_.current().serialNumber, c.serial);
        EXPECT_EQ(db_.heightOffset(), c.height);
        EXPECT_EQ(db_.highSpeed(), c.highSpeed);
    }
    db_.SelectSonde(0);
    EXPECT_FALSE(db_.highSpeed());
    EXPECT_EQ(db_.FindSonde(103), 3);
    EXPECT_EQ(db_.FindSonde(555), std::nullopt);
}

TEST_F(SondeDatabaseTest, ChannelListIsCappedAtFiftyWithKindCodes) {
    std::string text = "[Commun]\nTotalChannel=60\n";
    for (int i = 0; i < 60; ++i)
        text += format("[Channel%d]\nTitle=T%d\nTitleShort=%s\nUnit=U\nSampleType=%d\n", i, i,
                       i == 0   ? "DPTH"
                       : i == 1 ? "SCAN"
                       : i == 2 ? "dpth"
                                : "N/U",
                       i % 13);
    writeFile("Zorak.tol", text);
    db_.LoadSondeDatabase();
    ASSERT_EQ(db_.channelCount(), 50);
    EXPECT_EQ(db_.channels()[0].kind, channel::DPTH);
    EXPECT_EQ(db_.channels()[1].kind, channel::SCAN);
    EXPECT_EQ(db_.channels()[2].kind, 0);  // mnemonics match case-sensitively
    EXPECT_EQ(db_.channels()[3].kind, channel::NU);
    EXPECT_EQ(db_.channels()[49].title, "T49");
    EXPECT_EQ(db_.channels()[12].sampleType, 12);
}

TEST_F(SondeDatabaseTest, MissingFileLoadsAsNoChannelsAndTenFreeSlots) {
    settings_.SondeUsed = 4;
    db_.LoadSondeDatabase();
    EXPECT_EQ(db_.channelCount(), 0);
    EXPECT_EQ(db_.usedSlotCount(), 0);
    EXPECT_EQ(db_.currentSlot(), 4);
    EXPECT_EQ(db_.heightOffset(), 190);
}

TEST_F(SondeDatabaseTest, ShippedDatabaseHasTheUsualChannelOrder) {
    setProgramDirectory(QUELT_SOURCE_DATA_DIR);
    db_.LoadSondeDatabase();
    const std::vector<std::pair<const char*, int>> expected = {
        {"DPTH", 4}, {"TIME", 4}, {"SHAN", 2}, {"BLNK", 3},  {"PEAK", 3}, {"GAIN", 1},
        {"RESO", 1}, {"STEP", 1}, {"BAUD", 1}, {"PULS", 1},  {"N/U", 1},  {"HX", 2},
        {"GX", 2},   {"HY", 2},   {"GY", 2},   {"HZ", 2},    {"GZ", 2},   {"NGAM", 3},
        {"GCLK", 1}, {"TTEM", 1}, {"PTEM", 1}, {"SCAN", 12}, {"CSUM", 3}};
    ASSERT_EQ(db_.channelCount(), static_cast<int>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(db_.channels()[i].mnemonic, expected[i].first) << i;
        EXPECT_EQ(db_.channels()[i].sampleType, expected[i].second) << i;
        EXPECT_NE(db_.channels()[i].kind, 0) << i;
    }
    bool gamma = false, highSpeed = false;
    for (int i = 0; i < kSondeSlotCount; ++i) {
        gamma |= db_.slot(i).inUse() && db_.slot(i).gammaOnBoard;
        highSpeed |= db_.slot(i).inUse() && db_.slot(i).highSpeedCom;
    }
    EXPECT_TRUE(gamma);
    EXPECT_TRUE(highSpeed);
    EXPECT_GE(db_.usedSlotCount(), 3);
}

TEST_F(SondeDatabaseTest, ImportClampsWritesAndSelectsTheSlot) {
    struct Case {
        const char* rotation;
        const char* coef;
        double storedRotation, storedCoef;
    };
    const Case cases[] = {{"400", "0.1", 359.99, 0.2}, {"-5", "9", 0.0, 5.0}, {"73,5", "0.97", 73.5, 0.97}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rotation);
        writeSlots(2);
        writeFile("probe.vxq", format("[Sonde]\nSerialNumber=846\nSondeLength=231\nWindowOffset=18\n"
                                      "RotationOffset=%s\nGammaCoef=%s\nGammaOnBoard=yes\nHSCOM=yes\n",
                                      c.rotation, c.coef));
        db_.LoadSondeDatabase();
        op_.clear();
        op_.answerPath((dir_ / "probe.vxq").string());
        ASSERT_TRUE(db_.ImportSonde());
        EXPECT_EQ(db_.currentSlot(), 2);
        EXPECT_EQ(settings_.SondeUsed, 2);
        const SondeEntry& e = db_.current();
        EXPECT_EQ(e.serialNumber, 846);
        EXPECT_EQ(e.heightOffset, 213);
        EXPECT_NEAR(e.rotationOffset, c.storedRotation, 1e-9);
        EXPECT_NEAR(e.gammaCoef, c.storedCoef, 1e-6);
        EXPECT_EQ(e.deviationOffset, 130);  // import defaults
        EXPECT_EQ(e.travelTimeOffset, 100);
        EXPECT_EQ(e.gammaOffset, 170);
        EXPECT_TRUE(db_.highSpeed());
        EXPECT_TRUE(op_.messages().empty());

        // What was written reads back the same.
        SondeDatabase again(settings_, op_);
        again.LoadSondeDatabase();
        EXPECT_EQ(again.slot(2).serialNumber, 846);
        EXPECT_EQ(again.slot(2).heightOffset, 213);
        EXPECT_NEAR(again.slot(2).rotationOffset, std::round(c.storedRotation * 10) / 10, 1e-9);
        EXPECT_NEAR(again.slot(2).gammaCoef, c.storedCoef, 1e-6);
        EXPECT_TRUE(again.slot(2).gammaOnBoard && again.slot(2).highSpeedCom);
    }
}

TEST_F(SondeDatabaseTest, FullDatabaseRefusesBeforeAskingForAFile) {
    writeSlots(10);
    writeFile("probe.vxq", "[Sonde]\nSerialNumber=101\n");  // even a serial already stored
    db_.LoadSondeDatabase();
    op_.answerPath((dir_ / "probe.vxq").string());
    EXPECT_FALSE(db_.ImportSonde());
    ASSERT_EQ(op_.log().size(), 1u);
    EXPECT_EQ(op_.log()[0].text, "The maximum of storable sonde is reached.");
}

TEST_F(SondeDatabaseTest, ImportOfAStoredSerialAsksBeforeOverwriting) {
    writeSlots(3);
    writeFile("probe.txt", "[Sonde]\nSerialNumber=0102\nSondeLength=250\nWindowOffset=20\n");
    db_.LoadSondeDatabase();
    const std::string question = "A sonde with the same serial number is already stored in dbase. Overwrite?";

    op_.answerPath((dir_ / "probe.txt").string());
    op_.answerYes(false);
    EXPECT_FALSE(db_.ImportSonde());
    EXPECT_EQ(op_.log().back().text, question);
    EXPECT_EQ(db_.slot(1).sondeLength, 207);

    op_.answerPath((dir_ / "probe.txt").string());
    op_.answerYes(true);
    EXPECT_TRUE(db_.ImportSonde());
    EXPECT_EQ(db_.currentSlot(), 1);
    EXPECT_EQ(db_.slot(1).heightOffset, 230);
    EXPECT_EQ(db_.usedSlotCount(), 3);
}

TEST_F(SondeDatabaseTest, ImportFileNamesAndBadFiles) {
    writeSlots(1);
    writeFile("alpha.VXQ", "[Sonde]\nSerialNumber=500\n");
    writeFile("empty.vxq", "[Other]\nSerialNumber=501\n");
    db_.LoadSondeDatabase();
    struct Case {
        std::string chosen;
        bool imported;
    };
    const Case cases[] = {
        {"alpha.txt", true},  // the same base name with the other extension
        {"missing.vxq", false},
        {"empty.vxq", false},  // no serial number in section Sonde
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        op_.clear();
        op_.answerPath((dir_ / c.chosen).string());
        EXPECT_EQ(db_.ImportSonde(), c.imported);
        if (c.imported)
            EXPECT_TRUE(op_.messages().empty());
        else
            EXPECT_EQ(op_.messages(), std::vector<std::string>{"Bad sonde file"});
    }
    op_.clear();
    EXPECT_FALSE(db_.ImportSonde());  // cancelled
    EXPECT_TRUE(op_.messages().empty());
}

TEST_F(SondeDatabaseTest, SaveSondeWritesEveryKeyInOrder) {
    writeFile("Zorak.tol", "[Commun]\r\nTotalChannel=0\r\n");
    db_.LoadSondeDatabase();
    SondeEntry e;
    e.serialNumber = 42;
    e.sondeLength = 230;
    e.heightOffset = 211;
    e.deviationOffset = 148.7;
    e.rotationOffset = 187.25;
    e.travelTimeOffset = 135;
    e.gammaOnBoard = true;
    e.gammaOffset = 205;
    e.gammaCoef = 1.08;
    e.highSpeedCom = true;
    db_.setSlot(4, e);
    ASSERT_TRUE(db_.SaveSonde(4));
    EXPECT_EQ(readFile("Zorak.tol"),
              "[Commun]\r\nTotalChannel=0\r\n[Sonde4]\r\nSerialNumber=0042\r\nSondeLenght=230\r\n"
              "WindowOffset=19\r\nDeviationOffset=148\r\nRotationOffset=187.2\r\nD42Travel=135\r\n"
              "GammaOnBoard=-1\r\nGammaOffset=205\r\nGammaCoef=1.08\r\nHighSpeedCOM=yes\r\n");
}

TEST_F(SondeDatabaseTest, RemoveAsksThenBlanksTheCurrentSlot) {
    writeFile("Zorak.tol",
              "[Sonde2]\nSerialNumber=0733\nSondeLenght=228\nWindowOffset=19\nPiezzoLenght=75\n"
              "HighSpeedCOM=yes\nRotationOffset=12.0\n");
    settings_.SondeUsed = 2;
    db_.LoadSondeDatabase();
    ASSERT_TRUE(db_.highSpeed());

    op_.answerYes(false);
    EXPECT_FALSE(db_.RemoveSonde());
    EXPECT_EQ(db_.slot(2).serialNumber, 733);

    op_.clear();
    op_.answerYes(true);
    EXPECT_TRUE(db_.RemoveSonde());
    ASSERT_EQ(op_.log().size(), 2u);
    EXPECT_EQ(op_.log()[0].text, "Do you want remove this sonde from dbase ?");
    EXPECT_EQ(op_.log()[1].text, "Sonde removed.\nDo not forget to select another sonde");
    EXPECT_FALSE(db_.slot(2).inUse());
    EXPECT_EQ(db_.current().heightOffset, 190);
    EXPECT_EQ(db_.current().transducerLength, 75);
    EXPECT_FALSE(db_.highSpeed());
    EXPECT_EQ(readFile("Zorak.tol"),
              "[Sonde2]\nSerialNumber=-999\nSondeLenght=207\nWindowOffset=17\nPiezzoLenght=75\n"
              "HighSpeedCOM=no\nRotationOffset=0.0\nDeviationOffset=151\nD42Travel=132\nGammaOnBoard=0\n"
              "GammaOffset=199\nGammaCoef=1\n");
}

TEST_F(SondeDatabaseTest, RotationOffsetAndGammaCoefFormats) {
    writeFile("Zorak.tol", "[Sonde1]\nSerialNumber=0101\n");
    settings_.SondeUsed = 1;
    db_.LoadSondeDatabase();
    db_.setRotationOffset(12.0);
    db_.setGammaCoef(0.5);
    EXPECT_DOUBLE_EQ(db_.slot(1).rotationOffset, 12.0);
    EXPECT_DOUBLE_EQ(db_.current().gammaCoef, 0.5);
    ASSERT_TRUE(db_.SaveRotationOffset());
    ASSERT_TRUE(db_.SaveGammaCoef());
    EXPECT_EQ(readFile("Zorak.tol"), "[Sonde1]\nSerialNumber=0101\nRotationOffset=12.0\nGammaCoef=0.50\n");
}

TEST_F(SondeDatabaseTest, SettingsLoadFillsTheDatabaseThroughItsSeam) {
    writeFile("Zorak.cfg", "[QueltLogger]\nSondeUsed=1\nFilePath=/tmp\n");
    writeFile("ZORAK.TOL", "[Sonde1]\nSerialNumber=0777\nSondeLenght=200\nWindowOffset=50\n");
    PlacementRecord placements;
    ProgramPaths paths;
    CPreferences prefs(settings_, paths, placements, op_, SwitchStore(dir_ / "switches"));
    connectSondeDatabase(prefs, db_);
    prefs.LoadAll(dir_.string());
    EXPECT_EQ(db_.currentSlot(), 1);
    EXPECT_EQ(db_.current().serialNumber, 777);
    EXPECT_EQ(db_.heightOffset(), 150);
}

}  // namespace
}  // namespace quelt
