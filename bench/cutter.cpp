// The stream cutter against a plain pass over the same bytes (copied in the reader's 24-byte reads and
// summed), so its figures read as a ratio: a long mixed stream (MB/s) and one 1485-byte frame.

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "link/Frames.h"
#include "link/StreamCutter.h"

using namespace quelt;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct CountingSink : FrameSink {
    std::size_t frames = 0, bytes = 0;
    void onFrame(const std::uint8_t*, std::size_t length, std::uint8_t, FrameVia) override {
        ++frames;
        bytes += length;
    }
};

Bytes frameOf(std::size_t frameLength, std::uint8_t sequence, std::mt19937& rng) {
    Bytes body(frameLength - 2);
    for (auto& b : body)
        b = static_cast<std::uint8_t>(rng());
    return buildUsbFrame(sequence, body.data(), body.size());
}

// About 8 MB of what an acquisition sends: mostly full data frames of every resolution, status and logger
// frames between them, and one corrupted byte in every 50 frames so the resynchronisation path runs too.
const Bytes& mixedStream() {
    static const Bytes stream = [] {
        std::mt19937 rng(7);
        const std::size_t lengths[] = {1485, 765, 16, 525, 405, 20, 1485, 765, 16, 19};
        Bytes s;
        std::uint8_t seq = 0;
        for (std::size_t i = 0; s.size() < (8u << 20); ++i) {
            Bytes f = frameOf(lengths[i % 10], seq++, rng);
            if (i % 50 == 49) f[f.size() / 2] ^= 0x5A;
            s.insert(s.end(), f.begin(), f.end());
        }
        return s;
    }();
    return stream;
}

// The baseline: the same bytes through 24-byte copies into a read buffer and a running sum.
std::uint32_t plainPass(const Bytes& bytes) {
    std::uint8_t chunk[CStreamCutter::kReadChunk];
    std::uint32_t sum = 0;
    for (std::size_t at = 0; at < bytes.size(); at += sizeof chunk) {
        std::size_t n = std::min(sizeof chunk, bytes.size() - at);
        std::memcpy(chunk, bytes.data() + at, n);
        benchmark::ClobberMemory();
        for (std::size_t i = 0; i < n; ++i)
            sum += chunk[i];
    }
    return sum;
}

}  // namespace

static void BM_Baseline_MixedStream(benchmark::State& state) {
    const Bytes& s = mixedStream();
    for (auto _ : state)
        benchmark::DoNotOptimize(plainPass(s));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.size()));
}
BENCHMARK(BM_Baseline_MixedStream)->Unit(benchmark::kMillisecond);

static void BM_Cutter_MixedStream(benchmark::State& state) {
    const Bytes& s = mixedStream();
    CountingSink sink;
    for (auto _ : state) {
        CStreamCutter cutter(&sink);
        cutter.feed(s.data(), s.size());
        benchmark::DoNotOptimize(sink.frames);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.size()));
    state.counters["frames"] = benchmark::Counter(static_cast<double>(sink.frames) / state.iterations());
}
BENCHMARK(BM_Cutter_MixedStream)->Unit(benchmark::kMillisecond);

static void BM_Baseline_Frame1485(benchmark::State& state) {
    std::mt19937 rng(3);
    const Bytes f = frameOf(kFull360Length, 1, rng);
    for (auto _ : state)
        benchmark::DoNotOptimize(plainPass(f));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.size()));
}
BENCHMARK(BM_Baseline_Frame1485);

static void BM_Cutter_Frame1485(benchmark::State& state) {
    std::mt19937 rng(3);
    // Consecutive sequence numbers, so the frames are cut as a live stream would be.
    std::vector<Bytes> frames;
    for (int i = 0; i < 256; ++i)
        frames.push_back(frameOf(kFull360Length, static_cast<std::uint8_t>(i), rng));
    CountingSink sink;
    CStreamCutter cutter(&sink);
    std::size_t i = 0;
    for (auto _ : state) {
        const Bytes& f = frames[i++ & 255];
        cutter.feed(f.data(), f.size());
    }
    if (sink.frames != static_cast<std::size_t>(state.iterations())) state.SkipWithError("frames were lost");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * frames[0].size()));
}
BENCHMARK(BM_Cutter_Frame1485);
