// Orientation from the accelerometer and magnetometer axes.

#include <gtest/gtest.h>

#include <cmath>

#include "platform/Text.h"
#include "sim/Axes.h"
#include "tests/stream/StreamFixture.h"

using namespace quelt;
using namespace quelt::test;

namespace {
constexpr double kDeg = 3.14159265358979 / 180.0;

// Axes (hx, hy, hz, gx, gy, gz) of a sonde at the given tilt, high side and azimuth (0 < tilt < 180).
std::array<double, 6> axesFor(double tilt, double highSide, double azimuth) {
    const double g = 1000, f = 500;
    double gx = -g * std::cos(tilt * kDeg);
    double gy = g * std::sin(tilt * kDeg) * std::sin(highSide * kDeg);
    double gz = g * std::sin(tilt * kDeg) * std::cos(highSide * kDeg);
    double r = std::hypot(gy, gz), gLen = g;
    // The horizontal field components across (l) and along (m) the high side.
    double theta = azimuth > 180 ? azimuth - 180 : 180 - azimuth;
    double m = f * std::cos(theta * kDeg);
    double l = (azimuth > 180 ? -f : f) * std::sin(theta * kDeg);
    double hy = l * gz / r, hz = -l * gy / r, hx = m * gLen / r;
    return {hx, hy, hz, gx, gy, gz};
}

bool orient(StreamRig& rig, const std::array<double, 6>& a) {
    return rig.stream.updateOrientation(a[0], a[1], a[2], a[3], a[4], a[5], false);
}
}  // namespace

TEST(Orientation, AngleFunction) {
    struct Case {
        double s, c;
        int mode;
        double angle;
    };
    for (Case k : {Case{0.5, std::sqrt(3) / 2, 1, 30}, Case{-0.5, std::sqrt(3) / 2, 1, 330}, Case{0, 1, 1, 0},
                   Case{1, 0, 2, 270}, Case{-1, 0, 2, 90}, Case{0, 1, 2, 180}, Case{0, -1, 3, 0},
                   Case{1, 0, 3, 90}, Case{1, 0, 7, 0}, Case{0, 1.0000000001, 1, 0}}) {
        EXPECT_NEAR(orientationAngle(k.s, k.c, k.mode), k.angle, 1e-6) << k.s << " " << k.c << " " << k.mode;
    }
}

TEST(Orientation, RoundTripOfTiltHighSideAzimuth) {
    struct Case {
        double tilt, highSide, azimuth;
    };
    for (Case c : {Case{10, 30, 45}, Case{45, 200, 300}, Case{80, 120, 190}, Case{5, 350, 10},
                   Case{30, 75, 179}, Case{135, 260, 250}}) {
        StreamRig rig;
        EXPECT_FALSE(orient(rig, axesFor(c.tilt, c.highSide, c.azimuth)));
        LiveValues v = rig.v();
        EXPECT_NEAR(v.tilt, c.tilt, 1e-6);
        EXPECT_NEAR(v.highSide, c.highSide, 1e-6);
        EXPECT_NEAR(v.azimuth, c.azimuth, 1e-6);
        EXPECT_NEAR(v.gravityTotal, 0.1, 1e-9);
        EXPECT_EQ(v.tiltText, format("%5.1f", c.tilt));
        EXPECT_EQ(rig.events.toolsBox, 1);
    }
}

TEST(Orientation, RoundTripThroughTheSimulatorsAxisModelAndFrameCounts) {
    // The simulated sonde's axes, rounded to the int16 counts a frame carries, decode to the true angles;
    // the picture rotation follows the high side (2) or north (1).
    struct Case {
        double tilt, azimuth, highSide;
    };
    for (Case c : {Case{3, 12, 40}, Case{15, 95, 300}, Case{45, 181, 179}, Case{60, 270, 5},
                   Case{88, 359, 90}, Case{120, 30, 250}}) {
        sim::AxisCounts n = sim::toCounts(sim::axesFor({c.tilt, c.azimuth, c.highSide}));
        for (int mode : {0, 1, 2}) {
            StreamRig rig;
            rig.settings.PicOriented = mode;
            EXPECT_FALSE(rig.stream.updateOrientation(n.hx, n.hy, n.hz, n.gx, n.gy, n.gz, false));
            LiveValues v = rig.v();
            auto gap = [](double a, double b) { return std::fabs(std::remainder(a - b, 360.0)); };
            EXPECT_LT(gap(v.tilt, c.tilt), 0.05) << c.tilt;
            EXPECT_LT(gap(v.azimuth, c.azimuth), 0.05) << c.azimuth;
            EXPECT_LT(gap(v.highSide, c.highSide), 0.05) << c.highSide;
            EXPECT_NEAR(v.gravityTotal, 1.0, 1e-3);
            const double rotation[] = {0, c.azimuth - c.highSide, 360 - c.highSide};
            EXPECT_LE(gap(v.rotation, rotation[mode]), 1.0) << "mode " << mode << " tilt " << c.tilt;
        }
    }
}

