#include <gtest/gtest.h>

#include "stream/ReplayPacer.h"

using namespace quelt;

TEST(ReplayPacer, LinesPerSecondFollowTheVariator) {
    struct Case {
        int position;
        int linesInTenSeconds;
    };
    // 25: 26² x 150 µs = 101.4 ms a line; 1: 375 ms; 50: a line at every tick.
    for (auto [position, lines] :
         {Case{25, 98}, Case{1, 26}, Case{50, 10000}, Case{0, 26}, Case{99, 10000}}) {
        SCOPED_TRACE(position);
        ReplayPacer pacer;
        pacer.setPosition(position);
        pacer.restart(0);
        int count = 0;
        for (Millis t = 0; t < 10000; ++t)
            if (pacer.due(t)) ++count;
        EXPECT_EQ(count, lines);
    }
}

TEST(ReplayPacer, WaitTellsHowLongUntilTheNextLine) {
    ReplayPacer pacer;
    pacer.restart(1000);
    EXPECT_EQ(pacer.wait(1000), 102);
    EXPECT_FALSE(pacer.due(1101));
    EXPECT_TRUE(pacer.due(1102));
    EXPECT_EQ(pacer.wait(1102), 102);
}
