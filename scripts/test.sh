#!/usr/bin/env bash
# Installs what is missing, builds and runs every test. Optional argument: the build type (Release, asan, tsan).
set -euo pipefail
cd "$(dirname "$0")/.."
type=${1:-Release}
dir=build/$(echo "$type" | tr '[:upper:]' '[:lower:]')
bash scripts/build.sh "$type"
export QT_QPA_PLATFORM=offscreen
# The system font libraries keep caches that LeakSanitizer reports as leaks.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
