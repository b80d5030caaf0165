// Reading a long log line by line, against a plain sequential read of the same data file in the same
// run. The log (60 000 lines of 759 bytes, the usual channel list at 180 samples a revolution, about
// 45 MB) is written once by the recorder's writer. Rates are lines per second and bytes per second of
// data file; the ratio to BM_PlainSequentialRead is the figure to watch.
//
//   BM_PlainSequentialRead  read(2) of the whole file in 64 KiB blocks, nothing decoded
//   BM_ReadLines            DataFileReader::readLine at every line position
//   BM_ReadAndParseLines    ... and parseDataLine (every channel, the samples)
//   BM_ReplayLines          ... and the replay decode into the live record and image line (quelt lines)

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "config/Header.h"
#include "stream/DataFile.h"
#include "stream/DataLine.h"
#include "stream/ReplayLine.h"

namespace fs = std::filesystem;
using namespace quelt;

namespace {

constexpr int kLines = 60000;
constexpr int kSamples = 180;

LineLayout usualLayout() {
    std::vector<LineChannel> c;
    auto add = [&](int kind, int type, int count = 1) { c.push_back({kind, type, count, 0, 0}); };
    add(channel::DPTH, 4);
    add(channel::TIME, 4);
    add(channel::SHAN, 2);
    add(channel::BLNK, 3);
    add(channel::PEAK, 3);
    for (int k : {channel::GAIN, channel::RESO, channel::STEP, channel::BAUD, channel::PULS, channel::NU})
        add(k, 1);
    for (int k : {channel::HX, channel::GX, channel::HY, channel::GY, channel::HZ, channel::GZ})
        add(k, 2);
    add(channel::NGAM, 3);
    add(channel::GCLK, 1);
    add(channel::TTEM, 1);
    add(channel::PTEM, 1);
    add(channel::SCAN, 12, kSamples);
    add(channel::CSUM, 3);
    return makeLayout(c);
}

struct LongLog {
    fs::path dir, data;
    LineLayout layout = usualLayout();
    LongLog() {
        dir = fs::temp_directory_path() / ("quelt-bench-reading-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        data = dir / "long.VIV";
        std::vector<std::uint8_t> frame(40 + 4 * kSamples + 5, 0), line;
        frame[17] = 10;  // gain: one-byte amplitudes
        frame[18] = 2;   // 180 samples
        frame[22] = 4;   // four-byte samples
        DataFileWriter w;
        w.open(data.string(), layout.lineSize);
        for (int i = 0; i < kLines; ++i) {
            for (int s = 0; s < kSamples; ++s) {
                const auto t = static_cast<std::uint16_t>(1200 + (s * 7 + i) % 900);
                frame[40 + 4 * static_cast<size_t>(s)] = static_cast<std::uint8_t>(t);
                frame[41 + 4 * static_cast<size_t>(s)] = static_cast<std::uint8_t>(t >> 8);
                frame[42 + 4 * static_cast<size_t>(s)] = static_cast<std::uint8_t>((s + i) & 0xFF);
            }
            for (size_t a = 23; a < 35; ++a)
                frame[a] = static_cast<std::uint8_t>(i * 3 + a);
            buildDataLine(frame, {10.0 + 0.005 * i, static_cast<double>(i % 360), 200 * i, false}, layout,
                          line);
            w.appendLine(line, 0);
        }
        w.close();
    }
    ~LongLog() { fs::remove_all(dir); }
    std::int64_t bytes() const { return static_cast<std::int64_t>(layout.lineSize) * kLines; }
};

LongLog& longLog() {
    static LongLog log;
    return log;
}

void BM_PlainSequentialRead(benchmark::State& state) {
    LongLog& log = longLog();
    std::vector<char> block(64 * 1024);
    for (auto _ : state) {
        int fd = ::open(log.data.c_str(), O_RDONLY);
        long sum = 0;
        ssize_t n;
        while ((n = ::read(fd, block.data(), block.size())) > 0)
            sum += block[0] + n;
        ::close(fd);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kLines);
    state.SetBytesProcessed(state.iterations() * log.bytes());
}

// The three ways of reading share one loop; `depth` says how far each line is taken.
enum class Depth { Read, Parse, Replay };

void readLog(benchmark::State& state, Depth depth) {
    LongLog& log = longLog();
    Settings settings;
    LogHeader header;
    ReplayDecoder replay(settings, header, log.layout, 0.0);
    std::vector<std::uint8_t> line;
    ParsedLine parsed;
    for (auto _ : state) {
        DataFileReader reader;
        reader.open(log.data.string(), log.layout.lineSize);
        std::uint64_t lines = 0;
        for (std::uint64_t pos = 0; reader.readLine(pos, line); pos += log.layout.lineSize, ++lines) {
            if (depth == Depth::Read) continue;
            parseDataLine(line, log.layout, parsed);
            if (depth == Depth::Replay) replay.apply(parsed, log.layout);
        }
        if (lines != kLines) state.SkipWithError("short read");
        benchmark::DoNotOptimize(parsed);
    }
    state.SetItemsProcessed(state.iterations() * kLines);
    state.SetBytesProcessed(state.iterations() * log.bytes());
}

void BM_ReadLines(benchmark::State& state) {
    readLog(state, Depth::Read);
}
void BM_ReadAndParseLines(benchmark::State& state) {
    readLog(state, Depth::Parse);
}
void BM_ReplayLines(benchmark::State& state) {
    readLog(state, Depth::Replay);
}

}  // namespace

BENCHMARK(BM_PlainSequentialRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAndParseLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplayLines)->Unit(benchmark::kMillisecond);
