#!/usr/bin/env bash
# kaplo-rainbow: S starts the scrolling rainbow, C stops it and saves
# rainbow.png: 320 x 240, the white diagonal, full colours along the top,
# darker ones along the bottom, the very pixels the window shows. The program
# is the README's, line for line.
. "$(dirname "$0")/lib.sh"
source_dir=$(dirname "$0")/../..
readme_code=$(awk '/^```/ { if (inside && code ~ /"rainbow"/) printf "%s", code
                             inside = !inside; code = ""; next }
                   inside { code = code $0 "\n" }' "$source_dir/README.md")
[ -n "$readme_code" ] || fail "no rainbow program in the README"
diff <(printf '%s\n' "$readme_code") <(grep -v '^//' "$source_dir/examples/rainbow.cpp") >&2 ||
  fail "the README's rainbow differs from examples/rainbow.cpp"

start "$1"
press s
wait_until 30 has_windows '^rainbow\(100%\)$' 1 || fail "no rainbow window"
win=$(find_window '^rainbow\(100%\)$')
import -window "$win" first.png
wait_until 30 changed "$win" || fail "the rainbow does not move"
press c
wait_until 30 size_is rainbow.png 320x240 || fail "no 320 x 240 rainbow.png"

for p in "0 0" "160 120" "319 239"; do
  [ "$(rgb rainbow.png $p)" = "255 255 255 " ] || fail "diagonal at $p: $(rgb rainbow.png $p)"
done
# Saturated colours: the brightest component 255 along the top row, 136
# (255 - 239 / 2) along the bottom one, the darkest 0; the hue changes across.
extremes() { rgb rainbow.png "$1" "$2" | tr ' ' '\n' | sort -n | sed -n '1p;$p' | xargs; }
[ "$(extremes 100 0)" = "0 255" ] || fail "top row at x 100: $(rgb rainbow.png 100 0)"
[ "$(extremes 100 239)" = "0 136" ] || fail "bottom row at x 100: $(rgb rainbow.png 100 239)"
[ "$(rgb rainbow.png 100 0)" != "$(rgb rainbow.png 220 0)" ] || fail "one colour across the top"
wait_until 20 window_shows "$win" rainbow.png || fail "the window does not show what was saved"
exit_cleanly
echo "example rainbow: passed"
