// Status and logger frames: depth, speed, read-backs, alarms, traces and the 0x01 re-send.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "config/Diagnostics.h"
#include "link/Frames.h"
#include "tests/stream/StreamFixture.h"

using namespace quelt;
using namespace quelt::test;

TEST(LiveState, StartsWithoutOrientationValues) {
    LiveValues v;
    for (double x : {v.hx, v.hy, v.hz, v.gx, v.gy, v.gz, v.highSide, v.magToolface, v.tilt, v.azimuth})
        EXPECT_EQ(x, -99999.0);
}

TEST(LiveState, ReaderNeverSeesAHalfWrittenRecord) {
    LiveState live;
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; !stop; ++i) {
            live.update([&](LiveValues& v) {
                v.depth = i;
                v.voltageText = std::string(static_cast<std::size_t>(i % 97), 'x') + std::to_string(i);
                v.voltage = i;
            });
        }
    });
    for (int k = 0; k < 20000; ++k) {
        LiveValues v = live.snapshot();
        if (v.voltageText.empty()) continue;
        ASSERT_EQ(v.voltageText,
                  std::string(static_cast<std::size_t>(v.voltage % 97), 'x') + std::to_string(v.voltage));
        ASSERT_EQ(v.depth, v.voltage);
    }
    stop = true;
    writer.join();
}

TEST(DepthAndSpeed, EncoderCountsAt80CountsPerCm) {
    struct Case {
        std::int32_t count;
        double depth;
    };
    for (Case c : {Case{800000, 100.0}, Case{-8000, -1.0}, Case{0, 0.0}, Case{80, 0.01}}) {
        StreamRig rig;
        EXPECT_DOUBLE_EQ(DepthCalibration::from(rig.settings).countsPerCm(), 80.0);
        rig.status(statusFrame(c.count, 0, 0x01));
        EXPECT_DOUBLE_EQ(rig.v().depth, c.depth) << c.count;
    }
    StreamRig rig;
    rig.status(statusFrame(0, 150, 0x01));
    // 150 x 2 x 500 mm / 1000 / 100
    EXPECT_DOUBLE_EQ(rig.v().speed, 1.5);
}

TEST(DepthAndSpeed, NineteenByteFrameFallsBackOnItsScaleReadBack) {
    StreamRig rig;
    rig.settings.PulsResolution = 0;  // no winch calibration
    auto f = loggerFrame19(12800, 1500, 0x80, 90);
    rig.stream.decodeLoggerFrame19(f.data(), f.size(), 1);
    EXPECT_DOUBLE_EQ(rig.v().depth, 1.0);  // 12800 / (0x0080 x 100)
    EXPECT_EQ(rig.echo.word(ReplyEcho::kEncoderScale), 0x0080);

    // The other frames leave the depth where it was rather than dividing by zero.
    rig.live.update([](LiveValues& v) { v.depth = 7.5; });
    auto g = loggerFrame20(12800, 1500, 0x80, 90);
    rig.stream.decodeLoggerFrame20(g.data(), g.size(), 2);
    rig.status(statusFrame(12800, 10, 0x01));
    EXPECT_DOUBLE_EQ(rig.v().depth, 7.5);
    EXPECT_TRUE(std::isfinite(rig.v().speed));
}

TEST(StatusFrame, FillsEchoAndLiveValues) {
    StreamRig rig;
    rig.echo.update([](ReplyEcho::Slots& e) { e.fill(0x77); });
    rig.status(statusFrame(8000, 0, 0x81, 0, 95, 130));
    auto e = rig.echo.snapshot();
    EXPECT_EQ(e[ReplyEcho::kFlags], 0);
    EXPECT_EQ(e[ReplyEcho::kPower], 0x77);  // slots 1..5 keep their values
    EXPECT_EQ(e[ReplyEcho::kUpGain], 25);
    EXPECT_EQ(e[ReplyEcho::kDownDrive], 15);
    EXPECT_EQ(e[ReplyEcho::kBaud], 0xFF);
    EXPECT_EQ(e[ReplyEcho::kCommStatus], 0x81);
    EXPECT_EQ(e[ReplyEcho::kWindow], 0);
    EXPECT_EQ(e[ReplyEcho::kResolution], 0);
    EXPECT_EQ(e[ReplyEcho::kFrameKindMarker], 1);
    EXPECT_EQ(e[ReplyEcho::kNewReplyMarker], 1);
    LiveValues v = rig.v();
    EXPECT_EQ(v.voltageText, "95");
    EXPECT_EQ(v.currentText, "130");
    EXPECT_EQ(v.gainText, "-");
    EXPECT_EQ(v.tilt, kNoValue);
    EXPECT_EQ(rig.events.refreshes, std::vector<int>{kRefreshValues});
    // Bad data: the picture repeats its line, counted as replaced once a frame was decoded.
    EXPECT_EQ(rig.events.lines.size(), 1u);
    EXPECT_EQ(rig.counters.fullReplaced, 0u);
    rig.counters.fullDecoded = 1;
    rig.status(statusFrame(8000, 0, 0x81));
    EXPECT_EQ(rig.counters.fullReplaced, 1u);
}

