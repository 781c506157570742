#!/usr/bin/env bash
# kelpie-render from the outside: exit codes, messages, what is (not) written.
# Usage: test.sh KELPIE_RENDER PNG_CHECK SAMPLES_DIR
set -uo pipefail

render="${1:?usage: test.sh KELPIE_RENDER PNG_CHECK SAMPLES_DIR}"
check="${2:?}"
samples="${3:?}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() {
  failed=$((failed + 1))
  echo "FAIL: $*"
}
expect_eq() { # what got want
  if [ "$2" = "$3" ]; then pass; else fail "$1: got '$2', want '$3'"; fi
}
expect_success() { # label command...
  local label="$1"
  shift
  if "$@"; then pass; else fail "$label"; fi
}
expect_file_absent() {
  if [ -e "$1" ]; then fail "$1 should not exist"; else pass; fi
}
# Runs kelpie-render, keeping its exit code and stderr.
run() {
  timeout 60 "$render" "$@" >"$work/stdout" 2>"$work/stderr"
  code=$?
}
# Exit 1, exactly one line on stderr that names the file.
expect_refused() { # label path-to-name
  expect_eq "$1: exit code" "$code" 1
  expect_eq "$1: stderr lines" "$(wc -l <"$work/stderr")" 1
  if grep -qF -- "$2" "$work/stderr"; then pass; else fail "$1: stderr does not name $2: $(cat "$work/stderr")"; fi
}
no_temp_files() { # dir
  expect_eq "temporary files left in $1" "$(find "$1" -maxdepth 1 -name '.*.tmp' | wc -l)" 0
}

# --- arguments
run --help
expect_eq "--help exit" "$code" 0
expect_success "--help prints no usage" grep -q '^usage: kelpie-render' "$work/stdout"
run
expect_eq "no arguments exit" "$code" 2
expect_success "no arguments: no usage on stderr" grep -q 'usage' "$work/stderr"
run "$samples/testcard.scr"
expect_eq "one argument exit" "$code" 2
for bad in --bogus "--scale 0" "--scale 9" "--scale x" "--size 0" "--scale 2 --size 100"; do
  # shellcheck disable=SC2086 # the options are split on purpose
  run $bad "$samples/testcard.scr" "$work/x.png"
  expect_eq "$bad: exit" "$code" 2
done
run "$samples/testcard.scr" "$work/x.png" --size
expect_eq "--size without a value: exit" "$code" 2
expect_file_absent "$work/x.png"

# --- the test card, both seam modes: 768x576 with a palette of its colours,
# identical to an in-process render, with known colours at known places
run "$samples/testcard.scr" "$work/card.png"
expect_eq "test card exit" "$code" 0
expect_eq "test card size" "$("$check" size "$work/card.png")" "768x576 palette 30 8-bit"
expect_success "test card differs from render" "$check" same "$work/card.png" "$samples/testcard.scr" 0
# Row 7 (paper white), column 2 (ink red), first line all ink.
expect_eq "red ink" "$("$check" pixel "$work/card.png" 51 168)" B40000
# Row 8 (bright, paper black), column 5 (ink cyan), first line all ink.
expect_eq "bright cyan ink" "$("$check" pixel "$work/card.png" 123 192)" 00FEFC
# Row 16, column 1 swapped against column 0; its first line's leftmost pixel
# is paper 0 (black) under the mark.
expect_eq "darkened mark" "$("$check" pixel "$work/card.png" 24 384)" 383838

run --white-seams "$samples/testcard.scr" "$work/white.png"
expect_eq "white seams exit" "$code" 0
expect_success "white seams differ from render" "$check" same "$work/white.png" "$samples/testcard.scr" 1
expect_eq "white mark" "$("$check" pixel "$work/white.png" 24 384)" FFFFFF

# --- other sizes: OPTIONS | the size the picture must have
while IFS='|' read -r options want; do
  # shellcheck disable=SC2086
  run $options "$samples/testcard.scr" "$work/sized.png"
  expect_eq "$options: exit" "$code" 0
  expect_eq "$options: size" "$("$check" size "$work/sized.png" | cut -d' ' -f1)" "${want# }"
