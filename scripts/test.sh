#!/usr/bin/env bash
# Installs what is missing, builds and runs every test. Optional argument: the build type (Release, asan, tsan).
set -euo pipefail
cd "$(dirname "$0")/.."
type=${1:-Release}
dir=build/$(echo "$type" | tr '[:upper:]' '[:lower:]')
bash scripts/build.sh "$type"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
