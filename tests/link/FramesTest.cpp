#include <gtest/gtest.h>

#include <vector>

#include "link/Frames.h"

using namespace quelt;

namespace {
std::vector<std::uint8_t> bytesOf(const CommandFrame& f) {
    return {f.bytes.begin(), f.bytes.begin() + f.length};
}

std::array<std::uint8_t, 16> statusFrame() {
    std::array<std::uint8_t, 16> s{};
    for (int i = 0; i < 14; ++i)
        s[i] = static_cast<std::uint8_t>(0x11 * i + 3);
    storeFrameSum(s.data(), s.size());
    return s;
}
}  // namespace

TEST(Commands, BuildersGiveExactBytes) {
    struct Case {
        CommandFrame frame;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {buildF3(25, 15), {0x03, 0x19, 0x0F, 0x2B}},
        {buildF0(0x30), {0x00, 0x30, 0x30}},
        {buildF1(0x30, 1500, 20480, 90), {0x01, 0x30, 0xDC, 0x05, 0x00, 0x50, 0x5A, 0xBC}},
        {buildF2(112000), {0x02, 0x80, 0xB5, 0x01, 0x00, 0x38}},
        {buildF4(2, 87, 10, 15), {0x04, 0x02, 0x57, 0x0A, 0x0F, 0x06, 0x7C}},
        {buildF5(1200, 500, 0x80), {0x05, 0xB0, 0x04, 0xF4, 0x01, 0x80, 0x2E}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bytesOf(c.frame), c.bytes) << "command " << int(c.frame.code());
        EXPECT_TRUE(commandSumValid(c.frame));
        EXPECT_EQ(c.frame.length, commandLength(c.frame.code()));
    }
}

TEST(Commands, WinchModeAndSumCheck) {
    EXPECT_EQ(winchModeByte(1, true), 0x30);
    EXPECT_EQ(winchModeByte(0, false), 0x00);
    EXPECT_EQ(winchModeByte(31, true), 0x10);  // (31 << 4) + 0x20 = 0x210, low 8 bits
    auto f = buildF3(25, 15);
    f.bytes[3] ^= 1;
    EXPECT_FALSE(commandSumValid(f));
}

TEST(Uplink, ChecksumOffByAnyAmountIsRejected) {
    auto s = statusFrame();
    EXPECT_TRUE(frameSumValid(s.data(), s.size()));
    for (int delta : {1, 2, 0x80, 0x100, 0x7FFF, 0xFFFF}) {
        auto bad = s;
        writeLe16(&bad[14], static_cast<std::uint16_t>(readLe16(&s[14]) + delta));
        EXPECT_FALSE(frameSumValid(bad.data(), bad.size())) << delta;
    }
}

TEST(Uplink, LengthFieldAndOversize) {
    std::uint8_t h[7] = {0x55, 0xAA, 0x5A, 0xA5, 9, 0, 0};
    EXPECT_TRUE(isSync(h));
    struct {
        std::uint16_t length;
        std::size_t payload;
    } cases[] = {{24, 17}, {772, 0}, {8199, 8192}, {8200, 24}, {0xFFFF, 24}, {3, 24}};
    cases[1].payload = 765;
    for (auto c : cases) {
        writeLe16(h + 5, c.length);
        EXPECT_EQ(parseUsbHeader(h).payloadLength(), c.payload) << c.length;
        EXPECT_EQ(parseUsbHeader(h).sequence, 9);
    }
}

TEST(Uplink, BuildUsbFrameRoundTrip) {
    auto s = statusFrame();
    auto usb = buildUsbFrame(7, s.data(), 14);
    ASSERT_EQ(usb.size(), 7u + 17u);
    EXPECT_EQ(readLe32(usb.data()), kSyncWord);
    EXPECT_EQ(parseUsbHeader(usb.data()).frameLength(), 16u);
    EXPECT_TRUE(frameSumValid(usb.data() + 7, 16));
    EXPECT_EQ(usb.back(), kTerminator);
}

TEST(Frames, KindsByLength) {
    EXPECT_EQ(frameKind(16), FrameKind::Status);
    EXPECT_EQ(frameKind(19), FrameKind::Logger19);
    EXPECT_EQ(frameKind(20), FrameKind::Logger20);
    for (std::size_t n : {405, 525, 765, 1485})
        EXPECT_EQ(frameKind(n), FrameKind::Full);
    for (std::size_t n : {0, 15, 17, 21, 404, 766, 8191})
        EXPECT_EQ(frameKind(n), FrameKind::Other);
}

