#!/usr/bin/env bash
# Runs the installed tav tool on generated images, list files, version-1
# files and damaged copies of them. Every failure must be a one-line message
# with exit status 1 (failure) or 2 (usage), never a signal.
# $1 build dir, $2 scratch dir, $3 example program, $4 shape generator,
# $5 source dir (the JPEG fuzz seeds serve as sample photos).
set -uo pipefail
build=$1 work=$2 example=$3 make_shapes=$4 src=$5
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
# exported LIST: a hash of every image the list exports to, by path, so that
# two lists with the same pixels give the same text.
exported() {
  rm -rf "$work/exported" && "$tav" export "$1" "$work/exported" >/dev/null &&
    (cd "$work/exported" && find . -name '*.png' | sort | xargs md5sum)
}
# pgm FILE W H MAXVAL BYTE...: a binary PGM with the given sample bytes.
pgm() {
  local f=$1; mkdir -p "$(dirname "$f")"; printf 'P5\n%d %d\n%d\n' "$2" "$3" "$4" >"$f"; shift 4
  printf "$(printf '\\x%02x' "$@")" >>"$f"
}

# --- usage -----------------------------------------------------------------
# shellcheck disable=SC2086
for args in "" bogus info "info a b"; do expect 2 $args; done
for c in info ls verify import-korvu create-from-dir export set-comment exclude; do
  expect 0 "$c" --help && { head -1 "$out" | grep -q "^usage: tav $c" || fail "$c --help"; }
done
expect 0 --version && grep -qx 'tav [0-9]*\.[0-9]*\.[0-9]*' "$out" || fail "--version"
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
mkdir -p "$img/empty" "$img/photo" && : >"$img/readme.txt"
cp "$src/fuzz/corpus/tool_jpeg/gray.jpg" "$src/fuzz/corpus/tool_jpeg/colour-progressive.jpg" "$img/photo/"
head -c 200 "$img/photo/gray.jpg" >"$img/extra/cut.jpg"
# Command-line errors come before anything is read: one line, no reports.
for bad in "--size 0x5" "--size axb" "--size 8x8 --planes 9" "--size 8x8 --window 1,2" "--size 8x8 --origin x,1" \
  "--size 8x8 --window 4,4,8,8" "--size 8x8 --origin 9,9" "--size 8x8 --depth 12" "--size 8x8 --fit zoom"; do
  # shellcheck disable=SC2086
  expect 2 create-from-dir "$img" "$work/x.tav" $bad
done
expect 0 create-from-dir "$img" "$work/a.tav" --size 32x32 --window 4,4,24,24 --origin 12,12
# Not used: 7 unreadable images, a hidden folder, a nested one, a text file in
# a class folder and one outside, an empty class folder.
has "21 items in 6 labels (12 files or folders not used)"
[ "$(grep -c "not used: " "$err")" = 12 ] && grep -q "extra/cut.jpg': JPEG file: data ends early" "$err" &&
  grep -q "nested': a folder inside" "$err" && grep -q "empty': a class folder without images" "$err" || fail "not used"
grep -q "warning: 2 colour images made gray" "$err" || fail "colour warning"

expect 0 info "$work/a.tav" && has "items:       21" && has "window 4,4 24x24, origin 12,12" && has "extra"
expect 0 info "$work/a.tav" --json
[ "$(wc -l <"$out")" = 1 ] && has '"items":21' && has '"label":"triangle","items":4,"excluded":false' ||
  fail "info --json"
expect 0 ls "$work/a.tav" && [ "$(wc -l <"$out")" = 21 ] && has $'^0\tcircle\timage 32x32, 1 plane, u8' || fail "ls"
expect 0 verify "$work/a.tav" && has "ok (21 items, 6 labels)"

