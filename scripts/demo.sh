#!/usr/bin/env bash
# Runs the library's demonstration on generated data. $1: the build folder.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
export LD_LIBRARY_PATH="$build/src/tav:$build/src/ztcimg:$build/src/ztbase${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
work="$build/demo"
rm -rf "$work"
mkdir -p "$work"
shopt -s nullglob
# Each demonstration program stores its list in the demo folder and loads it back.
for demo in "$build"/tools/demo/tav_demo*; do
  [ -x "$demo" ] || continue
  "$demo" "$work/$(basename "$demo").tav"
done

# The command-line tool on a labelled image folder made now: four classes of
# synthetic shapes, plain PGM and PPM files of three sizes.
tav="$build/tools/tav"
"$here/make_shapes.sh" "$work/images" 12
printf 'not an image' > "$work/images/circle/broken.pgm" # reported and skipped

step() { printf '\n$ tav %s\n' "$*"; "$tav" "$@"; }
step create-from-dir "$work/images" "$work/shapes.tav" --size 32x32 --window 4,4,24,24 --origin 12,12
step info "$work/shapes.tav"
step verify "$work/shapes.tav"
step export "$work/shapes.tav" "$work/export"

# The Python package on the same list: stack it and train a classifier.
if [ -x "$build/python/python" ]; then
  printf '\n$ python3 examples/train_nearest_mean.py shapes.tav\n'
  "$build/python/python" "$here/../examples/train_nearest_mean.py" "$work/shapes.tav"
fi

echo
echo "demo results in $work:"
echo "  images/      the generated image folder (one subfolder per class)"
echo "  shapes.tav   the list file built from it"
echo "  export/      the list exported again as PNG files, with labels.csv"
echo "  tav_demo_*.tav  the lists of the demonstration programs, stored and loaded back"
