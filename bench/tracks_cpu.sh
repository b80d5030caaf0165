#!/usr/bin/env bash
# The CPU the quality tracks cost: the whole desktop program, offscreen, on the simulated logger at the
# fastest legal frame rate (the shortest motor period, 90 samples a turn, 312500 bauds), once with the
# tracks hidden and once shown. Each run is measured from /proc/PID/stat (user + system time of every
# thread) over the same steady stretch after the sonde is up, and printed as a percent of one core; the
# difference is in points of a percent. The two runs share the machine's load: run it on an idle machine
# for the figure, and read both runs' frame counts to see that they did the same work.
# Usage: bench/tracks_cpu.sh [BUILD_DIR] [SECONDS]   (default build/release, 60 s measured a run)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build/release}
seconds=${2:-60}
warmup=15  # start, logger found, power-up sequence, frames flowing
if [[ ! -x "$bin/queltlogger" || ! -x "$bin/quelt" ]]; then
  echo "tracks_cpu: build queltlogger and quelt in $bin first" >&2
  exit 2
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
ticks=$(getconf CLK_TCK)

# user + system clock ticks of process $1 (fields 14 and 15 of /proc/PID/stat, after the command name).
cpu_ticks() {
  local stat
  stat=$(<"/proc/$1/stat")
  stat=${stat##*) }
  # shellcheck disable=SC2086
  set -- $stat
  echo $((${12} + ${13}))
}

# One run with QualityTracks=$1: prints "percent frames".
measure() {
  local home="$tmp/home$1"
  "$bin/quelt" --home "$home" settings >/dev/null
  local key
  for key in PicOriented=2 PicResolution=4 UpBaudDivisor=2 MotorPeriod=21 UpholePulseWidth=8 UpGain=31 \
    QualityTracks="$1"; do
    sed -i "s/^\[QueltLogger\]\r\?\$/&\n$key\r/" "$home/Zorak.cfg"
  done
  QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$tmp/config$1" "$bin/queltlogger" --home "$home" --device sim \
    --scenario deviated --seed 7 --power-on --stats --quit-after $(((warmup + seconds + 2) * 1000)) \
    >/dev/null 2>"$tmp/stderr$1" &
  local pid=$!
  sleep "$warmup"
  local t0 c0 t1 c1
  t0=$(date +%s%N)
  c0=$(cpu_ticks "$pid")
  sleep "$seconds"
  t1=$(date +%s%N)
  c1=$(cpu_ticks "$pid")
  wait "$pid" || true
  local frames
  frames=$(grep -o 'full decoded [0-9]*' "$tmp/stderr$1" | grep -o '[0-9]*$' || echo "?")
  awk -v c=$((c1 - c0)) -v hz="$ticks" -v ns=$((t1 - t0)) -v f="$frames" \
    'BEGIN { printf "%.2f %s\n", 100 * c / hz / (ns / 1e9), f }'
}

read -r hidden hiddenFrames < <(measure 0)
read -r shown shownFrames < <(measure 1)
printf 'tracks hidden: %6.2f %% of one core (%s s, %s full data frames decoded)\n' "$hidden" "$seconds" "$hiddenFrames"
printf 'tracks shown:  %6.2f %% of one core (%s s, %s full data frames decoded)\n' "$shown" "$seconds" "$shownFrames"
awk -v a="$hidden" -v b="$shown" 'BEGIN { printf "difference:    %+6.2f points\n", b - a }'
echo "load: $(uptime)"
