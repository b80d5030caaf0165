#pragma once
// A small hand-made log for the export tests: a header written as INI text and a data file of
// 40-byte lines holding the 37-byte head (depth, time, shaft angle, settings bytes, axes, gamma count,
// counting time, temperatures) and three pad bytes.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "stream/DataFile.h"

namespace quelt::testing {

namespace fs = std::filesystem;

struct FixtureLine {
    std::int32_t depth = 0;  // thousandths of the log unit
    std::uint8_t gclk = 100;
    std::uint16_t ngam = 0;
    std::int16_t axes[6] = {0, 0, 0, 0, 0, 0};  // hx gx hy gy hz gz
    std::int32_t time = 0;
    std::int16_t shan = 0;
};

// With samples (resolution code 4: 90 per line), the line is the usual full layout: the head, four
// bytes per sample (travel time, amplitude byte, extra byte) and the 16-bit sum.
inline constexpr int kFixtureSamples = 90;
inline constexpr int kFixtureFullLine = 37 + 4 * kFixtureSamples + 2;

inline std::uint16_t fixtureTravel(std::int32_t depth, int i) {
    return static_cast<std::uint16_t>((depth / 5 + i * 7) % 4000);
}
inline std::uint8_t fixtureAmplitude(std::int32_t depth, int i) {
    return static_cast<std::uint8_t>((depth / 5 + i * 3) % 256);
}

inline std::vector<std::uint8_t> fixtureBytes(const FixtureLine& l, size_t size = 40) {
    std::vector<std::uint8_t> b(size, 0);
    auto put = [&](size_t at, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b[at + static_cast<size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put(0, static_cast<std::uint32_t>(l.depth), 4);
    for (int a = 0; a < 6; ++a)
        put(20 + 2 * static_cast<size_t>(a), static_cast<std::uint16_t>(l.axes[a]), 2);
    put(32, l.ngam, 2);
    b[34] = l.gclk;
    put(4, static_cast<std::uint32_t>(l.time), 4);
    put(8, static_cast<std::uint16_t>(l.shan), 2);
    if (size == static_cast<size_t>(kFixtureFullLine)) {
        b[15] = 4;  // resolution code: 90 samples
        for (int i = 0; i < kFixtureSamples; ++i) {
            size_t at = 37 + 4 * static_cast<size_t>(i);
            put(at, fixtureTravel(l.depth, i), 2);
            b[at + 2] = fixtureAmplitude(l.depth, i);
            b[at + 3] = 0x11;
        }
    }
    return b;
}

struct FixtureLog {
    std::string company = "Torvanel Drilling";
    std::string wellname = "W-1";
    int serial = 846;
    int depthUnit = 0;
    double declination = 1.5;
    int recLineSize = 40;  // kFixtureFullLine writes the channel sections of the full layout
    int screenMode = 1;
    std::map<std::string, std::string> extraWell;
    std::vector<FixtureLine> lines;

    // Writes NAME.HED and NAME.VIV into `dir`; returns the header path.
    std::string write(const fs::path& dir, const std::string& name) const {
        fs::create_directories(dir);
        std::string viv = name + ".VIV";
        std::int32_t first = lines.empty() ? 0 : lines.front().depth;
        std::int32_t last = lines.empty() ? 0 : lines.back().depth;
        std::ofstream h(dir / (name + ".HED"), std::ios::binary);
        h << "[General]\r\nVersion=101\r\nDataFiles=1\r\nS/N=" << serial << "\r\nScreenMode=" << screenMode
          << "\r\nMagneticDeclination=" << declination << "\r\n[WellInfo]\r\nDepthUnit=" << depthUnit
          << "\r\nStartdepth=" << first << "\r\nEndDepth=" << last << "\r\nCompany=" << company
          << "\r\nWellname=" << wellname << "\r\n";
        for (const auto& [k, v] : extraWell)
            h << k << "=" << v << "\r\n";
        h << "[File1]\r\nFileName=" << viv << "\r\nStartDepth=" << first << "\r\nEndDepth=" << last
          << "\r\nReferenceUnit=" << depthUnit << "\r\nRecLineSize=" << recLineSize << "\r\n";
        // The 37-byte head as 21 channels; the full line adds the samples and the sum, the 40-byte
        // line three one-byte fields the readers skip.
        if (recLineSize == kFixtureFullLine || recLineSize == 40) {
            const bool full = recLineSize == kFixtureFullLine;
            static const char* const kNames[] = {
                "DPTH", "TIME", "SHAN", "BLNK", "PEAK", "GAIN", "RESO", "STEP", "BAUD", "PULS", "N/U", "HX",
                "GX",   "HY",   "GY",   "HZ",   "GZ",   "NGAM", "GCLK", "TTEM", "PTEM", "SCAN", "CSUM"};
            static const char* const kPadNames[] = {"PAD1", "PAD2", "PAD3"};
            static const int kTypes[] = {4, 4, 2, 3, 3, 1, 1, 1, 1, 1,  1, 2,
                                         2, 2, 2, 2, 2, 3, 1, 1, 1, 12, 3};
            for (int c = 0; c < (full ? 23 : 24); ++c) {
                const char* name = c < 21 || full ? kNames[c] : kPadNames[c - 21];
                int type = c < 21 || full ? kTypes[c] : 1;
                h << "[Channel" << c << "]\r\nTitle=" << name << "\r\nTitleShort=" << name
                  << "\r\nSampleType=" << type
                  << "\r\nSampleCount=" << (full && c == 21 ? kFixtureSamples : 1) << "\r\n";
            }
        }
        h.close();
        std::ofstream d(dir / viv, std::ios::binary);
        for (const auto& l : lines) {
            auto b = fixtureBytes(l, static_cast<size_t>(std::max(recLineSize, 40)));
            d.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        }
        return (dir / (name + ".HED")).string();
    }
};

// A log logged down (or up) at one line per centimetre between two depths in millimetres, gamma
// counts and axes that change with the line number.
inline FixtureLog centimetreLog(int fromMm, int toMm) {
    FixtureLog log;
    int dir = toMm >= fromMm ? 1 : -1;
    for (int d = fromMm, i = 0; dir > 0 ? d <= toMm : d >= toMm; d += 10 * dir, ++i) {
        FixtureLine l;
        l.depth = d;
        l.ngam = static_cast<std::uint16_t>(100 + i % 37);
        std::int16_t axes[6] = {static_cast<std::int16_t>(200 + i), static_cast<std::int16_t>(1000 + i),
                                static_cast<std::int16_t>(-300),    static_cast<std::int16_t>(50 + i % 5),
                                static_cast<std::int16_t>(400),     static_cast<std::int16_t>(-20)};
        std::copy(axes, axes + 6, l.axes);
        log.lines.push_back(l);
    }
    return log;
}

inline fs::path freshDir(const std::string& tag) {
    fs::path dir = fs::temp_directory_path() / ("quelt-export-" + std::to_string(::getpid()) + "-" + tag);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

inline std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace quelt::testing
