#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "config/Preferences.h"
#include "imaging/Palette.h"

namespace quelt {
namespace {

namespace fs = std::filesystem;

struct Rgb {
    int r, g, b;
};
Rgb rgb(std::uint32_t px) {
    return {int(px >> 16 & 0xFF), int(px >> 8 & 0xFF), int(px & 0xFF)};
}

class PaletteFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("quelt_palette_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string write(const std::string& text, const std::string& name = "Palette.ini") {
        std::ofstream(dir_ / name, std::ios::binary) << text;
        return (dir_ / name).string();
    }
    fs::path dir_;
    Settings settings_;
    PaletteSet palettes_{};
    ColourTable table_;
};

TEST_F(PaletteFile, SortsStopsAndStretchesAWhiteLastStop) {
    struct Case {
        const char* value;
        std::array<int, 4> levels;
        std::array<Rgb, 4> colours;
    } cases[] = {
        // Groups out of order; the last stop white at 255: sorted, no stretch.
        {"255,255,255,255,0,0,0,0,128,255,0,0,64,0,0,255",
         {0, 64, 128, 255},
         {{{0, 0, 0}, {0, 0, 255}, {255, 0, 0}, {255, 255, 255}}}},
        // White at 100: every level doubled.
        {"0,0,0,0,50,0,0,255,80,255,0,0,100,255,255,255",
         {0, 100, 160, 200},
         {{{0, 0, 0}, {0, 0, 255}, {255, 0, 0}, {255, 255, 255}}}},
        // Not white at the top: no stretch. Integers taken by their low 8 bits; blanks after commas.
        {"0,0,0,0, 50,1,2,3, 80,4,5,6, 356,7,8,-1",
         {0, 50, 80, 100},
         {{{0, 0, 0}, {1, 2, 3}, {4, 5, 6}, {7, 8, 255}}}},
        // Two groups on one level both take the colour of the first of them.
        {"10,1,1,1,10,2,2,2,90,3,3,3,200,4,4,4",
         {10, 10, 90, 200},
         {{{1, 1, 1}, {1, 1, 1}, {3, 3, 3}, {4, 4, 4}}}},
        // White with level 0 has no stretch factor: unchanged.
        {"0,255,255,255,0,255,255,255,0,255,255,255,0,255,255,255",
         {0, 0, 0, 0},
         {{{255, 255, 255}, {255, 255, 255}, {255, 255, 255}, {255, 255, 255}}}},
    };
    for (const auto& c : cases) {
        Palette p;
        ASSERT_TRUE(parsePalette(c.value, p)) << c.value;
        EXPECT_EQ(p.defined, 1);
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(p.stops[k].level, c.levels[k]) << c.value << " stop " << k;
            EXPECT_EQ(p.stops[k].red, c.colours[k].r) << c.value << " stop " << k;
            EXPECT_EQ(p.stops[k].green, c.colours[k].g) << c.value << " stop " << k;
            EXPECT_EQ(p.stops[k].blue, c.colours[k].b) << c.value << " stop " << k;
        }
    }
}

TEST_F(PaletteFile, ShortOrMalformedValuesLeaveThePaletteAlone) {
    for (const char* value : {"1,2,3,4,5,6,7,8,9,10,11,12,13,14,15", "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,x",
                              "1 ,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16", "", "empty!"}) {
        Palette p = defaultPalette();
        p.defined = 0;
        EXPECT_FALSE(parsePalette(value, p)) << value;
        EXPECT_EQ(p.defined, 0) << value;
        EXPECT_EQ(p.stops[1].level, 44) << value;
    }
}

TEST_F(PaletteFile, LoadsDefinedPalettesAndFallsBackToPaletteZero) {
    std::string file = write(
        "[COLOR]\r\nPalette1=0,0,0,0,85,10,20,30,170,40,50,60,255,70,80,90\r\n"
        "palette3=0,0,0,0,1,2,3\r\nPalette4=0,0,0,0,85,1,1,1,170,2,2,2,255,3,3,3\r\nPalette4=empty\r\n");
    palettes_[2].defined = 1;  // left from an earlier load: "empty" (a missing key) undefines 2..9
    settings_.PaletteInUse = 1;
    LoadPalettes(file, settings_, palettes_, table_);
    EXPECT_EQ(palettes_[0].defined, 1);
    EXPECT_EQ(palettes_[1].defined, 1);
    EXPECT_EQ(palettes_[2].defined, 0);
    EXPECT_EQ(palettes_[3].defined, 0);  // too few integers
    EXPECT_EQ(palettes_[4].defined, 1);  // the first of two equal keys counts
    EXPECT_EQ(settings_.PaletteInUse, 1);
    EXPECT_EQ(rgb(table_.at(85, kColourMode)).g, 20);

    for (int inUse : {3, 9, 12, -1, 255}) {
        settings_.PaletteInUse = inUse;
        LoadPalettes(file, settings_, palettes_, table_);
        EXPECT_EQ(settings_.PaletteInUse, 0) << inUse;
        EXPECT_EQ(rgb(table_.at(200, kColourMode)).g, 144) << inUse;  // the default palette
    }
}

