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
if [ -x "$build/python/python" ]; then
  echo "== python_arrays"
  "$build/python/python" "$(dirname "$0")/../bench/python_arrays.py"
fi
