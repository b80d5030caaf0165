#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Idempotent: asks dpkg first and
# only runs apt-get when something is missing.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libftdi1-dev libturbojpeg0-dev
  libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth clang clang-format ccache
  chromium-headless-shell)  # the browser the HTML report is checked in
missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}" >&2
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi
