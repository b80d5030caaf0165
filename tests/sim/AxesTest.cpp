// The axis model against the orientation the program computes from the six axes.

#include <gtest/gtest.h>

#include <cmath>

#include "sim/Axes.h"
#include "sim/Borehole.h"
#include "tests/sim/ProgramOrientation.h"

namespace quelt::sim {
namespace {

double angleGap(double a, double b) {
    return std::fabs(std::remainder(a - b, 360.0));
}

TEST(AxisModel, OrientationOfTheAxesGivesBackTheTrueAngles) {
    struct Case {
        double tilt, azimuth, highSide;
    } cases[] = {{0.5, 10, 350}, {2, 45, 0.5},  {10, 30, 50},    {30, 200, 300},
                 {60, 359, 180}, {89, 90, 270}, {120, 270, 123}, {5, 180, 90}};
    for (const Case& c : cases) {
        for (bool counts : {false, true}) {
            AxisValues v = axesFor({c.tilt, c.azimuth, c.highSide});
            if (counts) {
                AxisCounts k = toCounts(v);
                v = {double(k.gx), double(k.gy), double(k.gz), double(k.hx), double(k.hy), double(k.hz)};
            }
            Decoded d = decode(v.gx, v.gy, v.gz, v.hx, v.hy, v.hz);
            // Integer counts blur the azimuth of a nearly vertical hole a little.
            double tol = counts ? 0.05 + 0.05 / std::sin(c.tilt * 3.14159265 / 180) : 1e-6;
            EXPECT_NEAR(d.tilt, c.tilt, counts ? 0.01 : 1e-6) << c.tilt << " " << c.azimuth;
            EXPECT_LT(angleGap(d.azimuth, c.azimuth), tol) << c.tilt << " " << c.azimuth;
            EXPECT_LT(angleGap(d.highSide, c.highSide), tol) << c.tilt << " " << c.highSide;
            EXPECT_NEAR(d.gravityTotal, 1.0, 1e-3);
            EXPECT_NEAR(d.magneticTotal, 0.47, 1e-3);
        }
    }
}

TEST(AxisModel, HangingToolReadsMinusOneGAlongItsAxis) {
    AxisValues v = axesFor({0.0, 0.0, 0.0});
    EXPECT_NEAR(v.gx, -10000, 1e-9);
    EXPECT_NEAR(v.gy, 0, 1e-9);
    EXPECT_NEAR(v.gz, 0, 1e-9);
    // The field dips 64 degrees: its vertical part lies along -x.
    EXPECT_NEAR(v.hx, -4700 * std::sin(64 * 3.14159265358979 / 180), 1e-6);
}

TEST(AxisModel, SampleAtHighSideAngleLooksAtTheHighSide) {
    // The beam of scan angle h (the high side) points at the high side of the hole.
    Orientation o{20, 75, 130};
    ToolFrame f = toolFrame(o);
    Vec3 b = f.beam(o.highSide);
    EXPECT_NEAR(dot(b, f.highSide), 1.0, 1e-9);
    // A quarter turn later the beam looks to the right of the hole seen from above (east of a hole
    // deviating north).
    Orientation north{20, 0, 0};
    ToolFrame g = toolFrame(north);
    EXPECT_NEAR(g.beam(90).y, 1.0, 1e-9);
}

TEST(Borehole, OrientationAlongTheHoleDecodesToTheModel) {
    BoreholeStyle style;
    style.tilt0 = 12;
    style.tiltPer100m = 5;
    style.azimuth0 = 250;
    Borehole hole(generateBorehole(7, style));
    for (double depth : {10.0, 55.5, 120.0, 333.3}) {
        Orientation o = hole.orientation(depth, depth * 20);
        AxisValues v = axesFor(o, hole.description().field);
        Decoded d = decode(v.gx, v.gy, v.gz, v.hx, v.hy, v.hz);
        EXPECT_NEAR(d.tilt, o.tilt, 1e-6);
        EXPECT_LT(angleGap(d.azimuth, o.azimuth), 1e-6);
        EXPECT_LT(angleGap(d.highSide, o.highSide), 1e-6);
    }
}

}  // namespace
}  // namespace quelt::sim
