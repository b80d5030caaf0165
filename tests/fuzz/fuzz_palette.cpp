// Fuzzes the palette reader: any Palette.ini text loads, the stops come out in increasing order, the
// palette in use is a defined one, and the colour table has an opaque pixel for every value.
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "FuzzFiles.h"
#include "imaging/Palette.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    // One value on its own through the parser, and the whole text as a file through the loader.
    quelt::Palette single;
    if (quelt::parsePalette(bytes, single)) {
        for (int k = 1; k < 4; ++k) {
            if (single.stops[k - 1].level > single.stops[k].level) __builtin_trap();
        }
    }
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("quelt_fuzz_palette_" + std::to_string(getpid()) + ".ini"))
            .string();
    fuzzfiles::writeInput(path, data, size);
    quelt::Settings settings;
    settings.PaletteInUse = size > 0 ? data[0] % 12 : 1;
    quelt::PaletteSet palettes{};
    quelt::ColourTable table;
    quelt::LoadPalettes(path, settings, palettes, table);
    if (settings.PaletteInUse < 0 || settings.PaletteInUse > 9) __builtin_trap();
    if (!palettes[settings.PaletteInUse].defined) __builtin_trap();
    for (int v = 0; v < 256; ++v) {
        if ((table.at(v, quelt::kColourMode) >> 24) != 0xFF) __builtin_trap();
    }
    return 0;
}
