#!/usr/bin/env bash
# Runs the library's demonstration on generated data. $1: the build folder.
set -euo pipefail
build=${1:-build}
export LD_LIBRARY_PATH="$build/src/tav:$build/src/ztcimg:$build/src/ztbase${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
shopt -s nullglob
ran=0
for demo in "$build"/tools/demo/tav_demo*; do
  [ -x "$demo" ] || continue
  "$demo"
  ran=1
done
if [ "$ran" = 0 ]; then
  echo "libraries built in $build: $(ls "$build"/src/tav/libtav.so* "$build"/src/zt*/lib*.so* 2>/dev/null | xargs -n1 basename | tr '\n' ' ')"
fi
