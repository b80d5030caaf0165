#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "config/ProgramContext.h"
#include "link/DevicePump.h"
#include "link/SpeedTables.h"
#include "sim/Scenario.h"
#include "sim/SimDevice.h"
#include "stream/Acquisition.h"
#include "stream/DepthGaps.h"
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

    // The same rig on another built-in scenario.
    void useScenario(const char* name) {
        pump.reset();
        acq.reset();
        device.reset();
        ASSERT_TRUE(sim::builtinScenario(name, 1, scenario));
        device = std::make_unique<sim::SimDevice>(scenario, clock, [this](Millis ms) { clock.advance(ms); });
        acq = std::make_unique<Acquisition>(context, clock);
        pump = std::make_unique<DevicePump>(*device, *acq, &acq->counters, &acq->linkStatus);
        acq->writeCommand = [this](const CommandFrame& f) { return pump->write(f); };
        ASSERT_TRUE(pump->open()) << pump->error();
        acq->panel.start(clock.now());
    }
    void powerUp() {
        run(1000);
        acq->panel.pressPower(clock.now());
        for (int i = 0; i < 200 && acq->panel.powerUpStep() != ProbePanel::kReady; ++i)
            run(100);
        run(1000);
        ASSERT_EQ(acq->linkStatus.load(), kLinkFullData) << acq->panel.view().statusText;
    }

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
    const LogQuality quality = acq->recordingLogQuality();
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

// The "reset" scenario's logger loses power 45 s into the run: the recording notices that the full data
// frames stopped, says so, and takes lines again once the sonde is powered up again; the header ends
// where the data ends.
TEST_F(AcquisitionTest, AFrameStopAfterALoggerResetIsShownAndTheRecordingResumes) {
    useScenario("reset");
    std::vector<std::string> stops;
    int resumed = 0;
    acq->onDataStopped = [&](const std::string& text) {
        stops.push_back(text);
        acq->resumeAfterReset(clock.now());
    };
    acq->onDataResumed = [&] { ++resumed; };
    powerUp();
    const std::string header = (home / "h" / "reset.HED").string();
    context.headerIo->SetHeaderDefaults();
    ASSERT_TRUE(acq->startRecording(header, true, op));
    const Millis resetAt = 45000;
    run(resetAt - clock.now() - 100);
    const std::uint64_t before = acq->transport.recorder().linesWritten();
    ASSERT_GT(before, 10u);
    EXPECT_TRUE(stops.empty());

    // The stop is seen within a few revolutions (never sooner than the minimum stall).
    while (stops.empty() && clock.now() < resetAt + 10000)
        run(100);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_GE(clock.now(), resetAt + DataFlowWatch::kMinStallMs);
    EXPECT_NE(stops[0].find("The logger lost power"), std::string::npos) << stops[0];
    EXPECT_EQ(acq->panel.view().statusText, stops[0]);
    EXPECT_EQ(acq->panel.view().statusClass, StatusClass::Error);

    run(15000);
    EXPECT_EQ(resumed, 1);
    EXPECT_EQ(stops.size(), 1u);
    EXPECT_FALSE(acq->dataStopped());
    EXPECT_NE(acq->panel.view().statusText, stops[0]);
    EXPECT_GT(acq->transport.recorder().linesWritten(), before + 10);
    acq->stopRecording(op);
    EXPECT_EQ(acq->recordingQuality().loggerResets, 1);
    EXPECT_GE(acq->recordingQuality().depthGaps, 1) << "the winch moved on while the logger was down";

    OpenedLog log;
    ASSERT_EQ(openLog(header, *context.headerIo, op, log), OpenLogResult::Ok);
    EXPECT_FALSE(context.header.corrupt);
    std::vector<std::uint8_t> bytes;
    ParsedLine parsed;
    ASSERT_TRUE(log.reader.readLine((log.reader.wholeLines() - 1) * log.layout.lineSize, bytes));
    parseDataLine(bytes, log.layout, parsed);
    std::int64_t lastTime = -1;
    for (size_t i = 0; i < log.layout.channels.size(); ++i)
        if (log.layout.channels[i].kind == channel::TIME) lastTime = parsed.values[i];
    EXPECT_GT(lastTime, resetAt - 20000) << "lines recorded after the reset";
    EXPECT_EQ(context.header.endTime, lastTime);
    EXPECT_EQ(context.header.endDepth, lineDepthField(bytes));
}

