#pragma once
// The export raster (764 x 400 pixels, 24 bits, rows top to bottom, blue-green-red) and CExportBmp,
// which composes it row by row from sample lines with the colours of the screen picture and its own
// depth track; JPEG writing of the raster.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Palette.h"

namespace quelt {

inline constexpr int kExportRows = 400;
inline constexpr int kExportBytesPerPixel = 3;
inline constexpr int kExportBytesPerRow = 764 * kExportBytesPerPixel;  // 2292, no padding
inline constexpr int kJpegQuality = 90;
inline constexpr std::uint32_t kExportBlack = 0x000000;  // 0xRRGGBB
inline constexpr std::uint32_t kExportRed = 0xFF0000;
inline constexpr std::uint32_t kExportLightGrey = 0xD3D0C9;  // the track background

struct ExportRaster {
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(kExportRows * kExportBytesPerRow, 0);
    std::uint8_t* pixel(int row, int column) {
        return &bytes[static_cast<size_t>(row) * kExportBytesPerRow + column * kExportBytesPerPixel];
    }
    const std::uint8_t* pixel(int row, int column) const {
        return &bytes[static_cast<size_t>(row) * kExportBytesPerRow + column * kExportBytesPerPixel];
    }
};

// The digit font of the export labels: 8 glyph rows of 55 columns (digit d in columns 5d..5d+4), kept
// as 56 bytes of bits (7 a row, most significant bit first) and expanded at start into 0 or 255.
inline constexpr int kDigitGlyphRows = 8;
inline constexpr int kDigitFontColumns = 55;
const std::array<std::uint8_t, 56>& digitFontBits();
// The expanded font: glyph row r, column c at [r * 55 + c], in a buffer of 1000 bytes.
const std::array<std::uint8_t, 1000>& digitFont();
std::array<std::uint8_t, 1000> expandDigitFont(const std::array<std::uint8_t, 56>& bits);

class CExportBmp {
  public:
    // Colours from `table` in `colourMode` (colourModeOf(BlackAndWhite)).
    CExportBmp(const ColourTable& table, int colourMode);
    virtual ~CExportBmp() = default;

    // One half of raster row `rowIndex`: columns first..end-1 from samples first, first+1, ... of
    // `sampleLine`, each sample filling `code` columns interpolated toward the next sample (the last one
    // toward the first of the half), shifted right by `columnOffset` and wrapped into the half.
    void ComposeRow(ExportRaster& raster, const std::uint8_t* sampleLine, int columnOffset, int bytesPerRow,
                    int rowIndex, int first, int end, int resolutionCode) const;
    // Zero, then the light grey track.
    void ClearRaster(ExportRaster& raster) const;
    // The track columns of every row in `colour` (0xRRGGBB).
    void DrawTrackBase(ExportRaster& raster, std::uint32_t colour) const;
    // Two strokes of `length` at the inner edges of the track, in the colour of value 0.
    void DrawTick(ExportRaster& raster, int row, int length) const;
    // Glyph row `glyphRow` (7 - glyphRow when reversed) of the label of `value` across columns 364..399.
    void DrawLabel(ExportRaster& raster, int value, int glyphRow, bool reversed, int row,
                   std::uint32_t colour) const;

    std::uint32_t foreground = kExportBlack;
    std::uint32_t background = kExportLightGrey;
    const int rows = kExportRows, rowWidth = 764, pictureWidth = 360, trackWidth = 44;
    const int bitsPerPixel = 24, bytesPerPixel = 3, bytesPerRow = kExportBytesPerRow;
    const int bytesPerHalf = 1080, bytesOfTrack = 132;

  private:
    const ColourTable& table_;
    int mode_;
};

// Encoders by file extension: "jpg"/"jpeg" image/jpeg, "tif"/"tiff" image/tiff, "bmp" image/bmp,
// "png" image/png, "gif" image/gif, compared exactly. Returns the index of the first installed
// encoder of that type (with its type in `type`), or -1.
int GetEncoderByExtension(const std::string& extension, std::string* type = nullptr);

// The first `rowCount` rows of the raster as a JPEG file of quality 90, flipped vertically when `flip`
// (upward logs). True when the file was written.
bool SaveJpeg(const ExportRaster& raster, const std::string& path, int rowCount, bool flip);

// JPEG of quality `quality` from rows of blue-green-red pixels `pitch` bytes apart.
bool encodeJpegBgr(const std::uint8_t* pixels, int width, int rows, int pitch, bool flip, int quality,
                   std::vector<std::uint8_t>& jpeg);

// A lossless 24-bit BMP file (the "image/bmp" encoder) of rows of blue-green-red pixels `pitch` bytes
// apart, top row first. True when the file was written.
bool SaveBmp24(const std::uint8_t* pixels, int width, int rows, int pitch, const std::string& path);

// A picture file of rows of blue-green-red pixels `pitch` bytes apart, by the extension of `path`
// (compared without regard to case): a lossless BMP for ".bmp", a JPEG of quality 90 for ".jpg" and
// ".jpeg" (flipped vertically when `flip`). False for any other extension or when nothing was written.
bool SavePictureFile(const std::uint8_t* pixels, int width, int rows, int pitch, const std::string& path,
                     bool flip = false);
// Whether SavePictureFile writes a file of this name.
bool PictureFileSupported(const std::string& path);

}  // namespace quelt
