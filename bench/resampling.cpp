// Resampling throughput on a long log: 100 000 full lines (90 samples) every 5 mm, resampled at 5 mm
// and at 7 mm.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "config/Ini.h"
#include "export/Resampling.h"

namespace fs = std::filesystem;
using namespace quelt;

namespace {

constexpr int kLines = 100000;
constexpr int kSamples = 90;
constexpr int kLineSize = 37 + 4 * kSamples + 2;

struct LongLog {
    fs::path dir, header;
    LongLog() {
        dir = fs::temp_directory_path() / ("quelt-bench-rs-" + std::to_string(::getpid()));
        fs::create_directories(dir / "home");
        setProgramDirectory((dir / "home").string() + "/");
        header = dir / "long.HED";
        std::ofstream d(dir / "long.VIV", std::ios::binary);
        std::vector<std::uint8_t> line(kLineSize, 0);
        line[15] = 4;
        for (int i = 0; i < kLines; ++i) {
            std::uint32_t depth = static_cast<std::uint32_t>(10000 + 5 * i);
            for (int b = 0; b < 4; ++b)
                line[static_cast<size_t>(b)] = static_cast<std::uint8_t>(depth >> (8 * b));
            for (int s = 0; s < kSamples; ++s) {
                line[37 + 4 * static_cast<size_t>(s)] = static_cast<std::uint8_t>(i + s);
                line[39 + 4 * static_cast<size_t>(s)] = static_cast<std::uint8_t>(3 * s + i);
            }
            d.write(reinterpret_cast<const char*>(line.data()), kLineSize);
        }
        std::ofstream h(header, std::ios::binary);
        h << "[General]\r\nDataFiles=1\r\nS/N=1\r\nScreenMode=0\r\n[WellInfo]\r\nDepthUnit=0\r\n[File1]\r\n"
          << "FileName=long.VIV\r\nStartDepth=10000\r\nEndDepth=" << 10000 + 5 * (kLines - 1)
          << "\r\nRecLineSize=" << kLineSize << "\r\n";
        static const char* const kNames[] = {"DPTH", "TIME", "SHAN", "BLNK", "PEAK", "GAIN", "RESO", "STEP",
                                             "BAUD", "PULS", "N/U",  "HX",   "GX",   "HY",   "GY",   "HZ",
                                             "GZ",   "NGAM", "GCLK", "TTEM", "PTEM", "SCAN", "CSUM"};
        static const int kTypes[] = {4, 4, 2, 3, 3, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 3, 1, 1, 1, 12, 3};
        for (int c = 0; c < 23; ++c)
            h << "[Channel" << c << "]\r\nTitle=" << kNames[c] << "\r\nTitleShort=" << kNames[c]
              << "\r\nSampleType=" << kTypes[c] << "\r\nSampleCount=" << (c == 21 ? kSamples : 1) << "\r\n";
    }
    ~LongLog() { fs::remove_all(dir); }
};

LongLog& longLog() {
    static LongLog log;
    return log;
}

// The baseline: a plain sequential read of the same data file, in the same run.
void BM_SequentialRead(benchmark::State& state) {
    const fs::path data = longLog().dir / "long.VIV";
    std::vector<char> line(kLineSize);
    for (auto _ : state) {
        std::FILE* f = std::fopen(data.c_str(), "rb");
        long sum = 0;
        while (std::fread(line.data(), kLineSize, 1, f) == 1)
            sum += line[0];
        std::fclose(f);
        benchmark::DoNotOptimize(sum);
    }
    state.counters["source_lines_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kLines, benchmark::Counter::kIsRate);
}

void BM_Resample(benchmark::State& state) {
    LongLog& log = longLog();
    Settings settings;
    ProgramPaths paths;
    PlacementRecord placements;
    ScriptedOperator op;
    SondeDatabase sondes(settings, op);
    SondeEntry e;
    e.serialNumber = 1;
    e.heightOffset = 0;
    sondes.setSlot(0, e);
    sondes.SelectSonde(0);
    CFileResampling rs(settings, paths, placements, op, sondes, nullptr);
    if (!rs.LoadInput(log.header.string()) || !rs.CheckInterval(std::to_string(state.range(0)))) {
        state.SkipWithError("load failed");
        return;
    }
    std::int64_t lines = 0;
    for (auto _ : state) {
        if (!rs.Resample(true)) state.SkipWithError("resample failed");
        lines += rs.linesWritten();
    }
    state.counters["source_lines_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kLines, benchmark::Counter::kIsRate);
    state.counters["output_lines_per_s"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_SequentialRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Resample)->Arg(5)->Arg(7)->Unit(benchmark::kMillisecond);
