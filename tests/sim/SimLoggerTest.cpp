// The simulated logger and sonde on the wire: commands in, USB frames out.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "config/Settings.h"
#include "link/Commands.h"
#include "link/Frames.h"
#include "sim/Capture.h"
#include "sim/SimLogger.h"
#include "tests/sim/ProgramOrientation.h"

namespace quelt::sim {
namespace {

struct Frame {
    int seq;
    std::vector<std::uint8_t> body;   // without sum and terminator
    std::vector<std::uint8_t> frame;  // body and sum: what the link dispatches
};

// Cuts a clean uplink into frames with the link's definitions: sync, header, sum and terminator.
std::vector<Frame> cut(const std::vector<std::uint8_t>& s, int* bad = nullptr) {
    std::vector<Frame> out;
    size_t i = 0;
    while (i + kUsbHeaderSize <= s.size()) {
        if (!isSync(&s[i])) {
            ++i;
            continue;
        }
        UsbHeader h = parseUsbHeader(&s[i]);
        size_t frameLength = h.frameLength();
        if (i + kUsbHeaderSize + frameLength + 1 > s.size()) break;
        const std::uint8_t* f = &s[i + kUsbHeaderSize];
        if (frameSumValid(f, frameLength) && f[frameLength] == kTerminator) {
            out.push_back({h.sequence, {f, f + frameLength - 2}, {f, f + frameLength}});
            i += kUsbHeaderSize + frameLength + 1;
        } else {
            if (bad) ++*bad;
            ++i;
        }
    }
    return out;
}

std::vector<std::uint8_t> cmd(std::vector<std::uint8_t> c) {
    c.push_back(0);
    storeCommandSum(c.data(), c.size());
    return c;
}

int u16(const std::vector<std::uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8;
}
std::int32_t i32(const std::vector<std::uint8_t>& b, size_t at) {
    return static_cast<std::int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
                                     static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// Drives one logger through time, collecting what it sends.
struct Rig {
    explicit Rig(Scenario s = {}) : sim(s, 0) {}
    void send(const std::vector<std::uint8_t>& c) { sim.write(c.data(), c.size(), now); }
    std::vector<Frame> run(Millis ms) {
        std::vector<std::uint8_t> bytes;
        for (Millis end = now + ms; now < end;) {
            now += 10;
            sim.tick(now);
            std::vector<std::uint8_t> chunk(sim.available());
            sim.read(chunk.data(), chunk.size());
            bytes.insert(bytes.end(), chunk.begin(), chunk.end());
        }
        return cut(bytes);
    }
    // The standard power-up (0x00, 0x01, 0x03, 0x05, 0x04 with the program's defaults), paced as the
    // program paces it.
    void powerUp() {
        const Millis pause[] = {0, 1000, 200, 200, 0};
        auto cmds = standardPowerUp();
        for (size_t k = 0; k < cmds.size(); ++k) {
            send(cmds[k]);
            if (pause[k]) run(pause[k]);
        }
    }
    SimLogger sim;
    Millis now = 0;
};

std::map<size_t, int> lengths(const std::vector<Frame>& frames) {
    std::map<size_t, int> m;
    for (const Frame& f : frames)
        ++m[f.body.size() + 2];
    return m;
}

TEST(SimLogger, ReadsBackCommandOneInTwentyByteLoggerFrames) {
    Rig rig;
    auto before = rig.run(600);
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(before.back().body.size() + 2, 20u);
    EXPECT_EQ(u16(before.back().body, 1), 0);  // nothing taken yet
    rig.send(cmd({0x01, 0x20, 0xDC, 0x05, 0x00, 0x50, 0x5A}));
    auto frames = rig.run(300);
    ASSERT_FALSE(frames.empty());
    const auto& b = frames.front().body;
    ASSERT_EQ(b.size() + 2, 20u);
    EXPECT_EQ(u16(b, 1), 1500);
    EXPECT_EQ(u16(b, 3), 0x5000);
    EXPECT_EQ(b[5], 0x5A);
    EXPECT_EQ(b[0] & 0x30, 0x20);  // the winch mode in bits 4 and 5
    EXPECT_EQ(rig.sim.logger().winchMode, 0x20);
}

TEST(SimLogger, AChangedValueIsReadBackWrongWhenTheScenarioSaysSo) {
    Scenario s;
    s.faults.changedEchoWrong = true;
    Rig rig(s);
    rig.powerUp();
    auto first = rig.run(2000);
    ASSERT_GT(lengths(first)[765], 0);
    const auto& f = first.back().body;
    EXPECT_EQ(f[image::kUpGain], 25);
    EXPECT_EQ(f[image::kMotorPeriod], 87);

    EXPECT_EQ(f[0] & 0x30, 0x20);

    rig.send(cmd({0x03, 20, 15}));
    rig.send(cmd({0x04, 2, 90, 10, 15, 6}));
    rig.send(cmd({0x01, 0x00, 0xDC, 0x05, 0x00, 0x50, 0x5A}));
    auto later = rig.run(2000);
    ASSERT_GT(lengths(later)[765], 0);
    const auto& g = later.back().body;
    EXPECT_EQ(g[0] & 0x30, 0x10);  // mode 0x00 read back as 0x10
    EXPECT_EQ(g[image::kUpGain], 23);
    EXPECT_EQ(g[image::kMotorPeriod], 95);
}

TEST(SimLogger, NineteenByteLoggerFramesCarryTheScaleInOneByte) {
    Scenario s;
    s.sonde.loggerFrame19 = true;
    Rig rig(s);
    rig.send(cmd({0x01, 0x00, 0xDC, 0x05, 0x80, 0x00, 0x5A}));
    auto frames = rig.run(300);
    ASSERT_FALSE(frames.empty());
    ASSERT_EQ(frames.back().frame.size(), kLogger19Length);
    auto w = widenLogger19(frames.back().frame.data());
    EXPECT_TRUE(frameSumValid(w.data(), w.size()));
    EXPECT_EQ(readLe16(&w[logger::kConstant]), kLoggerConstant);
    EXPECT_EQ(readLe16(&w[logger::kEncoderScale]), 0x0080);
    EXPECT_EQ(w[logger::kPower], 0x5A);
}

TEST(SimLogger, RejectsCommandsWithABadSumAndUnknownCodes) {
    Rig rig;
    rig.send({0x03, 0x19, 0x0F, 0x2C});  // sum should be 0x2B
    rig.send({0x77});
    rig.run(100);
    EXPECT_EQ(rig.sim.logger().upGain, 25);
    EXPECT_GE(rig.sim.counters().commandsRejected, 2);
    rig.send({0x03, 0x1A, 0x10});  // arrives in two pieces
    rig.send({0x2D});
    EXPECT_EQ(rig.sim.logger().upGain, 0x1A);
    EXPECT_EQ(rig.sim.logger().downDrive, 0x10);
}

TEST(SimLogger, PowerUpGivesStatusFramesThenFullDataFramesWithTheReadBacks) {
    Rig rig;
    rig.powerUp();
    auto frames = rig.run(3000);
    auto m = lengths(frames);
    EXPECT_GT(m[765], 10);
    const Frame* data = nullptr;
    for (const Frame& f : frames)
        if (f.body.size() + 2 == 765) data = &f;
    ASSERT_NE(data, nullptr);
    auto layout = checkFullFrame(data->frame.data(), data->frame.size());
    ASSERT_TRUE(layout.has_value());
    EXPECT_EQ(layout->samples, 180);
    EXPECT_EQ(layout->stride, 4);
    const auto& b = data->body;
    using namespace quelt::image;
    EXPECT_EQ(b[kAlarms] & 0x0F, 0x03);  // activity bits
    EXPECT_EQ(b[kUpGain], 25);
    EXPECT_EQ(b[kDownDrive], 15);
    EXPECT_EQ(readLe16(&b[kBlanking]), 1200);
    EXPECT_EQ(readLe16(&b[kWindow]), 500);
    EXPECT_EQ(b[kGain], 10);
    EXPECT_EQ(b[kResolution], 2);
    EXPECT_EQ(b[kMotorPeriod], 87);
    EXPECT_EQ(b[kBaud], 10);
    EXPECT_EQ(b[kPulse], 15);
    EXPECT_EQ(b[b.size() - 1], kCommHealthy);  // comm status
    // Samples: travel times inside the window.
    for (int i = 0; i < 180; ++i) {
        int t = u16(b, static_cast<size_t>(40 + 4 * i));
        EXPECT_GE(t, 1200);
        EXPECT_LE(t, 1700);
    }
    // One frame per revolution: 87 x 2.304 ms.
    int count = 0;
    for (const Frame& f : rig.run(10000))
        count += f.body.size() + 2 == 765;
    EXPECT_NEAR(count, 10000 / (87 * 2.304), 2);
    // 0x00 stops the sonde and switches it off: the logger's own frames, with no activity.
    rig.send(cmd({0x00, 0x20}));
    rig.run(500);
    auto idle = rig.run(1000);
    ASSERT_FALSE(idle.empty());
    EXPECT_EQ(lengths(idle).size(), 1u);
    EXPECT_GE(lengths(idle)[20], 3);
    for (const Frame& f : idle)
        EXPECT_EQ(f.body[0] & 0x0F, 0);
}

// The sonde speaks only while the operator has it switched on: the logger's first command 0x01 (sent when
// the link starts) leaves it silent, the power-up's 0x03 switches it on, 0x00 off again. Until then the
// logger sends its own frames only, which is what lets the operator set the depth.
TEST(SimLogger, SendsStatusFramesOnlyWhileTheSondeIsSwitchedOn) {
    Rig rig;
    const auto cmds = standardPowerUp();
    const auto &stop = cmds[0], &logger = cmds[1], &cableLink = cmds[2];
    const struct {
        const char* step;
        std::vector<std::vector<std::uint8_t>> commands;  // sent before the frames are looked at
        bool sondeFrames;
    } steps[] = {
        {"link started", {stop, logger}, false},
        {"power-up", {logger, cableLink}, true},
        {"power-down", {stop}, false},
        {"power-up again", {logger, cableLink}, true},
    };
    for (const auto& s : steps) {
        for (const auto& c : s.commands)
            rig.send(c);
        rig.run(1000);  // past the sonde's boot
        const auto m = lengths(rig.run(2000));
        EXPECT_GT(m.count(20), 0u) << s.step;
        EXPECT_EQ(m.count(16) > 0, s.sondeFrames) << s.step;
    }
}

TEST(SimLogger, SequenceNumbersCountUpWithoutGaps) {
    Rig rig;
    rig.powerUp();
    auto frames = rig.run(5000);
    ASSERT_GT(frames.size(), 20u);
    for (size_t i = 1; i < frames.size(); ++i)
        EXPECT_EQ(frames[i].seq, (frames[i - 1].seq + 1) & 0xFF);
}

TEST(SimLogger, FrameRateIsLimitedByTheUpholeSpeed) {
    struct Case {
        int resolution, motorPeriod, divisor;
        bool stretched;  // the motor waits for the frame: the revolution is longer than the motor period
    } cases[] = {
        {1, 106, 10, false}, {1, 40, 10, true}, {4, 21, 4, false}, {2, 56, 10, false}, {2, 30, 20, true}};
    for (const Case& c : cases) {
        Rig rig;
        rig.powerUp();
        rig.run(500);
        rig.send(cmd({0x04, static_cast<std::uint8_t>(c.resolution), static_cast<std::uint8_t>(c.motorPeriod),
                      static_cast<std::uint8_t>(c.divisor), 15, 6}));
        rig.run(1000);
        auto frames = rig.run(10000);
        int data = 0, valid = 0;
        for (const Frame& f : frames) {
            if (f.body.size() < 100) continue;
            ++data;
            valid += f.body.back() & 0x01;
        }
        double period = std::max(c.motorPeriod * 2.304, rig.sim.shortestRevolutionMs());
        EXPECT_EQ(rig.sim.shortestRevolutionMs() > c.motorPeriod * 2.304, c.stretched);
        EXPECT_NEAR(data, 10000 / period, 2) << c.resolution << "/" << c.motorPeriod;
        // A stretched revolution is no fault of the link: every frame stays valid.
        EXPECT_EQ(valid, data) << c.resolution << "/" << c.motorPeriod;
    }
}

TEST(SimLogger, EncoderCountsFollowTheWinchThroughTheScaleAndThePreset) {
    Scenario s;
    s.winch.startDepth = 10;
    s.winch.startPause = 1;
    s.winch.legs = {{20, 6.0, 0}};
    Rig rig(s);
    rig.powerUp();
    auto frames = rig.run(20000);
    const auto& b = frames.back().body;
    ASSERT_EQ(b.size() + 2, 765u);
    double depth = rig.sim.trueDepth(rig.now);
    EXPECT_NEAR(i32(b, 5) / 8000.0, depth, 0.01);                          // 80 counts per cm
    EXPECT_NEAR(static_cast<std::int16_t>(u16(b, 9)) / 100.0, 6.0, 0.01);  // count / (1.25 x 80) m/min
    // Preset 12.5 m (the count of 100000 at 80 counts per cm).
    rig.send(cmd({0x02, 0xA0, 0x86, 0x01, 0x00}));
    auto after = rig.run(500);
    double moved = rig.sim.trueDepth(rig.now) - rig.sim.trueDepth(rig.now - 500);
    EXPECT_NEAR(i32(after.back().body, 5) / 8000.0, 12.5 + moved, 0.02);
}

// Above 250 counts per cm command 0x01 carries half the scale; the logger counts with the whole one, so
// the depth the decoder computes from the settings stays the true depth.
TEST(SimLogger, HalvedScaleOfCommandOneStillCountsTheTrueDepth) {
    struct {
        int pulses;
        bool wheelKnown;
    } cases[] = {{1000, false}, {2500, false}, {2500, true}, {4000, true}, {6374, true}, {6374, false}};
    for (auto k : cases) {
        Settings settings;
        settings.PulsResolution = k.pulses;
        settings.PulleysDiameter = 500.0;
        const EncoderScale e = encoderScale(settings);
        Scenario s;
        s.winch.startDepth = 30;
        Rig rig(s);
        if (k.wheelKnown) rig.sim.setWheel(e.countsPerCm);
        CommandFrame f1 = makeF1(settings);
        rig.send({f1.bytes.begin(), f1.bytes.begin() + f1.length});
        auto frames = rig.run(600);
        ASSERT_FALSE(frames.empty());
        EXPECT_NEAR(rig.sim.countsPerCm(), e.countsPerCm, 1.0 / 128) << k.pulses;
        const auto& b = frames.back().body;
        ASSERT_EQ(b.size() + 2, 20u);
        double depth = i32(b, logger::kEncoder) / (e.countsPerCm * 100.0);
        EXPECT_NEAR(depth, rig.sim.trueDepth(rig.now), 0.01) << k.pulses;
    }
}

TEST(SimLogger, TheSameSeedGivesTheSameBytes) {
    auto bytesOf = [](std::uint64_t seed) {
        Scenario s;
        builtinScenario("noisy", seed, s);
        Rig rig(s);
        rig.powerUp();
        std::vector<std::uint8_t> all;
        for (int k = 0; k < 300; ++k) {
            rig.now += 17;
            rig.sim.tick(rig.now);
            std::vector<std::uint8_t> chunk(rig.sim.available());
            rig.sim.read(chunk.data(), chunk.size());
            all.insert(all.end(), chunk.begin(), chunk.end());
        }
        return all;
    };
    auto a = bytesOf(5), b = bytesOf(5), c = bytesOf(6);
    EXPECT_GT(a.size(), 5000u);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

TEST(SimLogger, ByteFaultsSpoilFramesAndLostFramesSkipSequenceNumbers) {
    Scenario s;
    s.faults.corruptRate = 1e-3;
    s.faults.lostFrameRate = 0.05;
    Rig rig(s);
    rig.powerUp();
    std::vector<std::uint8_t> bytes;
    for (int k = 0; k < 3000; ++k) {
        rig.now += 10;
        rig.sim.tick(rig.now);
        std::vector<std::uint8_t> chunk(rig.sim.available());
        rig.sim.read(chunk.data(), chunk.size());
        bytes.insert(bytes.end(), chunk.begin(), chunk.end());
    }
    int bad = 0;
    auto frames = cut(bytes, &bad);
    EXPECT_GT(rig.sim.counters().bytesCorrupted, 5);
    EXPECT_GT(rig.sim.counters().lostFrames, 2);
    int gaps = 0;
    for (size_t i = 1; i < frames.size(); ++i)
        gaps += frames[i].seq != ((frames[i - 1].seq + 1) & 0xFF);
    EXPECT_GE(gaps, rig.sim.counters().lostFrames / 2);
}

TEST(SimLogger, AGainOutsideTheCableWindowReportsTheTruth) {
    struct Case {
        int gain;
        std::uint8_t bit;
    } cases[] = {{0, kCommNoResponse}, {60, kCommChecksumError}, {25, kCommHealthy}};
    for (const Case& c : cases) {
        Rig rig;
        rig.powerUp();
        rig.run(1000);
        rig.send(cmd({0x03, static_cast<std::uint8_t>(c.gain), 15}));
        rig.run(500);
        auto frames = rig.run(2000);
        ASSERT_FALSE(frames.empty());
        for (const Frame& f : frames) {
            std::uint8_t status = f.body.size() + 2 == 16 ? f.body[13] : f.body.back();
            EXPECT_TRUE(status & c.bit) << c.gain << " status " << int(status);
            if (c.bit != kCommHealthy) {
                EXPECT_EQ(f.body.size() + 2, 16u);  // nothing to relay
            }
        }
    }
}

TEST(SimLogger, ForgetfulLoggerReadsBackZeroUntilCommandOneComesAgain) {
    Scenario s;
    s.faults.loggerResetAt = 5;
    Rig rig(s);
    rig.powerUp();
    rig.run(5000);
    auto frames = rig.run(1000);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back().body.size() + 2, 20u);
    EXPECT_EQ(u16(frames.back().body, 1), 0);
    EXPECT_FALSE(rig.sim.acquiring());
    rig.send(cmd({0x01, 0x20, 0xDC, 0x05, 0x00, 0x50, 90}));
    auto back = rig.run(300);
    EXPECT_EQ(u16(back.back().body, 1), 1500);
}

TEST(SimLogger, PulledCableDetachesTheDeviceUntilItReturns) {
    Scenario s;
    s.faults.pullAt = 2;
    s.faults.returnAt = 4;
    Rig rig(s);
    EXPECT_TRUE(rig.sim.attached(1000));
    EXPECT_FALSE(rig.sim.attached(3000));
    EXPECT_TRUE(rig.sim.attached(4500));
    rig.run(2500);
    EXPECT_EQ(rig.sim.available(), 0u);
    EXPECT_TRUE(rig.run(600).empty());
    rig.run(1000);
    EXPECT_FALSE(rig.run(600).empty());
}

TEST(SimLogger, ASondeThatRefusesNeverStartsAndOneThatEchoesWrongReadsBackOff) {
    Scenario silent;
    silent.faults.sondeSilent = true;
    Rig a(silent);
    a.powerUp();
    auto fa = a.run(3000);
    EXPECT_EQ(lengths(fa).count(765), 0u);
    for (const Frame& f : fa)
        EXPECT_EQ(f.body[0] & 0x0F, 0);

    Scenario wrong;
    wrong.faults.sondeEchoError = 3;
    Rig b(wrong);
    b.powerUp();
    auto fb = b.run(3000);
    ASSERT_GT(lengths(fb)[765], 0);
    EXPECT_EQ(u16(fb.back().body, 13), 1203);
}

TEST(SimLogger, SampleFormatsFollowTheGainMode) {
    struct Case {
        bool threeByte;
        std::uint8_t gain;
        size_t length;
        std::uint8_t format;
    } cases[] = {{false, 10, 765, 4}, {false, 0x80, 765, 4}, {true, 10, 585, 6}, {true, 0x80, 765, 4}};
    for (const Case& c : cases) {
        Scenario s;
        s.sonde.threeByteSamples = c.threeByte;
        Rig rig(s);
        rig.powerUp();
        rig.run(1000);
        rig.send(cmd({0x05, 0xB0, 0x04, 0xF4, 0x01, c.gain}));
        rig.run(500);
        auto frames = rig.run(1000);
        ASSERT_FALSE(frames.empty());
        const auto& b = frames.back().body;
        ASSERT_EQ(b.size() + 2, c.length) << c.threeByte << " " << int(c.gain);
        EXPECT_EQ(b[22], c.format);
        EXPECT_EQ((b[17] & 0x80) != 0, (c.gain & 0x80) != 0);
        if (c.gain & 0x80) {
            // Sixteen-bit amplitudes: some above one byte.
            int above = 0;
            for (int i = 0; i < 180; ++i)
                above += u16(b, static_cast<size_t>(40 + 4 * i + 2)) > 255;
            EXPECT_GT(above, 90);
            // Automatic gain keeps the strongest echo of the revolution near 80% of the range, never clipped.
            int top = 0;
            for (int i = 0; i < 180; ++i)
                top = std::max(top, static_cast<int>(u16(b, static_cast<size_t>(40 + 4 * i + 2))));
            EXPECT_GT(top, 30000);
            EXPECT_LE(top, 52428);
        }
    }
}

TEST(SimLogger, TheAxesOfEveryFrameDecodeToTheToolOrientation) {
    Scenario s;
    builtinScenario("deviated", 4, s);
    Rig rig(s);
    rig.powerUp();
    rig.run(30000);
    int checked = 0;
    for (const Frame& f : rig.run(3000)) {
        if (!checkFullFrame(f.frame.data(), f.frame.size())) continue;
        using namespace quelt::image;
        const std::uint8_t* b = f.frame.data();
        Decoded d = decode(readLeI16(b + kGx), readLeI16(b + kGy), readLeI16(b + kGz), readLeI16(b + kHx),
                           readLeI16(b + kHy), readLeI16(b + kHz));
        double depth = readLeI32(b + kEncoder) / 8000.0;
        Orientation o = rig.sim.borehole().orientation(depth, 0);
        EXPECT_NEAR(d.tilt, o.tilt, 0.1);
        EXPECT_LT(angleGap(d.azimuth, o.azimuth), 0.5);
        EXPECT_NEAR(d.gravityTotal, 1.0, 0.002);
        ++checked;
    }
    EXPECT_GT(checked, 5);
}

// A short run already logs: in every built-in scenario the winch is moving a few seconds after the
// power-up, even where the sonde never acquires.
TEST(SimLogger, TheWinchMovesWithinSecondsOfThePowerUp) {
    for (const ScenarioInfo& info : builtinScenarios()) {
        Scenario s;
        ASSERT_TRUE(builtinScenario(info.name, 1, s));
        Rig rig(s);
        rig.powerUp();
        const double before = rig.sim.trueDepth(rig.now);
        rig.run(5000);
        EXPECT_GT(std::fabs(rig.sim.trueDepth(rig.now) - before), 0.01) << info.name;
    }
}

TEST(SimLogger, PulleyDirectionSetsTheSignOfTheCounts) {
    for (bool pulleyDir : {true, false}) {
        Rig rig;
        std::uint8_t mode = winchModeByte(0, pulleyDir);
        CommandFrame f1 = buildF1(mode, kLoggerConstant, 0x5000, 90);
        rig.send({f1.data(), f1.data() + f1.length});
        auto frames = rig.run(500);
        ASSERT_FALSE(frames.empty());
        std::int32_t count = readLeI32(&frames.back().frame[logger::kEncoder]);
        EXPECT_EQ(count, (pulleyDir ? 1 : -1) * 5 * 8000);  // the winch waits at 5 m
    }
}

}  // namespace
}  // namespace quelt::sim
