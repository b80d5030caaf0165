#include "config/Header.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "config/Ini.h"
#include "platform/Text.h"

namespace quelt {
namespace {

namespace fs = std::filesystem;

class HeaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               format("quelt_header_%d_%s", static_cast<int>(getpid()),
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        setProgramDirectory(dir_.string());
        settings_.UpBlanking = 1234.9;
        settings_.UpWindow = 480.0;
        settings_.DisplayBlanking = 1300.7;
        settings_.DisplayWindow = 450.2;
        settings_.MagneticOffset = 1.5;
        settings_.PicResolution = 2;
        settings_.LevelContrast = 7;
        paths_.dataFileName = "WELL7_N.viv";
    }
    void TearDown() override { fs::remove_all(dir_); }

    void writeFile(const fs::path& name, const std::string& text) {
        fs::create_directories((dir_ / name).parent_path());
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }
    std::string readFile(const fs::path& name) {
        std::ifstream in(dir_ / name, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // The sonde database with these channels ("MNEM:type" each) and one sonde.
    void loadSondes(const std::vector<std::pair<const char*, int>>& channels) {
        std::string text = format("[Commun]\nTotalChannel=%zu\n", channels.size());
        for (size_t i = 0; i < channels.size(); ++i)
            text += format("[Channel%zu]\nTitle=Title %s\nTitleShort=%s\nUnit=U%zu\nSampleType=%d\n", i,
                           channels[i].first, channels[i].first, i, channels[i].second);
        text += "[Sonde0]\nSerialNumber=0518\nRotationOffset=12.5\n";
        writeFile("Zorak.tol", text);
        sondes_.LoadSondeDatabase();
    }
    // The text of one section of a file as written, without its header line.
    static std::string sectionText(const std::string& file, const std::string& name) {
        size_t at = file.find("[" + name + "]\n");
        if (at == std::string::npos) return "<missing>";
        at += name.size() + 3;
        size_t end = file.find("\n[", at);
        return file.substr(at, end == std::string::npos ? std::string::npos : end - at);
    }
    std::string headerPath(const char* name = "WELL7_N.HED") { return (dir_ / name).string(); }

    fs::path dir_;
    Settings settings_;
    ProgramPaths paths_;
    PlacementRecord placements_;
    ScriptedOperator op_;
    SondeDatabase sondes_{settings_, op_};
    LogHeader header_;
    CHeader cheader_{settings_, paths_, placements_, op_, header_, sondes_};
};

constexpr std::time_t kDec9 = 1796817600;  // 2026-12-09 12:00 UTC: that day in every zone

TEST_F(HeaderTest, WriteHeaderSectionsFormatsAndLayout) {
    loadSondes({{"DPTH", 4}, {"SCAN", 10}, {"RESO", 1}});
    settings_.PicOriented = 2;
    cheader_.SetHeaderDefaults(kDec9);
    int resets = 0;
    cheader_.resetRecordedLines = [&] { ++resets; };
    ASSERT_TRUE(cheader_.WriteHeader(headerPath()));
    EXPECT_EQ(resets, 1);
    std::string file = readFile("WELL7_N.HED");

    EXPECT_EQ(file.substr(0, 10), "[General]\n");
    EXPECT_EQ(
        sectionText(file, "General"),
        "DataFiles=1\nVersion=101\nViewer=ZEZEV_VIV\nBlanking=1234\nWindowLength=480\nHorizontalMode=1\n"
        "MagneticDeclination=1.50\nImageOffset=12.50\nScreenMode=2\nS/N=518\n");
    EXPECT_EQ(
        sectionText(file, "Channel0"),
        "Title=Title DPTH\nTitleShort=DPTH\nUnit=U0\nFile=1\nDataOffset=0\nSampleType=4\nSampleCount=1\n"
        "Offset=0\n");
    EXPECT_NE(sectionText(file, "Channel1").find("DataOffset=4\nSampleType=10\nSampleCount=180\n"),
              std::string::npos);
    EXPECT_NE(sectionText(file, "Channel2").find("DataOffset=544\nSampleType=1\nSampleCount=1\n"),
              std::string::npos);
    EXPECT_EQ(sectionText(file, "File1"),
              "FileName=WELL7_N.viv\nReferenceUnit=0\nMode=13\nInterval=10\nStartDepth=0\nEndDepth=0\n"
              "StartTime=0\nEndTime=0\nRecLineSize=545\n");
    EXPECT_EQ(sectionText(file, "Playback"), "PlaybackDisplayBlanking=1300\nPlaybackDisplayWindow=450\n");
    EXPECT_EQ(header_.recLineSize, 545);
    EXPECT_EQ(header_.channelCount, 3);

    // WellInfo: the numbers first, the runs of one key together, reals with six decimals, no DemoFile.
    std::string well = sectionText(file, "WellInfo");
    const std::string numbers =
        "DepthUnit=0\nStartdepth=0\nEndDepth=0\nStartTime=0\nEndTime=0\nstep=10\nLogMode=13\nZero=0\n";
    EXPECT_EQ(well.substr(0, numbers.size()), numbers);
    for (const char* expected :
         {"\nCompany=Torvanel\nCountry=\n", "\nOtherServices5=\nSondeAbbreviation=ZOZE\n",
          "\nDate=09 December 2026\n", "\nDrillFloor=0.000000\nElevation=\n",
          "\nRunNo1=0\nRunNo2=0\nRunNo3=0\nFluid1=\n", "\nCasRecWeight3=0.000000\nComment1=\n"})
        EXPECT_NE(well.find(expected), std::string::npos) << expected;
    EXPECT_EQ(well.substr(well.size() - 11), "Comment10=\n");
    EXPECT_EQ(well.find("DemoFile"), std::string::npos);
    // Every section after the first follows an empty line.
    EXPECT_NE(file.find("\n\n[WellInfo]\n"), std::string::npos);
    EXPECT_NE(file.find("\n\n[Playback]\n"), std::string::npos);
}

TEST_F(HeaderTest, FeetLogsMarkTheDepthChannelAndUnits) {
    loadSondes({{"DPTH", 4}, {"TIME", 4}});
    settings_.SetDepthUnit = 1;
    writeFile("well7_n.hed", "[General]\nVersion=99\n");  // an older header of the same name
    cheader_.SetHeaderDefaults(kDec9);
    ASSERT_TRUE(cheader_.WriteHeader(headerPath()));
    EXPECT_FALSE(fs::exists(dir_ / "WELL7_N.HED"));  // the existing file is replaced, whatever its case
    std::string file = readFile("well7_n.hed");
    EXPECT_NE(file.find("Version=101\n"), std::string::npos);
    EXPECT_NE(sectionText(file, "Channel0").find("Unit=FEET\n"), std::string::npos);
    EXPECT_NE(sectionText(file, "Channel1").find("Unit=U1\n"), std::string::npos);
    EXPECT_NE(sectionText(file, "WellInfo").find("DepthUnit=1\n"), std::string::npos);
    EXPECT_NE(sectionText(file, "File1").find("ReferenceUnit=1\n"), std::string::npos);
}

TEST_F(HeaderTest, WriteFailureIsReported) {
    loadSondes({{"DPTH", 4}});
    int resets = 0;
    cheader_.resetRecordedLines = [&] { ++resets; };
    EXPECT_FALSE(cheader_.WriteHeader((dir_ / "no_such_folder" / "A.HED").string()));
    EXPECT_EQ(op_.messages(), std::vector<std::string>{"Trouble opening file."});
    EXPECT_EQ(resets, 0);
}

TEST_F(HeaderTest, WrittenHeaderReadsBackAndAWindowsCopyReadsTheSame) {
    loadSondes({{"DPTH", 4}, {"TIME", 4}, {"GAIN", 1}, {"SCAN", 12}, {"CSUM", 3}});
    settings_.PicOriented = 1;
    cheader_.SetHeaderDefaults(kDec9);
    header_.texts["Wellname"] = "Borehole 7";
    header_.texts["Comment3"] = "fracture zone at 41 m";
    header_.reals["GroundLevel"] = 312.25;
    header_.runNumbers["RunNo2"] = 4;
    header_.startDepth = 12340;
    header_.endDepth = 98760;
    ASSERT_TRUE(cheader_.WriteHeader(headerPath()));
    LogHeader written = header_;

    ASSERT_TRUE(cheader_.ReadHeader(headerPath()));
    LogHeader read = header_;
    EXPECT_EQ(read.text("Wellname"), "Borehole 7");
    EXPECT_EQ(read.text("Comment3"), "fracture zone at 41 m");
    EXPECT_DOUBLE_EQ(read.real("GroundLevel"), 312.25);
    EXPECT_EQ(read.runNumber("RunNo2"), 4);
    EXPECT_DOUBLE_EQ(read.magneticDeclination, 1.5);
    EXPECT_DOUBLE_EQ(read.imageOffset, 12.5);
    EXPECT_EQ(read.serialNumber, 518);
    EXPECT_EQ(read.screenMode, 1);
    EXPECT_EQ(read.startDepth, 12340);
    EXPECT_EQ(read.endDepth, 98760);
    EXPECT_TRUE(read.descending);
    EXPECT_FALSE(read.corrupt);
    EXPECT_FALSE(read.demo);
    EXPECT_EQ(read.fileName, "WELL7_N.viv");
    EXPECT_EQ(read.recLineSize, written.recLineSize);
    EXPECT_EQ(read.recLineSize, 4 + 4 + 1 + 720 + 2);
    EXPECT_EQ(read.channels, written.channels);
    EXPECT_EQ(read.channels[3].kind, channel::SCAN);
    EXPECT_EQ(read.playbackBlanking, 1300);
    EXPECT_EQ(read.playbackLevelGain, 7);  // not written: the current LevelContrast

    // The same header as a Windows program leaves it: CRLF lines, found through a backslash path in
    // another case.
    std::string crlf;
    for (char c : readFile("WELL7_N.HED")) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    writeFile(fs::path("Logs") / "WELL7_N.HED", crlf);
    ASSERT_TRUE(cheader_.ReadHeader("logs\\well7_n.hed"));
    EXPECT_EQ(header_, read);
}

TEST_F(HeaderTest, ChannelCountRules) {
    struct Case {
        const char* name;
        std::string channels;
        int count;
    };
    std::string sixty;
    for (int i = 0; i < 60; ++i)
        sixty += format("[Channel%d]\nTitle=C%d\n", i, i);
    const Case cases[] = {
        {"no Channel0", "[Channel1]\nTitle=Depth\n", 0},
        {"Channel3 without Title",
         "[Channel0]\nTitle=A\n[Channel1]\nTitle=B\n[Channel2]\nTitle=C\n"
         "[Channel3]\nUnit=X\n[Channel4]\nTitle=E\n",
         3},
        {"ENDE in capitals", "[Channel0]\nTitle=A\n[Channel1]\nTitle=ENDE\n[Channel2]\nTitle=C\n", 1},
        {"an empty Title counts", "[Channel0]\nTitle=\n[Channel1]\nTitle=B\n", 2},
        {"at most fifty", sixty, 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile("H.HED", "[General]\nDataFiles=1\n" + c.channels);
        cheader_.ReadHeader(headerPath("H.HED"));
        EXPECT_EQ(header_.channelCount, c.count);
        EXPECT_EQ(header_.channels.size(), static_cast<size_t>(c.count));
    }
}

TEST_F(HeaderTest, ReadingRulesAndClamps) {
    struct Case {
        std::string text;
        std::function<void(const LogHeader&)> check;
    };
    const Case cases[] = {
        {"[General]\nHorizontalMode=1\nScreenMode=0\n", [](auto& h) { EXPECT_EQ(h.screenMode, 2); }},
        {"[General]\nDataFiles=3\n", [](auto& h) { EXPECT_EQ(h.screenMode, 1); }},
        {"[General]\nScreenMode=0\n", [](auto& h) { EXPECT_EQ(h.screenMode, 0); }},
        {"[General]\nDataFiles=80\n", [](auto& h) { EXPECT_EQ(h.dataFiles, 50); }},
        {"[File1]\nReferenceUnit=2\n", [](auto& h) { EXPECT_EQ(h.referenceUnit, 0); }},
        {"[File1]\nReferenceUnit=-1\n", [](auto& h) { EXPECT_EQ(h.referenceUnit, 0); }},
        {"[General]\nMagneticDeclination=1,50\n",
         [](auto& h) { EXPECT_DOUBLE_EQ(h.magneticDeclination, 1.5); }},
        {"[WellInfo]\nEndDepth=corrupt\n", [](auto& h) { EXPECT_TRUE(h.corrupt); }},
        {"[WellInfo]\nStartdepth=5000\nEndDepth=20000\n",
         [](auto& h) { EXPECT_TRUE(!h.corrupt && h.descending && h.endDepth == 20000); }},
        {"[WellInfo]\nStartdepth=20000\nEndDepth=5000\n", [](auto& h) { EXPECT_FALSE(h.descending); }},
        {"[WellInfo]\nDemoFile=Yes\n", [](auto& h) { EXPECT_TRUE(h.demo); }},
        {"[WellInfo]\nDemoFile=NODEMO\n", [](auto& h) { EXPECT_FALSE(h.demo); }},
        {"[WellInfo]\nCompany=" + std::string(300, 'x') + "\n",
         [](auto& h) { EXPECT_EQ(h.text("Company"), std::string(255, 'x')); }},
        {"[General]\nBlanking=900\nWindowLength=300\n",
         [](auto& h) { EXPECT_TRUE(h.playbackBlanking == 900 && h.playbackWindow == 300); }},
        {"[Channel0]\nTitle=Depth\nTitleShort=DPTH\nSampleType=4\nSampleCount=1\nDataOffset=0\nFile=1\n"
         "[Channel1]\nTitle=Volt\nTitleShort=VOLT\n[Channel2]\nTitle=X\nTitleShort=dpth\n",
         [](auto& h) {
             ASSERT_EQ(h.channelCount, 3);
             EXPECT_EQ(h.channels[0].kind, channel::DPTH);
             EXPECT_EQ(h.channels[0].sampleType, 4);
             EXPECT_EQ(h.channels[1].kind, channel::VOLT);
             EXPECT_EQ(h.channels[2].kind, 0);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        writeFile("H.HED", c.text);
        EXPECT_TRUE(cheader_.ReadHeader(headerPath("H.HED")));
        c.check(header_);
    }
}

TEST_F(HeaderTest, MissingFileReadsAsDefaultsMarkedCorrupt) {
    settings_.ShownDepthUnit = 1;
    EXPECT_TRUE(cheader_.ReadHeader(headerPath("NONE.HED")));
    EXPECT_TRUE(header_.corrupt);
    EXPECT_FALSE(header_.readError);
    EXPECT_EQ(header_.blanking, 1234);
    EXPECT_EQ(header_.windowLength, 480);
    EXPECT_EQ(header_.playbackBlanking, 1234);
    EXPECT_EQ(header_.playbackLevelGain, 7);
    EXPECT_EQ(header_.serialNumber, -999);
    EXPECT_EQ(header_.version, "101");
    EXPECT_EQ(header_.text("Wellname"), " ");
    EXPECT_EQ(header_.text("SondeAbbreviation"), "ZOZE");
    EXPECT_EQ(header_.fileName, " ");
    EXPECT_EQ(header_.interval, 10);
    EXPECT_EQ(header_.channelCount, 0);
    EXPECT_EQ(settings_.ShownDepthUnit, 0);  // ReferenceUnit sets the displayed unit
}

TEST_F(HeaderTest, ASecondReadHoldsOnlyWhatTheSecondFileSays) {
    // The reader reuses its maps between reads: nothing of the first header may show through.
    writeFile("A.HED", "[WellInfo]\nWellname=FIRST\nDrillFloor=3.5\nRunNo1=4\nCompany=Acme\n");
    writeFile("B.HED", "[WellInfo]\nWellname=SECOND\n");
    ASSERT_TRUE(cheader_.ReadHeader(headerPath("A.HED")));
    header_.texts["NotAWellKey"] = "stray";
    header_.reals["Wellname"] = 1.0;  // a name of another kind
    ASSERT_TRUE(cheader_.ReadHeader(headerPath("B.HED")));
    LogHeader expected;
    CHeader fresh(settings_, paths_, placements_, op_, expected, sondes_);
    ASSERT_TRUE(fresh.ReadHeader(headerPath("B.HED")));
    EXPECT_EQ(header_.text("Wellname"), "SECOND");
    EXPECT_EQ(header_.texts, expected.texts);
    EXPECT_EQ(header_.reals, expected.reals);
    EXPECT_EQ(header_.runNumbers, expected.runNumbers);
}

TEST_F(HeaderTest, RecordingMarksTheHeaderInPlace) {
    loadSondes({{"DPTH", 4}});
    settings_.SetDepthUnit = 1;
    cheader_.SetHeaderDefaults(kDec9);
    ASSERT_TRUE(cheader_.WriteHeader(headerPath()));
    std::string before = readFile("WELL7_N.HED");

    ASSERT_TRUE(MarkRecordingStart(headerPath(), 100.0, 1));
    std::string started = readFile("WELL7_N.HED");
    EXPECT_NE(started.find("\nStartdepth=328083\nEndDepth=CORRUPT\n"), std::string::npos);
    EXPECT_NE(sectionText(started, "File1").find("StartDepth=328083\n"), std::string::npos);
    // Only values change: same keys, same lines, same order.
    EXPECT_EQ(IniDocument::parse(started).keys("WellInfo"), IniDocument::parse(before).keys("WellInfo"));
    cheader_.ReadHeader(headerPath());
    EXPECT_TRUE(header_.corrupt);

    ASSERT_TRUE(UpdateRecordingProgress(headerPath(), {101.0, 6, 1, 5001}));
    std::string refreshed = readFile("WELL7_N.HED");
    cheader_.ReadHeader(headerPath());
    // Still a recording that has not ended: a crash now must leave a header that says so.
    EXPECT_TRUE(header_.corrupt);
    EXPECT_NE(refreshed.find("\nEndDepth=CORRUPT\n"), std::string::npos);
    EXPECT_EQ(header_.fileEndDepth, 331363);  // 101 m in thousandths of a foot
    EXPECT_EQ(header_.step, 19);              // 6 mm in thousandths of a foot
    EXPECT_EQ(header_.interval, 19);
    EXPECT_EQ(header_.endTime, 5001);
    EXPECT_EQ(header_.fileEndTime, 5001);

    ASSERT_TRUE(MarkRecordingStop(headerPath(), {328090, 61234, 120.5, 1}));
    cheader_.ReadHeader(headerPath());
    EXPECT_EQ(header_.startDepth, 328090);
    EXPECT_EQ(header_.fileStartDepth, 328090);
    EXPECT_EQ(header_.endDepth, 395340);
    EXPECT_EQ(header_.endTime, 61234);
    EXPECT_EQ(header_.depthUnit, 1);
    EXPECT_EQ(header_.referenceUnit, 1);
    EXPECT_TRUE(header_.descending);

    // A first line that could not be read leaves the start depth as it was.
    ASSERT_TRUE(MarkRecordingStop(headerPath(), {std::nullopt, 70000, 90.0, 0}));
    cheader_.ReadHeader(headerPath());
    EXPECT_EQ(header_.startDepth, 328090);
    EXPECT_EQ(header_.endDepth, 90000);
}

TEST_F(HeaderTest, RepairCompletesACorruptHeader) {
    writeFile("R.HED",
              "[WellInfo]\r\nStartdepth=0\r\nEndDepth=CORRUPT\r\nEndTime=0\r\n[File1]\r\nEndDepth=0\r\n");
    cheader_.ReadHeader(headerPath("R.HED"));
    ASSERT_TRUE(header_.corrupt);
    ASSERT_TRUE(RepairHeader(headerPath("R.HED"), 12000, 12054, 9000, header_));
    EXPECT_FALSE(header_.corrupt);
    EXPECT_TRUE(header_.descending);
    EXPECT_EQ(header_.endDepth, 12054);
    EXPECT_EQ(
        readFile("R.HED"),
        "[WellInfo]\r\nStartdepth=12000\r\nEndDepth=12054\r\nEndTime=9000\r\n[File1]\r\nEndDepth=12054\r\n"
        "StartDepth=12000\r\nEndTime=9000\r\n");
    LogHeader repaired = header_;
    cheader_.ReadHeader(headerPath("R.HED"));
    EXPECT_FALSE(header_.corrupt);
    EXPECT_EQ(header_.endDepth, repaired.endDepth);
}

TEST_F(HeaderTest, UpdatesNeverCreateAHeader) {
    EXPECT_FALSE(MarkRecordingStart(headerPath("X.HED"), 1.0, 0));
    EXPECT_FALSE(UpdateRecordingProgress(headerPath("X.HED"), {}));
    EXPECT_FALSE(MarkRecordingStop(headerPath("X.HED"), {}));
    paths_.lastHeader = headerPath("X.HED");
    EXPECT_FALSE(cheader_.SavePlaybackToHeader());
    EXPECT_FALSE(fs::exists(dir_ / "X.HED"));
}

TEST_F(HeaderTest, SavePlaybackToHeaderWritesTheThreeKeys) {
    writeFile("P.HED",
              "[General]\nVersion=101\n\n[Playback]\nPlaybackDisplayBlanking=1\nPlaybackDisplayWindow=2\n");
    paths_.lastHeader = "P.HED";  // relative to the program directory
    ASSERT_TRUE(cheader_.SavePlaybackToHeader());
    EXPECT_EQ(
        readFile("P.HED"),
        "[General]\nVersion=101\n\n[Playback]\nPlaybackDisplayBlanking=1300\nPlaybackDisplayWindow=450\n"
        "PlaybackLevelGain=7\n");
}

TEST(HeaderLayout, FieldSizesAndDepthUnits) {
    struct Size {
        int type, count, bytes;
    };
    for (const Size& s : {Size{0, 1, 1}, Size{3, 1, 2}, Size{8, 1, 4}, Size{9, 1, 8}, Size{10, 180, 540},
                          Size{11, 90, 360}, Size{12, 360, 1440}, Size{13, 1, 0}, Size{12, -5, 0}})
        EXPECT_EQ(channelFieldBytes(s.type, s.count), s.bytes) << s.type;
    // The header declares a revolution of the setting's resolution, the finest for an unknown code.
    const std::vector<ChannelDef> samples = {{"Travel", "SCAN", "", 11, channel::SCAN}};
    for (auto [res, n] : {std::pair{1, 360}, {2, 180}, {3, 120}, {4, 90}, {0, 360}, {7, 360}}) {
        int lineSize = 0;
        EXPECT_EQ(layoutChannels(samples, res, lineSize).at(0).sampleCount, n) << res;
    }

    struct Depth {
        double metres;
        int unit;
        std::int32_t stored;
    };
    for (const Depth& d : {Depth{100.0, 1, 328083}, Depth{12.345, 0, 12345}, Depth{10.0064, 0, 10006},
                           Depth{-1.0, 0, -1000}, Depth{-1.0009, 0, -1000}, Depth{1e12, 0, 2147483647}})
        EXPECT_EQ(depthToFileUnits(d.metres, d.unit), d.stored) << d.metres;
}

}  // namespace
}  // namespace quelt
