#!/usr/bin/env bash
# An image window on a real X server shows exactly the pixels of its buffer:
# the program saves its buffer as PNG, and a screenshot of the window's client
# area must match it pixel for pixel.
. "$(dirname "$0")/lib.sh"
prog=$1
cd "$E2E_TMP"
"$prog" show >out.txt 2>&1 &
pid=$!
E2E_PIDS+=("$pid")
E2E_SCOPE_PID=$pid
wait_until 30 has_windows '^KAPLO ' 1 || fail "no main window"
main=$(find_window '^KAPLO ')
xdotool windowfocus --sync "$main"
xdotool key s
wait_until 30 file_has out.txt "scenario passed" || fail "the program did not draw: $(cat out.txt)"
wait_until 10 has_windows '^shown\(100%\)$' 1 || fail "no image window"
win=$(find_window '^shown\(100%\)$')
matches() {
  import -window "$win" shot.png 2>/dev/null &&
  [ "$(compare -metric AE shot.png expected.png null: 2>&1)" = "0" ]
}
wait_until 10 matches || fail "screenshot differs from the buffer: $(compare -metric AE shot.png expected.png null: 2>&1) pixels"
xdotool windowfocus --sync "$main"
xdotool key Escape
wait_until 10 process_gone "$pid" || fail "Esc did not end the program"
echo "e2e image window: passed"
