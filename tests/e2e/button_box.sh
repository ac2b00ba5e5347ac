#!/usr/bin/env bash
# The button box under a window manager (openbox), pressed with the real
# mouse and keyboard: each click on a button counts for it, the digit keys of
# the main keyboard and of the keypad count for buttons 0..9 (also for a
# number the box has no button for), resizing the box with the mouse resizes
# the buttons, and Ctrl+Q closes the box, ending nothing else. The program reads the counters.
# Usage: button_box.sh INTERACTIVE_BOXES
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${KAPLO_OWN_DISPLAY:-}" ]; then
  KAPLO_OWN_DISPLAY=1 exec "$here/../../scripts/with-xvfb" "$0" "$@"
fi
. "$here/lib.sh"
prog=$(realpath "$1")
out="$E2E_TMP/buttons.txt"

start_under_openbox "$prog" buttons "$out"
E2E_SCOPE_PID=$pid
box=$(find_window '^ButtonBox$') || fail "no button box"

counts() { grep '^count ' "$out"; }
counted() { counts | grep -qxF "$1"; }
counts_to() {  # counts_to BUTTON N: waits until counter BUTTON reads N
  wait_until 20 counted "count $1 $2" || fail "counter $1 never read $2; the program reported: $(counts)"
}
# click BUTTON: a click on the middle of a button of the 3 x 2 grid, whose
# 98 x 26 buttons stand 4 pixels apart and 4 from the client area's edges.
click() {
  xdotool mousemove --window "$box" $((4 + $1 % 3 * 102 + 49)) $((4 + $1 / 3 * 30 + 13)) click 1
}

for n in 1 2 3; do
  click 4
  counts_to 4 $n
done
click 0
counts_to 0 1
click 5  # the one with a caption on two lines
counts_to 5 1
# After a click the box has the keyboard focus: digits count.
xdotool key 4
counts_to 4 4
xdotool key KP_4
counts_to 4 5
xdotool key 7
counts_to 7 1
xdotool key KP_0
counts_to 0 2
# Made 60 pixels wider and 30 taller with the window manager's Alt +
# right-button drag, the buttons grow to fill the client area: a click on
# the new middle of button 5, below and right of where it was, counts.
outer "$box"
x0=$X y0=$Y
xdotool mousemove $((x0 + W - 15)) $((y0 + H - 15)) keydown alt mousedown 3
for i in 1 2 3; do xdotool mousemove $((x0 + W - 15 + i * 20)) $((y0 + H - 15 + i * 10)); done
xdotool mouseup 3 keyup alt
client_is() { [ "$(xdotool getwindowgeometry "$box" | awk '/Geometry:/ {print $2}')" = "$1" ]; }
wait_until 20 client_is 370x94 || fail "client area $(xdotool getwindowgeometry "$box") after the resize, not 370x94"
# (370 - 4 * 3 - 4) / 3 = 118 by (94 - 4 * 2 - 4) / 2 = 41, 4 pixels apart
xdotool mousemove --window "$box" $((4 + 2 * 122 + 59)) $((4 + 45 + 20)) click 1
counts_to 5 2
expected='count 4 1
count 4 2
count 4 3
count 0 1
count 5 1
count 4 4
count 4 5
count 7 1
count 0 2
count 5 2'
[ "$(counts)" = "$expected" ] || fail "counts other than expected: $(counts)"
[ -n "${KAPLO_SHOTS:-}" ] && import -window root "$KAPLO_SHOTS/button-box.png"

xdotool key ctrl+q
closed() { [ "$(window_count '^ButtonBox$')" -eq 0 ]; }
wait_until 20 closed || fail "Ctrl+Q did not close the button box"
process_gone "$pid" && fail "Ctrl+Q ended the program"
end_program Escape
echo "e2e button box: passed"
