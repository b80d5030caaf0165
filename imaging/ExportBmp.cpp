#include "imaging/ExportBmp.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "platform/Paths.h"
#include "platform/Text.h"

namespace quelt {

namespace {

constexpr std::array<std::uint8_t, 56> kDigitBits = {
    0x71, 0x1C, 0xE1, 0x3D, 0xDF, 0x73, 0x80, 0x8B, 0x23, 0x13, 0x22, 0x22, 0x8C, 0x40,
    0x8D, 0x02, 0x13, 0x42, 0x02, 0x8C, 0x40, 0x89, 0x02, 0x65, 0x7B, 0xC4, 0x74, 0x40,
    0x89, 0x04, 0x19, 0x06, 0x24, 0x8B, 0xC0, 0x89, 0x08, 0x1F, 0x86, 0x28, 0x88, 0x40,
    0x89, 0x11, 0x11, 0x46, 0x28, 0x8C, 0x40, 0x71, 0x3E, 0xE1, 0x39, 0xC8, 0x73, 0x80,
};

constexpr int kLabelFirst = 364;  // the label span of the track, 364..399
constexpr int kLabelEnd = 400;

void putRgb(std::uint8_t* p, std::uint32_t rgb) {
    p[0] = static_cast<std::uint8_t>(rgb & 0xFF);
    p[1] = static_cast<std::uint8_t>(rgb >> 8 & 0xFF);
    p[2] = static_cast<std::uint8_t>(rgb >> 16 & 0xFF);
}

}  // namespace

const std::array<std::uint8_t, 56>& digitFontBits() {
    return kDigitBits;
}

std::array<std::uint8_t, 1000> expandDigitFont(const std::array<std::uint8_t, 56>& bits) {
    std::array<std::uint8_t, 1000> font{};
    for (int r = 0; r < kDigitGlyphRows; ++r) {
        for (int c = 0; c < kDigitFontColumns; ++c) {
            bool on = bits[r * 7 + c / 8] & (0x80 >> (c % 8));
            font[r * kDigitFontColumns + c] = on ? 255 : 0;
        }
    }
    return font;
}

const std::array<std::uint8_t, 1000>& digitFont() {
    static const std::array<std::uint8_t, 1000> font = expandDigitFont(kDigitBits);
    return font;
}

CExportBmp::CExportBmp(const ColourTable& table, int colourMode) : table_(table), mode_(colourMode) {}

void CExportBmp::ComposeRow(ExportRaster& raster, const std::uint8_t* sampleLine, int columnOffset,
                            int bytesPerRow, int rowIndex, int first, int end, int resolutionCode) const {
    int code = resolutionCode >= 1 && resolutionCode <= 4 ? resolutionCode : 1;
    int width = end - first;
    if (width <= 0 || rowIndex < 0 || rowIndex >= kExportRows) return;
    int offset = ((columnOffset % width) + width) % width;
    std::uint8_t* row = raster.bytes.data() + static_cast<size_t>(rowIndex) * bytesPerRow;
    int q = first;
    for (int j = first; j < end; j += code, ++q) {
        int t = sampleLine[q];
        int v = j >= end - code ? sampleLine[first] : sampleLine[q + 1];
        int values[4] = {t, t, t, t};
        switch (code) {
            case 2:
                values[1] = (t + v) / 2;
                break;
            case 3:
                values[1] = (v + 2 * t) / 3;
                values[2] = (t + 2 * v) / 3;
                break;
            case 4:
                values[1] = (v + 2 * t) / 3;
                values[2] = (t + v) / 2;
                values[3] = (t + 2 * v) / 3;
                break;
            default:
                break;
        }
        for (int k = 0; k < code && j + k < end; ++k) {
            int u = j + k + offset;
            if (u > end - 1) u -= width;
            std::uint32_t px = table_.at(std::clamp(values[k], 0, 255), mode_);
            putRgb(row + static_cast<size_t>(u) * kExportBytesPerPixel, px & 0xFFFFFF);
        }
    }
}

void CExportBmp::ClearRaster(ExportRaster& raster) const {
    std::fill(raster.bytes.begin(), raster.bytes.end(), 0);
    DrawTrackBase(raster, kExportLightGrey);
}

void CExportBmp::DrawTrackBase(ExportRaster& raster, std::uint32_t colour) const {
    for (int x = 0; x < trackWidth; ++x)
        putRgb(raster.pixel(0, pictureWidth + x), colour);
    for (int r = 1; r < rows; ++r)
        std::memcpy(raster.pixel(r, pictureWidth), raster.pixel(0, pictureWidth), bytesOfTrack);
}

void CExportBmp::DrawTick(ExportRaster& raster, int row, int length) const {
    if (row < 0 || row >= rows) return;
    std::uint32_t colour = table_.at(0, mode_) & 0xFFFFFF;
    length = std::clamp(length, 0, 18);
    for (int x = 364; x <= 363 + length; ++x)
        putRgb(raster.pixel(row, x), colour);
    for (int x = 400 - length; x <= 399; ++x)
        putRgb(raster.pixel(row, x), colour);
}

void CExportBmp::DrawLabel(ExportRaster& raster, int value, int glyphRow, bool reversed, int row,
                           std::uint32_t colour) const {
    if (row < 0 || row >= rows) return;
    std::string text = format("%i", value);
    std::uint32_t span[kLabelEnd - kLabelFirst];
    std::fill(std::begin(span), std::end(span), background);
    int gr = reversed ? 7 - glyphRow : glyphRow;
    if (text.size() <= 5 && gr >= 0 && gr < kDigitGlyphRows) {
        std::uint32_t ink = value < 0 ? kExportRed : colour;
        const auto& font = digitFont();
        int len = static_cast<int>(text.size());
        int last = 400 + (5 * len - 30) / 2;
        for (int i = len - 1; i >= 0; --i) {
            char c = text[i];
            if (c == '-') {
                if (gr == 3) {
                    for (int x = last - 2; x <= last; ++x)
                        span[x - kLabelFirst] = ink;
                }
                last -= 3;
                continue;
            }
            int d = c - '0';
            for (int k = 0; k < 5; ++k) {
                if (font[gr * kDigitFontColumns + 5 * d + k]) span[last - 4 + k - kLabelFirst] = ink;
            }
            last -= 6;
        }
    }
    for (int x = kLabelFirst; x < kLabelEnd; ++x)
        putRgb(raster.pixel(row, x), span[x - kLabelFirst]);
}

namespace {

// The encoders this program can write, in enumeration order.
constexpr const char* kInstalledEncoders[] = {"image/bmp", "image/jpeg"};

}  // namespace

int GetEncoderByExtension(const std::string& extension, std::string* type) {
    static const struct {
        const char* ext;
        const char* type;
    } kTypes[] = {{"jpg", "image/jpeg"},  {"jpeg", "image/jpeg"}, {"tif", "image/tiff"},
                  {"tiff", "image/tiff"}, {"bmp", "image/bmp"},   {"png", "image/png"},
                  {"gif", "image/gif"}};
    const char* wanted = nullptr;
    for (const auto& t : kTypes) {
        if (extension == t.ext) wanted = t.type;
    }
    if (!wanted) return -1;
    for (int i = 0; i < static_cast<int>(std::size(kInstalledEncoders)); ++i) {
        if (std::string_view(kInstalledEncoders[i]) == wanted) {
            if (type) *type = wanted;
            return i;
        }
    }
    return -1;
}

bool encodeJpegBgr(const std::uint8_t* pixels, int width, int rows, int pitch, bool flip, int quality,
                   std::vector<std::uint8_t>& jpeg) {
    if (width <= 0 || rows <= 0) return false;
    tjhandle handle = tjInitCompress();
    if (!handle) return false;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    int flags = TJFLAG_ACCURATEDCT | (flip ? TJFLAG_BOTTOMUP : 0);
    int rc =
        tjCompress2(handle, pixels, width, pitch, rows, TJPF_BGR, &out, &size, TJSAMP_444, quality, flags);
    bool ok = rc == 0 && out && size > 0;
    if (ok) jpeg.assign(out, out + size);
    tjFree(out);
    tjDestroy(handle);
    return ok;
}

bool SaveJpeg(const ExportRaster& raster, const std::string& path, int rowCount, bool flip) {
    if (GetEncoderByExtension("jpg") < 0) return false;
    if (rowCount <= 0 || rowCount > kExportRows) return false;
    std::vector<std::uint8_t> jpeg;
    if (!encodeJpegBgr(raster.bytes.data(), 764, rowCount, kExportBytesPerRow, flip, kJpegQuality, jpeg)) {
        return false;
    }
    return replaceFileAtomically(path,
                                 std::string_view(reinterpret_cast<const char*>(jpeg.data()), jpeg.size()));
}

namespace {

void putLe(std::string& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
}

}  // namespace

bool SaveBmp24(const std::uint8_t* pixels, int width, int rows, int pitch, const std::string& path) {
    if (!pixels || width <= 0 || rows <= 0 || pitch < width * 3) return false;
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(rows);
    std::string out;
    out.reserve(54 + imageSize);
    out += "BM";
    putLe(out, 54 + imageSize, 4);
    putLe(out, 0, 4);
    putLe(out, 54, 4);
    putLe(out, 40, 4);  // BITMAPINFOHEADER
    putLe(out, static_cast<std::uint32_t>(width), 4);
    putLe(out, static_cast<std::uint32_t>(rows), 4);  // positive: bottom row first
    putLe(out, 1, 2);
    putLe(out, 24, 2);
    putLe(out, 0, 4);
    putLe(out, imageSize, 4);
    putLe(out, 3780, 4);  // 96 dots per inch
    putLe(out, 3780, 4);
    putLe(out, 0, 4);
    putLe(out, 0, 4);
    for (int r = rows - 1; r >= 0; --r) {
        out.append(reinterpret_cast<const char*>(pixels) + static_cast<size_t>(r) * pitch,
                   static_cast<size_t>(width) * 3);
        out.append(stride - static_cast<std::uint32_t>(width) * 3, '\0');
    }
    return replaceFileAtomically(path, out);
}

namespace {

std::string pictureType(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    if (!ext.empty()) ext.erase(0, 1);
    for (char& ch : ext)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::string type;
    if (GetEncoderByExtension(ext, &type) < 0) return "";
    return type;
}

}  // namespace

bool PictureFileSupported(const std::string& path) {
    return !pictureType(path).empty();
}

bool SavePictureFile(const std::uint8_t* pixels, int width, int rows, int pitch, const std::string& path,
                     bool flip) {
    const std::string type = pictureType(path);
    if (type == "image/bmp") {
        if (!flip) return SaveBmp24(pixels, width, rows, pitch, path);
        std::vector<std::uint8_t> flipped(static_cast<size_t>(rows) * static_cast<size_t>(pitch));
        for (int r = 0; r < rows; ++r)
            std::memcpy(&flipped[static_cast<size_t>(r) * pitch],
                        pixels + static_cast<size_t>(rows - 1 - r) * pitch, static_cast<size_t>(pitch));
        return SaveBmp24(flipped.data(), width, rows, pitch, path);
    }
    if (type != "image/jpeg") return false;
    std::vector<std::uint8_t> jpeg;
    if (!encodeJpegBgr(pixels, width, rows, pitch, flip, kJpegQuality, jpeg)) return false;
    return replaceFileAtomically(path,
                                 std::string_view(reinterpret_cast<const char*>(jpeg.data()), jpeg.size()));
}

}  // namespace quelt
