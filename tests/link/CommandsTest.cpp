#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "link/Commands.h"
#include "link/SpeedTables.h"

using namespace quelt;

TEST(Commands, EncoderScale) {
    struct {
        int puls;
        double circumference;
        std::int32_t scale;
        std::uint16_t field;
    } cases[] = {{1000, 500, 20480, 20480}, {6374, 500, 130539, 65269}, {1000, 0, 0, 0}, {1000, -5, 0, 0}};
    for (auto c : cases) {
        Settings s;
        s.PulsResolution = c.puls;
        s.PulleysDiameter = c.circumference;
        auto e = encoderScale(s);
        EXPECT_EQ(e.scale, c.scale);
        EXPECT_EQ(e.field, c.field);
    }
}

TEST(Commands, F1FromSettings) {
    Settings s;  // PulsResolution 1000, circumference 500 mm, Power 90
    s.CableType = 1;
    s.PulleyDir = true;
    auto f = makeF1(s);
    const std::uint8_t expected[] = {0x01, 0x30, 0xDC, 0x05, 0x00, 0x50, 0x5A, 0xBC};
    ASSERT_EQ(f.length, 8);
    EXPECT_EQ(0, std::memcmp(f.data(), expected, 8));
}

TEST(Commands, PresetCount) {
    Settings s;
    FixedSondeInfo sonde(150);
    double start = 0;
    EXPECT_EQ(presetCount(s, sonde, 12.5, &start), 112000);
    EXPECT_DOUBLE_EQ(start, 14.0);
    s.SetDepthUnit = 1;  // feet
    EXPECT_EQ(presetCount(s, FixedSondeInfo(0), 100.0), 243840);
    auto f = makeF2(Settings{}, sonde, 12.5);
    EXPECT_EQ(readLeI32(&f.bytes[1]), 112000);
}

TEST(Commands, GainsAndAcoustics) {
    Settings s;
    auto f3 = makeF3(s, FixedSondeInfo(0, true));
    EXPECT_EQ(f3.bytes[1], 42);
    EXPECT_EQ(makeF3(s, FixedSondeInfo()).bytes[1], 25);
    s.AcousticalAGC = 1;
    s.AcousticalGain = 33;
    EXPECT_EQ(makeF5(s).bytes[5], 0x80);
    s.AcousticalAGC = 0;
    EXPECT_EQ(makeF5(s).bytes[5], 33);
    s.UpBlanking = 1200.9;
    s.UpWindow = 70000;  // low 16 bits
    auto f5 = makeF5(s);
    EXPECT_EQ(readLe16(&f5.bytes[1]), 1200);
    EXPECT_EQ(readLe16(&f5.bytes[3]), 70000 - 65536);
    auto f4 = makeF4(s);
    const std::uint8_t expected[] = {0x04, 2, 87, 10, 15, 6, 124};
    EXPECT_EQ(0, std::memcmp(f4.data(), expected, 7));
    EXPECT_TRUE(commandSumValid(f4));
}

TEST(Commands, LoggerReadBack) {
    Settings s;
    auto f1 = makeF1(s);
    std::uint8_t logger[20] = {};
    std::memcpy(logger + 1, &f1.bytes[2], 5);
    EXPECT_TRUE(loggerReadBackMatches(logger, f1));
    logger[5] ^= 1;
    EXPECT_FALSE(loggerReadBackMatches(logger, f1));
}

// The reference of the read-back: only a command 0x01 replaces it; a logger frame that does not read
// it back asks for it again, one that does (or any frame before the first command 0x01) does not.
TEST(Commands, LastLoggerCommandAsksForTheCommandAgain) {
    Settings s;
    const CommandFrame f1 = makeF1(s);
    std::uint8_t readsBack[20] = {}, forgot[20] = {};
    std::memcpy(readsBack + logger::kConstant, &f1.bytes[f1::kConstant], 5);
    LastLoggerCommand last;
    EXPECT_FALSE(last.resendFor(forgot));  // nothing sent yet
    last.record(f1);
    last.record(makeF4(s));  // not a command 0x01: the reference stays
    struct Case {
        const std::uint8_t* frame;
        bool resend;
    };
    for (const Case& c : {Case{readsBack, false}, Case{forgot, true}}) {
        const auto again = last.resendFor(c.frame);
        ASSERT_EQ(again.has_value(), c.resend);
        if (again) {
            EXPECT_EQ(again->bytes, f1.bytes);
        }
    }
}

TEST(Speeds, Tables) {
    struct {
        int divisor;
        int drive;
        std::string text;
    } cases[] = {{2, 8, "312500"},  {10, 40, "62500"}, {12, 48, "52083"},
                 {15, 60, "41667"}, {20, 60, "31250"}, {11, 44, "-"}};
    for (auto c : cases) {
        EXPECT_EQ(upholeDriveMaximum(c.divisor), c.drive) << c.divisor;
        EXPECT_EQ(baudText(c.divisor), c.text);
    }
    auto high = speedList(true);
    ASSERT_EQ(high.size(), 9u);
    EXPECT_STREQ(high.front().text, "312500");
    EXPECT_STREQ(high.back().text, "62500");
    EXPECT_EQ(speedList(false).size(), 12u);
    EXPECT_EQ(minimumMotorPeriod(1, 1), 34);
    EXPECT_EQ(minimumMotorPeriod(4, 12), 58);
    EXPECT_EQ(minimumMotorPeriod(2, speedColumn(10)), 56);
    EXPECT_EQ(minimumMotorPeriod(0, 1), 0);
    EXPECT_EQ(minimumMotorPeriod(1, 13), 0);
}
