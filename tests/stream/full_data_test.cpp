// Full data frames: the image line, display scaling, amplitudes, acceptance and replacement.

#include <gtest/gtest.h>

#include <cmath>

#include "tests/stream/StreamFixture.h"

using namespace quelt;
using namespace quelt::test;

TEST(FullData, DisplayScalingIntoTheWindow) {
    struct Case {
        std::uint16_t t;
        std::uint8_t scaled;
    };
    for (Case c : {Case{1100, 0}, Case{1200, 0}, Case{1450, 127}, Case{1700, 255}, Case{2000, 255}}) {
        EXPECT_EQ(scaleTravelTime(c.t, 1200, 500), c.scaled) << c.t;
        StreamRig rig;
        FullFrameSpec s;
        s.travelTime = c.t;
        rig.full(fullFrame(s));
        EXPECT_EQ(rig.line.sampleLine[0], c.scaled);
        EXPECT_EQ(rig.line.sampleLine[179], c.scaled);
        EXPECT_EQ(rig.line.rawLine[179], c.t);
    }
    EXPECT_EQ(scaleTravelTime(1450, 1200, 0), 0);  // no window: nothing to divide by
}

TEST(FullData, ScaleAmplitude16) {
    struct Case {
        int contrast;
        std::uint16_t a;
        std::uint8_t out;
    };
    for (Case c : {Case{48, 200, 200}, Case{48, 300, 255}, Case{28, 2000, 200}, Case{8, 10000, 100},
                   Case{0, 25119, 100}, Case{60, 200, 200}, Case{-1, 200, 200}, Case{47, 224, 200}}) {
        EXPECT_EQ(scaleAmplitude16(c.a, c.contrast), c.out) << c.contrast << " " << c.a;
    }
}

TEST(FullData, SixteenBitAmplitudesGoThroughTheScale) {
    StreamRig rig;
    rig.settings.LevelContrast = 28;
    FullFrameSpec s;
    s.gain = 0x80 | 10;
    s.amplitude = 2000;
    rig.full(fullFrame(s));
    EXPECT_EQ(rig.line.amplitude(0), 200);
    EXPECT_EQ(rig.line.rawLine[ImageLine::kRawAmplitudeOffset + 179], 200);
    EXPECT_EQ(rig.line.rawLine[ImageLine::kRawGainIndex], 0x8A);
    EXPECT_EQ(rig.line.rawLine[ImageLine::kRawResolutionIndex], 2);
}

TEST(FullData, AcceptanceWhileRecordingDownwards) {
    struct Case {
        double depth;
        bool accepted;
        int reverse;
        double lastAfter;
    };
    for (Case c : {Case{10.005, true, 0, 10.005}, Case{9.995, false, 0, 10.0}, Case{9.985, false, 1, 10.0},
                   Case{10.0, false, 0, 10.0}}) {
        StreamRig rig;
        rig.shared.modes.recording = 1;
        rig.shared.recordDirection = 1;
        rig.shared.lastAcceptedDepth = 10.0;
        rig.shared.reverseMotion = c.accepted ? 1 : 0;  // an acceptance clears it
        FullFrameSpec s;
        s.count = static_cast<std::int32_t>(std::lround(c.depth * 8000));
        rig.full(fullFrame(s));
        EXPECT_EQ(rig.events.lines.size(), c.accepted ? 1u : 0u) << c.depth;
        EXPECT_EQ(rig.events.writes, c.accepted ? 1 : 0);
        EXPECT_EQ(rig.shared.reverseMotion, c.reverse) << c.depth;
        EXPECT_DOUBLE_EQ(rig.shared.lastAcceptedDepth, c.lastAfter);
        EXPECT_EQ(rig.shared.lastRejectedTime, c.accepted ? 0 : 42);
        EXPECT_EQ(rig.counters.fullDecoded, 1u);
        EXPECT_EQ(rig.events.refreshes, std::vector<int>{kRefreshValues});
    }
}

