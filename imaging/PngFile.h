#pragma once
// A 32-bit raster (0xAARRGGBB, the picture buffer's pixel) and its PNG file. The file is written with
// stored (uncompressed) deflate blocks: the pictures are small diagnostic views, and a PNG any viewer
// opens needs no compression library.

#include <cstdint>
#include <string>
#include <vector>

namespace quelt {

struct Raster32 {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;

    Raster32() = default;
    Raster32(int w, int h, std::uint32_t fill = 0xFF000000u)
        : width(w), height(h), pixels(static_cast<size_t>(w) * static_cast<size_t>(h), fill) {}
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    std::uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    void set(int x, int y, std::uint32_t c) {
        if (inside(x, y)) pixels[static_cast<size_t>(y) * width + x] = c;
    }
};

// The PNG bytes of the raster, 8-bit RGB (alpha dropped).
std::vector<std::uint8_t> encodePng(const Raster32& raster);
// Writes the raster as a PNG file; false when it cannot be written.
bool writePng(const Raster32& raster, const std::string& path);
// Reads a PNG this writer wrote (8-bit RGB, stored blocks) back into a raster; false for anything else.
bool readStoredPng(const std::vector<std::uint8_t>& bytes, Raster32& out);

}  // namespace quelt
