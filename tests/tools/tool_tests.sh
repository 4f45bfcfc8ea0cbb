#!/usr/bin/env bash
# Runs the installed tav tool on generated images, list files, version-1
# files and damaged copies of them. Every failure must be a one-line message
# with exit status 1 (failure) or 2 (usage), never a signal.
# $1 build dir, $2 scratch dir, $3 example program, $4 shape generator.
set -uo pipefail
build=$1 work=$2 example=$3 make_shapes=$4
rm -rf "$work" && mkdir -p "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null || { echo "install failed"; exit 1; }
export LD_LIBRARY_PATH="$work/prefix/lib"
tav="$work/prefix/bin/tav"
out="$work/out" err="$work/err"
failed=0

fail() { echo "FAIL: $*"; sed 's/^/  stderr: /' "$err" | head -5; failed=1; }
run() { "$tav" "$@" >"$out" 2>"$err"; }
# expect STATUS ARGS...: the exit status, and for failures one "tav:" line.
expect() {
  local want=$1; shift
  run "$@"; local rc=$?
  if ((rc >= 128)); then fail "tav $* died by signal $((rc - 128))"; return; fi
  if ((rc != want)); then fail "tav $*: status $rc, expected $want"; return; fi
  if ((want != 0)) && ! { [ "$(wc -l <"$err")" = 1 ] && grep -q '^tav: ' "$err"; }; then
    fail "tav $*: expected one 'tav:' line on stderr"
  fi
}
# damaged ARGS...: a damaged input gives 0 or 1, never a crash or a second line.
damaged() {
  run "$@"; local rc=$?
  if ((rc != 0 && rc != 1)); then fail "tav $* on a damaged file: status $rc"; fi
  if ((rc == 1)) && [ "$(wc -l <"$err")" != 1 ]; then fail "tav $*: expected one line on stderr"; fi
}
has() { grep -q -- "$1" "$out" || fail "output lacks '$1'"; }

# --- usage -----------------------------------------------------------------
expect 2
expect 2 bogus
for c in info ls verify import-korvu create-from-dir export set-comment exclude; do
  expect 0 "$c" --help && { head -1 "$out" | grep -q "^usage: tav $c" || fail "$c --help"; }
done
expect 2 info
expect 2 info a b
expect 2 info --nope x
for bad in "--size 0x5" "--size axb" "--size 8x8 --planes 9" "--size 8x8 --window 1,2" "--size 8x8 --origin x,1"; do
  # shellcheck disable=SC2086
  expect 2 create-from-dir "$work" "$work/x.tav" $bad
done
expect 1 create-from-dir "$work" "$work/x.tav" --size 8x8 --window 4,4,8,8

