#include <gtest/gtest.h>

#include <string>

#include "imaging/BitmapFont.h"
#include "imaging/RowCapture.h"
#include "imaging/ToolsBmp.h"
#include "link/Frames.h"
#include "stream/DataLine.h"

namespace quelt {
namespace {

constexpr int H = 64;

class RowBuilder : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(bmp_.InitImageBuffer(H, op_));
        bmp_.ClearImageBuffer();
        in_.blackAndWhite = true;  // grey: a pixel's blue byte is its sample value
    }
    int grey(int row, int column) const { return static_cast<int>(bmp_.buffer().row(row)[column] & 0xFF); }
    std::uint32_t px(int row, int column) const { return bmp_.buffer().row(row)[column]; }
    // Builds one row at depth `depth` metres with a line through DrawLineOfPixel; returns its row index.
    int draw(double depth, bool down = true, int code = 2, bool orient = false) {
        bmp_.DrawLineOfPixel(line_, in_, down, code, orient, false, depth);
        return down ? bmp_.buffer().cursor + H - 1 : bmp_.buffer().cursor;
    }
    // True when the label `text` is drawn with `font` centred on the track at `row`, in `ink`.
    ::testing::AssertionResult labelAt(const std::string& text, int row, const BitmapFont& font,
                                       std::uint32_t ink = 0xFF000000u, int rowsShown = 99,
                                       int measuredHeight = -1) {
        int e = &font == &largeLabelFont() ? 1 : 0;
        if (measuredHeight < 0) measuredHeight = font.cellHeight - 1;
        int y = row - measuredHeight / 2 - e;
        int left = 382 - font.textWidth(text) / 2;
        for (int gy = 0; gy < font.cellHeight && gy < rowsShown; ++gy) {
            for (int i = 0; i < static_cast<int>(text.size()); ++i) {
                for (int gx = 0; gx < font.cellWidth; ++gx) {
                    std::uint32_t want = font.on(text[i], gx, gy) ? ink : kButtonFace;
                    std::uint32_t got = px(y + gy, left + i * font.cellWidth + gx);
                    if (got != want) {
                        return ::testing::AssertionFailure()
                               << "label " << text << " pixel (" << gx + i * font.cellWidth << "," << gy
                               << ") is " << std::hex << got << " not " << want;
                    }
                }
            }
        }
        return ::testing::AssertionSuccess();
    }
    bool trackBlank(int row) const {
        for (int x = 0; x < kTrackWidth; ++x) {
            if (px(row, kTrackColumn + x) != kButtonFace) return false;
        }
        return true;
    }
    // The tick columns (labels leave x < 8 and x >= 36 alone).
    bool ticks(int row, int length) const {
        for (int x = 0; x < kTrackWidth; ++x) {
            if (x >= 8 && x < 36) continue;
            bool tick = (x >= 2 && x < length) || (x >= kTrackWidth - length && x < 42);
            if (tick != (px(row, kTrackColumn + x) == kTickColour)) return false;
        }
        return true;
    }

    ScriptedOperator op_;
    CToolsBmp bmp_;
    RowInputs in_;
    ImageLine line_;
};

