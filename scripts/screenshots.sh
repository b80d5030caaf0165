#!/usr/bin/env bash
# Makes the pictures of docs/screenshots under Xvfb: the main window during a live log on the simulated
# logger, the same log scrolled back, the same with the quality tracks shown, the travel-time tools
# during that log, the same log on two screen sizes, the main window replaying the demonstration log, and
# the log dialogs and the communication auto-check window (grabbed by test_ui).
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default build/release, built when it is missing)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build/release}
out=docs/screenshots
if [[ ! -x "$bin/queltlogger" ]]; then
  bash scripts/build.sh Release
  bin=build/release
fi
ninja -C "$bin" queltlogger test_ui demo_log >/dev/null
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
run() { xvfb-run -a -s "-screen 0 1600x1200x24" "$@"; }
# A program folder with the first-run files, then KEY=VALUE lines put into section QueltLogger.
home() {
  local dir=$1; shift
  "$bin/quelt" --home "$dir" settings >/dev/null
  local key
  for key in "$@"; do
    sed -i "s/^\[QueltLogger\]\r\?\$/&\n$key\r/" "$dir/Zorak.cfg"
  done
}

# A live log in a deviated hole, oriented to the high side: the sonde switched on at once, at the
# fastest frame rate (90 samples a turn, 312500 bauds, the shortest motor period) so that the picture
# fills in half a minute.
echo "main_live.png" >&2
home "$tmp/live" PicOriented=2 PicResolution=4 UpBaudDivisor=2 MotorPeriod=21 UpholePulseWidth=8 UpGain=31
run "$bin/queltlogger" --home "$tmp/live" --device sim --scenario deviated --seed 7 --power-on \
  --screenshot "$out/main_live.png" --screenshot-after 40000 --quit-after 42000

# The same live log scrolled back with the wheel: the window stays on older rows, their depth scale
# with them, while the log goes on underneath (the live-edge button shows).
echo "scrollback_live.png" >&2
home "$tmp/scrollback" PicOriented=2 PicResolution=4 UpBaudDivisor=2 MotorPeriod=21 UpholePulseWidth=8 UpGain=31
run "$bin/queltlogger" --home "$tmp/scrollback" --device sim --scenario deviated --seed 7 --power-on \
  --screenshot "$out/scrollback_live.png" --screenshot-after 90000 --scroll-back 600 --quit-after 92000

# The same live log with the quality tracks shown beside the pictures (the key of Options > Quality tracks).
echo "tracks_live.png" >&2
home "$tmp/tracks" PicOriented=2 PicResolution=4 UpBaudDivisor=2 MotorPeriod=21 UpholePulseWidth=8 UpGain=31 \
  QualityTracks=1
run "$bin/queltlogger" --home "$tmp/tracks" --device sim --scenario deviated --seed 7 --power-on \
  --screenshot "$out/tracks_live.png" --screenshot-after 40000 --quit-after 42000

# The travel-time and level tools during the same live log: the window 60 .. 200 mm of diameter.
echo "main_live_travel.png" >&2
home "$tmp/travel" PicOriented=2 PicResolution=4 UpBaudDivisor=2 MotorPeriod=21 UpholePulseWidth=8 UpGain=31 \
  UpBlanking=1441 UpWindow=944 DisplayBlanking=1441 DisplayWindow=944 ShowPhantom=1
run "$bin/queltlogger" --home "$tmp/travel" --device sim --scenario deviated --seed 7 --power-on --travel-tools \
  --screenshot "$tmp/travel_main.png" --screenshot-after 20000 --quit-after 22000
mv "$tmp/travel_main_travel.png" "$out/travel_tools_live.png"

# The same live log on a field laptop's 1024 x 768 screen and on a 1920 x 1080 one: the window takes the
# screen's width when it is narrower than the picture and the panels (the panel column scrolls), and the
# picture takes the screen's height.
for size in 1024x768 1920x1080; do
  echo "main_$size.png" >&2
  home "$tmp/$size" PicOriented=2 PicResolution=4 UpBaudDivisor=2 MotorPeriod=21 UpholePulseWidth=8 UpGain=31
  xvfb-run -a -s "-screen 0 ${size}x24" "$bin/queltlogger" --home "$tmp/$size" --device sim --scenario deviated \
    --seed 7 --power-on --screenshot "$out/main_$size.png" --screenshot-after 30000 --quit-after 32000
done

# A replay of the demonstration log the program folder gets at first start, on a machine with no
# logger (the USB bridge is looked for and not found: replay mode).
echo "main_replay.png" >&2
run "$bin/queltlogger" --home "$tmp/replay" --device ftdi --replay Demo/Demo.HED --replay-speed 42 \
  --screenshot "$out/main_replay.png" --screenshot-after 8000 --quit-after 9000

# The log dialogs.
echo "dialogs" >&2
QUELT_GRAB_DIR="$PWD/$out" run "$bin/tests/test_ui" --gtest_brief=1 >/dev/null
ls -l "$out" >&2
