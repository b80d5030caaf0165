#include "imaging/PngFile.h"

#include <array>
#include <fstream>

namespace quelt {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kStoredBlockMax = 65535;  // bytes in one stored deflate block

const std::array<std::uint32_t, 256>& crcTable() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

std::uint32_t crc32(const std::uint8_t* p, size_t n, std::uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < n; ++i)
        crc = crcTable()[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void putBig32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 24));
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

std::uint32_t big32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

void chunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
    putBig32(out, static_cast<std::uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBig32(out, crc32(&out[start], out.size() - start));
}

}  // namespace

std::vector<std::uint8_t> encodePng(const Raster32& r) {
    std::vector<std::uint8_t> out(kSignature.begin(), kSignature.end());
    std::vector<std::uint8_t> header;
    putBig32(header, static_cast<std::uint32_t>(r.width));
    putBig32(header, static_cast<std::uint32_t>(r.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, filter 0, no interlace
    chunk(out, "IHDR", header);

    // Scan lines: filter byte 0, then R, G, B.
    std::vector<std::uint8_t> raw;
    raw.reserve(static_cast<size_t>(r.height) * (1 + 3 * static_cast<size_t>(r.width)));
    for (int y = 0; y < r.height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < r.width; ++x) {
            const std::uint32_t p = r.at(x, y);
            raw.push_back(static_cast<std::uint8_t>(p >> 16));
            raw.push_back(static_cast<std::uint8_t>(p >> 8));
            raw.push_back(static_cast<std::uint8_t>(p));
        }
    }
    // A zlib stream of stored blocks.
    std::vector<std::uint8_t> z{0x78, 0x01};
    size_t at = 0;
    do {
        const size_t n = std::min(kStoredBlockMax, raw.size() - at);
        const bool last = at + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<std::uint8_t>(n));
        z.push_back(static_cast<std::uint8_t>(n >> 8));
        z.push_back(static_cast<std::uint8_t>(~n));
        z.push_back(static_cast<std::uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                 raw.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
    } while (at < raw.size());
    std::uint32_t a = 1, b = 0;  // Adler-32
    for (std::uint8_t x : raw) {
        a = (a + x) % 65521;
        b = (b + a) % 65521;
    }
    putBig32(z, b << 16 | a);
    chunk(out, "IDAT", z);
    chunk(out, "IEND", {});
    return out;
}

bool writePng(const Raster32& raster, const std::string& path) {
    const std::vector<std::uint8_t> bytes = encodePng(raster);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f.flush());
}

bool readStoredPng(const std::vector<std::uint8_t>& bytes, Raster32& out) {
    if (bytes.size() < 8 || !std::equal(kSignature.begin(), kSignature.end(), bytes.begin())) return false;
    size_t at = 8;
    std::vector<std::uint8_t> z;
    int width = 0, height = 0;
    while (at + 12 <= bytes.size()) {
        const std::uint32_t n = big32(&bytes[at]);
        if (n > bytes.size() - at - 12) return false;
        const std::string type(bytes.begin() + static_cast<std::ptrdiff_t>(at + 4),
                               bytes.begin() + static_cast<std::ptrdiff_t>(at + 8));
        const std::uint8_t* data = &bytes[at + 8];
        if (crc32(&bytes[at + 4], n + 4) != big32(data + n)) return false;
        if (type == "IHDR") {
            if (n != 13 || data[8] != 8 || data[9] != 2) return false;
            width = static_cast<int>(big32(data));
            height = static_cast<int>(big32(data + 4));
        } else if (type == "IDAT") {
            z.insert(z.end(), data, data + n);
        }
        at += 12 + n;
    }
    if (width <= 0 || height <= 0 || width > 1 << 14 || height > 1 << 14 || z.size() < 2) return false;
    std::vector<std::uint8_t> raw;
    size_t p = 2;
    for (;;) {
        if (p + 5 > z.size() || (z[p] & 0x06) != 0) return false;  // stored blocks only
        const bool last = z[p] & 1;
        const size_t n = z[p + 1] | z[p + 2] << 8;
        p += 5;
        if (p + n > z.size()) return false;
        raw.insert(raw.end(), z.begin() + static_cast<std::ptrdiff_t>(p),
                   z.begin() + static_cast<std::ptrdiff_t>(p + n));
        p += n;
        if (last) break;
    }
    const size_t line = 1 + 3 * static_cast<size_t>(width);
    if (raw.size() != line * static_cast<size_t>(height)) return false;
    out = Raster32(width, height);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* s = &raw[static_cast<size_t>(y) * line];
        if (s[0] != 0) return false;
        for (int x = 0; x < width; ++x)
            out.set(x, y, 0xFF000000u | s[1 + 3 * x] << 16 | s[2 + 3 * x] << 8 | s[3 + 3 * x]);
    }
    return true;
}

}  // namespace quelt
