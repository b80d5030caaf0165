// Cost of decoding one full data frame at each picture resolution, against a baseline that does the
// least any decoder must: sum the frame and copy its travel times and amplitudes out.

#include <benchmark/benchmark.h>

#include <array>

#include "tests/stream/StreamFixture.h"

using namespace quelt;
using namespace quelt::test;

static void BM_DecodeFullDataFrame(benchmark::State& state) {
    StreamRig rig;
    rig.settings.SetFilter = 500;
    FullFrameSpec wanted;
    wanted.resolution = static_cast<int>(state.range(0));
    wanted.gain = state.range(1) ? 0x8A : 10;
    wanted.count = 80000;
    wanted.speed = 30;
    wanted.axes = {200, -900, 150, 300, -100, 250};
    for (int i = 0; i < 360; ++i)
        wanted.times.push_back(static_cast<std::uint16_t>(1100 + 3 * i));
    const Bytes frame = fullFrame(wanted);
    for (auto _ : state) {
        rig.stream.decodeFullDataFrame(frame.data(), frame.size(), 1);
        benchmark::DoNotOptimize(rig.line.sampleLine.data());
    }
    state.SetLabel(std::to_string(frame.size()) + " bytes");
}
// Resolution codes 1..4 (360, 180, 120, 90 samples), with 8-bit and 16-bit amplitudes.
BENCHMARK(BM_DecodeFullDataFrame)->ArgsProduct({{1, 2, 3, 4}, {0, 1}});

static void BM_BaselineSumAndCopy(benchmark::State& state) {
    FullFrameSpec wanted;
    wanted.resolution = static_cast<int>(state.range(0));
    wanted.gain = state.range(1) ? 0x8A : 10;
    for (int i = 0; i < 360; ++i)
        wanted.times.push_back(static_cast<std::uint16_t>(1100 + 3 * i));
    const Bytes frame = fullFrame(wanted);
    const std::size_t samples = (frame.size() - 45) / 4;
    std::array<std::uint16_t, 720> out{};
    for (auto _ : state) {
        unsigned sum = 0;
        for (std::uint8_t b : frame)
            sum += b;
        const std::uint8_t* p = frame.data() + 40;
        for (std::size_t i = 0; i < samples; ++i, p += 4) {
            out[i] = static_cast<std::uint16_t>(p[0] | p[1] << 8);
            out[360 + i] = static_cast<std::uint16_t>(p[2] | p[3] << 8);
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_BaselineSumAndCopy)->ArgsProduct({{1, 2, 3, 4}, {0, 1}});

static void BM_DecodeStatusFrame(benchmark::State& state) {
    StreamRig rig;
    const Bytes frame = statusFrame(80000, 30, 0x01);
    for (auto _ : state)
        rig.stream.decodeStatusFrame(frame.data(), frame.size(), 1);
}
BENCHMARK(BM_DecodeStatusFrame);
