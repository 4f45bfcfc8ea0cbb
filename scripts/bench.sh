#!/usr/bin/env bash
# Runs every benchmark program of the build folder $1.
set -euo pipefail
build=${1:-build}
shopt -s nullglob
for bench in "$build"/bench/bench_*; do
  [ -x "$bench" ] || continue
  echo "== $(basename "$bench")"
  "$bench"
done
