#include <gtest/gtest.h>

#include "stream/DepthSetting.h"

using namespace quelt;

namespace {
LogHeader logFrom(int startDepth, int endDepth, int unit = 0) {
    LogHeader h;
    h.startDepth = startDepth;
    h.endDepth = endDepth;
    h.depthUnit = unit;
    return h;
}
}  // namespace

TEST(RecordingMode, OkSetsDirectionOnlyWhenCheckedAndAlwaysTheDepth) {
    StreamShared shared;
    EXPECT_TRUE(RecordingMode::downholePreset(1));
    EXPECT_FALSE(RecordingMode::downholePreset(0));
    RecordingMode::apply(shared, false, 42.5);
    EXPECT_EQ(shared.recordDirection.load(), 0);
    EXPECT_DOUBLE_EQ(shared.lastAcceptedDepth.load(), 42.5);
    RecordingMode::apply(shared, std::nullopt, 43.0);
    EXPECT_EQ(shared.recordDirection.load(), 0);
    EXPECT_DOUBLE_EQ(shared.lastAcceptedDepth.load(), 43.0);
    RecordingMode::apply(shared, true, 44.0);
    EXPECT_EQ(shared.recordDirection.load(), 1);
}

TEST(DepthReset, AddsTheHeightOffsetAndSendsTheEntry) {
    struct Case {
        int unit;
        double entry, expected;
    };
    for (auto c : {Case{0, 12.34, 13.84}, Case{1, 10.0, 3.048 + 1.5}, Case{0, -2.0, -0.5}}) {
        Settings s;
        s.SetDepthUnit = c.unit;
        double sent = -1;
        DepthReset reset(s, 150, [&](double d) { sent = d; });
        EXPECT_NEAR(reset.confirm(c.entry), c.expected, 1e-9);
        EXPECT_NEAR(reset.presetMetres(), c.expected, 1e-9);
        EXPECT_DOUBLE_EQ(sent, c.entry);
    }
}

TEST(ReplayStartRange, LiesOneHundredthInsideTheRecordedInterval) {
    ReplayStartRange down(100000, logFrom(0, 200000), 0);
    EXPECT_EQ(down.start(), 100010);
    EXPECT_EQ(down.end(), 199990);
    EXPECT_EQ(down.label(), "Depth : 100.01 m to 199.99 m");
    EXPECT_DOUBLE_EQ(down.entryValue(), 100.01);

    ReplayStartRange up(200000, logFrom(200000, 100000), 0);
    EXPECT_EQ(up.start(), 199990);
    EXPECT_EQ(up.end(), 100010);

    // Unreadable data file: the header's start; depths cut to whole hundredths first.
    ReplayStartRange fromHeader(std::nullopt, logFrom(100004, 200009), 0);
    EXPECT_EQ(fromHeader.start(), 100010);
    EXPECT_EQ(fromHeader.end(), 199990);

    // A metric log shown in feet.
    ReplayStartRange feet(100000, logFrom(0, 200000), 1);
    EXPECT_EQ(feet.label(), "Depth : 328.12 ft to 656.13 ft");
}

TEST(ReplayStartRange, CheckRefusesOutsideWithTheBoundInItsFormat) {
    struct Case {
        int logUnit, displayUnit;
        std::int32_t first, last;
        double entry;
        bool accepted;
        std::int32_t depth;
        const char* message;
    };
    const Case cases[] = {
        {0, 0, 100000, 200000, 250, false, 0, "Set at max : 199.99m"},
        {0, 0, 200000, 100000, 50, false, 0, "Set at min : 100.01m"},
        {0, 0, 100000, 200000, 100.01, true, 100010, ""},
        {0, 0, 100000, 200000, 150.256, true, 150256, ""},
        {0, 0, 100000, 200000, 100.0, false, 0, "Set at min : 100.01m"},
        {1, 0, 100000, 200000, 100, false, 0, "Set at max : 60.96 m"},
        {1, 0, 100000, 200000, 40, true, 131230, ""},
        {0, 1, 100000, 200000, 1000, false, 0, "Set at max : 656.13 ft"},
        {0, 1, 100000, 200000, 400, true, 121920, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        ReplayStartRange r(c.first, logFrom(0, c.last, c.logUnit), c.displayUnit);
        auto got = r.check(c.entry);
        EXPECT_EQ(got.accepted, c.accepted);
        if (c.accepted) {
            EXPECT_EQ(got.depth, c.depth);
        }
        EXPECT_EQ(got.message, c.message);
    }
}
