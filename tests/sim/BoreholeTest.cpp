// The synthetic borehole: travel times from geometry, the window, features as sinusoids, the seed.

#include <gtest/gtest.h>

#include <cmath>

#include "sim/Borehole.h"
#include "sim/Winch.h"

namespace quelt::sim {
namespace {

// A plain vertical hole: no casing, no water table, a smooth wall, a centred tool.
BoreholeSpec plainHole(double diameter) {
    BoreholeSpec s;
    s.maxDepth = 100;
    s.waterLevel = -10;
    s.casingBottom = -1;
    s.bitDiameter = diameter;
    s.diameterWander = 0;
    s.roughness = 0;
    s.tilt0 = 0;
    s.eccentering = 0;
    s.layers = {Layer{-100, 50, 0.7, false}};
    return s;
}

TEST(Borehole, TravelTimeOfADiameterFollowsTheWaterVelocityAndTheSondeOffset) {
    EXPECT_DOUBLE_EQ(Borehole::travelOfDiameter(42, 100, 1500), 1000);
    EXPECT_DOUBLE_EQ(Borehole::travelOfDiameter(192, 100, 1500), 2000);
    struct Case {
        double diameter, velocity;
    } cases[] = {{76, 1484}, {120, 1500}, {60, 1450}};
    for (const Case& c : cases) {
        BoreholeSpec s = plainHole(c.diameter);
        s.waterVelocity = c.velocity;
        Borehole hole(s);
        AcquisitionWindow w{800, 3000, 100.0};
        double expected = Borehole::travelOfDiameter(c.diameter, 100.0, c.velocity);
        double sum = 0;
        auto echoes = hole.scan(50, 0, 180, w, 3);
        for (const Echo& e : echoes)
            sum += e.travel;
        EXPECT_NEAR(sum / echoes.size(), expected, 1.0) << c.diameter;
    }
}

TEST(Borehole, TravelTimesAreClippedToTheAcquisitionWindow) {
    Borehole hole(plainHole(150));  // 150 mm: about 2050 at offset 132 us
    AcquisitionWindow narrow{1200, 500, 132.0};
    for (const Echo& e : hole.scan(40, 0, 90, narrow, 1)) {
        EXPECT_EQ(e.travel, 1700);
        EXPECT_EQ(e.reflectivity, 0.0);  // nothing came back inside the window
    }
    // An echo before the blanking is not heard either: the sonde reports the end of its window.
    AcquisitionWindow late{2500, 500, 132.0};
    for (const Echo& e : hole.scan(40, 0, 90, late, 1)) {
        EXPECT_EQ(e.travel, 3000);
        EXPECT_EQ(e.reflectivity, 0.0);
    }
}

TEST(Borehole, APlanarFractureCrossesTheHoleAsASinusoidDeepestTowardsItsDip) {
    BoreholeSpec s = plainHole(100);
    s.fractures = {Fracture{50.0, 45.0, 90.0, 4.0}};  // dips 45 degrees towards the east
    Borehole hole(s);
    AcquisitionWindow w{800, 3000, 132.0};
    // For the beams looking east and west, find the depth of the darkest echo.
    auto darkest = [&](double bearing) {
        double best = 1e9, at = 0;
        for (double d = 49.8; d <= 50.2; d += 0.001) {
            Orientation o = hole.orientation(d, 0);
            int n = 360;
            // The sample whose beam looks along the bearing (near-vertical hole).
            ToolFrame f = toolFrame(o);
            int pick = 0;
            double bestDot = -2;
            for (int i = 0; i < n; ++i) {
                Vec3 b = f.beam(360.0 * i / n);
                double c = b.x * std::cos(bearing * M_PI / 180) + b.y * std::sin(bearing * M_PI / 180);
                if (c > bestDot) bestDot = c, pick = i;
            }
            double r = hole.scan(d, 0, n, w, 0)[static_cast<size_t>(pick)].reflectivity;
            if (r < best) best = r, at = d;
        }
        return at;
    };
    double east = darkest(90), west = darkest(270);
    // The plane is 100 mm deeper on the east wall than on the west wall (tan 45 x diameter).
    EXPECT_NEAR(east - west, 0.100, 0.006);
    EXPECT_NEAR((east + west) / 2, 50.0, 0.004);
}

TEST(Borehole, TheSameSeedGivesTheSameHole) {
    BoreholeStyle style;
    style.fracturesPer10m = 3;
    Borehole a(generateBorehole(42, style)), b(generateBorehole(42, style)), c(generateBorehole(43, style));
    AcquisitionWindow w{1200, 800, 132.0};
    int differ = 0;
    for (double d = 20; d < 60; d += 1.37) {
        auto ea = a.scan(d, d, 180, w, 5), eb = b.scan(d, d, 180, w, 5), ec = c.scan(d, d, 180, w, 5);
        for (size_t i = 0; i < ea.size(); ++i) {
            ASSERT_EQ(ea[i].travel, eb[i].travel);
            ASSERT_EQ(ea[i].reflectivity, eb[i].reflectivity);
            differ += ea[i].travel != ec[i].travel;
        }
        EXPECT_EQ(a.gammaRate(d), b.gammaRate(d));
    }
    EXPECT_GT(differ, 100);
}

TEST(Borehole, CasingIsRoundAndBrightAndTheOpenHoleBelowIsNot) {
    BoreholeStyle style;
    style.casingBottom = 10;
    Borehole hole(generateBorehole(3, style));
    EXPECT_DOUBLE_EQ(hole.diameter(5), hole.description().casingInner);
    EXPECT_NEAR(hole.diameter(30), style.bitDiameter, 35);
    AcquisitionWindow w{800, 3000, 132.0};
    double cased = 0, open = 0;
    for (const Echo& e : hole.scan(5, 0, 90, w, 1))
        cased += e.reflectivity;
    for (const Echo& e : hole.scan(30, 0, 90, w, 1))
        open += e.reflectivity;
    EXPECT_GT(cased, open);
}

TEST(Winch, AcceleratesLogsPausesAndReverses) {
    WinchProfile p;
    p.startDepth = 10;
    p.startPause = 5;
    p.acceleration = 0.05;
    p.legs = {{40, 6.0, 10}, {20, 3.0, 0}};
    Winch w(p);
    EXPECT_DOUBLE_EQ(w.at(0).depth, 10);
    EXPECT_DOUBLE_EQ(w.at(4).speed, 0);
    EXPECT_NEAR(w.at(5 + 1).speed, 3.0, 1e-9);  // 0.05 m/s^2 for 1 s
    EXPECT_NEAR(w.at(100).speed, 6.0, 1e-9);
    // 30 m at 0.1 m/s, with 2 s ramps: 302 s on the way, then 10 s at rest.
    EXPECT_NEAR(w.at(5 + 302).depth, 40, 1e-9);
    EXPECT_EQ(w.at(5 + 305).speed, 0);
    EXPECT_NEAR(w.at(5 + 312 + 200).speed, -3.0, 1e-9);
    EXPECT_NEAR(w.at(1e6).depth, 20, 1e-9);
    EXPECT_NEAR(w.duration(), 5 + 302 + 10 + 401, 1e-9);
}

}  // namespace
}  // namespace quelt::sim