# --- export, and back: the same pixels ---------------------------------------
expect 0 export "$work/a.tav" "$work/exp1"
expect 0 create-from-dir "$work/exp1" "$work/b.tav" --size 32x32 && has "21 items in 6 labels"
expect 0 export "$work/b.tav" "$work/exp2"
for f in "$work"/exp1/*/*.png; do cmp -s "$f" "${f/exp1/exp2}" || fail "pixels changed: $f"; done
expect 0 create-from-dir "$img" "$work/rgb.tav" --size 16x16 --planes 3
expect 0 export "$work/rgb.tav" "$work/exp3"
# Byte 25 of a PNG is its colour type: 2 is RGB.
[ "$(od -An -tu1 -j25 -N1 "$work/exp3/circle/000000.png" | tr -d ' ')" = 2 ] || fail "RGB export"
[ "$(od -An -tu1 -j25 -N1 "$work/exp3/photo/000011.png" | tr -d ' ')" = 2 ] || fail "RGB JPEG"
expect 1 export "$work/a.tav" "$work/a.tav/sub"

# --- where results go: reserved names, full folders, free space, terminals ----
expect 1 create-from-dir "$img" "$work/no/such/dir/x.tav" --size 8x8 && grep -q "No such file or directory" "$err" ||
  fail "missing folder"
# Labels named as the export's own files; a folder that is not empty.
for name in labels.csv no_label mask.png; do mkdir -p "$work/names/$name" && cp "$img/circle/00.pgm" "$work/names/$name/"; done
expect 0 create-from-dir "$work/names" "$work/names.tav" --size 32x32
expect 0 export "$work/names.tav" "$work/expn"
[ -f "$work/expn/labels.csv" ] && [ "$(wc -l <"$work/expn/labels.csv")" = 4 ] &&
  [ "$(find "$work/expn" -name '*.png' | wc -l)" = 3 ] || fail "export: reserved names"
expect 1 export "$work/names.tav" "$work/expn" && grep -q "not empty" "$err" || fail "export into a full folder"
expect 0 export "$work/names.tav" "$work/expn" --force
# Far more than the disk holds: refused before anything is read.
mkdir -p "$work/many/a" && for i in $(seq 200); do ln "$img/circle/00.pgm" "$work/many/a/$i.pgm"; done
expect 1 create-from-dir "$work/many" "$work/x.tav" --size 16384x16384 --planes 4 --depth 16 && grep -q " free$" "$err" ||
  fail "estimate above the free space"
# On a terminal: the estimate, then the count, rate and time left.
script -qec "'$tav' create-from-dir '$img' '$work/t.tav' --size 8x8" /dev/null >"$out" 2>&1 &&
  has "images into about" && has "/[0-9]* images, [0-9.]*/s" || fail "progress on a terminal"

# --- pixels as files hold them: 8 and 16 bits, no transfer curve -------------
d="$work/depth"
pgm "$d/ref/a/x.pgm" 4 4 255 $(printf '128 %.0s' {1..16})
pgm "$d/pgm16/a/x.pgm" 4 4 65535 $(printf '128 127 %.0s' {1..16}) # 32895: 128 at 8 bits, 127 swapped
expect 0 create-from-dir "$d/ref" "$d/ref.tav" --size 4x4
expect 0 create-from-dir "$d/pgm16" "$d/p16.tav" --size 4x4 --depth 16
expect 0 export "$d/p16.tav" "$d/png16"
expect 0 export "$d/ref.tav" "$d/png8"
# A gAMA chunk (gamma 1.0) changes nothing; nor does JPEG's coding of flat gray.
mkdir -p "$d/gama/a" "$d/jpeg/a" && cp "$src/fuzz/corpus/tool_jpeg/gray.jpg" "$d/jpeg/a/"
python3 - "$d/png8/a/000000.png" "$d/gama/a/x.png" <<'PY'
import struct, sys, zlib
png = open(sys.argv[1], "rb").read()
chunk = b"gAMA" + struct.pack(">I", 100000)
open(sys.argv[2], "wb").write(png[:33] + struct.pack(">I", 4) + chunk + struct.pack(">I", zlib.crc32(chunk)) + png[33:])
PY
# Images read at a depth, and the list whose pixels they must give.
for t in "pgm16 8 ref" "png16 8 ref" "png16 16 p16" "gama 8 ref" "jpeg 8 ref"; do
  read -r from depth want <<<"$t"
  expect 0 create-from-dir "$d/$from" "$d/got.tav" --size 4x4 --depth "$depth"
  [ "$(exported "$d/got.tav")" = "$(exported "$d/$want.tav")" ] || fail "$from at depth $depth: pixels changed"
