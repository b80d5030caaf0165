#pragma once
// CPicture: a JPEG picture file (the optional logo.jpg of the program folder) decoded into memory and
// drawn scaled into a rectangle of a 0xAARRGGBB raster. Failures go to the operator and leave the
// picture empty.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Operator.h"

namespace quelt {

inline constexpr const char* kLogoFileName = "logo.jpg";

class CPicture {
  public:
    explicit CPicture(Operator& op) : operator_(op) {}
    virtual ~CPicture() = default;

    bool Load(const std::string& path);
    bool LoadFromMemory(const std::uint8_t* bytes, size_t size);
    // Draws the whole picture scaled into (x, y, width, height) of `target` (`stride` pixels a row,
    // `targetWidth` x `targetHeight`); false when there is no picture.
    bool Render(std::uint32_t* target, int targetWidth, int targetHeight, int stride, int x, int y, int width,
                int height) const;
    // Width and height for the dots per inch of the drawing surface (96 gives the picture's pixels).
    void UpdateSize(int dpiX, int dpiY);
    void Release();

    bool empty() const { return pixels_.empty(); }
    int width = 0;  // pixels at the surface's resolution
    int height = 0;
    size_t fileSize = 0;
    // The decoded picture, 0xFFRRGGBB, pixelWidth x pixelHeight.
    const std::vector<std::uint32_t>& pixels() const { return pixels_; }
    int pixelWidth() const { return pixelWidth_; }
    int pixelHeight() const { return pixelHeight_; }

  private:
    Operator& operator_;
    std::vector<std::uint32_t> pixels_;
    int pixelWidth_ = 0, pixelHeight_ = 0;
};

// Decodes a JPEG into 0xFFRRGGBB pixels. False when the bytes are no JPEG this decoder reads.
bool decodeJpeg(const std::uint8_t* bytes, size_t size, std::vector<std::uint32_t>& pixels, int& width,
                int& height);

}  // namespace quelt
