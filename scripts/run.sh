#!/usr/bin/env bash
# Installs what is missing, builds and runs the main job: the desktop program on the simulated logger when
# a display is present, else a short but complete headless job on the simulated logger: a log recorded on
# simulated time (the deviated scenario, a few hundred metres), its picture, its LAS file and its HTML
# report, then a summary.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh Release
bin=build/release
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  exec "$bin/queltlogger" --device sim "$@"
fi

work=$(mktemp -d)
home="$work/home"
quelt() { "$bin/quelt" --home "$home" "$@"; }
# A member of a one-line JSON object, without its quotes.
member() { sed -n "s/.*\"$1\": *\\(\"[^\"]*\"\\|[^,}]*\\).*/\\1/p" <<<"$2" | tr -d '"'; }

"$bin/quelt" --version
echo "Recording a log on the simulated logger (deviated scenario, simulated time) ..."
summary=$(quelt --device sim acquire --fast --scenario deviated --seed 1 --to-depth 190 --down \
  --orientation highside --out "$work/logs/deviated" --json)
header=$(member header "$summary")
picture="$work/deviated.jpg"
quelt render "$header" -o "$picture" >/dev/null
las=$(quelt --replace las "$header" --curves all)
report=$(quelt html "$header")

# The recording's own account of what it lost (the lines replaced, the frames missed, the depth gaps).
lost=$(member replacedLines "$summary")
[[ -z "$lost" ]] ||
  lost="$lost replaced, $(member missedFrames "$summary") frames missed, $(member depthGaps "$summary") depth gaps"
cat <<EOF

Headless job on the simulated logger: done
  lines        $(member lines "$summary")
  depths       $(awk -v a="$(member startDepth "$summary")" -v b="$(member endDepth "$summary")" \
                   'BEGIN { printf "%.2f m to %.2f m", a / 1000, b / 1000 }')
  lost lines   ${lost:-not reported by this build}
  log          $header
  picture      $picture
  LAS file     $las
  report       $report
EOF
