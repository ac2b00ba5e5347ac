#!/usr/bin/env bash
# The example program on a real X server: the main window appears with its
# banner, drops in by 55 pixels, keeps its size, and takes S, C and Esc.
. "$(dirname "$0")/lib.sh"
prog=$1
log="$E2E_TMP/out.txt"
"$prog" >"$log" 2>&1 &
pid=$!
E2E_PIDS+=("$pid")
E2E_SCOPE_PID=$pid

wait_until 30 has_windows '^KAPLO ' 1 || fail "no main window"
id=$(find_window '^KAPLO ')
# Follow the drop-in animation until the window rests.
first_y=; last_y=; stable=0
end=$((SECONDS + 20))
while [ $SECONDS -lt $end ] && [ $stable -lt 20 ]; do
  eval "$(geometry "$id")"
  [ -n "$first_y" ] || first_y=$Y
  if [ "$Y" = "$last_y" ]; then stable=$((stable + 1)); else stable=0; fi
  last_y=$Y
  sleep 0.05
done
eval "$(geometry "$id")"
screen_h=$(xdpyinfo | awk '/dimensions:/ {split($2, a, "x"); print a[2]}')
# Without a window manager there is no frame: the X window is the outer
# rectangle. The window was created 55 pixels above the bottom of the screen
# and ends on it.
expected_final=$((screen_h - HEIGHT))
[ "$Y" -eq "$expected_final" ] || fail "final y $Y, expected $expected_final"
[ "$first_y" -ge $((expected_final - 55)) ] || fail "started at $first_y, above the created position"
[ "$WIDTH" -eq 240 ] || fail "width $WIDTH"

# The user cannot change the size.
w0=$WIDTH; h0=$HEIGHT
xdotool windowsize "$id" 500 300
size_is_fixed() { eval "$(geometry "$id")"; [ "$WIDTH" -eq "$w0" ] && [ "$HEIGHT" -eq "$h0" ]; }
wait_until 10 size_is_fixed || fail "size changed to ${WIDTH}x${HEIGHT}"

# The status line is drawn on the button face, not left black.
import -window root "$E2E_TMP/shot.png"
pixel=$(convert "$E2E_TMP/shot.png" -format "%[pixel:p{$((X + 2)),$((Y + HEIGHT - 3))}]" info:)
case "$pixel" in *"(0,0,0)"*|black) fail "status area is black ($pixel)";; esac

# The program opens text window 0 once the animation is over, and brings it
# to the front: S goes to the main window after that.
wait_until 20 has_windows '^TextWindow 0$' 1 || fail "no text window"
tw=$(find_window '^TextWindow 0$')
text_window_active() { [ "$(xdotool getwindowfocus)" = "$tw" ]; }
wait_until 20 text_window_active || fail "text window 0 was not brought to the front"
xdotool windowfocus --sync "$id"
xdotool key s
wait_until 10 file_has "$log" "started run 1" || fail "S did not start the program"
# The run asks for a name in text window 0; typing goes to that window.
xdotool windowfocus --sync "$tw"
xdotool type 'Ada'
xdotool key Tab x BackSpace Return
wait_until 10 file_has "$log" "name \[Ada \]" || fail "the typed line did not arrive: $(cat "$log")"
# C typed into the text window reaches the main window.
xdotool key c
wait_until 10 file_has "$log" "stopped run 1" || fail "C did not stop the program"
# The pop-up menu at a right click: Paste, then Start (the separator is
# skipped); choosing Start starts the second run.
visible() { xdotool search --all --onlyvisible --pid "$pid" --classname '^kaplo_mw0$' 2>/dev/null | wc -l; }
popup() {  # popup KEYS...: right click on the main window, then the keys
  local before
  before=$(visible)
  xdotool mousemove --window "$id" 120 $((HEIGHT - 10)) click 3
  popup_open() { [ "$(visible)" -gt "$before" ]; }
  wait_until 10 popup_open || fail "no pop-up menu at a right click"
  xdotool key "$@"
}
popup Down Down Return
wait_until 10 file_has "$log" "started run 2" || fail "the pop-up menu's Start did not start the program"
xdotool windowfocus --sync "$tw"
xdotool key Return
wait_until 10 file_has "$log" "name \[\]" || fail "Enter alone did not give an empty line"
# During a run Paste and Start are greyed: the first item Down reaches is Stop.
popup Down Return
wait_until 10 file_has "$log" "stopped run 2" || fail "the first item not greyed during a run was not Stop"
# Esc typed into the text window ends the program, as on the main window.
xdotool windowfocus --sync "$tw"
xdotool key Escape
wait_until 10 process_gone "$pid" || fail "Esc in the text window did not end the program"
wait "$pid"; rc=$?
[ $rc -eq 0 ] || fail "exit code $rc"
echo "e2e main window: passed"