TEST_F(RowBuilder, InterpolatesBetweenNeighbouringSamples) {
    struct Case {
        int code, sample, previous, current;
        std::vector<int> pixels;
    } cases[] = {
        {1, 7, 10, 200, {200}},
        {2, 7, 100, 120, {110, 120}},
        {2, 7, 120, 100, {110, 100}},
        {3, 7, 0, 100, {34, 67, 100}},  // step 33
        {4, 7, 0, 255, {66, 129, 192, 255}},
        {4, 7, 255, 0, {189, 126, 63, 0}},  // step -63
        {2, 0, 50, 150, {100, 150}},        // sample 0 takes its step from the last sample of the turn
        {4, 0, 40, 0, {30, 20, 10, 0}},     // step (0 - 40) / 4 = -10
    };
    for (const auto& c : cases) {
        int ns = samplesForResolution(c.code);
        line_.sampleLine.fill(0);
        int prev = c.sample == 0 ? ns - 1 : c.sample - 1;
        line_.sampleLine[prev] = static_cast<std::uint8_t>(c.previous);
        line_.sampleLine[c.sample] = static_cast<std::uint8_t>(c.current);
        line_.sampleLine[kAmplitudeColumn + prev] = static_cast<std::uint8_t>(c.previous);
        line_.sampleLine[kAmplitudeColumn + c.sample] = static_cast<std::uint8_t>(c.current);
        int row = draw(1.0, true, c.code);
        for (int k = 0; k < c.code; ++k) {
            int column = c.sample * c.code + k;
            EXPECT_EQ(grey(row, column), c.pixels[k])
                << "code " << c.code << " sample " << c.sample << " k " << k;
            EXPECT_EQ(grey(row, kAmplitudeColumn + column), c.pixels[k]) << "amplitude code " << c.code;
        }
    }
}

TEST_F(RowBuilder, RotatesByTheOrientationLessTheCorrection) {
    struct Case {
        int code;
        double angle;
        bool orient;
        int slotOfSampleZero;
    } cases[] = {
        {2, 91.0, true, 45},   // 90 degrees: 45 samples of 2 degrees
        {1, 0.5, true, 0},     // the correction takes it back to 0
        {1, 0.2, true, 359},   // below 0: plus 360, 359.7 -> 359
        {4, 182.0, true, 45},  // 180 / 4
        {3, 100.0, false, 0},  // orientation not applied
        {7, 10.0, true, 10},   // an unknown code counts as 1, without correction
    };
    for (const auto& c : cases) {
        int effCode = c.code >= 1 && c.code <= 4 ? c.code : 1;
        int ns = kPictureWidth / effCode;  // the samples the row builder draws
        line_.sampleLine.fill(0);
        line_.sampleLine[0] = 250;
        line_.sampleLine[1] = 250;
        line_.sampleLine[ns - 1] = 250;  // no ramp into sample 0
        in_.rotation = c.angle;
        int row = draw(1.0, true, c.code, c.orient);
        EXPECT_EQ(grey(row, c.slotOfSampleZero * effCode), 250) << "code " << c.code << " angle " << c.angle;
        int before = (c.slotOfSampleZero + ns - 2) % ns;  // two slots before: sample ns - 2, value 0
        EXPECT_EQ(grey(row, before * effCode), 0) << "code " << c.code << " angle " << c.angle;
    }
}

TEST_F(RowBuilder, AnAngleOutOfRangeKeepsThePreviousRotation) {
    line_.sampleLine.fill(0);
    line_.sampleLine[0] = line_.sampleLine[1] = line_.sampleLine[179] = 250;
    in_.rotation = 91.0;
    draw(1.0, true, 2, true);
    for (double bad : {-99999.0, 1e300, std::numeric_limits<double>::quiet_NaN()}) {
        in_.rotation = bad;
        int row = draw(1.0, true, 2, true);
        EXPECT_EQ(grey(row, 90), 250) << bad;
    }
}

TEST_F(RowBuilder, ScrollsKeepingTheWindowAcrossTheMargins) {
    for (bool down : {true, false}) {
        bmp_.ClearImageBuffer();
        for (int n = 0; n < 4 * H; ++n) {
            line_.sampleLine.fill(static_cast<std::uint8_t>(n % 251));
            bmp_.DrawLineOfPixel(line_, in_, down, 1, false, false, 5.0);
            const ImageBuffer& b = bmp_.buffer();
            ASSERT_GE(b.cursor, kMarginRows);
            ASSERT_LE(b.cursor + H, b.height - kMarginRows);
            // The newest row is the last row of the window going down, the first going up.
            for (int age = 0; age < std::min(n + 1, H); ++age) {
                int row = down ? b.cursor + H - 1 - age : b.cursor + age;
                ASSERT_EQ(grey(row, 100), (n - age) % 251)
                    << "down " << down << " line " << n << " age " << age;
            }
        }
    }
}

