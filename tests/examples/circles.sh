#!/usr/bin/env bash
# kaplo-circles: Ctrl+W in its text window puts on the clipboard exactly the
# lines its init routine was pasted from; then a radius and a colour typed
# into the input box and a click on "Draw" draw that circle, and "Clear"
# clears it.
. "$(dirname "$0")/lib.sh"
source_file=$(dirname "$0")/../../examples/circles.cpp
start "$1"
wait_until 30 has_windows '^ButtonBox$' 1 || fail "no button box"
text=$(find_window '^TextWindow 0$') || fail "no text window"
image=$(find_window '^circles\(100%\)$') || fail "no image window"
inputs=$(find_window '^InputBox$') || fail "no input box"
buttons=$(find_window '^ButtonBox$') || fail "no button box"

sed -n '/clang-format off/,/clang-format on/p' "$source_file" | sed '1d;$d' >pasted.txt
echo "not yet" | xclip -selection clipboard
xdotool windowfocus --sync "$text" key ctrl+w
copied() { xclip -o -selection clipboard >copied.txt 2>/dev/null && cmp -s copied.txt pasted.txt; }
wait_until 30 copied || fail "the report's source differs from the pasted lines: $(diff pasted.txt copied.txt)"

press s
eval "$(geometry "$inputs")"
xdotool mousemove --sync $((X + 120)) $((Y + 16)) click 1 key ctrl+a type 80
xdotool key Tab ctrl+a
xdotool type ff8000
xdotool key Return
eval "$(geometry "$buttons")"
xdotool mousemove --sync $((X + 50)) $((Y + 17)) click 1
wait_until 30 file_has out.txt '^circle 80 ff8000$' || fail "no circle drawn: $(cat out.txt)"
# The circle's rightmost point, (280, 150) in the picture, shows its colour.
shows() { import -window "$image" shot.png 2>/dev/null && [ "$(rgb shot.png "$1" "$2")" = "$3" ]; }
wait_until 30 shows 280 150 "255 128 0 " || fail "the circle is not in the window"
xdotool mousemove --sync $((X + 150)) $((Y + 17)) click 1
wait_until 30 file_has out.txt '^cleared$' || fail "Clear did nothing"
wait_until 30 shows 280 150 "0 0 0 " || fail "the picture was not cleared"
exit_cleanly
echo "example circles: passed"