done <<'TABLE'
--scale 1 | 256x192
--scale 8 | 2048x1536
--size 256 | 256x192
--size 128 | 128x96
--size 100 | 100x75
--size 600 | 512x384
--size 16384 | 2048x1536
TABLE
# Pixels around the mark at (24, 384) of the 3x picture, scaled: OPTIONS |
# X Y COLOUR... A mark never covers a whole Spectrum pixel: none below scale 2,
# two columns wide from scale 6.
while IFS='|' read -r options points; do
  # shellcheck disable=SC2086
  run $options "$samples/testcard.scr" "$work/marks.png"
  # shellcheck disable=SC2086
  set -- $points
  while [ $# -gt 0 ]; do
    expect_eq "$options: pixel $1,$2" "$("$check" pixel "$work/marks.png" "$1" "$2")" "$3"
    shift 3
  done
done <<'TABLE'
--no-seams | 24 384 000000 51 168 B40000
--scale 1 | 8 128 000000
--scale 2 | 16 256 383838 17 256 000000
--scale 6 | 48 768 383838 49 768 383838 50 768 000000
--scale 8 --white-seams | 64 1024 FFFFFF 65 1031 FFFFFF 66 1024 000000
TABLE

run "$samples/gradient.scr" "$work/gradient.png"
expect_eq "gradient exit" "$code" 0
expect_success "gradient differs" "$check" same "$work/gradient.png" "$samples/gradient.scr" 0

# --- few colours: the fewest bits per index that hold the palette, and the
# pixels packed at that depth decode back to the render. A screen of one
# bitmap byte (octal) and attribute rows (octal, repeated down the screen):
# every cell of a row alike, so no seam marks. BITMAP ATTRIBUTES | size
make_screen() { # path bitmap attribute...
  local path="$1" bitmap="$2" row
  shift 2
  local attributes=("$@")
  head -c 6144 /dev/zero | tr '\0' "\\$bitmap" >"$path"
  for row in $(seq 0 23); do
    head -c 32 /dev/zero | tr '\0' "\\${attributes[row % $#]}" >>"$path"
  done
}
while IFS='|' read -r screen want; do
  screen="${screen% }"
  # shellcheck disable=SC2086 # the bytes are split on purpose
  make_screen "$work/few.scr" $screen
  run "$work/few.scr" "$work/few.png"
  expect_eq "$screen: size" "$("$check" size "$work/few.png")" "768x576 palette ${want# }"
  expect_success "$screen: differs from render" "$check" same "$work/few.png" "$work/few.scr" 0
done <<'TABLE'
000 000 | 1 1-bit
125 070 | 2 1-bit
125 070 072 | 3 2-bit
125 070 071 072 | 4 2-bit
125 070 071 072 073 | 5 4-bit
125 070 071 072 073 074 075 076 101 102 103 104 105 106 107 | 15 4-bit
TABLE

# An existing output is replaced whole, keeping its permissions; another hard
# link to it keeps the old picture.
chmod 600 "$work/card.png"
ln "$work/card.png" "$work/card-link.png"
run "$samples/gradient.scr" "$work/card.png"
expect_success "output not replaced" "$check" same "$work/card.png" "$samples/gradient.scr" 0
expect_eq "replaced output's mode" "$(stat -c %a "$work/card.png")" 600
expect_success "other link changed" "$check" same "$work/card-link.png" "$samples/testcard.scr" 0
no_temp_files "$work"

# A symbolic link planted at a temporary name (pid-based names are guessable)
# is neither followed nor left as the output.
echo precious >"$work/victim"
# shellcheck disable=SC2016 # expanded by the inner shell, whose pid kelpie-render keeps
timeout 60 bash -c 'ln -s "$3/victim" "$3/.planted.png.$$.tmp"; exec "$1" "$2" "$3/planted.png"' \
  _ "$render" "$samples/testcard.scr" "$work" 2>"$work/stderr"
expect_eq "planted link: exit" "$?" 0
expect_success "planted link: target changed" grep -qx precious "$work/victim"
expect_success "planted link: output not a regular file" test -f "$work/planted.png" -a ! -L "$work/planted.png"
rm -f "$work"/.planted.png.*.tmp

# --- short inputs render over zeros
head -c 100 "$samples/testcard.scr" >"$work/short.scr"
run "$work/short.scr" "$work/short.png"
expect_eq "short input exit" "$code" 0
expect_success "short input differs" "$check" same "$work/short.png" "$work/short.scr" 0
: >"$work/empty.scr"
run "$work/empty.scr" "$work/empty.png"
expect_eq "empty input exit" "$code" 0
expect_eq "empty input is black" "$("$check" pixel "$work/empty.png" 400 300)" 000000

# --- inputs that are refused: exit 1, one line naming the file, no output
run "$work/missing.scr" "$work/out1.png"
expect_refused "missing input" "$work/missing.scr"
expect_file_absent "$work/out1.png"

mkdir "$work/folder"
run "$work/folder" "$work/out2.png"
expect_refused "directory input" "$work/folder"
expect_file_absent "$work/out2.png"

mkfifo "$work/fifo"
run "$work/fifo" "$work/out3.png"
expect_refused "FIFO input" "$work/fifo"
expect_file_absent "$work/out3.png"

run /dev/zero "$work/out4.png"
expect_refused "device input" /dev/zero
expect_file_absent "$work/out4.png"

if [ "$(id -u)" -ne 0 ]; then # root reads anything
  cp "$samples/testcard.scr" "$work/locked.scr"
  chmod 000 "$work/locked.scr"
  run "$work/locked.scr" "$work/out5.png"
  expect_refused "unreadable input" "$work/locked.scr"
  expect_file_absent "$work/out5.png"
fi

run /proc/self/mem "$work/out6.png" # the read fails (EIO)
expect_refused "input read error" /proc/self/mem
expect_file_absent "$work/out6.png"

# --- outputs that are refused: the input by any name, links, non-regular
# files. Exit 1, and every file stays as it was.
cp "$samples/testcard.scr" "$work/in.scr"
ln "$work/in.scr" "$work/in-hardlink.scr"
ln -s in.scr "$work/in-symlink.png"
mkfifo "$work/out.fifo"
refused=("$work/in.scr" "$work/./in.scr" "$work/in-hardlink.scr" "$work/in-symlink.png" "$work/out.fifo")
if [ "$(id -u)" -eq 0 ]; then # a device node of our own: /dev/null's numbers
  mknod "$work/null" c 1 3
  refused+=("$work/null")
fi
for output in "${refused[@]}"; do
  run "$work/in.scr" "$output"
  expect_refused "output $output" "$output"
done
expect_success "input changed" cmp -s "$work/in.scr" "$samples/testcard.scr"
expect_success "symbolic link replaced" test -L "$work/in-symlink.png"
expect_success "FIFO replaced" test -p "$work/out.fifo"
if [ -e "$work/null" ]; then expect_success "device replaced" test -c "$work/null"; fi
no_temp_files "$work"

# --- outputs that cannot be written: exit 1, nothing left behind
run "$samples/testcard.scr" "$work/no/such/folder/out.png"
expect_refused "output in a missing folder" "$work/no/such/folder/out.png"

mkdir "$work/taken.png"
run "$samples/testcard.scr" "$work/taken.png"
expect_refused "output is a folder" "$work/taken.png"
no_temp_files "$work"
expect_eq "folder untouched" "$(find "$work/taken.png" | wc -l)" 1

# A write that fails part way (file size limit, EFBIG) leaves the old output.
mkdir "$work/limited"
cp "$samples/testcard.scr" "$work/limited/out.png"
(
  trap '' XFSZ
  ulimit -f 1
  # A coverage build's counters, cut off by the limit, would corrupt the
  # shared ones: this run keeps its own in the scratch folder.
  export GCOV_PREFIX="$work/limited-counts"
  run "$samples/testcard.scr" "$work/limited/out.png"
  exit "$code"
)
code=$?
expect_refused "failed write" "$work/limited/out.png"
expect_success "failed write changed the output" cmp -s "$work/limited/out.png" "$samples/testcard.scr"
no_temp_files "$work/limited"

if [ "$(id -u)" -ne 0 ]; then # root writes anywhere
  mkdir "$work/readonly"
  chmod 555 "$work/readonly"
  run "$samples/testcard.scr" "$work/readonly/out.png"
  expect_refused "read-only folder" "$work/readonly/out.png"
  no_temp_files "$work/readonly"
fi

# --- the batch form: each input to DIR/NAME.png; a failure is one line on
# stderr naming the file, the others go on, exit 1.
mkdir -p "$work/batch" "$work/in/sub"
cp "$samples/testcard.scr" "$work/in/card.scr"
cp "$samples/gradient.scr" "$work/in/grad.bin"
cp "$samples/gradient.scr" "$work/in/sub/card.scr"
cp "$samples/testcard.scr" "$work/in/linked.scr"
ln -s "$work/victim" "$work/batch/linked.png"
run --out-dir "$work/batch" "$work/in/card.scr" "$work/missing.scr" "$work/in/grad.bin" \
  "$work/in/sub/card.scr" "$work/in/linked.scr"
expect_eq "batch: exit" "$code" 1
expect_eq "batch: stderr lines" "$(wc -l <"$work/stderr")" 3
for named in "$work/missing.scr" "$work/in/sub/card.scr" "$work/batch/linked.png"; do
  if grep -qF -- "$named" "$work/stderr"; then pass; else fail "batch: $named not reported"; fi
done
expect_success "batch: card" "$check" same "$work/batch/card.png" "$samples/testcard.scr" 0
expect_success "batch: grad" "$check" same "$work/batch/grad.png" "$samples/gradient.scr" 0
expect_success "batch: link kept" test -L "$work/batch/linked.png"
expect_eq "batch: files written" "$(find "$work/batch" -type f | wc -l)" 2
no_temp_files "$work/batch"

# Names on standard input (blank lines skipped) after those listed, options
# for all; all written: exit 0, nothing on stderr.
mkdir "$work/listed"
for i in $(seq 40); do head -c $((i * 170)) "$samples/testcard.scr" >"$work/in/n$i.scr"; done
(echo; find "$work/in" -name 'n*.scr') |
  timeout 60 "$render" --white-seams --scale 1 --out-dir "$work/listed" "$work/in/card.scr" - \
    >"$work/stdout" 2>"$work/stderr"
expect_eq "stdin batch: exit" "$?" 0
expect_eq "stdin batch: stderr" "$(cat "$work/stderr")" ""
expect_eq "stdin batch: files" "$(find "$work/listed" -name '*.png' | wc -l)" 41
expect_eq "stdin batch: size" "$("$check" size "$work/listed/n40.png" | cut -d' ' -f1)" 256x192
run --out-dir "$work/no-such-folder" "$samples/testcard.scr"
expect_refused "batch into a missing folder" "$work/no-such-folder"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
