#!/usr/bin/env bash
# Runs every libFuzzer target for the given number of seconds each (default 60).
# Build them first: cmake --preset fuzz && cmake --build --preset fuzz
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
found=0
for f in build-fuzz/fuzz/fuzz_*; do
  [ -x "$f" ] || continue
  found=1
  name=$(basename "$f")
  corpus="fuzz/corpus-$name"
  mkdir -p "$corpus"
  echo "fuzzing $name for ${seconds}s"
  "$f" -max_total_time="$seconds" -print_final_stats=0 "$corpus" 2>"build-fuzz/$name.log" || {
    tail -40 "build-fuzz/$name.log"; exit 1; }
done
[ "$found" = 1 ] || { echo "no fuzz targets built"; exit 1; }