TEST_F(RowBuilder, LabelsAWholeMetreWithTicksAndKeepsItsLowerHalf) {
    line_.sampleLine.fill(0);
    draw(11.99);
    int row = draw(12.00);
    EXPECT_TRUE(ticks(row, 6));
    EXPECT_TRUE(labelAt("12", row, smallLabelFont()));
    // The label's height is 12 (11 stored): countdown 5, so the 4 rows after it keep x 14..29.
    for (int i = 1; i <= 6; ++i)
        draw(12.00);
    EXPECT_TRUE(labelAt("12", row, smallLabelFont(), 0xFF000000u, 12 - 5 + 4));
    EXPECT_TRUE(trackBlank(row + 5));
    EXPECT_EQ(px(row + 4, kTrackColumn + 13), kButtonFace);
}

TEST_F(RowBuilder, ALabelAtTheMarginMovesWholeWithTheWindow) {
    line_.sampleLine.fill(0);
    for (int n = 0; n < 63; ++n)
        draw(11.99);
    int row = draw(12.00);  // the last row before the window is moved back to row 32
    ASSERT_EQ(row, 3 * H - kMarginRows - 1);
    ASSERT_TRUE(labelAt("12", row, smallLabelFont(), 0xFF000000u, 6));
    for (int n = 0; n < 8; ++n)
        draw(12.00);
    EXPECT_TRUE(labelAt("12", row - (2 * H - kMarginRows - kMarginRows), smallLabelFont()));
}

TEST_F(RowBuilder, TicksByLevel) {
    struct Case {
        int unit;
        double from, to;
        int tick;
    } cases[] = {
        {0, 11.95, 11.96, 0},
        {0, 11.99, 12.00, 6},
        {0, 11.49, 11.50, 6},
        {0, 11.09, 11.10, 4},
        {0, 12.05, 12.05, 0},
        // Thousandths of a foot: 12.073 -> 12.106 passes the tenth 12.100; 12.139 -> 12.171 passes none.
        {1, 3.685, 3.695, 4},
        {1, 3.705, 3.715, 0},
    };
    for (const auto& c : cases) {
        bmp_.ClearImageBuffer();
        in_.depthUnit = c.unit;
        draw(c.from - 0.01);
        draw(c.from);
        int row = draw(c.to);
        EXPECT_TRUE(c.tick ? ticks(row, c.tick) : trackBlank(row)) << c.from << " -> " << c.to;
    }
}

TEST_F(RowBuilder, LabelCases) {
    struct Case {
        const char* name;
        int unit;
        bool down;
        std::vector<double> depths;  // rows after a clear; the last is checked
        std::string label;           // empty: ticks only
        bool large;
        std::uint32_t ink;
        int measuredHeight = -1;  // the size of a label is measured before its font is changed
    } cases[] = {
        {"first row after a clear", 0, true, {12.00}, "", false, 0},
        {"metric 0 on the first row", 0, true, {0.00}, "0", false, 0xFF000000u},
        {"imperial 0", 1, false, {0.01, 0.00}, "0.0", false, 0xFF000000u},
        {"negative", 0, true, {-1.01, -1.00}, "-1", false, kLabelRed},
        {"jump of several metres", 0, true, {11.99, 15.50}, "15", false, 0xFF000000u},
        {"jump upwards", 0, false, {15.50, 11.99}, "12", false, 0xFF000000u},
        {"four digits", 0, true, {1233.99, 1234.00}, "1234", true, 0xFF000000u, 11},
        {"imperial 12 ft", 1, true, {3.655, 3.665}, "12.0", true, 0xFF000000u},  // the large font stays
                                                                                 // selected
    };
    for (const auto& c : cases) {
        bmp_.ClearImageBuffer();
        in_.depthUnit = c.unit;
        int row = 0;
        for (double d : c.depths)
            row = draw(d, c.down);
        EXPECT_TRUE(ticks(row, 6)) << c.name;
        if (c.label.empty()) {
            for (int x = 8; x < 36; ++x)
                EXPECT_EQ(px(row, kTrackColumn + x), kButtonFace) << c.name << " x " << x;
        } else {
            EXPECT_TRUE(labelAt(c.label, row, c.large ? largeLabelFont() : smallLabelFont(), c.ink, 99,
                                c.measuredHeight))
                << c.name;
        }
    }
}