TEST(StatusFrame, BadSumChangesNothing) {
    StreamRig rig;
    auto f = statusFrame(800000, 10, 0x01, 0xC0);
    f[14] ^= 0x01;
    rig.status(f);
    EXPECT_EQ(rig.v().depth, 0.0);
    EXPECT_EQ(rig.echo.slot(ReplyEcho::kNewReplyMarker), 0);
    EXPECT_TRUE(rig.events.refreshes.empty());
    EXPECT_TRUE(rig.events.alarms.empty());
}

TEST(Alarms, FromFrameFlagsOfEveryFamily) {
    struct Case {
        std::uint8_t flags;
        std::vector<std::pair<int, std::string>> alarms;
    };
    const std::pair<int, std::string> encoder{0, "Invalid Depth !!!|Encoder Error"};
    const std::pair<int, std::string> battery{1, "Low Battery.|Low battery / Power Failure !!!"};
    for (const Case& c :
         {Case{0x3F, {}}, Case{0x40, {encoder}}, Case{0x80, {battery}}, Case{0xC0, {encoder, battery}}}) {
        StreamRig a, b, d;
        a.status(statusFrame(0, 0, 0x01, c.flags));
        auto g = loggerFrame20(0, 1500, 0, 0, c.flags);
        b.stream.decodeLoggerFrame20(g.data(), g.size(), 0);
        FullFrameSpec s;
        s.flags = c.flags;
        d.full(fullFrame(s));
        EXPECT_EQ(a.events.alarms, c.alarms);
        EXPECT_EQ(b.events.alarms, c.alarms);
        EXPECT_EQ(d.events.alarms, c.alarms);
    }
}

TEST(LoggerFrame, ReadBackGoesToTheLink) {
    StreamRig rig;
    auto f = loggerFrame20(800000, 1500, 20480, 90);
    rig.stream.decodeLoggerFrame20(f.data(), f.size(), 0);
    EXPECT_DOUBLE_EQ(rig.v().depth, 100.0);
    EXPECT_EQ(rig.echo.slot(ReplyEcho::kPower), 90);
    EXPECT_EQ(rig.echo.slot(ReplyEcho::kFrameKindMarker), 0);
    EXPECT_EQ(rig.echo.slot(ReplyEcho::kNewReplyMarker), 1);
    EXPECT_EQ(rig.events.refreshes, std::vector<int>{kRefreshValues});
    ASSERT_EQ(rig.events.readBacks.size(), 1u);
    EXPECT_EQ(rig.events.readBacks[0], Bytes(f.begin(), f.end()));

    // A 19-byte frame is handed on widened; a frame with a bad sum not at all.
    auto g = loggerFrame19(800000, 1500, 0x80, 90);
    rig.stream.decodeLoggerFrame19(g.data(), g.size(), 1);
    ASSERT_EQ(rig.events.readBacks.size(), 2u);
    const Bytes& w = rig.events.readBacks[1];
    EXPECT_EQ(w[3], 0x80);
    EXPECT_EQ(w[4], 0);
    EXPECT_EQ(w[5], 90);
    EXPECT_EQ(readLeI32(&w[10]), 800000);
    g[18] ^= 1;
    rig.stream.decodeLoggerFrame19(g.data(), g.size(), 2);
    EXPECT_EQ(rig.events.readBacks.size(), 2u);
}

TEST(LoggerFrame, BadSumMarksChecksumError) {
    StreamRig rig;
    auto f = loggerFrame20(800000, 1500, 20480, 90);
    f[19] ^= 0x10;
    rig.stream.decodeLoggerFrame20(f.data(), f.size(), 0);
    EXPECT_EQ(rig.v().commStatus, 0x08);
    EXPECT_EQ(rig.v().commStatusSeen, 0x08);
    EXPECT_EQ(rig.v().depth, 0.0);
    EXPECT_EQ(rig.echo.slot(ReplyEcho::kNewReplyMarker), 0);
    EXPECT_EQ(rig.events.refreshes, std::vector<int>{kRefreshValues});
}