TEST_F(PaletteFile, NoFileGivesTheDefaultPalette) {
    settings_.PaletteInUse = 1;
    LoadPalettes((dir_ / "missing.ini").string(), settings_, palettes_, table_);
    EXPECT_EQ(settings_.PaletteInUse, 0);
    for (int n = 1; n < kPaletteCount; ++n)
        EXPECT_EQ(palettes_[n].defined, 0) << n;
    EXPECT_EQ(palettes_[0].stops[1].level, 44);
}

TEST(ColourTable, ArithmeticOfTheSegments) {
    ColourTable table;
    BuildColourTable(defaultPalette(), 0x00332211, table);
    struct Case {
        int v;
        Rgb colour;
    } cases[] = {
        {0, {0, 0, 0}},       {10, {0, 0, 29}},      // 10 x 128/44 = 29.09
        {44, {0, 0, 128}},                           // a value on a stop takes its colour
        {100, {85, 0, 43}},                          // red trunc(56 x 128/84), blue 128 + trunc(56 x -128/84)
        {128, {128, 0, 0}},   {200, {200, 144, 0}},  // red 128 + 72 x 127/127, green 72 x 255/127 = 144.57
        {255, {255, 255, 0}},
    };
    for (const auto& c : cases) {
        Rgb got = rgb(table.at(c.v, kColourMode));
        EXPECT_EQ(got.r, c.colour.r) << c.v;
        EXPECT_EQ(got.g, c.colour.g) << c.v;
        EXPECT_EQ(got.b, c.colour.b) << c.v;
        EXPECT_EQ(table.at(c.v, kColourMode) >> 24, 0xFFu);
        EXPECT_EQ(table.at(c.v, kGreyMode), 0xFF000000u | c.v << 16 | c.v << 8 | c.v);
    }
    EXPECT_EQ(table.gammaTrace[0], 0xFF112233u);
    EXPECT_EQ(table.gammaTrace[1], 0xFF112233u);
}

TEST(ColourTable, RampsFromBlackAndTowardWhite) {
    Palette p;
    p.stops = {{{10, 255, 0, 0}, {20, 255, 0, 0}, {30, 255, 0, 0}, {200, 100, 0, 0}}};
    ColourTable table;
    BuildColourTable(p, 0, table);
    EXPECT_EQ(rgb(table.at(5, kColourMode)).r, 127);  // 5 x 255 / 10
    // Above the last stop toward white: 100 + trunc(55 x 155/55) = 255 at 255, 100 + trunc(10 x 155/55) at
    // 210.
    EXPECT_EQ(rgb(table.at(210, kColourMode)).r, 128);
    EXPECT_EQ(rgb(table.at(210, kColourMode)).g, 46);  // 0 + trunc(10 x 255/55)
    EXPECT_EQ(rgb(table.at(255, kColourMode)).r, 255);
}

TEST(ColourTable, StopsOnOneLevelDoNotBreakTheTable) {
    Palette p;
    p.stops = {{{0, 0, 0, 0}, {0, 9, 9, 9}, {255, 200, 0, 0}, {255, 250, 0, 0}}};
    ColourTable table;
    BuildColourTable(p, 0, table);
    EXPECT_EQ(rgb(table.at(0, kColourMode)).r, 9);
    EXPECT_EQ(rgb(table.at(255, kColourMode)).r, 200);
}

TEST_F(PaletteFile, LoaderSeamReadsThePaletteFileOfTheProgramFolder) {
    write("[color]\nPalette2=0,0,0,0,85,0,0,0,170,0,0,0,255,1,2,3\n", "PALETTE.INI");
    std::ofstream(dir_ / "Zorak.cfg") << "[QueltLogger]\nPaletteInUse=2\n";
    ProgramPaths paths;
    PlacementRecord placements;
    ScriptedOperator op;
    CPreferences prefs(settings_, paths, placements, op);
    int calls = 0;
    prefs.loadPalettes = makePaletteLoader(prefs, palettes_, table_, [&](const ColourTable& t) {
        ++calls;
        EXPECT_EQ(&t, &table_);
    });
    prefs.LoadAll(dir_.string());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(settings_.PaletteInUse, 2);
    EXPECT_EQ(table_.at(255, kColourMode), 0xFF010203u);
}

TEST(ShippedPalettes, AllDefinedAndSorted) {
    Settings settings;
    PaletteSet palettes{};
    ColourTable table;
    LoadPalettes(QUELT_SOURCE_DATA_DIR "/Palette.ini", settings, palettes, table);
    for (int n = 0; n <= 5; ++n) {
        EXPECT_EQ(palettes[n].defined, 1) << n;
        for (int k = 1; k < 4; ++k)
            EXPECT_LE(palettes[n].stops[k - 1].level, palettes[n].stops[k].level);
        // The ramp runs over the whole range: no band of the brightest samples in one flat colour.
        EXPECT_EQ(palettes[n].stops[0].level, 0) << n;
        EXPECT_EQ(palettes[n].stops[3].level, 255) << n;
    }
}

}  // namespace
}  // namespace quelt
