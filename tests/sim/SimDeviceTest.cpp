// The built-in device: the bridge's operations and status codes over the simulated logger, its clock,
// a capture and the command line.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "sim/Capture.h"
#include "sim/SimDevice.h"

namespace quelt::sim {
namespace {

struct DeviceRig {
    explicit DeviceRig(Scenario s = {}) : device(s, clock, [this](Millis ms) { clock.advance(ms); }) {}
    FakeClock clock{0};
    SimDevice device;
};

TEST(SimDevice, IdentifiesLikeTheBridgeAndRefusesWorkBeforeOpening) {
    DeviceRig rig;
    DeviceEeprom ee;
    std::uint32_t n = 0;
    EXPECT_EQ(rig.device.readEeprom(ee), kDevInvalidHandle);
    EXPECT_EQ(rig.device.getQueueStatus(n), kDevInvalidHandle);
    EXPECT_EQ(rig.device.openByIndex(1), kDevNotFound);
    ASSERT_EQ(rig.device.openByIndex(0), kDevOk);
    ASSERT_EQ(rig.device.readEeprom(ee), kDevOk);
    EXPECT_EQ(ee.vendorId, 0x0403);
    EXPECT_EQ(ee.productId, kSimProductId);
    EXPECT_EQ(ee.serial, "SIM-00001234");
}

TEST(SimDevice, AReadWaitsForItsTimeOutOnTheClock) {
    DeviceRig rig;
    ASSERT_EQ(rig.device.openByIndex(0), kDevOk);
    rig.device.setTimeouts(300, 100);
    std::uint8_t buf[24];
    std::uint32_t got = 0;
    // Logger frames (27 bytes on the wire) every 250 ms: a read of 24 is served at the first one.
    ASSERT_EQ(rig.device.read(buf, 24, got), kDevOk);
    EXPECT_EQ(got, 24u);
    EXPECT_EQ(rig.clock.now(), 250);
    EXPECT_EQ(buf[0], 0x55);
    // The rest of that frame and the start of the next one, 250 ms later.
    ASSERT_EQ(rig.device.read(buf, 24, got), kDevOk);
    EXPECT_EQ(got, 24u);
    EXPECT_EQ(rig.clock.now(), 500);
    // With a short time-out a read returns what is there: a short read.
    rig.device.setTimeouts(3, 3);
    std::uint32_t waiting = 0;
    rig.device.getQueueStatus(waiting);
    ASSERT_EQ(rig.device.read(buf, 24, got), kDevOk);
    EXPECT_EQ(got, waiting);
}

TEST(SimDevice, APulledCableFailsTheQueueStatusAndTheReturnOpensAgain) {
    DeviceRig rig;
    ASSERT_EQ(rig.device.openByIndex(0), kDevOk);
    std::uint32_t n = 0;
    EXPECT_EQ(rig.device.getQueueStatus(n), kDevOk);
    rig.device.pullCable();
    EXPECT_EQ(rig.device.getQueueStatus(n), kDevIoError);
    EXPECT_EQ(rig.device.getQueueStatus(n), kDevInvalidHandle);  // the handle died with the device
    EXPECT_EQ(rig.device.openByIndex(0), kDevNotFound);
    rig.device.plugCableBack();
    ASSERT_EQ(rig.device.openByIndex(0), kDevOk);
    EXPECT_EQ(rig.device.getQueueStatus(n), kDevOk);
}

TEST(SimDevice, CommandsWrittenReachTheLogger) {
    DeviceRig rig;
    ASSERT_EQ(rig.device.openByIndex(0), kDevOk);
    const std::uint8_t f3[] = {0x03, 0x19, 0x0F, 0x2B};
    std::uint32_t written = 0;
    ASSERT_EQ(rig.device.write(f3, 4, written), kDevOk);
    EXPECT_EQ(written, 4u);
    EXPECT_EQ(rig.device.logger().logger().upGain, 25);
    EXPECT_EQ(rig.device.logger().logger().downDrive, 15);
}

TEST(Capture, ACleanCaptureCutsIntoAcceptedFramesWithoutGaps) {
    Scenario s;
    builtinScenario("clean", 1, s);
    CaptureResult r = capture(s, 20);
    const auto& b = r.bytes;
    size_t i = 0;
    int frames = 0, data = 0, lastSeq = -1, gaps = 0;
    while (i + 7 <= b.size()) {
        ASSERT_TRUE(b[i] == 0x55 && b[i + 1] == 0xAA && b[i + 2] == 0x5A && b[i + 3] == 0xA5) << i;
        size_t len = b[i + 5] | b[i + 6] << 8;
        ASSERT_LE(i + len, b.size());
        size_t frameLength = len - 8;
        EXPECT_TRUE(frameLength == 16 || frameLength == 19 || frameLength == 20 || frameLength == 405 ||
                    frameLength == 525 || frameLength == 765 || frameLength == 1485)
            << frameLength;
        if (lastSeq >= 0) gaps += b[i + 4] != ((lastSeq + 1) & 0xFF);
        lastSeq = b[i + 4];
        ++frames;
        data += frameLength == 765;
        i += len;
    }
    EXPECT_EQ(i, b.size());
    EXPECT_EQ(gaps, 0);
    EXPECT_EQ(frames, r.counters.loggerFrames + r.counters.statusFrames + r.counters.dataFrames);
    EXPECT_EQ(data, r.counters.dataFrames);
    EXPECT_GT(data, 60);
    EXPECT_EQ(capture(s, 20).bytes, b);
}

TEST(Scenario, AnIniFileStartsFromItsBaseAndOverridesWhatItNames) {
    std::string path = std::string(::testing::TempDir()) + "quelt_scenario.ini";
    {
        std::ofstream f(path, std::ios::binary);
        f << "[Scenario]\r\nBase=deviated\r\nSeed=77\r\n[Winch]\r\nLegs=50@4/5, 30@2\r\n"
             "[Cable]\r\nType=mono\r\nLength=2200\r\n[Faults]\r\nDropRate=0.001\r\nSondeSilent=1\r\n";
    }
    Scenario s;
    std::string error;
    ASSERT_TRUE(loadScenarioFile(path, s, error)) << error;
    EXPECT_EQ(s.seed, 77u);
    EXPECT_EQ(s.hole.tilt0, 25);  // from the base
    ASSERT_EQ(s.winch.legs.size(), 2u);
    EXPECT_EQ(s.winch.legs[0].toDepth, 50);
    EXPECT_EQ(s.winch.legs[0].speed, 4);
    EXPECT_EQ(s.winch.legs[0].pauseAfter, 5);
    EXPECT_EQ(s.winch.legs[1].pauseAfter, 0);
    EXPECT_EQ(s.cable.kind, CableKind::Mono);
    EXPECT_EQ(s.cable.lengthM, 2200);
    EXPECT_EQ(s.faults.dropRate, 0.001);
    EXPECT_TRUE(s.faults.sondeSilent);
    Scenario t;
    EXPECT_TRUE(resolveScenario(path, 5, true, t, error));
    EXPECT_EQ(t.seed, 5u);
    EXPECT_FALSE(resolveScenario("nosuch", 1, false, t, error));
    std::remove(path.c_str());
}

TEST(SimulateCommand, CapturesTheSameBytesForTheSameSeed) {
    std::string a = std::string(::testing::TempDir()) + "quelt_cap_a.bin";
    std::string b = std::string(::testing::TempDir()) + "quelt_cap_b.bin";
    std::string base =
        std::string(QUELT_BIN) + " simulate --scenario deviated --seed 9 --seconds 8 --capture ";
    ASSERT_EQ(std::system((base + a + " 2>/dev/null").c_str()), 0);
    ASSERT_EQ(std::system((base + b + " 2>/dev/null").c_str()), 0);
    auto slurp = [](const std::string& p) {
        std::ifstream f(p, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(f), {});
    };
    auto x = slurp(a);
    EXPECT_GT(x.size(), 1000u);
    EXPECT_EQ(x, slurp(b));
    EXPECT_NE(
        std::system(
            (std::string(QUELT_BIN) + " simulate --scenario nosuch --capture " + a + " 2>/dev/null").c_str()),
        0);
    std::remove(a.c_str());
    std::remove(b.c_str());
}

}  // namespace
}  // namespace quelt::sim
