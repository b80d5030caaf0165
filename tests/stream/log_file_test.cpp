#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "config/Ini.h"
#include "config/ProgramContext.h"
#include "stream/LogFile.h"
#include "stream/LogRecorder.h"

namespace fs = std::filesystem;
using namespace quelt;

namespace {

// A program folder with the shipped sonde database and a recorded log of `lines` whole lines.
class LogFileTest : public ::testing::Test {
  protected:
    fs::path home;
    ScriptedOperator op;
    ProgramContext context;
    std::string headerPath, dataPath;

    void SetUp() override {
        home = fs::temp_directory_path() / ("quelt-log-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(home);
        ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        std::string error;
        ASSERT_TRUE(startProgram((home / "h").string(), op, context, error)) << error;
        ASSERT_GT(context.sondes->channelCount(), 0);
        headerPath = (home / "h" / "run1.HED").string();
        dataPath = (home / "h" / "run1.VIV").string();
    }
    void TearDown() override { fs::remove_all(home); }

    // Records `lines` lines from 10 m down, 1 cm apart, one a second, like a recording that stops or not.
    void record(int lines, bool stop) {
        context.headerIo->SetHeaderDefaults();
        ASSERT_TRUE(context.headerIo->WriteHeader(headerPath));
        ASSERT_TRUE(MarkRecordingStart(headerPath, 10.0, 0));
        LineLayout layout = layoutFromHeader(context.header);
        ASSERT_EQ(layout.lineSize, static_cast<size_t>(context.header.recLineSize));
        LogRecorder rec;
        ASSERT_TRUE(rec.start(dataPath, layout, false, 0, {}));
        std::vector<std::uint8_t> frame(40 + 4 * 180 + 3, 0);
        frame[18] = 2;
        for (int i = 0; i < lines; ++i)
            ASSERT_TRUE(rec.writeLine(frame, 10.0 + 0.01 * i, 0, 1000 * (i + 1)));
        rec.stop();
        if (stop) {
            RecordingEnd end;
            end.firstLineDepth = 10000;
            end.recordedMs = rec.recordedMs();
            end.lastDepthMetres = 10.0 + 0.01 * (lines - 1);
            ASSERT_TRUE(MarkRecordingStop(headerPath, end));
        }
    }
    std::string key(const char* section, const char* k) {
        return readProfileString(headerPath, section, k, "?");
    }
};

}  // namespace

TEST_F(LogFileTest, ACorruptHeaderIsRepairedFromTheWholeLines) {
    record(10, false);
    EXPECT_EQ(key("WellInfo", "EndDepth"), "CORRUPT");
    std::ofstream(dataPath, std::ios::binary | std::ios::app).write("partial", 7);
    OpenedLog log;
    ASSERT_EQ(openLog(headerPath, *context.headerIo, op, log), OpenLogResult::Ok);
    EXPECT_TRUE(log.repaired);
    EXPECT_FALSE(context.header.corrupt);
    EXPECT_EQ(context.header.endDepth, 10090);
    EXPECT_EQ(key("WellInfo", "EndDepth"), "10090");
    EXPECT_EQ(key("File1", "EndDepth"), "10090");
    EXPECT_EQ(key("WellInfo", "EndTime"), "10000");
    EXPECT_TRUE(context.header.descending);
    EXPECT_EQ(log.reader.wholeLines(), 10u);
    EXPECT_TRUE(op.messages().empty());
}

TEST_F(LogFileTest, AStoppedLogOpensUnchangedAndInspectionNeverWrites) {
    record(3, true);
    auto before = fs::last_write_time(headerPath);
    OpenedLog log;
    ASSERT_EQ(openLog(headerPath, *context.headerIo, op, log), OpenLogResult::Ok);
    EXPECT_FALSE(log.repaired);
    EXPECT_EQ(fs::last_write_time(headerPath), before);

    record(3, false);
    before = fs::last_write_time(headerPath);
    ASSERT_EQ(openLog(headerPath, *context.headerIo, op, log, false), OpenLogResult::Ok);
    EXPECT_TRUE(context.header.corrupt);
    EXPECT_EQ(fs::last_write_time(headerPath), before);
}

TEST_F(LogFileTest, RefusalsAndTheirMessages) {
    record(2, true);
    struct Case {
        std::string path;
        OpenLogResult result;
        const char* message;
    };
    std::ofstream((home / "h" / "other.HED").string()) << "[General]\n";
    const std::string missing = "Data file not present.\n" + (home / "h" / "other.viv").string();
    const Case cases[] = {
        {dataPath, OpenLogResult::BadHeaderName, "Bad header file."},
        {(home / "h" / "other.HED").string(), OpenLogResult::NoDataFile, missing.c_str()},
    };
    for (const auto& c : cases) {
        op.clear();
        OpenedLog log;
        EXPECT_EQ(openLog(c.path, *context.headerIo, op, log), c.result);
        ASSERT_EQ(op.messages().size(), 1u);
        EXPECT_EQ(op.messages()[0], c.message);
    }

    // A header that declares no line size, or a size its channels do not make.
    for (const char* size : {"0", "17"}) {
        SCOPED_TRACE(size);
        writeProfileString(headerPath, "File1", "RecLineSize", size);
        op.clear();
        OpenedLog log;
        EXPECT_EQ(openLog(headerPath, *context.headerIo, op, log), OpenLogResult::BadLayout);
        ASSERT_EQ(op.messages().size(), 1u);
        EXPECT_EQ(op.messages()[0].rfind("Bad header file. ", 0), 0u) << op.messages()[0];
    }
}

TEST_F(LogFileTest, ACorruptLogWithoutAWholeLineStillOpens) {
    record(0, false);
    std::ofstream(dataPath, std::ios::binary).write("short", 5);
    OpenedLog log;
    ASSERT_EQ(openLog(headerPath, *context.headerIo, op, log), OpenLogResult::Ok);
    ASSERT_EQ(op.messages().size(), 1u);
    EXPECT_EQ(op.messages()[0], "Files corrupted ... no Recovery Process !!");
}
