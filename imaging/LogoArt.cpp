#include "imaging/LogoArt.h"

#include <algorithm>
#include <cmath>

namespace quelt {
namespace {

struct Rgb {
    int r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {static_cast<int>(std::lround(a.r + (b.r - a.r) * t)),
            static_cast<int>(std::lround(a.g + (b.g - a.g) * t)),
            static_cast<int>(std::lround(a.b + (b.b - a.b) * t))};
}

// Block letters of five by seven cells.
const char* const kLetterV[7] = {"#...#", "#...#", "#...#", "#...#", ".#.#.", ".#.#.", "..#.."};
const char* const kLetterE[7] = {"#####", "#....", "#....", "####.", "#....", "#....", "#####"};
const char* const kLetterX[7] = {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"};
const char* const kLetterA[7] = {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"};

// A small hash for the grain of the picture strip.
double grain(int x, int y) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
}

class Canvas {
  public:
    Canvas() : px_(static_cast<size_t>(kLogoWidth) * kLogoHeight * 3, 0) {}
    void set(int x, int y, Rgb c) {
        if (x < 0 || y < 0 || x >= kLogoWidth || y >= kLogoHeight) return;
        std::uint8_t* p = &px_[(static_cast<size_t>(y) * kLogoWidth + x) * 3];
        p[0] = static_cast<std::uint8_t>(std::clamp(c.b, 0, 255));
        p[1] = static_cast<std::uint8_t>(std::clamp(c.g, 0, 255));
        p[2] = static_cast<std::uint8_t>(std::clamp(c.r, 0, 255));
    }
    void fill(int x0, int y0, int w, int h, Rgb c) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x)
                set(x, y, c);
    }
    std::vector<std::uint8_t> take() { return std::move(px_); }

  private:
    std::vector<std::uint8_t> px_;
};

}  // namespace

std::vector<std::uint8_t> drawLogo() {
    Canvas c;
    const Rgb top{10, 24, 58}, bottom{24, 58, 104};
    for (int y = 0; y < kLogoHeight; ++y)
        c.fill(0, y, kLogoWidth, 1, mix(top, bottom, y / double(kLogoHeight - 1)));

    // The picture strip: copper tones with bedding, and a fracture as one turn of a sinusoid.
    const int stripX = 18, stripW = 96, stripY = 12, stripH = kLogoHeight - 24;
    const Rgb dark{58, 26, 8}, copper{186, 104, 44}, light{246, 198, 140};
    for (int y = 0; y < stripH; ++y) {
        for (int x = 0; x < stripW; ++x) {
            double bedding = 0.5 + 0.25 * std::sin((y + 6 * std::sin(x * 2 * M_PI / stripW)) * 0.21);
            double v = std::clamp(bedding + 0.18 * (grain(x, y) - 0.5), 0.0, 1.0);
            Rgb col = v < 0.5 ? mix(dark, copper, v * 2) : mix(copper, light, (v - 0.5) * 2);
            double fracture = stripH * 0.55 + 18 * std::sin(x * 2 * M_PI / stripW + 0.6);
            double d = std::fabs(y - fracture);
            if (d < 2.2) col = mix(col, {20, 8, 2}, 1.0 - d / 2.2 * 0.6);
            c.set(stripX + x, stripY + y, col);
        }
    }
    // The depth track beside it: a light column with ticks every 8 rows, longer every 40.
    const int trackX = stripX + stripW + 2;
    c.fill(trackX, stripY, 12, stripH, {211, 208, 201});
    for (int y = 0; y < stripH; y += 8) {
        int len = y % 40 == 0 ? 8 : 4;
        c.fill(trackX, stripY + y, len, 1, {20, 20, 20});
    }
    // The frame of strip and track.
    const Rgb edge{150, 170, 200};
    c.fill(stripX - 1, stripY - 1, trackX + 12 - stripX + 2, 1, edge);
    c.fill(stripX - 1, stripY + stripH, trackX + 12 - stripX + 2, 1, edge);
    c.fill(stripX - 1, stripY - 1, 1, stripH + 2, edge);
    c.fill(trackX + 12, stripY - 1, 1, stripH + 2, edge);

    // VEXA in block letters of 7-pixel cells, with a soft shadow.
    const char* const* letters[4] = {kLetterV, kLetterE, kLetterX, kLetterA};
    const int cell = 7, letterX = trackX + 30, letterY = (kLogoHeight - 7 * cell) / 2 - 6;
    for (int pass = 0; pass < 2; ++pass) {
        const int shift = pass == 0 ? 3 : 0;
        for (int l = 0; l < 4; ++l) {
            for (int gy = 0; gy < 7; ++gy) {
                for (int gx = 0; gx < 5; ++gx) {
                    if (letters[l][gy][gx] != '#') continue;
                    int x0 = letterX + l * 6 * cell + gx * cell + shift, y0 = letterY + gy * cell + shift;
                    for (int y = 0; y < cell; ++y) {
                        Rgb col = pass == 0 ? Rgb{4, 10, 26}
                                            : mix({255, 236, 200}, {232, 150, 70}, (gy * cell + y) / 49.0);
                        c.fill(x0, y0 + y, cell, 1, col);
                    }
                }
            }
        }
    }
    // A thin copper rule under the word.
    const int ruleY = letterY + 7 * cell + 10;
    for (int x = letterX; x < letterX + 4 * 6 * cell - cell; ++x)
        c.set(x, ruleY, mix({232, 150, 70}, {24, 58, 104}, std::fabs(x - (letterX + 80.0)) / 110.0));
    return c.take();
}

}  // namespace quelt
