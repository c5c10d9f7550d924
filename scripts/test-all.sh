#!/usr/bin/env bash
# Sets up, builds and runs every test: the main build (unit, emulator and
# offscreen window tests), the sanitizer build of the Qt-free layers, and a
# short run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
cmake --preset default
cmake --build --preset default
ctest --preset default
cmake --preset asan
cmake --build --preset asan
ctest --preset asan
cmake --preset fuzz
cmake --build --preset fuzz
scripts/fuzz.sh "${FUZZ_SECONDS:-15}"
echo "all tests passed"