TEST(Frames, Logger19IsWidened) {
    std::uint8_t f19[19];
    for (int i = 0; i < 19; ++i)
        f19[i] = static_cast<std::uint8_t>(i + 1);
    f19[3] = 0x80;
    storeFrameSum(f19, 19);
    auto w = widenLogger19(f19);
    EXPECT_EQ(readLe16(&w[logger::kEncoderScale]), 0x0080);
    EXPECT_EQ(w[logger::kPower], f19[4]);
    EXPECT_EQ(readLeI32(&w[logger::kEncoder]), readLeI32(&f19[9]));
    EXPECT_EQ(w[logger::kCurrent], f19[16]);
    EXPECT_TRUE(frameSumValid(w.data(), w.size()));
}

TEST(Frames, FullFrameLayouts) {
    struct {
        int resolution;
        std::uint8_t format, gain;
        int samples, stride;
        std::size_t length;
    } cases[] = {
        {1, 0, 0, 360, 4, 1485}, {2, 0, 0, 180, 4, 765},    {3, 0, 0, 120, 4, 525},
        {4, 0, 0, 90, 4, 405},   {0, 0, 0, 90, 4, 405},     {9, 0, 0, 90, 4, 405},
        {3, 6, 0, 120, 3, 405},  {3, 6, 0x80, 120, 4, 525},  // format 6 with automatic gain: four-byte
                                                             // samples
    };
    for (auto c : cases) {
        auto l = fullFrameLayout(c.resolution, c.format, c.gain);
        EXPECT_EQ(l.samples, c.samples);
        EXPECT_EQ(l.stride, c.stride);
        EXPECT_EQ(l.length, c.length);
        EXPECT_EQ(l.sumOffset + 2, l.length);
        EXPECT_LE(static_cast<std::size_t>(l.samples * l.stride) + 45, l.length);
    }
}

TEST(Frames, CheckFullFrameNeedsMatchingLengthAndSum) {
    std::vector<std::uint8_t> f(765, 0x21);
    f[image::kResolution] = 2;
    f[image::kFormat] = 0;
    f[image::kGain] = 10;
    storeFrameSum(f.data(), f.size());
    ASSERT_TRUE(checkFullFrame(f.data(), f.size()));
    // Format 6 with gain bit 7 set: the header asks for 4-byte samples, which 405 bytes cannot hold.
    std::vector<std::uint8_t> g(405, 0x01);
    g[image::kResolution] = 3;
    g[image::kFormat] = 6;
    g[image::kGain] = 0x85;
    storeFrameSum(g.data(), g.size());
    EXPECT_FALSE(checkFullFrame(g.data(), g.size()));
    f[100] ^= 4;
    EXPECT_FALSE(checkFullFrame(f.data(), f.size()));
}

TEST(Frames, SalvageClearsAlarmsAndMarksBadData) {
    // 20-byte logger body with terminator, alarms set: salvaged into a status frame.
    std::vector<std::uint8_t> b(24, 0x05);
    b[0] = 0xC3;
    b[17] = 0x01;  // last body byte before the sum at 18..19
    storeFrameSum(b.data(), 20);
    b[20] = kTerminator;
    ASSERT_TRUE(salvageStatusFrame(b.data(), b.size()));
    EXPECT_EQ(b[0], 0x03);
    EXPECT_EQ(b[status::kCommStatus], 0x01 | 0x80);
    EXPECT_TRUE(frameSumValid(b.data(), 16));
    EXPECT_EQ(commStatusText(b[status::kCommStatus]), " - Bad Data");

    std::vector<std::uint8_t> bad(24, 0x05);
    bad[20] = kTerminator;  // sum at 18..19 does not match
    EXPECT_FALSE(salvageStatusFrame(bad.data(), bad.size()));
    std::vector<std::uint8_t> shortOne(18, 0);
    shortOne[12] = kTerminator;  // j = 12 < 16
    EXPECT_FALSE(salvageStatusFrame(shortOne.data(), shortOne.size()));
}

TEST(Frames, CommStatusTexts) {
    EXPECT_EQ(commStatusText(0x01), "");
    EXPECT_EQ(commStatusText(0x0A), " - No Resp - Checksum error");
    EXPECT_EQ(
        commStatusText(0xFE),
        " - No Resp - Int Resp - Checksum error - Sonde Parametring - Updating - Bad Length - Bad Data");
}

TEST(Frames, ChannelIdentifiers) {
    EXPECT_STREQ(channelMnemonic(1308), "DPTH");
    EXPECT_STREQ(channelMnemonic(1318), "N/U");
    EXPECT_STREQ(channelMnemonic(1332), "AMP");
    EXPECT_EQ(channelMnemonic(1307), nullptr);
    EXPECT_EQ(channelId(" scan "), 1329);
    EXPECT_EQ(channelId("VOLT"), 1331);
    EXPECT_EQ(channelId("XXXX"), 0);
}