done
# --fit: pad centres the whole image on black; crop enlarges a small image
# evenly and takes its centre (rows 3 and 4 of a 2x8 image).
pgm "$d/wide/a/x.pgm" 8 2 255 $(printf '255 %.0s' {1..16})
pgm "$d/padded/a/x.pgm" 8 8 255 $(printf '0 %.0s' {1..24}) $(printf '255 %.0s' {1..16}) $(printf '0 %.0s' {1..24})
pgm "$d/tall/a/x.pgm" 2 8 255 0 0 0 0 0 0 255 255 255 255 0 0 0 0 0 0
pgm "$d/white/a/x.pgm" 4 4 255 $(printf '255 %.0s' {1..16})
for args in "wide pad 8x8 padded" "tall crop 4x4 white"; do
  read -r from fit size want <<<"$args"
  expect 0 create-from-dir "$d/$from" "$d/fit.tav" --size "$size" --fit "$fit"
  expect 0 create-from-dir "$d/$want" "$d/want.tav" --size "$size"
  [ "$(exported "$d/fit.tav")" = "$(exported "$d/want.tav")" ] || fail "--fit $fit"
done
expect 0 create-from-dir "$d/tall" "$d/fit.tav" --size 4x4 --fit scale

# --- edits ------------------------------------------------------------------
expect 2 set-comment "$work/a.tav" $'caf\xe9'
expect 1 set-comment "$work/missing.tav" text && grep -q "No such file or directory" "$err" &&
  [ ! -e "$work/missing.tav.lock" ] || fail "missing file"
# Control characters in labels and comments are shown escaped.
mkdir -p "$work/ctl/"$'tab\there' && cp "$img/circle/00.pgm" "$work/ctl/"$'tab\there/'
expect 0 create-from-dir "$work/ctl" "$work/ctl.tav" --size 32x32 && expect 0 set-comment "$work/ctl.tav" $'two\nlines'
expect 0 ls "$work/ctl.tav" && has 'tab\\there' && [ "$(wc -l <"$out")" = 1 ] || fail "ls escapes"
expect 0 info "$work/ctl.tav" && has 'comment:     two\\nlines' && has ' tab\\there$' || fail "info escapes"

# --- a vector list made by the example program -------------------------------
"$example" "$work/v.tav" >/dev/null || fail "example program"
expect 0 info "$work/v.tav" && has "vector, dimension 2" && has "comment:     fruit measured by two features"
expect 0 ls "$work/v.tav" && [ "$(wc -l <"$out")" = 4 ] && has $'pear\tvector\[2\]: 0.899999976 0.200000003' || fail "ls vectors"
expect 0 export "$work/v.tav" "$work/expv"
[ "$(wc -l <"$work/expv/pear/data.csv")" = 2 ] && grep -q '^000000,0.899999976,0.200000003$' "$work/expv/pear/data.csv" ||
  fail "export of vector data"
expect 0 exclude "$work/v.tav" apple && expect 0 info "$work/v.tav" --json && has '"label":"apple","items":2,"excluded":true'
expect 0 verify "$work/v.tav" # an edited list

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
expect 0 verify "$work/imported.tav"
head -c $(($(stat -c %s "$v1/v1_0_exact") - 10)) "$v1/v1_0_exact" >"$work/v1cut.dat"
expect 1 import-korvu "$work/v1cut.dat" "$work/x.tav" && grep -q "end of file encountered" "$err" || fail "cut v1"
expect 1 import-korvu "$v1/v1_2_no_samples" "$work/x.tav" && grep -q "holds no samples" "$err" || fail "empty v1"
for f in a.tav missing.dat; do expect 1 import-korvu "$work/$f" "$work/x.tav"; done
[ ! -e "$work/x.tav" ] || fail "a failed import left a file"
mkdir -p "$work/adir"
expect 1 import-korvu "$v1/v1_0_exact" "$work/adir" && grep -q "Is a directory" "$err" || fail "store: no reason"

