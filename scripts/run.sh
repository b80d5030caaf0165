#!/usr/bin/env bash
# Installs what is missing, builds and runs the main job: the desktop program when a display is
# present, else a headless field check (power-up, live values, power-down) on the simulated logger.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh Release
bin=build/release
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  exec "$bin/queltlogger" "$@"
fi
home=$(mktemp -d)
"$bin/quelt" --version
"$bin/quelt" --home "$home" --device sim monitor --seconds 10
