#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "config/ProgramContext.h"
#include "link/DevicePump.h"
#include "link/SpeedTables.h"
#include "sim/Scenario.h"
#include "sim/SimDevice.h"
#include "stream/Acquisition.h"
#include "stream/LogFile.h"

namespace fs = std::filesystem;
using namespace quelt;

namespace {

// The whole pipeline on a fake clock: the simulated logger, the link's cutter, the decoders, the probe
// panel's power-up, the recorder.
class AcquisitionTest : public ::testing::Test {
  protected:
    fs::path home;
    ScriptedOperator op;
    ProgramContext context;
    FakeClock clock;
    sim::Scenario scenario;
    std::unique_ptr<sim::SimDevice> device;
    std::unique_ptr<Acquisition> acq;
    std::unique_ptr<DevicePump> pump;
    int images = 0;

    void SetUp() override {
        home = fs::temp_directory_path() / ("quelt-acq-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(home);
        ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        std::string error;
        ASSERT_TRUE(startProgram((home / "h").string(), op, context, error)) << error;
        ASSERT_TRUE(sim::builtinScenario("clean", 1, scenario));
        device = std::make_unique<sim::SimDevice>(scenario, clock, [this](Millis ms) { clock.advance(ms); });
        acq = std::make_unique<Acquisition>(context, clock);
        pump = std::make_unique<DevicePump>(*device, *acq, &acq->counters, &acq->linkStatus);
        acq->writeCommand = [this](const CommandFrame& f) { return pump->write(f); };
        acq->onImageLine = [this](std::uint8_t, int) { ++images; };
        ASSERT_TRUE(pump->open()) << pump->error();
        acq->panel.start(clock.now());
    }
    void TearDown() override { fs::remove_all(home); }

    void run(Millis ms) {
        for (Millis end = clock.now() + ms; clock.now() < end;) {
            clock.advance(10);
            ASSERT_TRUE(pump->pump()) << pump->error();
            acq->linkFlags.dataFlowing = true;
            acq->tick(clock.now());
        }
    }
};

}  // namespace

TEST_F(AcquisitionTest, PowersUpLogsAndRecordsAPlausibleHole) {
    run(1000);
    ASSERT_GT(acq->linkStatus.load(), 0) << "no frame from the simulated logger";
    acq->panel.pressPower(clock.now());
    for (int i = 0; i < 200 && acq->panel.powerUpStep() != ProbePanel::kReady; ++i)
        run(100);
    run(3000);
    ASSERT_EQ(acq->panel.powerUpStep(), ProbePanel::kReady) << acq->panel.view().statusText;
    ASSERT_TRUE(acq->panel.powered()) << acq->panel.view().statusText;
    EXPECT_EQ(acq->linkStatus.load(), kLinkFullData);
    EXPECT_GT(acq->counters.fullDecoded.load(), 0u);
    EXPECT_GT(images, 0);
    EXPECT_EQ(acq->counters.missed.load(), 0u);

    // Record while the winch moves.
    const std::string header = (home / "h" / "run.HED").string();
    context.headerIo->SetHeaderDefaults();
    ASSERT_TRUE(acq->startRecording(header, true, op)) << (op.log().empty() ? "" : op.log().back().text);
    run(20000);
    acq->stopRecording(op);
    const std::uint64_t written = acq->transport.recorder().linesWritten();
    EXPECT_GT(written, 10u);

    OpenedLog log;
    ASSERT_EQ(openLog(header, *context.headerIo, op, log), OpenLogResult::Ok);
    EXPECT_FALSE(context.header.corrupt);
    EXPECT_EQ(log.reader.wholeLines(), written);
    EXPECT_EQ(log.reader.trailingBytes(), 0u);
    std::int32_t previous = -2147483647, first = 0, last = 0;
    ASSERT_TRUE(log.reader.readDepthField(0, first));
    for (std::uint64_t i = 0; i < written; ++i) {  // recording downwards: depths only advance
        std::int32_t d = 0;
        ASSERT_TRUE(log.reader.readDepthField(i * log.layout.lineSize, d));
        EXPECT_GT(d, previous) << i;
        previous = last = d;
    }
    EXPECT_EQ(context.header.startDepth, first);
    EXPECT_NEAR(context.header.endDepth, last, 1);
    // The recording's own figures saw every line written, with the depths the file holds.
    const LogQuality quality = acq->recordingQuality();
    EXPECT_EQ(quality.lines(), written);
    EXPECT_NEAR(quality.firstDepth(), first / 1000.0, 0.0005);
    EXPECT_NEAR(quality.maxDepth(), last / 1000.0, 0.0005);
    EXPECT_NEAR(quality.gravity().mean(), 1.0, 0.01);
    EXPECT_EQ(acq->recordingReplaced(), 0u);
}

TEST_F(AcquisitionTest, DecodesEveryFrameAtTheFastestLegalRate) {
    // Resolution 4 (90 samples) at 312500 bauds, the shortest motor period the speed table allows and
    // the widest pulse at that speed.
    context.settings.PicResolution = 4;
    context.settings.UpBaudDivisor = 2;
    context.settings.MotorPeriod = minimumMotorPeriod(4, speedColumn(2));
    context.settings.UpholePulseWidth = upholeDriveMaximum(2);
    // The uplink gain that carries 312500 bauds over the scenario's 1500 m cable.
    context.settings.UpGain = context.settings.UpGainCommand = 31;
    run(1000);
    acq->panel.pressPower(clock.now());
    for (int i = 0; i < 200 && acq->panel.powerUpStep() != ProbePanel::kReady; ++i)
        run(100);
    run(2000);
    ASSERT_EQ(acq->linkStatus.load(), kLinkFullData)
        << acq->panel.view().statusText << " step " << acq->panel.powerUpStep() << " taken "
        << device->logger().counters().commandsTaken << " rejected "
        << device->logger().counters().commandsRejected << " data " << device->logger().counters().dataFrames
        << " status " << device->logger().counters().statusFrames;
    const auto sent0 = device->logger().counters().dataFrames;
    const auto decoded0 = acq->counters.fullDecoded.load();
    run(10000);
    const auto sent = device->logger().counters().dataFrames - sent0;
    const auto decoded = acq->counters.fullDecoded.load() - decoded0;
    EXPECT_GT(sent, 10000 / (2.304 * 21 * 2));  // the revolution takes MotorPeriod x 2.304 ms or so
    EXPECT_NEAR(static_cast<double>(decoded), sent, 1) << "frames in flight at the window's ends only";
    EXPECT_EQ(acq->counters.fullReplaced.load(), 0u);
    EXPECT_EQ(acq->counters.missed.load(), 0u);
}

TEST_F(AcquisitionTest, RecordedLinesReadBackAsTheyWereWritten) {
    // What the decoders held when each line went to the writer against what the reader gives back.
    struct Written {
        double depth, hx, hy, hz, gx, gy, gz;
    };
    std::vector<Written> written;
    acq->onImageLine = [&](std::uint8_t, int) {
        if (!acq->modes.recording) return;
        LiveValues v = acq->live.snapshot();
        written.push_back({v.depth, v.hx, v.hy, v.hz, v.gx, v.gy, v.gz});
    };
    run(1000);
    acq->panel.pressPower(clock.now());
    for (int i = 0; i < 200 && acq->panel.powerUpStep() != ProbePanel::kReady; ++i)
        run(100);
    run(20000);  // past the winch's first stop
    const std::string header = (home / "h" / "rt.HED").string();
    context.headerIo->SetHeaderDefaults();
    ASSERT_TRUE(acq->startRecording(header, true, op));
    run(20000);
    acq->stopRecording(op);
    ASSERT_GT(written.size(), 10u);

    OpenedLog log;
    ASSERT_EQ(openLog(header, *context.headerIo, op, log), OpenLogResult::Ok);
    ASSERT_EQ(log.reader.wholeLines(), written.size());
    auto index = [&](int kind) {
        for (size_t i = 0; i < log.layout.channels.size(); ++i)
            if (log.layout.channels[i].kind == kind) return i;
        return size_t{0};
    };
    std::vector<std::uint8_t> bytes;
    ParsedLine parsed;
    std::int64_t lastTime = -1;
    for (size_t n = 0; n < written.size(); ++n) {
        SCOPED_TRACE(n);
        ASSERT_TRUE(log.reader.readLine(n * log.layout.lineSize, bytes));
        parseDataLine(bytes, log.layout, parsed);
        const Written& w = written[n];
        EXPECT_EQ(parsed.values[index(channel::DPTH)], depthToFileUnits(w.depth, 0));
        EXPECT_EQ(parsed.values[index(channel::HX)], std::llround(w.hx));
        EXPECT_EQ(parsed.values[index(channel::HY)], std::llround(w.hy));
        EXPECT_EQ(parsed.values[index(channel::HZ)], std::llround(w.hz));
        EXPECT_EQ(parsed.values[index(channel::GX)], std::llround(w.gx));
        EXPECT_EQ(parsed.values[index(channel::GY)], std::llround(w.gy));
        EXPECT_EQ(parsed.values[index(channel::GZ)], std::llround(w.gz));
        const std::int64_t t = parsed.values[index(channel::TIME)];
        EXPECT_GT(t, lastTime);
        lastTime = t;
    }
    // The header's recorded time runs to the stop, the last line's to its own revolution.
    EXPECT_GE(context.header.endTime, lastTime);
    EXPECT_LT(context.header.endTime - lastTime, 1000);
}
