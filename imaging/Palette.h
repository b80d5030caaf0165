#pragma once
// Palettes (four colour stops each, read from Palette.ini) and the colour table built from the palette
// in use: 256 entries of a grey pixel and a palette pixel, plus the gamma trace colour.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "config/Settings.h"

namespace quelt {

class CPreferences;

inline constexpr const char* kPaletteFileName = "Palette.ini";
inline constexpr int kPaletteCount = 10;

struct Palette {
    struct Stop {
        std::uint8_t level = 0, red = 0, green = 0, blue = 0;
    };
    std::array<Stop, 4> stops{};  // increasing levels after loading
    std::uint8_t defined = 0;
};

using PaletteSet = std::array<Palette, kPaletteCount>;

// Pixels are 0xAARRGGBB with alpha 0xFF.
inline constexpr int kGreyMode = 0;
inline constexpr int kColourMode = 1;

struct ColourTable {
    std::array<std::array<std::uint32_t, 2>, 256> entry{};  // [value][mode]
    std::array<std::uint32_t, 2> gammaTrace{};              // one per mode, equal

    std::uint32_t at(int value, int mode) const { return entry[static_cast<std::uint8_t>(value)][mode]; }
};

// Mode index of the colour table: grey when BlackAndWhite is on.
inline int colourModeOf(bool blackAndWhite) {
    return blackAndWhite ? kGreyMode : kColourMode;
}

// A 0x00BBGGRR colour reference as a picture pixel.
inline std::uint32_t pixelFromColourRef(std::uint32_t ref) {
    return 0xFF000000u | (ref & 0xFFu) << 16 | (ref & 0xFF00u) | (ref >> 16 & 0xFFu);
}

// Palette 0 before the file is read: black at 0, navy at 44, dark red at 128, yellow at 255.
Palette defaultPalette();

// Reads one "Palette%d" value: sixteen integers in four groups of level, red, green, blue, in any
// level order. False (palette untouched) when fewer than sixteen integers are read.
bool parsePalette(const std::string& value, Palette& palette);

// Reads Palette.ini (`paletteFile`, may be missing) into `palettes`, falls back to palette 0 when the
// palette in use is not defined (settings.PaletteInUse is corrected), and builds `table`.
void LoadPalettes(const std::string& paletteFile, Settings& settings, PaletteSet& palettes,
                  ColourTable& table);

// The colour table of `palette` with the gamma trace colour `gammaTraceRef` (a colour reference).
void BuildColourTable(const Palette& palette, std::uint32_t gammaTraceRef, ColourTable& table);
// The same for the palette in use and PicColorRef6 of the settings.
void BuildColourTable(const PaletteSet& palettes, const Settings& settings, ColourTable& table);

// The palette loader for CPreferences::loadPalettes: reads Palette.ini of the program folder of
// `preferences` into `palettes` and `table`, then calls `changed` (when given) with the new table.
std::function<void()> makePaletteLoader(CPreferences& preferences, PaletteSet& palettes, ColourTable& table,
                                        std::function<void(const ColourTable&)> changed = {});

}  // namespace quelt
