#!/usr/bin/env bash
# Runs every fuzz target (or those named) for SECONDS each under ASan + UBSan, each from its seed corpus
# in tests/fuzz/corpus/<target>/, and prints the executions a second of each. New inputs go to a scratch
# copy of the corpus (build/fuzz/corpus/<target>), never into the source tree; a crash stops the run
# with the target's exit code and leaves the input beside the build (build/fuzz/crash-*).
#   bash scripts/fuzz.sh 60            # all seven targets, 60 s each
#   bash scripts/fuzz.sh 30 fuzz_ini   # one target
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
build=build/fuzz
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DQUELT_FUZZ=ON -DQUELT_GUI=OFF \
        -DQUELT_TESTS=OFF -DQUELT_BENCH=OFF >/dev/null
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for dir in tests/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" >/dev/null
# The header, lines and sonde targets write their input as a file each run: a memory file system keeps
# the disk out of the measure.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
status=0
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    cp -n tests/fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
    log="$build/$target.log"
    if ! "$build/tests/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/crash-$target-" "$corpus" >"$log" 2>&1; then
        echo "$target: FAILED (see $log)"
        status=1
        continue
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "$target: $runs runs in ${seconds} s, $((runs / seconds)) a second"
done
exit $status
