#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/Units.h"
#include "stream/LogQuality.h"

namespace quelt {
namespace {

// 5 mm per revolution at 5 revolutions a second: the limit is 1.5 m/min.
QualityLimits testLimits() {
    QualityLimits l;
    l.stepMm = 5.0;
    l.revolutionMs = 200.0;
    l.magneticReference = 0.47;
    return l;
}

// Forty clean lines logged downwards from 100 m: one step each, 1 m/min, |g| 1, |B| at the reference.
// Depths go through whole millimetres as a log stores them.
std::vector<QualityLine> cleanLines() {
    std::vector<QualityLine> lines;
    for (int i = 0; i < 40; ++i) {
        QualityLine l;
        l.depth = (100000 + 5 * i) / 1000.0;
        l.time = i * 0.2;
        l.speed = 1.0;
        l.gravity = 1.0;
        l.magnetic = 0.47;
        l.tilt = 2.0;
        l.azimuth = 120.0;
        lines.push_back(l);
    }
    return lines;
}

// Moves every line from `from` on by `mm` millimetres.
void shiftFrom(std::vector<QualityLine>& lines, size_t from, int mm) {
    for (size_t i = from; i < lines.size(); ++i)
        lines[i].depth = (std::lround(lines[i].depth * 1000.0) + mm) / 1000.0;
}

// The figures of a model in one line: gaps (count, largest, where), then lines and ranges over the speed
// limit, outside the |g| band and outside the |B| band. Depths to the millimetre.
std::string summary(const LogQuality& q) {
    char buf[64];
    std::string out = "gaps " + std::to_string(q.gaps().count);
    if (q.gaps().count) {
        std::snprintf(buf, sizeof buf, " largest %.3f", q.gaps().largest);
        out += buf;
    }
    for (const DepthGap& g : q.gapList()) {
        std::snprintf(buf, sizeof buf, " %.3f>%.3f", g.from, g.to);
        out += buf;
    }
    auto band = [&](const char* name, const BandStats& b) {
        out += std::string(" | ") + name + " " + std::to_string(b.outside);
        for (const DepthRange& r : b.ranges) {
            std::snprintf(buf, sizeof buf, " %.3f-%.3f", r.from, r.to);
            out += buf;
        }
    };
    band("speed", q.speedRanges());
    band("g", q.gravity());
    band("B", q.magnetic());
    return out;
}

struct Case {
    std::string name;
    std::function<void(QualityLimits&, std::vector<QualityLine>&)> change;
    std::string expected;
};

TEST(LogQuality, TableOfSyntheticLogs) {
    const std::vector<Case> cases = {
        {"clean", [](QualityLimits&, std::vector<QualityLine>&) {}, "gaps 0 | speed 0 | g 0 | B 0"},
        {"speed above the limit on lines 5 to 7",
         [](QualityLimits&, std::vector<QualityLine>& l) {
             for (size_t i = 5; i <= 7; ++i)
                 l[i].speed = 2.0;
             l[6].speed = -2.5;  // logging upwards counts the same
         },
         "gaps 0 | speed 3 100.025-100.035 | g 0 | B 0"},
        {"a gap of 30 mm after line 9",
         [](QualityLimits&, std::vector<QualityLine>& l) { shiftFrom(l, 10, 25); },
         "gaps 1 largest 0.030 100.045>100.075 | speed 0 | g 0 | B 0"},
        {"a gap of exactly twice the step is no gap",
         [](QualityLimits&, std::vector<QualityLine>& l) { shiftFrom(l, 10, 5); },
         "gaps 0 | speed 0 | g 0 | B 0"},
        {"one millimetre more is depth rounding, two are a gap",
         [](QualityLimits&, std::vector<QualityLine>& l) { shiftFrom(l, 10, 7); },
         "gaps 1 largest 0.012 100.045>100.057 | speed 0 | g 0 | B 0"},
        {"gaps logging upwards, the largest kept",
         [](QualityLimits&, std::vector<QualityLine>& l) {
             for (size_t i = 0; i < l.size(); ++i)
                 l[i].depth = (200000 - 5 * static_cast<int>(i)) / 1000.0;
             shiftFrom(l, 5, -20);
             shiftFrom(l, 20, -100);
         },
         "gaps 2 largest 0.105 199.980>199.955 199.885>199.780 | speed 0 | g 0 | B 0"},
        {"|g| outside 1% on lines 3, 4 and 30; 1.0099 inside",
         [](QualityLimits&, std::vector<QualityLine>& l) {
             l[3].gravity = 1.011;
             l[4].gravity = 0.985;
             l[5].gravity = 1.0099;
             l[30].gravity = 0.9899;
         },
         "gaps 0 | speed 0 | g 3 100.015-100.020 100.150-100.150 | B 0"},
        {"|B| outside 2% of the field given",
         [](QualityLimits&, std::vector<QualityLine>& l) {
             l[12].magnetic = 0.47 * 1.021;
             l[13].magnetic = 0.47 * 1.019;
         },
         "gaps 0 | speed 0 | g 0 | B 1 100.060-100.060"},
        {"|B| against the field measured over the first 5 cm",
         [](QualityLimits& lim, std::vector<QualityLine>& l) {
             lim.magneticReference = 0;
             lim.referenceLength = 0.05;
             for (size_t i = 0; i < l.size(); ++i)
                 l[i].magnetic = 0.50;
             l[1].magnetic = 0.52;  // within the first metres: part of the reference, never judged
             l[2].magnetic = 0.48;
             l[20].magnetic = 0.511;
         },
         "gaps 0 | speed 0 | g 0 | B 1 100.100-100.100"},
        {"a replay's speed from depth and time: 10 mm a line is 3 m/min",
         [](QualityLimits&, std::vector<QualityLine>& l) {
             for (size_t i = 0; i < l.size(); ++i) {
                 l[i].speed = kNoValue;
                 l[i].depth = (100000 + 10 * static_cast<int>(i)) / 1000.0;
             }
         },
         // Lines 0 to 2 are less than half a second of recorded time: no speed yet.
         "gaps 0 | speed 37 100.030-100.390 | g 0 | B 0"},
    };
    for (const Case& c : cases) {
        QualityLimits limits = testLimits();
        std::vector<QualityLine> lines = cleanLines();
        c.change(limits, lines);
        LogQuality q(limits);
        for (const QualityLine& l : lines)
            q.add(l);
        EXPECT_DOUBLE_EQ(q.speedLimit(), 1.5) << c.name;
        EXPECT_EQ(q.lines(), lines.size()) << c.name;
        EXPECT_EQ(summary(q), c.expected) << c.name;
    }
}

TEST(LogQuality, FiguresOfALog) {
    LogQuality q(testLimits());
    std::vector<QualityLine> lines = cleanLines();
    lines[7].speed = 2.5;
    lines[9].replaced = true;
    for (const QualityLine& l : lines)
        q.add(l);
    EXPECT_EQ(q.replaced(), 1u);
    EXPECT_NEAR(q.firstDepth(), 100.0, 1e-9);
    EXPECT_NEAR(q.lastDepth(), 100.195, 1e-9);
    EXPECT_NEAR(q.minDepth(), 100.0, 1e-9);
    EXPECT_NEAR(q.maxDepth(), 100.195, 1e-9);
    EXPECT_DOUBLE_EQ(q.highestSpeed(), 2.5);
    EXPECT_NEAR(q.highestSpeedDepth(), 100.035, 1e-9);
    EXPECT_FALSE(q.overSpeed());  // the last line is back under the limit
    EXPECT_DOUBLE_EQ(q.gravity().low, 0.99);
    EXPECT_DOUBLE_EQ(q.gravity().high, 1.01);
    EXPECT_NEAR(q.magnetic().mean(), 0.47, 1e-12);

    q.reset();
    EXPECT_EQ(q.lines(), 0u);
    EXPECT_EQ(q.gaps().count, 0u);
    EXPECT_EQ(q.gravity().lines, 0u);
}

TEST(LogQuality, SpeedLimitFollowsTheMotorPeriod) {
    // MotorPeriod 87: 200.448 ms a revolution; 5 mm a revolution is about 1.4966 m/min.
    EXPECT_NEAR(speedLimitOf(5.0, revolutionMsOf(87)), 0.005 * 1000.0 / 200.448 * 60.0, 1e-12);
    EXPECT_DOUBLE_EQ(speedLimitOf(10.0, 100.0), 6.0);
    EXPECT_EQ(speedLimitOf(5.0, 0.0), 0.0);
    LogQuality q(QualityLimits{.stepMm = 5.0, .revolutionMs = 0.0});
    QualityLine l;
    l.speed = 99.0;
    q.add(l);
    EXPECT_EQ(q.linesOverSpeed(), 0u);  // no limit known, nothing judged
}

TEST(LogQuality, ListsStopGrowingButCountsGoOn) {
    LogQuality q(testLimits());
    QualityLine l;
    for (size_t i = 0; i < LogQuality::kMaxListed + 10; ++i) {
        l.depth = static_cast<double>(i);  // one metre a line: every line a gap
        l.gravity = (i % 2) ? 1.0 : 2.0;   // every other line outside
        q.add(l);
    }
    EXPECT_EQ(q.gaps().count, LogQuality::kMaxListed + 9);
    EXPECT_EQ(q.gapList().size(), LogQuality::kMaxListed);
    EXPECT_EQ(q.gravity().rangeCount, LogQuality::kMaxListed / 2 + 5);
    EXPECT_EQ(q.gravity().ranges.size(), LogQuality::kMaxListed / 2 + 5);
}

}  // namespace
}  // namespace quelt

namespace quelt {
namespace {

TEST(LogQuality, RecordingFiguresInOneLine) {
    LogQuality q(testLimits());
    EXPECT_EQ(recordingFiguresText(q, 0, 0, units::kMetres), "0 lines, 0 kB, 0 replaced, 0 gaps");
    std::vector<QualityLine> lines = cleanLines();
    shiftFrom(lines, 10, 25);
    for (const QualityLine& l : lines)
        q.add(l);
    EXPECT_EQ(recordingFiguresText(q, 40 * 2948, 2, units::kMetres),
              "40 lines, 115 kB, 100.000 - 100.220 m, 2 replaced, 1 gaps (largest 0.030 m)");
    EXPECT_EQ(recordingFiguresText(q, 3 * 1024 * 1024, 0, units::kFeet),
              "40 lines, 3.0 MB, 328.083 - 328.805 ft, 0 replaced, 1 gaps (largest 0.098 ft)");
}

}  // namespace
}  // namespace quelt
