// How fast the simulator makes a log: simulated seconds of a clean and of a deviated, fractured run.

#include <benchmark/benchmark.h>

#include "sim/Capture.h"

namespace {

void captureScenario(benchmark::State& state, const char* name) {
    quelt::sim::Scenario s;
    quelt::sim::builtinScenario(name, 1, s);
    size_t bytes = 0;
    for (auto _ : state) {
        auto r = quelt::sim::capture(s, 60);
        bytes += r.bytes.size();
        benchmark::DoNotOptimize(r.bytes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["sim_s_per_s"] =
        benchmark::Counter(60.0 * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_CaptureClean(benchmark::State& state) {
    captureScenario(state, "clean");
}
void BM_CaptureDeviated(benchmark::State& state) {
    captureScenario(state, "deviated");
}
BENCHMARK(BM_CaptureClean)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CaptureDeviated)->Unit(benchmark::kMillisecond);

}  // namespace
