#!/usr/bin/env bash
# kelpie-render against ImageMagick on many varied screens; prints JSON.
#
#   bench/render_batch.sh BUILD_DIR [COUNT]
#
# BUILD_DIR holds kelpie-render (scripts/bench passes the release build); the
# screens are made from the tree's samples/.
# COUNT screens (default 1000: random bytes, the samples, and pictures in
# between: sparse bitmaps, few colours, text-like rows) rendered by one batch
# call (--out-dir, names on stdin), by COUNT single calls, and by COUNT single
# `convert scr:F -scale 300% F.png` calls; the whole-process time of one file
# (the median of the single calls) for both; the PNGs' total sizes.
# ImageMagick's convert: /usr/bin/convert, else the first on PATH.
set -euo pipefail

render="$(realpath "${1:?usage: render_batch.sh BUILD_DIR [COUNT]}")/kelpie-render"
samples="$(realpath "$(dirname "$0")/../samples")"
count="${2:-1000}"
convert=/usr/bin/convert
[ -x "$convert" ] || convert="$(command -v convert)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/in" "$work/batch" "$work/single" "$work/im"

python3 - "$work/in" "$samples" "$count" <<'PY'
import os, random, sys
out, samples, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
rng = random.Random(6912)
bases = [open(os.path.join(samples, n), "rb").read()[:6912].ljust(6912, b"\0")
         for n in sorted(os.listdir(samples)) if n.endswith(".scr")]
def attributes(kind):
    if kind == 0:  # any byte
        return bytes(rng.randrange(256) for _ in range(768))
    colours = [rng.randrange(128) for _ in range(rng.randint(1, 4))]
    return bytes(rng.choice(colours) for _ in range(768))
for i in range(count):
    kind = i % 5
    if kind == 0:  # noise
        screen = bytes(rng.randrange(256) for _ in range(6912))
    elif kind == 1:  # a sample, some bytes changed
        screen = bytearray(bases[i % len(bases)])
        for _ in range(rng.randint(0, 400)):
            screen[rng.randrange(6912)] = rng.randrange(256)
        screen = bytes(screen)
    elif kind == 2:  # sparse bitmap, few colours
        bitmap = bytes(rng.randrange(256) if rng.random() < 0.1 else 0 for _ in range(6144))
        screen = bitmap + attributes(1)
    elif kind == 3:  # text-like: repeated glyph rows
        glyphs = [bytes(rng.randrange(256) for _ in range(8)) for _ in range(40)]
        bitmap = bytearray(6144)
        for y in range(192):
            offset = ((y & 0xC0) << 5) | ((y & 7) << 8) | ((y & 0x38) << 2)
            for col in range(32):
                if (y >> 3) % 2 == 0:
                    bitmap[offset + col] = glyphs[(col * 7 + (y >> 3)) % 40][y & 7]
        screen = bytes(bitmap) + attributes(rng.randint(0, 1))
    else:  # random bitmap, any attributes
        screen = bytes(rng.randrange(256) for _ in range(6144)) + attributes(rng.randint(0, 1))
    with open(os.path.join(out, f"s{i:05d}.scr"), "wb") as f:
        f.write(screen)
PY

now() { date +%s.%N; }
seconds() { python3 -c "print(round($2 - $1, 3))"; }
total_size() { find "$1" -name '*.png' -printf '%s\n' | awk '{s += $1} END {print s + 0}'; }
# The median of single calls, in ms: one file, the whole process.
median_ms() {
  sort -n | awk '{v[NR] = $1} END {printf "%.2f", (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) * 1000}'
}

start="$(now)"
find "$work/in" -name '*.scr' | "$render" --out-dir "$work/batch" -
batch="$(seconds "$start" "$(now)")"

: >"$work/single.times"
start="$(now)"
for f in "$work"/in/*.scr; do
  t0="$(now)"
  "$render" "$f" "$work/single/$(basename "$f" .scr).png"
  echo "$(now) - $t0" >>"$work/single.times"
done
single="$(seconds "$start" "$(now)")"

: >"$work/im.times"
start="$(now)"
for f in "$work"/in/*.scr; do
  t0="$(now)"
  "$convert" "scr:$f" -scale 300% "$work/im/$(basename "$f" .scr).png"
  echo "$(now) - $t0" >>"$work/im.times"
done
im="$(seconds "$start" "$(now)")"

single_ms="$(bc <"$work/single.times" | median_ms)"
im_ms="$(bc <"$work/im.times" | median_ms)"
cat <<JSON
{
  "screens": $count,
  "cores": $(nproc),
  "batch_seconds": $batch,
  "single_calls_seconds": $single,
  "imagemagick_calls_seconds": $im,
  "batch_speedup_over_imagemagick_calls": $(python3 -c "print(round($im / $batch, 1))"),
  "single_file_ms_median": $single_ms,
  "imagemagick_file_ms_median": $im_ms,
  "single_file_speedup_over_imagemagick": $(python3 -c "print(round($im_ms / $single_ms, 1))"),
  "png_bytes_total": $(total_size "$work/batch"),
  "imagemagick_png_bytes_total": $(total_size "$work/im")
}
JSON
