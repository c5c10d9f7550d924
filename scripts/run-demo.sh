#!/usr/bin/env bash
# Sets up, builds and runs what exists against the meter emulator.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
echo
echo "The main window and the meter emulator are not built yet."
echo "What exists is the wire layer; here are its benchmarks:"
./build/bench/bench_frames
./build/bench/bench_wait_cpu
