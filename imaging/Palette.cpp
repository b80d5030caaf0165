#include "imaging/Palette.h"

#include <cctype>
#include <cmath>

#include "config/Ini.h"
#include "config/Preferences.h"
#include "platform/Paths.h"

namespace quelt {

Palette defaultPalette() {
    Palette p;
    p.stops = {{{0, 0, 0, 0}, {44, 0, 0, 128}, {128, 128, 0, 0}, {255, 255, 255, 0}}};
    p.defined = 1;
    return p;
}

namespace {

// The sixteen integers as the "%d,%d,...,%d" scan reads them: blanks before each number, a comma
// right after it. Returns how many were read.
int scanSixteen(const std::string& text, long long (&v)[16]) {
    size_t i = 0, n = text.size();
    for (int k = 0; k < 16; ++k) {
        if (k > 0) {
            if (i >= n || text[i] != ',') return k;
            ++i;
        }
        while (i < n && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        bool negative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
        if (i >= n || !std::isdigit(static_cast<unsigned char>(text[i]))) return k;
        unsigned long long magnitude = 0;
        while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
            magnitude = magnitude * 10 + static_cast<unsigned>(text[i++] - '0');  // wraps, low bits kept
        }
        v[k] = static_cast<long long>(negative ? 0 - magnitude : magnitude);
    }
    return 16;
}

}  // namespace

bool parsePalette(const std::string& value, Palette& palette) {
    long long v[16];
    if (scanSixteen(value, v) < 16) return false;
    std::array<Palette::Stop, 4> groups;
    for (int g = 0; g < 4; ++g) {
        groups[g] = {static_cast<std::uint8_t>(v[4 * g]), static_cast<std::uint8_t>(v[4 * g + 1]),
                     static_cast<std::uint8_t>(v[4 * g + 2]), static_cast<std::uint8_t>(v[4 * g + 3])};
    }
    std::array<std::uint8_t, 4> levels;
    for (int g = 0; g < 4; ++g)
        levels[g] = groups[g].level;
    // Four values: an insertion sort.
    for (int i = 1; i < 4; ++i) {
        for (int j = i; j > 0 && levels[j - 1] > levels[j]; --j)
            std::swap(levels[j - 1], levels[j]);
    }
    palette.defined = 1;
    for (int k = 0; k < 4; ++k) {
        for (int g = 0; g < 4; ++g) {
            if (groups[g].level == levels[k]) {
                palette.stops[k] = groups[g];
                break;
            }
        }
    }
    // A white last stop is stretched so that its level comes close to 255.
    Palette::Stop& last = palette.stops[3];
    if (last.red == 255 && last.green == 255 && last.blue == 255 && last.level > 0) {
        int f = 255 / last.level;
        for (auto& s : palette.stops)
            s.level = static_cast<std::uint8_t>(s.level * f);
    }
    return true;
}

void LoadPalettes(const std::string& paletteFile, Settings& settings, PaletteSet& palettes,
                  ColourTable& table) {
    palettes[0] = defaultPalette();
    const IniDocument doc = readIniFile(paletteFile);
    for (int n = 0; n < kPaletteCount; ++n) {
        std::string key = "Palette" + std::to_string(n);
        std::string value = doc.value("color", key, "empty");
        if (value == "empty") {
            if (n > 1) palettes[n].defined = 0;
            continue;
        }
        parsePalette(value, palettes[n]);
    }
    if (settings.PaletteInUse < 0 || settings.PaletteInUse >= kPaletteCount ||
        !palettes[settings.PaletteInUse].defined) {
        settings.PaletteInUse = 0;
    }
    BuildColourTable(palettes, settings, table);
}

namespace {

// One colour component of value v between the stops.
std::uint8_t component(int v, const std::array<int, 4>& L, const std::array<int, 4>& C) {
    // The step fraction first, then the distance; a segment of zero width gives its start colour.
    auto ramp = [v](int la, int lb, int ca, int cb) -> double {
        if (lb == la) return ca;
        double step = static_cast<double>(cb - ca) / static_cast<double>(lb - la);
        return ca + std::trunc(static_cast<double>(v - la) * step);
    };
    double c = 0;
    if (v >= L[3]) c = ramp(L[3], 255, C[3], 255);
    if (L[2] <= v && v <= L[3]) {
        c = ramp(L[2], L[3], C[2], C[3]);
    } else if (L[1] <= v && v <= L[2]) {
        c = ramp(L[1], L[2], C[1], C[2]);
    } else if (L[0] <= v && v <= L[1]) {
        c = ramp(L[0], L[1], C[0], C[1]);
    } else if (v < L[0]) {
        c = std::trunc(static_cast<double>(v) * C[0] / L[0]);
    }
    return static_cast<std::uint8_t>(static_cast<int>(c));
}

}  // namespace

void BuildColourTable(const Palette& palette, std::uint32_t gammaTraceRef, ColourTable& table) {
    std::array<int, 4> L, R, G, B;
    for (int k = 0; k < 4; ++k) {
        L[k] = palette.stops[k].level;
        R[k] = palette.stops[k].red;
        G[k] = palette.stops[k].green;
        B[k] = palette.stops[k].blue;
    }
    for (int v = 0; v < 256; ++v) {
        auto u = static_cast<std::uint32_t>(v);
        table.entry[v][kGreyMode] = 0xFF000000u | u << 16 | u << 8 | u;
        std::uint32_t r = component(v, L, R), g = component(v, L, G), b = component(v, L, B);
        table.entry[v][kColourMode] = 0xFF000000u | r << 16 | g << 8 | b;
    }
    std::uint32_t trace = pixelFromColourRef(gammaTraceRef);
    table.gammaTrace = {trace, trace};
}

void BuildColourTable(const PaletteSet& palettes, const Settings& settings, ColourTable& table) {
    int n = settings.PaletteInUse;
    const Palette& p = (n >= 0 && n < kPaletteCount) ? palettes[n] : palettes[0];
    BuildColourTable(p, settings.PicColorRef[6], table);
}

std::function<void()> makePaletteLoader(CPreferences& preferences, PaletteSet& palettes, ColourTable& table,
                                        std::function<void(const ColourTable&)> changed) {
    return [&preferences, &palettes, &table, changed = std::move(changed)] {
        std::string file = resolveNoCase(preferences.paths().programDir + kPaletteFileName).string();
        LoadPalettes(file, preferences.settings(), palettes, table);
        if (changed) changed(table);
    };
}

}  // namespace quelt
