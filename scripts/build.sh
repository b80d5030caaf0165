#!/usr/bin/env bash
# Configures and builds one build type into build/<type>: Release (default), Debug, asan, tsan.
set -euo pipefail
cd "$(dirname "$0")/.."
type=${1:-Release}
dir=build/$(echo "$type" | tr '[:upper:]' '[:lower:]')
bash scripts/setup.sh
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" >/dev/null
cmake --build "$dir"
