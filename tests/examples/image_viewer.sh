#!/usr/bin/env bash
# kaplo-image-viewer: a BMP with a black border (which must count in its size)
# is shown at its size and saved as a PNG with the same pixels; a missing file
# gives a clear message, and the program still ends cleanly.
. "$(dirname "$0")/lib.sh"
convert -size 240x160 xc:black -fill '#FF8000' -draw 'rectangle 20,20 219,139' \
  -fill white -draw 'rectangle 100,60 139,99' BMP3:in.bmp
start "$1" in.bmp out.png
wait_until 30 file_has out.txt "saved out.png" || fail "no copy saved: $(cat out.txt)"
file_has out.txt "^in.bmp: 240 x 160$" || fail "size not reported: $(cat out.txt)"
[ "$(identify -format '%m %wx%h' out.png)" = "PNG 240x160" ] || fail "out.png: $(identify out.png)"
same_pixels in.bmp out.png || fail "out.png differs from in.bmp"
wait_until 30 has_windows '^in.bmp\(100%\)$' 1 || fail "no picture window"
wait_until 30 window_shows "$(find_window '^in.bmp\(100%\)$')" in.bmp ||
  fail "the window does not show the picture"
has_windows '^TextWindow 0$' 1 || fail "no text window for the report"
exit_cleanly

rm out.png
start "$1" missing.bmp out.png
wait_until 30 file_has out.txt "^missing.bmp: cannot read this picture$" ||
  fail "no message for a missing file: $(cat out.txt)"
[ ! -e out.png ] || fail "out.png written without a picture"
exit_cleanly
echo "example image_viewer: passed"