// Without a resume the recording stays stopped; the stop is reported once, not at every tick.
TEST_F(AcquisitionTest, AFrameStopIsReportedOnce) {
    useScenario("reset");
    std::vector<std::string> stops;
    acq->onDataStopped = [&](const std::string& text) { stops.push_back(text); };
    powerUp();
    context.headerIo->SetHeaderDefaults();
    ASSERT_TRUE(acq->startRecording((home / "h" / "stop.HED").string(), true, op));
    run(60000 - clock.now());
    EXPECT_EQ(stops.size(), 1u);
    EXPECT_TRUE(acq->dataStopped());
}

// An alarm bit comes in every frame while it lasts: its text goes out once when it starts, once when it
// has not been seen for a while, and again when it comes back.
TEST_F(AcquisitionTest, AnAlarmIsShownOnceWhenItStartsAndOnceWhenItEnds) {
    std::vector<std::string> messages;
    acq->onMessage = [&](const std::string& text) { messages.push_back(text); };
    StreamEvents& events = *acq;
    auto raiseFor = [&](Millis ms) {
        for (Millis end = clock.now() + ms; clock.now() < end;) {
            events.showAlarm(1, "Low Battery.", "Low battery / Power Failure !!!");
            clock.advance(200);
            acq->tick(clock.now());
        }
    };
    const std::string text = "Low Battery.: Low battery / Power Failure !!!";
    raiseFor(5000);
    EXPECT_EQ(messages, std::vector<std::string>{text});
    EXPECT_EQ(acq->activeAlarmText(), text);
    clock.advance(Acquisition::kAlarmEndMs + 1);
    acq->tick(clock.now());
    acq->tick(clock.now() + 1000);
    EXPECT_EQ(messages, (std::vector<std::string>{text, text + " (ended)"}));
    EXPECT_EQ(acq->activeAlarmText(), "");
    raiseFor(1000);
    EXPECT_EQ(messages.size(), 3u);
}

TEST(DepthGaps, DistancesLargerThanTwiceTheStepAreGaps) {
    struct Case {
        const char* what;
        std::vector<double> depths;  // metres
        double stepMm;
        int gaps;
        double largest;
    };
    const Case cases[] = {
        {"steady lines", {10.000, 10.010, 10.020, 10.030}, 10, 0, 0.010},
        {"one line missing", {10.000, 10.010, 10.030, 10.040}, 10, 0, 0.020},
        {"two lines missing", {10.000, 10.010, 10.040, 10.050}, 10, 1, 0.030},
        {"upwards", {10.050, 10.040, 10.000}, 10, 1, 0.040},
        {"standing still", {10.000, 10.000, 10.001}, 0, 0, 0.001},
        {"step unknown", {10.000, 11.000}, -1, 0, 1.000},
        {"a single line", {10.000}, 10, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DepthGaps g;
        for (double d : c.depths)
            g.add(d, c.stepMm);
        EXPECT_EQ(g.count(), c.gaps);
        EXPECT_NEAR(g.largestMetres(), c.largest, 1e-9);
    }
}

TEST(DataFlowWatch, StopsOnceWhenFullFramesStayAwayAndResumesWhenTheyReturn) {
    struct Case {
        const char* what;
        int stallStatus;  // what the link receives instead of full data frames
        bool loggerReset;
    };
    for (const Case& c :
         {Case{"logger frames", kLinkLogger, true}, Case{"status frames", kLinkStatusFrame, false}}) {
        SCOPED_TRACE(c.what);
        DataFlowWatch w;
        using E = DataFlowWatch::Event;
        EXPECT_EQ(w.tick(0, kLinkLogger, 200), E::None) << "not armed";
        w.arm(0);
        EXPECT_EQ(w.tick(500, kLinkFullData, 200), E::None);
        // Short stalls (a replaced frame) are no stop.
        EXPECT_EQ(w.tick(900, c.stallStatus, 200), E::None);
        EXPECT_EQ(w.tick(1000, kLinkFullData, 200), E::None);
        EXPECT_EQ(w.tick(1000 + DataFlowWatch::kMinStallMs, c.stallStatus, 200), E::None);
        EXPECT_EQ(w.tick(1001 + DataFlowWatch::kMinStallMs, c.stallStatus, 200), E::Stopped);
        EXPECT_EQ(w.loggerReset(), c.loggerReset);
        EXPECT_EQ(w.tick(9000, c.stallStatus, 200), E::None);
        EXPECT_EQ(w.tick(9100, kLinkFullData, 200), E::Resumed);
        EXPECT_EQ(w.tick(9200, kLinkFullData, 200), E::None);
        // A slow sonde (long revolutions) is given more time.
        EXPECT_EQ(w.tick(9200 + 5 * 400, kLinkStatusFrame, 400), E::None);
        EXPECT_EQ(w.tick(9201 + 5 * 400, kLinkStatusFrame, 400), E::Stopped);
    }
}
