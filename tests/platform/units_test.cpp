#include "platform/Units.h"

#include <gtest/gtest.h>

namespace quelt::units {
namespace {

// The program's own factors: a stored depth in feet is metres x 3.28083, and back x 0.3048.
TEST(Units, DisplayConversionsUseTheProgramsFactors) {
    struct Case {
        double value;
        int from, to;
        double expected;
    } cases[] = {
        {100.0, kMetres, kFeet, 328.083}, {328.083, kFeet, kMetres, 100.0000},
        {1.0, kFeet, kMetres, 0.3048},    {-12.5, kMetres, kMetres, -12.5},
        {-12.5, kFeet, kFeet, -12.5},     {-10.0, kMetres, kFeet, -32.8083},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " " << c.from << "->" << c.to);
        EXPECT_NEAR(convert(c.value, c.from, c.to), c.expected, 5e-4);
        if (c.from == kMetres) {
            EXPECT_DOUBLE_EQ(toDisplay(c.value, c.to), convert(c.value, c.from, c.to));
        }
        if (c.to == kMetres) {
            EXPECT_DOUBLE_EQ(fromDisplay(c.value, c.from), convert(c.value, c.from, c.to));
        }
    }
    // The two factors are not exact inverses; files written with them rely on that.
    EXPECT_NEAR(feetToMetres(metresToFeet(1000.0)), 999.99698, 1e-5);
    EXPECT_DOUBLE_EQ(kInchesPerMetre / 1000.0, kInchesPerMillimetre);
}

}  // namespace
}  // namespace quelt::units