TEST(LoggerFrame, NineteenBytesWidenBeforeUse) {
    StreamRig rig;
    auto f = loggerFrame19(-8000, 1500, 0x80, 90);
    rig.stream.decodeLoggerFrame19(f.data(), f.size(), 0);
    EXPECT_EQ(rig.echo.word(ReplyEcho::kConstant), 1500);
    EXPECT_EQ(rig.echo.word(ReplyEcho::kEncoderScale), 0x0080);
    EXPECT_EQ(rig.echo.slot(ReplyEcho::kPower), 90);
    LiveValues v = rig.v();
    EXPECT_DOUBLE_EQ(v.depth, -1.0);
    EXPECT_EQ(v.voltage, 92);
    EXPECT_EQ(v.current, 122);
}

TEST(Traces, ExactTextsInDebugFile) {
    auto dir = std::filesystem::temp_directory_path() / ("quelt_trace_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    Diagnostics::configure(dir.string(), true);
    StreamRig rig;
    auto bad = statusFrame(0, 0, 0x01);
    bad[15] ^= 1;
    rig.status(bad, 0x1F);
    rig.status(statusFrame(0, 0, 0x0A), 0x20);
    FullFrameSpec s;
    s.status = 0x20;
    rig.full(fullFrame(s), 0x05);
    auto badFull = fullFrame(s);
    badFull.back() ^= 1;
    rig.full(badFull, 0xAB);
    Diagnostics::configure(dir.string(), false);

    std::ifstream in(dir / "debug.txt");
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
        lines.push_back(l.substr(l.find(']') + 1));
    std::filesystem::remove_all(dir);
    EXPECT_EQ(lines,
              (std::vector<std::string>{
                  "ToolStream::16 bytes receiving USBFrame:1F Checksum error !!!",
                  "ToolStream::16 bytes receiving USBFrame:20 Comm status  A -> - No Resp - Checksum error",
                  "ToolStream::Full data  receiving USBFrame: 5 Comm status 20 -> - Updating",
                  "ToolStream::Full data receiving USBFrame:AB Checksum error !!!",
                  "ToolStream::Full data  receiving USBFrame:AB Comm status 20 -> - Updating",
              }));
}

TEST(ChannelAssignment, NamedValues) {
    StreamRig rig;
    rig.linkStatus = 0;
    rig.stream.OnScreenAssigment(channel::DPTH, 123456, false);
    EXPECT_DOUBLE_EQ(rig.v().fileDepth, 123.456);
    EXPECT_DOUBLE_EQ(rig.v().depth, 123.456);  // no sonde frames flowing

    rig.shared.logInFeet = true;
    rig.shared.channelIdOfIndex = [](int index) { return index == 0 ? channel::DPTH : -1; };
    rig.linkStatus = 255;
    rig.stream.OnScreenAssigment(0, 123456, true);
    EXPECT_NEAR(rig.v().fileDepth, 37.63, 0.005);
    EXPECT_DOUBLE_EQ(rig.v().depth, 123.456);  // frames flowing: the live depth stays the sonde's

    struct Case {
        int id, value;
        std::string LiveValues::*text;
        std::string expected;
    };
    for (const Case& c : {Case{channel::TIME, 3723000, &LiveValues::elapsedText, "01:02:03"},
                          Case{channel::TIME, 59000, &LiveValues::elapsedText, "00:00:59"},
                          Case{channel::RESO, 3, &LiveValues::resolutionText, "120"},
                          Case{channel::RESO, 7, &LiveValues::resolutionText, "-"},
                          Case{channel::BAUD, 2, &LiveValues::baudText, "312500"},
                          Case{channel::BAUD, 11, &LiveValues::baudText, "-"},
                          Case{channel::GAIN, 42, &LiveValues::gainText, "42"},
                          Case{channel::TTEM, 31, &LiveValues::toolTempText, "31"},
                          Case{channel::PTEM, 29, &LiveValues::probeTempText, "29"}}) {
        rig.stream.OnScreenAssigment(c.id, c.value, false);
        EXPECT_EQ(rig.v().*c.text, c.expected) << c.id << " " << c.value;
    }
}