TEST_F(RowBuilder, GammaWindowRateAndTrace) {
    in_.blackAndWhite = false;
    in_.motorPeriod = 87;  // 200.448 ms a turn: 5 lines a second
    in_.gammaScale = 1000;
    in_.gammaCoef = 1.0;
    ColourTable table;
    BuildColourTable(defaultPalette(), 0x0000FF00, table);  // a green trace
    bmp_.setColourTable(table);
    line_.sampleLine.fill(0);
    in_.gammaCount = 100;
    in_.gammaTime = 200;
    int row = 0;
    for (int i = 0; i < 6; ++i)
        row = [&] {
            bmp_.DrawLineOfPixel(line_, in_, true, 2, false, true, 3.0);
            return bmp_.buffer().cursor + H - 1;
        }();
    EXPECT_EQ(bmp_.currentGammaRate(), 500.0);
    EXPECT_EQ(px(row, 180), 0xFF00FF00u);
    EXPECT_NE(px(row, 179), 0xFF00FF00u);
    EXPECT_NE(px(row, 181), 0xFF00FF00u);
    EXPECT_NE(px(row, kAmplitudeColumn + 180), 0xFF00FF00u);

    // One line without counts: the five-line window gives 400 CPS (six lines would give 417); the trace
    // joins 180 and 144 with a run.
    in_.gammaCount = 0;
    bmp_.DrawLineOfPixel(line_, in_, true, 2, false, true, 3.0);
    row = bmp_.buffer().cursor + H - 1;
    EXPECT_EQ(bmp_.currentGammaRate(), 400.0);
    for (int x = 140; x < 185; ++x)
        EXPECT_EQ(px(row, x) == 0xFF00FF00u, x >= 144 && x <= 180) << x;

    // GammaScale 0 hides the trace; zero time gives rate 0.
    in_.gammaScale = 0;
    in_.gammaTime = 0;
    for (int i = 0; i < 5; ++i)
        bmp_.DrawLineOfPixel(line_, in_, true, 2, false, true, 3.0);
    row = bmp_.buffer().cursor + H - 1;
    EXPECT_EQ(bmp_.currentGammaRate(), 0.0);
    for (int x = 0; x < 360; ++x)
        ASSERT_NE(px(row, x), 0xFF00FF00u) << x;
}

