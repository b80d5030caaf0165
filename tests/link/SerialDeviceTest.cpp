#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/SerialDevice.h"

using namespace quelt;

// Across a pseudo-terminal: raw bytes both ways, a read that times out short, and the hang-up of the
// other side seen as a lost device.
TEST(SerialDevice, PseudoTerminalRoundTrip) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    SerialDevice dev(ptsname(master));
    ASSERT_EQ(dev.openByIndex(0), kDevOk);
    DeviceEeprom e;
    ASSERT_EQ(dev.readEeprom(e), kDevOk);
    EXPECT_EQ(e.vendorId, 0x0403);

    const std::uint8_t out[] = {0x03, 0x19, 0x0F, 0x2B, 0x0A, 0x11};  // 0x0A and 0x11 must pass untouched
    std::uint32_t n = 0;
    ASSERT_EQ(dev.write(out, sizeof out, n), kDevOk);
    std::uint8_t back[16];
    ASSERT_EQ(::read(master, back, sizeof back), 6);
    EXPECT_EQ(0, std::memcmp(back, out, 6));

    const std::uint8_t in[] = {0x55, 0xAA, 0x5A, 0xA5, 0x0D, 0x99};
    ASSERT_EQ(::write(master, in, sizeof in), 6);
    dev.setTimeouts(50, 50);
    std::uint32_t got = 0;
    ASSERT_EQ(dev.read(back, 24, got), kDevOk);
    EXPECT_EQ(got, 6u);  // fewer than asked after the time-out
    EXPECT_EQ(0, std::memcmp(back, in, 6));

    std::uint32_t waiting = 0;
    EXPECT_EQ(dev.getQueueStatus(waiting), kDevOk);
    ::close(master);
    EXPECT_NE(dev.getQueueStatus(waiting), kDevOk);
    EXPECT_EQ(dev.close(), kDevOk);
}

TEST(SerialDevice, MissingPathIsNotFound) {
    SerialDevice dev("/dev/does-not-exist-quelt");
    EXPECT_EQ(dev.openByIndex(0), kDevNotFound);
}
