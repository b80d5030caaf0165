// LAS export of a long log (120 000 lines of 764 bytes, one per 5 mm) against a plain sequential
// read of the same data file in the same run.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "config/Ini.h"
#include "export/ExportAdapters.h"
#include "export/LasExport.h"

namespace fs = std::filesystem;
using namespace quelt;

namespace {

constexpr int kLines = 120000;
constexpr int kLineSize = 764;

struct LongLog {
    fs::path dir, header, data;
    LongLog() {
        dir = fs::temp_directory_path() / ("quelt-bench-las-" + std::to_string(::getpid()));
        fs::create_directories(dir / "home");
        setProgramDirectory((dir / "home").string() + "/");
        header = dir / "long.HED";
        data = dir / "long.VIV";
        std::ofstream d(data, std::ios::binary);
        std::vector<std::uint8_t> line(kLineSize, 0);
        for (int i = 0; i < kLines; ++i) {
            std::int32_t depth = 10000 + 5 * i;
            for (int b = 0; b < 4; ++b)
                line[static_cast<size_t>(b)] =
                    static_cast<std::uint8_t>(static_cast<std::uint32_t>(depth) >> (8 * b));
            for (int a = 0; a < 6; ++a) {
                auto v = static_cast<std::uint16_t>(100 * a + i % 200);
                line[20 + 2 * static_cast<size_t>(a)] = static_cast<std::uint8_t>(v);
                line[21 + 2 * static_cast<size_t>(a)] = static_cast<std::uint8_t>(v >> 8);
            }
            line[32] = static_cast<std::uint8_t>(i % 250);
            line[34] = 100;
            d.write(reinterpret_cast<const char*>(line.data()), kLineSize);
        }
        std::ofstream h(header, std::ios::binary);
        h << "[General]\r\nDataFiles=1\r\nS/"
             "N=1\r\n[WellInfo]\r\nDepthUnit=0\r\n[File1]\r\nFileName=long.VIV\r\n"
          << "StartDepth=10000\r\nEndDepth=" << 10000 + 5 * (kLines - 1) << "\r\nRecLineSize=" << kLineSize
          << "\r\n";
        // The channels: the 37-byte head, 181 four-byte samples and three bytes the readers skip.
        static const char* const kNames[] = {"DPTH", "TIME", "SHAN", "BLNK", "PEAK", "GAIN", "RESO",
                                             "STEP", "BAUD", "PULS", "N/U",  "HX",   "GX",   "HY",
                                             "GY",   "HZ",   "GZ",   "NGAM", "GCLK", "TTEM", "PTEM",
                                             "SCAN", "PAD1", "PAD2", "PAD3"};
        static const int kTypes[] = {4, 4, 2, 3, 3, 1, 1, 1, 1,  1, 1, 2, 2,
                                     2, 2, 2, 2, 3, 1, 1, 1, 11, 1, 1, 1};
        for (int c = 0; c < 25; ++c)
            h << "[Channel" << c << "]\r\nTitle=" << kNames[c] << "\r\nTitleShort=" << kNames[c]
              << "\r\nSampleType=" << kTypes[c] << "\r\nSampleCount=" << (c == 21 ? 181 : 1) << "\r\n";
    }
    ~LongLog() { fs::remove_all(dir); }
};

LongLog& longLog() {
    static LongLog log;
    return log;
}

std::optional<OrientationValues> orientation(double gx, double gy, double gz, double hx, double hy, double hz,
                                             double) {
    OrientationValues v;
    v.tilt = gx;
    v.azimuth = gy;
    v.highSide = gz;
    v.magToolface = hx;
    v.gravityTotal = hy;
    v.magneticTotal = hz;
    v.fieldAngle = 1;
    return v;
}

void BM_SequentialRead(benchmark::State& state) {
    LongLog& log = longLog();
    std::vector<char> line(kLineSize);
    for (auto _ : state) {
        std::FILE* f = std::fopen(log.data.c_str(), "rb");
        long sum = 0;
        while (std::fread(line.data(), kLineSize, 1, f) == 1)
            sum += line[0];
        std::fclose(f);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}

// The floor of any export at the 1 cm step: the same lines read, and on each line of the 1 cm grid
// (one in two) sixteen numbers formatted with std::to_chars and written through one buffer.
void BM_ReadAndFormat(benchmark::State& state) {
    LongLog& log = longLog();
    const fs::path out = log.dir / "format.txt";
    std::vector<char> line(kLineSize);
    std::vector<char> text(1 << 16);
    for (auto _ : state) {
        std::FILE* f = std::fopen(log.data.c_str(), "rb");
        std::FILE* o = std::fopen(out.c_str(), "wb");
        size_t used = 0;
        while (std::fread(line.data(), kLineSize, 1, f) == 1) {
            std::int32_t depth;
            std::memcpy(&depth, line.data(), 4);
            if (depth % 10 != 0) continue;
            if (text.size() - used < 16 * 32) {
                std::fwrite(text.data(), 1, used, o);
                used = 0;
            }
            for (int v = 0; v < 16; ++v) {
                std::int16_t axis;
                std::memcpy(&axis, line.data() + 20 + 2 * (v % 6), 2);
                const double value = v == 0 ? depth / 1000.0 : axis / 7.0;
                text[used++] = ' ';
                auto r = std::to_chars(text.data() + used, text.data() + text.size(), value,
                                       std::chars_format::fixed, 2);
                used = static_cast<size_t>(r.ptr - text.data());
            }
            text[used++] = '\n';
        }
        std::fwrite(text.data(), 1, used, o);
        std::fclose(o);
        std::fclose(f);
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}

void BM_LasExport(benchmark::State& state) {
    LongLog& log = longLog();
    Settings settings;
    ProgramPaths paths;
    PlacementRecord placements;
    ScriptedOperator op;
    SondeDatabase sondes(settings, op);
    // Arg 1: the orientation curves from the decoders' routine; 0: a plain function of the axes.
    CLasExport las(settings, paths, placements, op, sondes,
                   state.range(1) ? decoderOrientationRoutine(settings) : OrientationRoutine(orientation));
    LasChoices choices;
    choices.stepIndex = static_cast<int>(state.range(0));
    for (auto _ : state) {
        if (!las.LoadInput(log.header.string()) || !las.Start(choices, true))
            state.SkipWithError("export failed");
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}

}  // namespace

BENCHMARK(BM_SequentialRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAndFormat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LasExport)->Args({0, 0})->Args({0, 1})->Args({3, 1})->Unit(benchmark::kMillisecond);
