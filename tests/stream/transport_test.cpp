#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/Ini.h"
#include "config/ProgramContext.h"
#include "stream/Transport.h"

namespace fs = std::filesystem;
using namespace quelt;

namespace {

std::string readAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

class TransportTest : public ::testing::Test {
  protected:
    fs::path home;
    ScriptedOperator op;
    ProgramContext context;
    ModeFlags flags;
    Transport transport{flags};
    std::string headerPath, dataPath;
    std::vector<std::uint8_t> frame = std::vector<std::uint8_t>(40 + 4 * 180 + 3, 0);

    void SetUp() override {
        home = fs::temp_directory_path() / ("quelt-transport-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(home);
        ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        std::string error;
        ASSERT_TRUE(startProgram((home / "h").string(), op, context, error)) << error;
        headerPath = (home / "h" / "run.HED").string();
        dataPath = (home / "h" / "run.VIV").string();
        frame[18] = 2;
        context.headerIo->SetHeaderDefaults();
    }
    void TearDown() override { fs::remove_all(home); }
    std::string key(const char* s, const char* k) { return readProfileString(headerPath, s, k, "?"); }

    // A stopped recording of `lines` lines from 20 m down, one a second.
    void recordLog(int lines) {
        ASSERT_TRUE(transport.StartRecording(headerPath, dataPath, *context.headerIo, 20.0, 0, op, 0));
        for (int i = 0; i < lines; ++i)
            ASSERT_TRUE(transport.recorder().writeLine(frame, 20.0 + 0.1 * i, 0, 1000 * (i + 1)));
        transport.StopRecording(20.0 + 0.1 * (lines - 1), op, 1000 * lines + 500);
    }
};

}  // namespace

TEST_F(TransportTest, RecordingMarksTheHeaderUntilItStops) {
    ASSERT_TRUE(transport.StartRecording(headerPath, dataPath, *context.headerIo, 20.0, 0, op, 0));
    EXPECT_TRUE(flags.recording);
    EXPECT_EQ(flags.recordState, 2);
    EXPECT_EQ(key("WellInfo", "EndDepth"), "CORRUPT");
    EXPECT_EQ(key("WellInfo", "Startdepth"), "20000");
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(transport.recorder().writeLine(frame, 20.5 + i, 0, 1000 * (i + 1)));
    transport.StopRecording(22.5, op, 3500);
    EXPECT_FALSE(flags.recording);
    EXPECT_EQ(key("WellInfo", "EndDepth"), "22500");
    EXPECT_EQ(key("File1", "EndDepth"), "22500");
    EXPECT_EQ(key("WellInfo", "EndTime"), "3000");      // the recorded time of the last line, not of the stop
    EXPECT_EQ(key("WellInfo", "Startdepth"), "20500");  // the first line written
    EXPECT_TRUE(op.messages().empty());
}

TEST_F(TransportTest, AnExistingDataFileIsReplacedOnlyAfterYes) {
    recordLog(2);
    auto size = fs::file_size(dataPath);
    op.answerYes(false);
    EXPECT_FALSE(transport.StartRecording(headerPath, dataPath, *context.headerIo, 20.0, 0, op, 0));
    EXPECT_EQ(op.log().back().text, "Same file name exist, do you want replace this ?");
    EXPECT_EQ(fs::file_size(dataPath), size);
    op.answerYes(true);
    ASSERT_TRUE(transport.StartRecording(headerPath, dataPath, *context.headerIo, 20.0, 0, op, 0));
    EXPECT_EQ(fs::file_size(dataPath), 0u);
}

TEST_F(TransportTest, ReplayPlaysPausesRewindsAndEnds) {
    recordLog(5);
    OpenedLog log;
    ASSERT_EQ(openLog(headerPath, *context.headerIo, op, log), OpenLogResult::Ok);
    transport.LoadReplay(std::move(log));
    transport.pacer().setPosition(ReplayPacer::kSliderMax);  // no wait between lines
    std::vector<std::int32_t> depths;
    auto sink = [&](const std::vector<std::uint8_t>& line, const ParsedLine&, std::uint64_t) {
        depths.push_back(lineDepthField(line));
    };
    Millis t = 0;
    EXPECT_FALSE(transport.tick(t, sink));  // not playing yet
    transport.Play(t);
    EXPECT_TRUE(transport.tick(++t, sink));
    EXPECT_TRUE(transport.tick(++t, sink));
    transport.Pause();
    EXPECT_TRUE(flags.paused);
    EXPECT_FALSE(transport.tick(++t, sink));
    transport.Play(t);
    EXPECT_TRUE(transport.tick(++t, sink));  // continues with the next line
    EXPECT_EQ(depths, (std::vector<std::int32_t>{20000, 20100, 20200}));

    transport.Rewind(t);
    EXPECT_EQ(transport.replayPosition(), 0u);
    EXPECT_TRUE(flags.paused);
    EXPECT_FALSE(flags.playing);

    transport.Play(t);
    depths.clear();
    while (transport.tick(++t, sink)) {
    }
    EXPECT_EQ(depths.size(), 5u);
    EXPECT_FALSE(flags.playing);  // end of the data: stopped and rewound
    EXPECT_EQ(transport.replayPosition(), 0u);

    EXPECT_TRUE(transport.seekDepth(20250, sink));
    EXPECT_EQ(depths.back(), 20300);
    transport.Stop(0, op, t);
    EXPECT_FALSE(flags.replayLoaded);
}

TEST_F(TransportTest, PauseWhileRecordingHoldsTheRecorder) {
    ASSERT_TRUE(transport.StartRecording(headerPath, dataPath, *context.headerIo, 20.0, 0, op, 0));
    transport.Pause();
    EXPECT_TRUE(flags.recordPaused);
    transport.Pause();
    EXPECT_FALSE(flags.recordPaused);
    EXPECT_FALSE(flags.paused);
}

TEST_F(TransportTest, ALogThatAnotherWriterHoldsIsNeitherReplacedNorRecorded) {
    recordLog(2);
    const std::string header = readAll(headerPath), data = readAll(dataPath);
    LogWriterLock other;
    ASSERT_TRUE(other.acquire(dataPath));
    op.answerYes(true);
    EXPECT_FALSE(transport.StartRecording(headerPath, dataPath, *context.headerIo, 20.0, 0, op, 0));
    EXPECT_FALSE(flags.recording);
    ASSERT_FALSE(op.messages().empty());
    EXPECT_EQ(op.messages().back(), dataPath + " is being recorded by another program.");
    EXPECT_EQ(readAll(headerPath), header);
    EXPECT_EQ(readAll(dataPath), data);

    // Once the other writer lets go, this recorder holds the log until it stops.
    other.release();
    ASSERT_TRUE(transport.StartRecording(headerPath, dataPath, *context.headerIo, 20.0, 0, op, 0));
    EXPECT_FALSE(other.acquire(dataPath));
    transport.StopRecording(20.0, op, 1000);
    EXPECT_TRUE(other.acquire(dataPath));
}
