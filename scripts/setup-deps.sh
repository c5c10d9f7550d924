#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, if missing.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  clang libclang-rt-14-dev            # libFuzzer and the sanitizer runtimes
  libgtest-dev
  libcli11-dev nlohmann-json3-dev     # options and JSON of the command-line tools
  ccache                              # optional compiler cache, used when present
  qt6-base-dev qt6-base-dev-tools libgl-dev
  xvfb xauth x11-utils imagemagick   # the demo under a virtual display, screenshots
  xdotool                            # window titles as the window system shows them (tests)
  fonts-dejavu-core                  # Cyrillic glyphs for offscreen and Xvfb windows
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