TEST(FullData, AcceptanceAndDirectionRules) {
    struct Case {
        bool recording, paused;
        int recordDirection;
        double last, depth;
        std::int16_t speed;
        bool accepted;
        int direction, reverse;
    };
    for (Case c : {
             Case{false, false, 1, 0, 5, 10, true, 1, 0},   // not recording: direction from the speed
             Case{false, false, 1, 0, 5, -10, true, 0, 0},  //
             Case{true, true, 1, 4, 5, -10, false, 1, 0},   // paused: never accepted
             Case{true, false, 0, 6, 5, 10, true, 0, 0},    // upwards, rising
             Case{true, false, 0, 6, 6.005, 10, false, 0, 0},
             Case{true, false, 0, 6, 6.015, 10, false, 0, 1},  // back down by more than 1 cm
         }) {
        StreamRig rig;
        rig.shared.modes.recording = c.recording;
        rig.shared.modes.recordPaused = c.paused;
        rig.shared.recordDirection = static_cast<std::uint8_t>(c.recordDirection);
        rig.shared.lastAcceptedDepth = c.last;
        rig.shared.reverseMotion = c.recording ? 1 - c.reverse : 0;  // each recording case flips it
        FullFrameSpec s;
        s.count = static_cast<std::int32_t>(std::lround(c.depth * 8000));
        s.speed = c.speed;
        rig.full(fullFrame(s));
        ASSERT_EQ(rig.events.lines.size(), c.accepted ? 1u : 0u) << c.depth;
        if (c.accepted) {
            EXPECT_EQ(rig.events.lines[0], std::make_pair(c.direction, 2));
        }
        EXPECT_EQ(rig.line.lineDirection, c.direction);
        EXPECT_EQ(rig.events.writes, c.accepted && c.recording ? 1 : 0);
        EXPECT_EQ(rig.shared.reverseMotion, c.reverse) << c.depth;
    }
    // Speed 0 keeps the direction.
    StreamRig rig;
    rig.line.lineDirection = 0;
    rig.full(fullFrame(FullFrameSpec{}));
    EXPECT_EQ(rig.line.lineDirection, 0);
}

TEST(FullData, LowerResolutionLeavesTheRestOfTheLine) {
    StreamRig rig;
    FullFrameSpec hi;
    hi.resolution = 1;
    hi.travelTime = 2000;
    hi.amplitude = 7;
    rig.full(fullFrame(hi));
    FullFrameSpec lo;
    lo.resolution = 2;
    lo.travelTime = 1200;
    lo.amplitude = 9;
    rig.full(fullFrame(lo));
    EXPECT_EQ(rig.line.samplesPerTurn, 180);
    for (std::size_t i = 0; i < 180; ++i)
        EXPECT_EQ(rig.line.sampleLine[i], 0);
    for (std::size_t i = 180; i < 404; ++i)
        ASSERT_EQ(rig.line.sampleLine[i], i < 360 ? 255 : 0) << i;
    for (std::size_t i = 404; i < 584; ++i)
        EXPECT_EQ(rig.line.sampleLine[i], 9);
    for (std::size_t i = 584; i < 764; ++i)
        ASSERT_EQ(rig.line.sampleLine[i], 7) << i;
}

TEST(FullData, CommStatusAndChecksumDecideDecodeOrReplace) {
    struct Case {
        std::uint8_t status;
        bool corrupt;
        bool decoded;
    };
    for (Case c : {Case{0x01, false, true}, Case{0x20, false, true}, Case{0x21, false, true},
                   Case{0x00, false, false}, Case{0x02, false, false}, Case{0x01, true, false}}) {
        StreamRig rig;
        rig.full(fullFrame(FullFrameSpec{}));  // one good frame first
        rig.events.lines.clear();
        rig.line.lineDirection = 0;
        FullFrameSpec s;
        s.count = 8000;
        s.speed = 10;
        s.travelTime = 2000;
        s.status = c.status;
        auto f = fullFrame(s);
        if (c.corrupt) f[100] ^= 0x01;
        rig.full(f);
        ASSERT_EQ(rig.events.lines.size(), 1u);
        EXPECT_EQ(rig.events.lines[0].first, c.decoded ? 1 : 0);  // a replacement keeps the old direction
        EXPECT_EQ(rig.counters.fullDecoded, c.decoded ? 2u : 1u) << int(c.status);
        EXPECT_EQ(rig.counters.fullReplaced, c.decoded ? 0u : 1u);
        EXPECT_EQ(rig.line.sampleLine[0], c.decoded ? 255 : 127);  // a replacement repeats the old samples
        EXPECT_DOUBLE_EQ(rig.v().depth, c.decoded ? 1.0 : 0.0);
        // A frame with a good sum reports its comm status; a bad sum reports nothing.
        EXPECT_EQ(rig.v().commStatus, c.corrupt ? 0x01 : c.status);
    }
    // Before any frame was decoded a replacement is not counted.
    StreamRig rig;
    FullFrameSpec s;
    s.status = 0;
    rig.full(fullFrame(s));
    EXPECT_EQ(rig.counters.fullReplaced, 0u);
    EXPECT_EQ(rig.events.lines.size(), 1u);
}

TEST(FullData, HeaderValuesReachEchoAndLiveState) {
    StreamRig rig;
    FullFrameSpec s;
    s.count = 800000;
    s.speed = 100;  // 1 m/min
    s.motorPeriod = 87;
    rig.full(fullFrame(s));
    auto e = rig.echo.snapshot();
    EXPECT_EQ(e[ReplyEcho::kBaud], 10);
    EXPECT_EQ(e[ReplyEcho::kWindow] | e[ReplyEcho::kWindow + 1] << 8, 500);
    EXPECT_EQ(e[ReplyEcho::kBlanking] | e[ReplyEcho::kBlanking + 1] << 8, 1200);
    EXPECT_EQ(e[ReplyEcho::kMotorPeriod], 87);
    EXPECT_EQ(e[ReplyEcho::kResolution], 2);
    EXPECT_EQ(e[ReplyEcho::kFrameKindMarker], 1);
    EXPECT_EQ(e[ReplyEcho::kNewReplyMarker], 1);
    LiveValues v = rig.v();
    EXPECT_DOUBLE_EQ(v.depth, 100.0);
    EXPECT_DOUBLE_EQ(v.speed, 1.0);
    EXPECT_EQ(v.stepText, "3.34");  // 1 x 0.0384 x 87
    EXPECT_EQ(v.window, 500);
    EXPECT_EQ(v.blanking, 1200);
    EXPECT_EQ(v.resolutionText, "180");
    EXPECT_EQ(v.baudText, "62500");
    EXPECT_EQ(v.gamma, 54);
    EXPECT_EQ(v.gclk, 10);
    EXPECT_EQ(v.pulseText, "15");
    EXPECT_EQ(v.toolTempText, "30");
    EXPECT_EQ(v.probeTempText, "31");
    EXPECT_EQ(v.voltageText, "90");
}

// NGAM counts the gamma pulses of one revolution during GCLK milliseconds: the rate shown is counts per
// second over the lines of about one second (five at MotorPeriod 87), times the sonde's coefficient.
TEST(FullData, GammaRateIsCountsPerSecondOverAboutOneSecondOfLines) {
    const struct {
        const char* what;
        std::vector<std::pair<std::uint16_t, std::uint8_t>> lines;  // count, time
        double coefficient;
        double rate;
    } cases[] = {
        {"one revolution", {{100, 200}}, 1.0, 500},
        {"the sonde's coefficient", {{100, 200}}, 1.5, 750},
        {"no counting time", {{100, 0}}, 1.0, 0},
        {"the oldest of five lines replaced",
         {{100, 200}, {100, 200}, {100, 200}, {100, 200}, {100, 200}, {50, 200}},
         1.0,
         450},
        {"2.5 rounded away from zero", {{1, 200}, {0, 200}}, 1.0, 3},
    };
    for (const auto& c : cases) {
        StreamRig rig;
        rig.stream.setGammaCoef(c.coefficient);
        FullFrameSpec s;
        for (const auto& [count, time] : c.lines) {
            s.gammaCount = count;
            s.gammaTime = time;
            rig.full(fullFrame(s));
        }
        EXPECT_DOUBLE_EQ(rig.v().gammaRate, c.rate) << c.what;
        EXPECT_EQ(rig.v().gamma, c.lines.back().first) << c.what;  // the count itself stays as sent
    }
}

TEST(FullData, ResolutionOutsideOneToFourIsNinetySamples) {
    for (int code : {0, 4, 9, 255}) {
        StreamRig rig;
        FullFrameSpec s;
        s.resolution = code;
        auto f = fullFrame(s);
        EXPECT_EQ(f.size(), 405u);
        rig.full(f);
        EXPECT_EQ(rig.counters.fullDecoded, 1u) << code;
        EXPECT_EQ(rig.line.samplesPerTurn, 90);
    }
}

TEST(FullData, ThreeByteSamplesWith16BitGainNeverOverrun) {
    // Format 6 with gain bit 7: a four-byte area, read as four-byte samples, gives exactly N samples.
    StreamRig rig;
    rig.settings.LevelContrast = 48;
    FullFrameSpec s;
    s.resolution = 3;
    s.format = 6;
    s.gain = 0x80;
    s.amplitude = 200;
    auto f = fullFrame(s);
    EXPECT_EQ(f.size(), 525u);
    rig.line.sampleLine.fill(0xEE);
    rig.full(f);
    EXPECT_EQ(rig.counters.fullDecoded, 1u);
    EXPECT_EQ(rig.line.sampleLine[119], 127);
    EXPECT_EQ(rig.line.amplitude(119), 200);  // each sample's own 16-bit amplitude
    EXPECT_EQ(rig.line.sampleLine[120], 0xEE);
    EXPECT_EQ(rig.line.sampleLine[404 + 120], 0xEE);

    // A header that promises more samples than the frame carries is replaced, never read past its end.
    StreamRig small;
    FullFrameSpec lie;
    lie.resolution = 1;
    lie.forceSamples = 90;
    auto g = fullFrame(lie);
    EXPECT_EQ(g.size(), 405u);
    small.full(g);
    EXPECT_EQ(small.counters.fullDecoded, 0u);
    EXPECT_EQ(small.events.lines.size(), 1u);
    small.full(std::vector<std::uint8_t>(10, 0));
    EXPECT_EQ(small.events.lines.size(), 2u);
}
