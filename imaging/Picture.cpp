#include "imaging/Picture.h"

#include <turbojpeg.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>

#include "platform/Files.h"

namespace quelt {

namespace {

constexpr long kMaxPicturePixels = 64L * 1024 * 1024;  // a logo; larger files are refused

}  // namespace

bool decodeJpeg(const std::uint8_t* bytes, size_t size, std::vector<std::uint32_t>& pixels, int& width,
                int& height) {
    if (!bytes || size == 0) return false;
    tjhandle handle = tjInitDecompress();
    if (!handle) return false;
    int w = 0, h = 0, subsampling = 0, colourspace = 0;
    bool ok = tjDecompressHeader3(handle, bytes, static_cast<unsigned long>(size), &w, &h, &subsampling,
                                  &colourspace) == 0 &&
              w > 0 && h > 0 && static_cast<long>(w) * h <= kMaxPicturePixels;
    std::vector<std::uint8_t> rgb;
    if (ok) {
        rgb.resize(static_cast<size_t>(w) * h * 3);
        ok = tjDecompress2(handle, bytes, static_cast<unsigned long>(size), rgb.data(), w, w * 3, h, TJPF_RGB,
                           TJFLAG_ACCURATEDCT) == 0;
    }
    tjDestroy(handle);
    if (!ok) return false;
    pixels.resize(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = 0xFF000000u | std::uint32_t{rgb[3 * i]} << 16 | std::uint32_t{rgb[3 * i + 1]} << 8 |
                    rgb[3 * i + 2];
    }
    width = w;
    height = h;
    return true;
}

bool CPicture::Load(const std::string& path) {
    Release();
    std::string bytes, why;
    ReadFileResult read = readRegularFile(path, bytes, &why);
    if (read == ReadFileResult::Missing) {
        operator_.message(std::strerror(ENOENT), MessageKind::Error);
        return false;
    }
    if (read != ReadFileResult::Ok) {
        operator_.message(why, MessageKind::Error);
        return false;
    }
    fileSize = bytes.size();
    return LoadFromMemory(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

bool CPicture::LoadFromMemory(const std::uint8_t* bytes, size_t size) {
    std::vector<std::uint32_t> pixels;
    int w = 0, h = 0;
    bool decoded;
    try {
        decoded = decodeJpeg(bytes, size, pixels, w, h);
    } catch (const std::bad_alloc&) {
        operator_.message("Can not allocate enough memory\t", MessageKind::Error);
        return false;
    }
    if (!decoded) {
        operator_.message("IPicture interface is not supported\t", MessageKind::Error);
        return false;
    }
    pixels_ = std::move(pixels);
    pixelWidth_ = w;
    pixelHeight_ = h;
    fileSize = size;
    UpdateSize(96, 96);
    return true;
}

bool CPicture::Render(std::uint32_t* target, int targetWidth, int targetHeight, int stride, int x, int y,
                      int width, int height) const {
    if (pixels_.empty() || !target || width <= 0 || height <= 0) return false;
    for (int ty = 0; ty < height; ++ty) {
        int row = y + ty;
        if (row < 0 || row >= targetHeight) continue;
        int sy = static_cast<int>(static_cast<long>(ty) * pixelHeight_ / height);
        for (int tx = 0; tx < width; ++tx) {
            int col = x + tx;
            if (col < 0 || col >= targetWidth) continue;
            int sx = static_cast<int>(static_cast<long>(tx) * pixelWidth_ / width);
            target[static_cast<size_t>(row) * stride + col] =
                pixels_[static_cast<size_t>(sy) * pixelWidth_ + sx];
        }
    }
    return true;
}

void CPicture::UpdateSize(int dpiX, int dpiY) {
    width = pixelWidth_ * dpiX / 96;
    height = pixelHeight_ * dpiY / 96;
}

void CPicture::Release() {
    pixels_.clear();
    pixelWidth_ = pixelHeight_ = 0;
    width = height = 0;
    fileSize = 0;
}

}  // namespace quelt
