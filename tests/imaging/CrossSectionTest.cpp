// The cross-section view: where times land on the view, the refresh state machine on a fake clock, and
// the PNG file that carries the view out of the program.

#include <gtest/gtest.h>

#include <cmath>

#include "imaging/CrossSection.h"
#include "imaging/PngFile.h"

namespace quelt {
namespace {

CrossSectionSettings window60to200() {
    CrossSectionSettings s;
    s.offsetMicros = 132.0;
    s.displayBlanking = 1441;  // 60 mm at 1484 m/s
    s.displayWindow = 944;     // to 200 mm
    return s;
}

Revolution roundHole(std::uint16_t travel, int n = 180) {
    Revolution r;
    r.travel.assign(static_cast<size_t>(n), travel);
    return r;
}

int curvePixels(const CrossSection& c) {
    int n = 0;
    for (std::uint32_t p : c.raster().pixels)
        n += p == kSectionCurve;
    return n;
}

TEST(CrossSectionTest, TimesAreClampedToTheDisplayWindow) {
    CrossSection c(201);
    c.configure(window60to200());
    const double edge = 201 / 2.0 - 3;
    EXPECT_NEAR(c.radiusOf(c.windowEndRelative()), edge, 1e-9);
    struct Case {
        std::uint16_t travel;
        double radius;  // pixels from the centre
    } cases[] = {
        {2000, c.radiusOf(200.0 - c.axisReference())},
        {9000, edge},                             // beyond the window: on its end circle
        {100, c.radiusOf(c.blankingRelative())},  // before the blanking: on its circle
    };
    for (const auto& k : cases) {
        c.clear();
        c.drawCurve(roundHole(k.travel));
        // The curve crosses the vertical through the centre below it at the expected radius.
        const int x = 100;
        int found = -1;
        for (int y = 100; y < 201; ++y)
            if (c.raster().at(x, y) == kSectionCurve) found = y;
        EXPECT_NEAR(found - 100, k.radius, 1.0) << k.travel;
    }
}

TEST(CrossSectionTest, ViewDrawsTheNewestRevolutionEvery100msAndClears) {
    CrossSectionView v(101);
    v.settingsChanged(window60to200(), 0);
    EXPECT_TRUE(v.tick(0, true, 1));  // a new source clears
    v.post(roundHole(2000));
    v.post(roundHole(2100));            // the newest wins
    EXPECT_FALSE(v.tick(50, true, 1));  // within the period
    EXPECT_TRUE(v.tick(100, true, 1));
    EXPECT_EQ(v.curvesDrawn(), 1);
    EXPECT_GT(curvePixels(v.section()), 0);
    v.settingsChanged(window60to200(), 100);
    v.post(roundHole(2000));
    EXPECT_TRUE(v.tick(200, true, 1));
    EXPECT_EQ(v.curvesDrawn(), 2);
    EXPECT_TRUE(v.tick(250, true, 1));  // 150 ms after the change: cleared
    EXPECT_EQ(curvePixels(v.section()), 0);
    EXPECT_TRUE(v.tick(400, false, 1));  // no frames: cleared once
    EXPECT_EQ(curvePixels(v.section()), 0);
    EXPECT_FALSE(v.tick(600, false, 1));
    v.post(roundHole(2000));
    EXPECT_TRUE(v.tick(700, true, 2));  // another source
    EXPECT_EQ(v.curvesDrawn(), 3);
}

TEST(PngFileTest, RoundTripAcrossSeveralStoredBlocks) {
    Raster32 img(150, 200);  // 90 kB of scan lines: two stored blocks
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            img.set(x, y, 0xFF000000u | static_cast<std::uint32_t>(x * 7919 + y * 104729) % 0xFFFFFF);
    std::vector<std::uint8_t> bytes = encodePng(img);
    Raster32 back;
    ASSERT_TRUE(readStoredPng(bytes, back));
    EXPECT_EQ(back.width, 150);
    EXPECT_EQ(back.pixels, img.pixels);
    bytes[40] ^= 1;  // a damaged chunk fails its CRC
    EXPECT_FALSE(readStoredPng(bytes, back));
}

}  // namespace
}  // namespace quelt
