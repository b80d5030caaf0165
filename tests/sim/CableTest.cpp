// The cable's working windows: what the communication auto-check has to find.

#include <gtest/gtest.h>

#include "sim/Cable.h"

namespace quelt::sim {
namespace {

// The fastest divisor of the speed list whose gain window is at least 7 gains wide (the width the
// auto-check needs to pass a speed) at the uphole drive it would use there.
int fastestPassing(const Cable& c, int drive) {
    const int divisors[] = {3, 4, 5, 6, 7, 8, 9, 10, 12, 15, 20};
    for (int d : divisors) {
        int u = std::max(5, d * drive / 10);
        Window w = c.gainWindow(d, u);
        if (w.width() >= 7 && w.lo >= 0 && w.hi <= 40) return d;
    }
    return 0;
}

TEST(Cable, TheGainWindowNarrowsWithSpeedAndIsNarrowerOnMono) {
    Cable four({CableKind::FourConductor, 1500, 0.25}), mono({CableKind::Mono, 1500, 0.25});
    double last = 1e9;
    for (int d : {20, 10, 5, 3}) {
        double w = four.gainWindow(d, 15).width();
        EXPECT_LT(w, last);
        EXPECT_LT(mono.gainWindow(d, 15).width(), w);
        last = w;
    }
}

TEST(Cable, TheSpeedACableCarriesDependsOnItsKindAndLength) {
    struct Case {
        CableKind kind;
        double length;
        int fastest;
    } cases[] = {{CableKind::FourConductor, 1500, 3},
                 {CableKind::Mono, 1500, 3},
                 {CableKind::Mono, 3500, 7},
                 {CableKind::Mono, 6000, 15}};
    for (const Case& c : cases)
        EXPECT_EQ(fastestPassing(Cable({c.kind, c.length, 0.25}), 27), c.fastest) << c.length;
}

// A pinned window holds whatever the speed, the uphole drive and the cable.
TEST(Cable, PinnedWindowsHoldAtEverySpeed) {
    CableSpec pinned{CableKind::Mono, 6000, 0.25};
    pinned.pinnedDrives = {11.5, 30.5};
    pinned.pinnedGains = {-1000, 1000};
    Cable c(pinned);
    for (int divisor : {20, 10, 3}) {
        for (int gain : {0, 20, 40})
            EXPECT_EQ(c.uplinkErrors({gain, 20, divisor, 5, 1}, 0), 0) << divisor << " " << gain;
        for (int drive : {11, 31})
            EXPECT_EQ(c.downlinkErrors({20, drive, divisor, 5, 1}, 0), kCommNoResponse) << drive;
        EXPECT_EQ(c.downlinkErrors({20, 12, divisor, 5, 1}, 0), 0);
        EXPECT_EQ(c.downlinkErrors({20, 30, divisor, 5, 1}, 0), 0);
    }
}

TEST(Cable, DefaultSettingsWorkOnTheDefaultCable) {
    Cable c;
    LinkSettings s;  // gain 25, drive 15, divisor 10, pulse 15, four conductors
    EXPECT_EQ(c.uplinkErrors(s, 0), 0);
    EXPECT_EQ(c.downlinkErrors(s, 0), 0);
}

TEST(Cable, EachWrongSettingHasItsOwnFault) {
    Cable c;
    struct Case {
        LinkSettings s;
        std::uint8_t up, down;
    } cases[] = {
        {{5, 15, 10, 15, 0}, kCommNoResponse, 0},                     // gain too low: nothing heard
        {{39, 15, 10, 15, 0}, kCommChecksumError, 0},                 // gain too high: ringing
        {{25, 15, 10, 41, 0}, kCommChecksumError | kCommBadData, 0},  // drive wider than the bit
        {{25, 15, 10, 15, 1}, kCommNoResponse, 0},                    // logger set for a mono cable
        {{25, 5, 10, 15, 0}, 0, kCommNoResponse},                     // downhole drive too weak
        {{25, 95, 10, 15, 0}, 0, kCommNoResponse},                    // downhole drive saturates
    };
    for (const Case& k : cases) {
        EXPECT_EQ(c.uplinkErrors(k.s, 0), k.up) << k.s.upGain << " " << k.s.pulseWidth;
        EXPECT_EQ(c.downlinkErrors(k.s, 0), k.down) << k.s.downDrive;
    }
    EXPECT_EQ(Cable::maxPulseWidth(20), 60);
    EXPECT_EQ(Cable::maxPulseWidth(12), 48);
    EXPECT_EQ(Cable::maxPulseWidth(10), 40);
}

}  // namespace
}  // namespace quelt::sim
