// The memory the picture's scroll-back history costs: 100 000 live lines fed through the picture
// controller with the history kept and without it. Peak resident memory only grows within a process,
// so each case is meant to run in a process of its own (bench/scrollback_memory.sh runs them and
// reports the difference); the time of a case also shows what keeping the history costs a line.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cmath>

#include "config/Resolution.h"
#include "imaging/PictureController.h"

namespace {

using namespace quelt;

constexpr int kLines = 100'000;
constexpr int kScreenHeight = 1080;

double peakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

// range(0): the resolution code (360, 180 or 90 samples a picture); range(1): 1 keeps the history.
void BM_HundredThousandLines(benchmark::State& state) {
    const int code = static_cast<int>(state.range(0));
    const bool history = state.range(1) != 0;
    ScriptedOperator op;
    CToolsBmp bmp;
    bmp.InitImageBuffer(kScreenHeight, op);
    bmp.ClearImageBuffer();
    RasterSurface surface(kRowWidth, kScreenHeight - 100);
    Settings settings;
    FakeClock clock(0);
    PictureController controller(bmp, surface, settings, clock);
    if (history) controller.setHistoryBudget(kScrollBackBudget);
    RowInputs in;
    in.gammaScale = 1000;
    in.gammaTime = 200;
    ImageLine line;
    const int ns = samplesForResolution(code);
    for (auto _ : state) {
        for (int i = 0; i < kLines; ++i) {
            for (int s = 0; s < ns; ++s) {
                line.sampleLine[s] = static_cast<std::uint8_t>(128 + 100 * std::sin((s + i) * 0.05));
                line.sampleLine[kAmplitudeColumn + s] = static_cast<std::uint8_t>(s * 7 + i);
            }
            in.gammaCount = static_cast<std::uint16_t>(100 + i % 50);
            in.rotation = i % 360;
            controller.addImageLine(true, code, line, in, 100.0 + i * 0.005);
            clock.advance(50);
        }
    }
    // Looking back over the whole history once, so that drawing the window again is counted too.
    controller.scrollBack(kLines);
    state.counters["peak_rss_mb"] = peakResidentMegabytes();
    state.counters["history_mb"] = static_cast<double>(controller.historyBytes()) / (1 << 20);
    state.counters["rows_kept"] = static_cast<double>(controller.historyRows());
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_HundredThousandLines)
    ->ArgsProduct({{1, 2, 4}, {0, 1}})
    ->ArgNames({"code", "history"})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
