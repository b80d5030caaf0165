#!/usr/bin/env bash
# The peak resident memory of a process feeding 100 000 live lines through the picture, with the
# scroll-back history and without it, for 360, 180 and 90 samples a picture; each case in a process of
# its own (peak memory only grows within one), all in the same run. Prints the difference in MB.
# Usage: bench/scrollback_memory.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build/release}
cmake --build "$bin" -j2 --target bench_scrollback_memory >/dev/null
peak() {  # code history
  "$bin/bench/bench_scrollback_memory" --benchmark_filter="BM_HundredThousandLines/code:$1/history:$2/" \
    --benchmark_format=json 2>/dev/null | sed -n 's/.*"peak_rss_mb": *\([0-9.e+]*\).*/\1/p' | head -1
}
printf '%-8s %14s %14s %14s\n' samples "without (MB)" "with (MB)" "difference"
for code in 1 2 4; do
  without=$(peak "$code" 0)
  with=$(peak "$code" 1)
  awk -v c="$code" -v a="$without" -v b="$with" \
    'BEGIN { printf "%-8d %14.1f %14.1f %14.1f\n", (c == 4 ? 90 : 360 / c), a, b, b - a }'
done
