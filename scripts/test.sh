#!/usr/bin/env bash
# Installs what is missing, builds and runs the tests.
#   scripts/test.sh [TYPE [FILTER [TARGET...]]]
# TYPE: the build type (Release by default, Debug, asan, tsan). FILTER: a ctest regular expression; only the
# tests whose names match run. TARGET...: build only these programs (for example test_link), else everything.
set -euo pipefail
cd "$(dirname "$0")/.."
type=${1:-Release}
filter=${2:-}
targets=("${@:3}")
dir=build/$(echo "$type" | tr '[:upper:]' '[:lower:]')
if [ ${#targets[@]} -gt 0 ]; then
    bash scripts/setup.sh
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" >/dev/null
    cmake --build "$dir" --target "${targets[@]}"
else
    bash scripts/build.sh "$type"
fi
export QT_QPA_PLATFORM=offscreen
# An outside LAS 2.0 reader (the npm package las-js) for the LAS export test, when Node.js is on the
# machine; without it that one test is skipped.
lasjs=build/tools/lasjs
if [ -z "${QUELT_LASJS_DIR:-}" ] && command -v npm >/dev/null; then
    if [ ! -d "$lasjs/node_modules/las-js" ]; then
        mkdir -p "$lasjs"
        npm install --prefix "$lasjs" --no-audit --no-fund --silent las-js@3.4.2 >&2 || true
    fi
    [ -d "$lasjs/node_modules/las-js" ] && export QUELT_LASJS_DIR="$PWD/$lasjs"
fi
# The system font libraries keep caches that LeakSanitizer reports as leaks.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
# A data race fails the test that shows it.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
args=(--test-dir "$dir" --output-on-failure -j "$(nproc)")
if [ -n "$filter" ]; then
    args+=(-R "$filter")
fi
ctest "${args[@]}"