TEST_F(RowBuilder, PaintsEveryEleventhLineAndTheNewestRowsAtTheBottom) {
    RasterSurface surface(500, 40);
    line_.sampleLine.fill(0);
    std::vector<int> painted;
    for (int n = 1; n <= 40; ++n) {
        line_.sampleLine[0] = static_cast<std::uint8_t>(n);
        bmp_.DrawLineOfPixel(line_, in_, true, 1, false, false, 2.0);
        int before = surface.paints;
        EXPECT_TRUE(bmp_.PaintIfPending(surface));
        if (surface.paints != before) painted.push_back(n);
    }
    EXPECT_EQ(painted, (std::vector<int>{11, 22, 33}));
    EXPECT_EQ(surface.clientWidth(), kRowWidth);
    EXPECT_EQ(surface.clientHeight(), 40);
    bmp_.DrawImageBuffer(surface, true);
    EXPECT_EQ(surface.at(0, 39) & 0xFF, 40u);
    EXPECT_EQ(surface.at(0, 0) & 0xFF, 1u);
    EXPECT_FALSE(bmp_.PaintIfPending(surface));

    // Going up the newest row is at the top; a client taller than the screen shows H rows.
    RasterSurface tall(kRowWidth, 3 * H);
    bmp_.ClearImageBuffer();
    for (int n = 1; n <= 5; ++n) {
        line_.sampleLine[0] = static_cast<std::uint8_t>(n);
        bmp_.DrawLineOfPixel(line_, in_, false, 1, false, false, 2.0);
    }
    bmp_.DrawImageBuffer(tall, true);
    EXPECT_EQ(tall.at(0, 0) & 0xFF, 5u);
    EXPECT_EQ(tall.at(0, 4) & 0xFF, 1u);
}

TEST_F(RowBuilder, ReportsTheResolutionOfEveryRow) {
    std::vector<int> codes;
    bmp_.resolutionListener = [&](int code) { codes.push_back(code); };
    draw(1.0, true, 3);
    draw(1.0, true, 1);
    EXPECT_EQ(codes, (std::vector<int>{3, 1}));
}

}  // namespace
}  // namespace quelt

namespace quelt {
namespace {

// The rows a capture took, against what each row was built from: a marker sample per row and the
// label of the metre crossed, whose upper rows are drawn after the rows themselves were built.
TEST_F(RowBuilder, ACaptureTakesEveryRowInBuildingOrderWithItsLabels) {
    for (bool down : {true, false}) {
        bmp_.ClearImageBuffer();
        RowCapture capture(bmp_);
        const int n = 300;  // several scrolls of the 3 x 64 buffer
        int crossing = -1;
        for (int i = 0; i < n; ++i) {
            line_.sampleLine.fill(static_cast<std::uint8_t>(i % 251));
            double depth = down ? 11.2 + i * 0.005 : 12.7 - i * 0.005;  // crosses 12 m
            if (crossing < 0 && (down ? depth >= 12.0 : depth < 12.0)) crossing = i;
            draw(depth, down);
            capture.afterRow(down);
        }
        capture.finish();
        ASSERT_EQ(capture.rows(), n);
        auto at = [&](int row, int column) {
            return capture.pixels()[static_cast<size_t>(row) * kRowWidth + column];
        };
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(static_cast<int>(at(i, 100) & 0xFF), i % 251) << "row " << i << " down " << down;
        auto ink = [&](int row) {
            for (int x = 364; x < 400; ++x)
                if (at(row, x) == 0xFF000000u) return true;
            return false;
        };
        ASSERT_GT(crossing, 8);
        // The label of 12 m is drawn on the crossing's row and on rows built before it.
        EXPECT_TRUE(ink(crossing)) << "down " << down;
        EXPECT_TRUE(ink(crossing - 2)) << "a row built before the label, down " << down;
    }
}

}  // namespace
}  // namespace quelt

namespace quelt {
namespace {

// Samples per line: codes 0 and 9 are lines of 90 samples for every reader of frames and lines,
// while a setting outside 1..4 stands for the finest resolution.
TEST(ImageLineSamples, EveryCodeForFramesAndSettings) {
    struct Case {
        int code, frame, setting;
    };
    for (const Case& c : {Case{0, 90, 360}, Case{1, 360, 360}, Case{2, 180, 180}, Case{3, 120, 120},
                          Case{4, 90, 90}, Case{5, 90, 360}, Case{9, 90, 360}, Case{255, 90, 360}}) {
        EXPECT_EQ(samplesForResolution(c.code), c.frame) << c.code;
        EXPECT_EQ(samplesForResolution(c.code, kSamplesOfUnknownSetting), c.setting) << c.code;
    }
}

}  // namespace
}  // namespace quelt
