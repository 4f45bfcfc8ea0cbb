#!/usr/bin/env bash
# Writes a small labelled image folder of synthetic shapes: one subfolder per
# class (circle, square, cross, triangle), plain PGM and PPM files of varying
# size, position and noise. $1: the folder, $2: images per class (default 12).
set -euo pipefail
out=${1:?usage: make_shapes.sh DIR [COUNT]}
count=${2:-12}
for shape in circle square cross triangle; do
  mkdir -p "$out/$shape"
done
LC_ALL=C awk -v out="$out" -v count="$count" '
function draw(shape, w, h, color, file,   cx, cy, r, x, y, inside, v, dx, dy, c) {
  cx = w / 2 + (rand() - 0.5) * w / 5
  cy = h / 2 + (rand() - 0.5) * h / 5
  r = w / 5 + rand() * w / 8
  printf "%s\n# %s\n%d %d\n255\n", (color ? "P3" : "P2"), shape, w, h > file
  for (y = 0; y < h; y++) {
    for (x = 0; x < w; x++) {
      dx = x - cx; dy = y - cy
      if (shape == "circle")   inside = dx * dx + dy * dy <= r * r
      if (shape == "square")   inside = (dx < 0 ? -dx : dx) <= r && (dy < 0 ? -dy : dy) <= r
      if (shape == "cross")    inside = ((dx < 0 ? -dx : dx) <= r / 3 && (dy < 0 ? -dy : dy) <= r) || \
                                        ((dy < 0 ? -dy : dy) <= r / 3 && (dx < 0 ? -dx : dx) <= r)
      if (shape == "triangle") inside = dy <= r && dy >= -r && (dx < 0 ? -dx : dx) <= (dy + r) / 2
      v = (inside ? 200 : 40) + int(rand() * 30)
      if (color)
        for (c = 0; c < 3; c++) printf "%d ", (c == 0 ? v : int(v * (0.5 + c / 4))) > file
      else
        printf "%d ", v > file
    }
    printf "\n" > file
  }
  close(file)
}
BEGIN {
  srand(7)
  split("circle square cross triangle", shapes, " ")
  for (s = 1; s <= 4; s++)
    for (i = 0; i < count; i++) {
      # Mostly 32x32; some larger (cut to the centre), some smaller (scaled).
      size = (i % 4 == 1) ? 40 : (i % 4 == 3 ? 24 : 32)
      color = (i % 5 == 4)
      draw(shapes[s], size, size, color, sprintf("%s/%s/%02d.%s", out, shapes[s], i, color ? "ppm" : "pgm"))
    }
}'