# --- images: good ones, and damaged ones that are skipped -------------------
img="$work/images"
"$make_shapes" "$img" 4
mkdir -p "$img/extra" "$img/extra/nested" "$img/.hidden"
printf 'P5\n2 2\n255\n\x00\x40\x80\xff' >"$img/extra/binary.pgm"
printf 'P5\n1 2\n65535\n\xff\xff\x00\x00' >"$img/extra/wide.pgm"
printf 'P3 1 1 255 10 20 30' >"$img/extra/plain.ppm"
printf 'P5\n4 4\n255\n\x00\x01' >"$img/extra/truncated.pgm"
printf 'P5\n99999 99999\n255\n\x00' >"$img/extra/huge.pgm"
printf 'P2\n1 1\n0\n0' >"$img/extra/maxval0.pgm"
printf 'P2\n1 1\n9\n12' >"$img/extra/above.pgm"
: >"$img/extra/empty.png"
printf '\x89PNG\r\n\x1a\nrubbish' >"$img/extra/rubbish.png"
printf 'text' >"$img/extra/notes.txt"
cp "$img/circle/00.pgm" "$img/.hidden/"
expect 0 create-from-dir "$img" "$work/a.tav" --size 32x32 --window 4,4,24,24 --origin 12,12
has "19 items in 5 labels (6 images skipped)"
[ "$(grep -c "skipped '.*/extra/" "$err")" = 6 ] || fail "six skipped images expected"

expect 0 info "$work/a.tav" && has "items:       19" && has "window 4,4 24x24, origin 12,12" && has "extra"
expect 0 info "$work/a.tav" --json
[ "$(wc -l <"$out")" = 1 ] && has '"items":19' && has '"label":"triangle","items":4,"excluded":false' ||
  fail "info --json"
expect 0 ls "$work/a.tav" && [ "$(wc -l <"$out")" = 19 ] && has $'^0\tcircle\timage 32x32, 1 plane, u8' || fail "ls"
expect 0 verify "$work/a.tav" && has "ok (19 items, 5 labels)"

# --- export, and back: the same pixels ---------------------------------------
expect 0 export "$work/a.tav" "$work/exp1"
[ "$(find "$work/exp1" -name '*.png' | wc -l)" = 19 ] || fail "export: 19 PNG files expected"
[ "$(wc -l <"$work/exp1/labels.csv")" = 6 ] || fail "export: labels.csv"
expect 0 create-from-dir "$work/exp1" "$work/b.tav" --size 32x32 && has "19 items in 5 labels"
expect 0 export "$work/b.tav" "$work/exp2"
for f in "$work"/exp1/*/*.png; do cmp -s "$f" "${f/exp1/exp2}" || fail "pixels changed: $f"; done
expect 0 create-from-dir "$img" "$work/rgb.tav" --size 16x16 --planes 3
expect 0 export "$work/rgb.tav" "$work/exp3"
# Byte 25 of a PNG is its colour type: 2 is RGB.
[ "$(od -An -tu1 -j25 -N1 "$work/exp3/circle/000000.png" | tr -d ' ')" = 2 ] || fail "RGB export"
expect 1 export "$work/a.tav" "$work/a.tav/sub"
expect 1 create-from-dir "$img" "$work/no/such/dir/x.tav" --size 8x8

# --- edits ------------------------------------------------------------------
expect 2 set-comment "$work/a.tav" ""
expect 0 exclude "$work/a.tav" square
expect 0 info "$work/a.tav" --json && has '"label":"square","items":4,"excluded":true'
expect 0 exclude "$work/a.tav" square --off
expect 0 info "$work/a.tav" --json && has '"label":"square","items":4,"excluded":false'
expect 1 exclude "$work/a.tav" hexagon
expect 1 set-comment "$work/missing.tav" text
expect 0 verify "$work/a.tav"

# --- a vector list made by the example program -------------------------------
"$example" "$work/v.tav" >/dev/null || fail "example program"
expect 0 info "$work/v.tav" && has "vector, dimension 2" && has "comment:     fruit measured by two features"
expect 0 ls "$work/v.tav" && [ "$(wc -l <"$out")" = 4 ] && has $'pear\tvector\[2\]: 0.899999976 0.200000003' || fail "ls vectors"
expect 0 verify "$work/v.tav"
expect 0 export "$work/v.tav" "$work/expv"
[ "$(wc -l <"$work/expv/pear/data.csv")" = 2 ] && grep -q '^000000,0.899999976,0.200000003$' "$work/expv/pear/data.csv" ||
  fail "export of vector data"
expect 0 exclude "$work/v.tav" apple && expect 0 info "$work/v.tav" --json && has '"label":"apple","items":2,"excluded":true'

# --- damaged list files -------------------------------------------------------
size=$(stat -c %s "$work/a.tav")
for cut in 0 1 16 31 32 40 63 64 95 96 200 $((size / 2)) $((size - 40)) $((size - 1)); do
  head -c "$cut" "$work/a.tav" >"$work/cut.tav"
  for c in info verify ls; do damaged "$c" "$work/cut.tav"; done
done
expect 1 info "$work/cut.tav" # the last one lacks part of its type chunks
for at in 0 20 40 60 88 92 120 $((size / 3)) $((size - 60)) $((size - 20)); do
  cp "$work/a.tav" "$work/flip.tav"
  printf '\xff\xff\xff\xff' | dd of="$work/flip.tav" bs=1 seek="$at" conv=notrunc status=none
  for c in info verify ls; do damaged "$c" "$work/flip.tav"; done
  damaged export "$work/flip.tav" "$work/expflip"
done
expect 1 info "$work/images/circle/00.pgm"
# Labels out of order, labels not distinct, and lost links: loaded, then found.
perl -0777 -pe 's/circle/zircle/' "$work/a.tav" >"$work/order.tav"
expect 1 verify "$work/order.tav" && has "labels 0 and 1 are out of order"
mkdir -p "$work/dup/aa" "$work/dup/ab"
cp "$img/circle/00.pgm" "$work/dup/aa/" && cp "$img/circle/01.pgm" "$work/dup/ab/"
expect 0 create-from-dir "$work/dup" "$work/dup.tav" --size 32x32
perl -0777 -pe 's/TXTUTF8 (\0{16}.{8})ab/TXTUTF8 $1aa/s' "$work/dup.tav" >"$work/dup2.tav"
expect 1 verify "$work/dup2.tav" && has "labels 0 and 1 are equal"
perl -0777 -pe 's/LabelRefs/LabelRefX/' "$work/dup.tav" >"$work/nolinks.tav"
expect 1 verify "$work/nolinks.tav" && has "item 0 has no label" && has "label 1 has no data"
expect 0 ls "$work/nolinks.tav" && has "(no label)"
expect 0 export "$work/nolinks.tav" "$work/expnolinks"
[ -f "$work/expnolinks/no_label/000001.png" ] || fail "export of items without label"

# --- version-1 files ----------------------------------------------------------
v1=$(cd "$(dirname "$0")/../../fuzz/corpus/korvu1_import" && pwd)
expect 0 import-korvu "$v1/v1_0_exact" "$work/imported.tav" && has "2 items in 2 labels"
expect 0 info "$work/imported.tav" && has "image 8x8, 1 plane, u8; window 0,0 8x8, origin 4,4" && has "Imported from Korvu TAV 'plain'."
expect 0 verify "$work/imported.tav"
head -c $(($(stat -c %s "$v1/v1_0_exact") - 10)) "$v1/v1_0_exact" >"$work/v1cut.dat"
expect 1 import-korvu "$work/v1cut.dat" "$work/x.tav" && grep -q "end of file encountered" "$err" || fail "cut v1"
expect 1 import-korvu "$v1/v1_2_no_samples" "$work/x.tav" && grep -q "holds no samples" "$err" || fail "empty v1"
for f in a.tav missing.dat; do expect 1 import-korvu "$work/$f" "$work/x.tav"; done
[ ! -e "$work/x.tav" ] || fail "a failed import left a file"

((failed == 0)) && echo "all tool tests passed"
exit $failed