# --- edits at once: every one holds the lock, none is lost ---------------------
for p in {0..7}; do for i in {0..24}; do
  mkdir -p "$work/locks/p${p}_$i" && ln "$img/circle/00.pgm" "$work/locks/p${p}_$i/"
done; done
expect 0 create-from-dir "$work/locks" "$work/l.tav" --size 8x8
for p in {0..7}; do
  (for i in {0..24}; do "$tav" exclude "$work/l.tav" "p${p}_$i" 2>>"$work/lock.err" || echo "p${p}_$i failed"; done) &
done >"$out"
wait
[ -s "$out" ] && fail "concurrent edits failed: $(head -3 "$out")"
expect 0 info "$work/l.tav" --json && [ "$(grep -o '"excluded":true' "$out" | wc -l)" = 200 ] || fail "edits lost"
flock "$work/l.tav.lock" "$tav" set-comment "$work/l.tav" x --no-wait 2>"$err"
(($? == 1)) && grep -q "another process" "$err" || fail "--no-wait on a held lock"

# --- a list larger than the memory allowed: read in batches, never loaded ------
if [ -z "${TAV_ADDRESS_CHECKS:-}" ]; then # AddressSanitizer needs far more address space
  mkdir -p "$work/huge/a" && for i in {1..15}; do ln "$img/circle/00.pgm" "$work/huge/a/$i.pgm"; done
  expect 0 create-from-dir "$work/huge" "$work/huge.tav" --size 1024x1024 --planes 4 --depth 16 # 126 MB
  limited() { (ulimit -v 61440 && exec "$tav" "$@") >"$out" 2>"$err"; }
  limited set-comment "$work/huge.tav" x && fail "a 126 MB list loaded within 60 MB"
  limited verify "$work/huge.tav" && has "ok (15 items, 1 labels)" || fail "verify within 60 MB"
  limited info "$work/huge.tav" && has "items:       15" || fail "info within 60 MB"
  rm -f "$work/huge.tav"
fi

# --- interrupted writes: no temporary file left, the old file intact ----------
mkdir -p "$work/sig/a" && for i in {1..40}; do ln "$img/circle/00.pgm" "$work/sig/a/$i.pgm"; done
expect 0 create-from-dir "$work/sig" "$work/big.tav" --size 256x256 --planes 4 --depth 16
cp "$work/big.tav" "$work/big.orig"
signals=(INT TERM HUP) numbers=(2 15 1)
for t in {0..23}; do
  # Started with the default actions, which a shell's background jobs lack.
  env --default-signal=INT,TERM,HUP "$tav" set-comment "$work/big.tav" "edit $t" 2>/dev/null &
  pid=$!
  sleep "$(printf '0.%03d' $((RANDOM % 50)))"
  kill -s "${signals[t % 3]}" "$pid" 2>/dev/null
  wait "$pid"; rc=$?
  compgen -G "$work/.tav-*.tmp" >/dev/null && fail "signal ${signals[t % 3]}: temporary file left"
  if ((rc == 128 + numbers[t % 3])); then
    # Interrupted: the old file, unless the new one was already in place.
    cmp -s "$work/big.tav" "$work/big.orig" || { expect 0 info "$work/big.tav" && has "comment:     edit $t$"; } ||
      fail "signal ${signals[t % 3]}: file changed"
  elif ((rc != 0)); then
    fail "signal ${signals[t % 3]}: status $rc"
  fi
  cp "$work/big.orig" "$work/big.tav"
done

((failed == 0)) && echo "all tool tests passed"
exit $failed
