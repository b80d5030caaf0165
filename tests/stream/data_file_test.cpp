#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "stream/DataFile.h"
#include "stream/LogRecorder.h"

namespace fs = std::filesystem;
using namespace quelt;

namespace {

class DataFileTest : public ::testing::Test {
  protected:
    fs::path dir;
    std::string path;
    void SetUp() override {
        dir = fs::temp_directory_path() / ("quelt-data-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = (dir / "log.VIV").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    static std::vector<std::uint8_t> lineAt(std::int32_t depth, size_t size = 16) {
        std::vector<std::uint8_t> l(size, 0x5A);
        for (int i = 0; i < 4; ++i)
            l[i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(depth) >> (8 * i));
        return l;
    }
};

}  // namespace

TEST_F(DataFileTest, AFailedWriteLeavesOnlyWholeLinesAndStops) {
    DataFileWriter w;
    ASSERT_TRUE(w.open(path, 16));
    w.injectWriteFault(3, 7, ENOSPC);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(w.appendLine(lineAt(i * 10), 0));
    EXPECT_FALSE(w.appendLine(lineAt(30), 0));
    EXPECT_FALSE(w.isOpen());
    EXPECT_NE(w.error().find("No space left on device"), std::string::npos) << w.error();
    EXPECT_NE(w.error().find("3 whole lines"), std::string::npos) << w.error();
    EXPECT_FALSE(w.appendLine(lineAt(40), 0));
    EXPECT_EQ(fs::file_size(path), 48u);
}

TEST_F(DataFileTest, APartialLineLeftByACrashIsCutWhenRecordingResumes) {
    std::ofstream(path, std::ios::binary).write("0123456789abcdef0123", 20);
    DataFileWriter w;
    ASSERT_TRUE(w.open(path, 16));
    ASSERT_TRUE(w.appendLine(lineAt(5), 0));
    w.close();
    EXPECT_EQ(fs::file_size(path), 32u);
}

TEST_F(DataFileTest, ReaderCountsWholeLinesAndSeeksByDepth) {
    {
        DataFileWriter w;
        ASSERT_TRUE(w.open(path, 16));
        for (int i = 0; i < 10; ++i)
            ASSERT_TRUE(w.appendLine(lineAt(1000 + 100 * i), 0));
    }
    std::ofstream(path, std::ios::binary | std::ios::app).write("partial", 7);
    DataFileReader r;
    ASSERT_TRUE(r.open(path, 16));
    EXPECT_EQ(r.wholeLines(), 10u);
    EXPECT_EQ(r.trailingBytes(), 7u);
    std::vector<std::uint8_t> line;
    EXPECT_TRUE(r.readLine(9 * 16, line));
    EXPECT_FALSE(r.readLine(10 * 16, line));
    EXPECT_EQ(r.seekDepthField(0, 1250, true), 3u * 16);
    EXPECT_EQ(r.seekDepthField(0, 99999, true), 9u * 16);  // past the end: the last line reached
    EXPECT_EQ(r.seekDepthField(0, 1000, false), 0u);

    DataFileReader missing;
    EXPECT_FALSE(missing.open((dir / "none.VIV").string(), 16));
    EXPECT_EQ(missing.error(), "Trouble opening file.");
}

TEST(LineStep, MillimetresRoundedHalfUpAtLeastOne) {
    EXPECT_EQ(lineStepMm(10.0064, 10.0), 6);
    EXPECT_EQ(lineStepMm(10.0000001, 10.0), 1);
    EXPECT_EQ(lineStepMm(9.9935, 10.0), 7);
    EXPECT_EQ(lineStepMm(250.0, 10.0), 1);
}

TEST_F(DataFileTest, RecorderCountsRecordedTimeAndRefreshesTheHeaderEveryFiveSeconds) {
    LineLayout layout = makeLayout({{channel::DPTH, 4}, {channel::TIME, 4}});
    std::vector<RecordingProgress> refreshes;
    LogRecorder rec;
    ASSERT_TRUE(
        rec.start(path, layout, false, 0, [&](const RecordingProgress& v) { refreshes.push_back(v); }));
    std::vector<std::uint8_t> frame(48, 0);
    Millis t = 0;
    double depth = 10.0;
    for (int i = 0; i < 12; ++i) {  // one line a second
        t += 1000;
        depth += 0.01;
        ASSERT_TRUE(rec.writeLine(frame, depth, 0, t));
    }
    ASSERT_EQ(refreshes.size(), 2u);  // past 5 s and past 10 s of recorded time
    EXPECT_EQ(refreshes[0].recordedMs, 6000);
    EXPECT_NEAR(refreshes[0].depthMetres, 10.06, 1e-9);
    EXPECT_EQ(refreshes[0].stepMm, 10);
    EXPECT_EQ(refreshes[1].recordedMs, 12000);

    // Ten seconds of rejected lines do not count.
    rec.noteRejectedLine(t + 10000);
    ASSERT_TRUE(rec.writeLine(frame, depth + 0.01, 0, t + 10500));
    EXPECT_EQ(rec.recordedMs(), 12500);
    rec.stop();
    DataFileReader r;
    ASSERT_TRUE(r.open(path, layout.lineSize));
    EXPECT_EQ(r.wholeLines(), 13u);
}

TEST_F(DataFileTest, OneWriterPerLogTheSecondIsRefusedUntilTheFirstLetsGo) {
    { std::ofstream(path, std::ios::binary) << std::string(32, 'L'); }
    LogWriterLock first, second;
    ASSERT_TRUE(first.acquire(path)) << first.error();
    EXPECT_TRUE(first.hadData());
    EXPECT_FALSE(second.acquire(path));
    EXPECT_EQ(second.error(), path + " is being recorded by another program.");
    EXPECT_EQ(fs::file_size(path), 32u);
    // Emptied for a replaced log, the file stays the locked one.
    ASSERT_TRUE(first.truncate());
    EXPECT_FALSE(second.acquire(path));
    first.release();
    ASSERT_TRUE(second.acquire(path)) << second.error();
    EXPECT_FALSE(second.hadData());

    // A lock that created the data file removes it when nothing was recorded into it.
    const std::string fresh = (dir / "fresh.VIV").string();
    LogWriterLock made;
    ASSERT_TRUE(made.acquire(fresh));
    EXPECT_TRUE(fs::exists(fresh));
    made.release(true);
    EXPECT_FALSE(fs::exists(fresh));
}