TEST(Orientation, AzimuthWrapsOnceAfterMagneticOffset) {
    struct Case {
        double raw, offset, expected;
    };
    for (Case c : {Case{355, 10, 5}, Case{20, -30, 350}, Case{100, 5, 105}}) {
        StreamRig rig;
        rig.settings.MagneticOffset = c.offset;
        orient(rig, axesFor(20, 40, c.raw));
        EXPECT_NEAR(rig.v().azimuth, c.expected, 1e-6) << c.raw;
    }
}

TEST(Orientation, RotationByPictureOrientation) {
    struct Case {
        int picOriented;
        double offset;
        bool replay;
        double rotation;
    };
    // high side 30, azimuth 45
    for (Case c :
         {Case{0, 0, false, 0}, Case{0, 20.4, false, 20}, Case{2, 0, false, 330}, Case{2, 20, false, 350},
          Case{1, 0, false, 15}, Case{1, 350, false, 5}, Case{2, 0, true, 0}}) {
        StreamRig rig;
        rig.settings.PicOriented = c.picOriented;
        rig.shared.rotationOffset = c.offset;
        rig.shared.modes.replayLoaded = c.replay;
        orient(rig, axesFor(10, 30, 45));
        EXPECT_DOUBLE_EQ(rig.v().rotation, c.rotation) << c.picOriented << " " << c.offset;
    }
}

TEST(Orientation, NoAxesSetsNoValueAndKeepsTexts) {
    StreamRig rig;
    orient(rig, axesFor(10, 30, 45));
    EXPECT_TRUE(rig.stream.updateOrientation(0, 0, 0, -32767, 0, 0, false));
    LiveValues v = rig.v();
    for (double x :
         {v.hx, v.gx, v.gz, v.tilt, v.azimuth, v.highSide, v.magToolface, v.gravityTotal, v.magneticTotal})
        EXPECT_EQ(x, kNoValue);
    EXPECT_EQ(v.tiltText, " 10.0");
    EXPECT_EQ(v.azimuthText, " 45.0");
}

TEST(Orientation, HorizontalSondeLeavesAnglesUnchanged) {
    StreamRig rig;
    orient(rig, axesFor(10, 30, 45));
    EXPECT_TRUE(rig.stream.updateOrientation(100, 200, 300, -1000, 0, 0, false));
    LiveValues v = rig.v();
    EXPECT_NEAR(v.tilt, 10, 1e-6);
    EXPECT_NEAR(v.azimuth, 45, 1e-6);
    EXPECT_NEAR(v.highSide, 30, 1e-6);
    EXPECT_EQ(v.gx, -1000);  // the raw axes are stored
}

TEST(Orientation, AveragingRingStartsFullAndMeansTheWindow) {
    OrientationFilter filter;
    std::array<double, 6> a = {10, 10, 10, 10, 10, 10};
    filter.push(a, 4);
    EXPECT_EQ(a[0], 10);  // the first value fills the ring
    std::array<double, 6> b = {50, 50, 50, 50, 50, 50};
    filter.push(b, 4);
    EXPECT_EQ(b[3], 20);  // (3 x 10 + 50) / 4
    for (int i = 0; i < 3; ++i) {
        b.fill(50);
        filter.push(b, 4);
    }
    EXPECT_EQ(b[5], 50);
    filter.clear();
    std::array<double, 6> c = {1, 2, 3, 4, 5, 6};
    filter.push(c, 125);
    EXPECT_EQ(c[5], 6);
}

TEST(Orientation, FullDataFramesAverageOverTheFilterWindow) {
    // SetFilter 2000 ms over 87 x 2.304 ms revolutions: a window of 10 lines.
    StreamRig rig;
    rig.settings.SetFilter = 2000;
    rig.settings.MotorPeriod = 87;
    auto a1 = axesFor(10, 30, 45), a2 = axesFor(10, 120, 45);
    auto wire = [](const std::array<double, 6>& a) {
        return std::array<std::int16_t, 6>{
            static_cast<std::int16_t>(std::lround(a[0])), static_cast<std::int16_t>(std::lround(a[3])),
            static_cast<std::int16_t>(std::lround(a[1])), static_cast<std::int16_t>(std::lround(a[4])),
            static_cast<std::int16_t>(std::lround(a[2])), static_cast<std::int16_t>(std::lround(a[5]))};
    };
    FullFrameSpec s;
    s.axes = wire(a1);
    rig.full(fullFrame(s));
    EXPECT_NEAR(rig.v().highSide, 30, 0.2);
    s.axes = wire(a2);
    for (int i = 0; i < 9; ++i)
        rig.full(fullFrame(s));
    EXPECT_GT(std::abs(rig.v().highSide - 120), 1.0);  // one old line still in the window
    rig.full(fullFrame(s));
    EXPECT_NEAR(rig.v().highSide, 120, 0.2);
}
