#!/usr/bin/env bash
# Under a real window manager (openbox): windows are placed by their frame
# and report the frame the window manager drew; moves and resizes made with
# the mouse reach the procedures' Moving and Sizing hooks, with Ctrl read live
# during the drag; a right click on the menu bar opens the main window's
# pop-up menu. Runs on a display of its own, so that the other end-to-end
# tests keep theirs without a window manager.
# Usage: window_manager.sh PLATFORM_SCENARIOS KAPLO_HELLO
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${KAPLO_OWN_DISPLAY:-}" ]; then
  KAPLO_OWN_DISPLAY=1 exec "$here/../../scripts/with-xvfb" "$0" "$@"
fi
. "$here/lib.sh"
probe=$1
hello=$2

openbox >"$E2E_TMP/openbox.txt" 2>&1 &
E2E_PIDS+=("$!")
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
wait_until 30 wm_ready || fail "openbox did not start"

# The frame of a client window as the window manager drew it:
# sets FX FY FW FH from the client's place and _NET_FRAME_EXTENTS.
frame_of() {
  local info ext
  info=$(xwininfo -id "$1") || return 1
  ext=$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')
  [ -n "$ext" ] || return 1
  IFS=, read -r el er et eb <<<"$ext"
  local ax ay w h
  ax=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
  ay=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
  w=$(awk '/^  Width/ {print $2}' <<<"$info")
  h=$(awk '/^  Height/ {print $2}' <<<"$info")
  FX=$((ax - el)); FY=$((ay - et)); FW=$((w + el + er)); FH=$((h + et + eb))
}
frame_at() {  # frame_at ID X Y: the frame's top-left corner is there
  frame_of "$1" && [ "$FX" -eq "$2" ] && [ "$FY" -eq "$3" ]
}
# The framework's own view of a window (its outer rectangle), asked for with R.
reported() {  # reported NAME: sets RL RT RR RB from the newest "rect NAME" line
  read -r _ _ RL RT RR RB < <(grep "^rect $1 " "$log" | tail -1)
  [ -n "${RL:-}" ]
}
agrees() {  # agrees NAME ID: the framework reports the frame the window manager drew
  frame_of "$2" && reported "$1" &&
    [ "$RL" -eq "$FX" ] && [ "$RT" -eq "$FY" ] && [ "$RR" -eq $((FX + FW)) ] && [ "$RB" -eq $((FY + FH)) ]
}
ask_rects() {
  local before
  before=$(grep -c '^rect ' "$log")
  xdotool windowfocus --sync "$plain"
  xdotool key R
  rects_in() { [ "$(grep -c '^rect ' "$log")" -ge $((before + 4)) ]; }
  wait_until 10 rects_in || fail "no rectangles reported"
}

cd "$E2E_TMP"
log="$E2E_TMP/probe.txt"
"$probe" wm >"$log" 2>&1 &
pid=$!
E2E_PIDS+=("$pid")
E2E_SCOPE_PID=$pid
wait_until 30 file_has "$log" '^ready' || fail "the probe program did not start"
wait_until 10 has_windows '^placed\(100%\)$' 1 || fail "no image window"
sizable=$(find_window '^sizable$'); plain=$(find_window '^plain$')
text=$(find_window '^TextWindow 3$'); image=$(find_window '^placed\(100%\)$')

# Placed by the frame: a window made at (x, y) has its frame's corner there.
wait_until 10 frame_at "$sizable" 100 100 || fail "sizable window's frame at $FX,$FY, not 100,100"
wait_until 10 frame_at "$text" 700 500 || fail "text window's frame at $FX,$FY, not 700,500"
wait_until 10 frame_at "$image" 100 650 || fail "image window's frame at $FX,$FY, not 100,650"
ask_rects
agrees sizable "$sizable" || fail "sizable: framework says $RL,$RT,$RR,$RB; frame $FX,$FY ${FW}x$FH"
agrees text "$text" || fail "text window: framework says $RL,$RT,$RR,$RB; frame $FX,$FY ${FW}x$FH"
agrees image "$image" || fail "image window: framework says $RL,$RT,$RR,$RB; frame $FX,$FY ${FW}x$FH"
# Image windows refuse other sizes through the window manager's size hints.
xprop -id "$image" WM_NORMAL_HINTS | grep -q 'minimum size: 160 by 120' || fail "no minimum size hint"
xprop -id "$image" WM_NORMAL_HINTS | grep -q 'maximum size: 160 by 120' || fail "no maximum size hint"

# A drag by the title bar: Moving with the old rectangle still the window's
# own, then Moved; the framework then reports where the frame is.
frame_of "$sizable"
x0=$FX; y0=$FY
xdotool mousemove $((x0 + 60)) $((y0 + 8)) mousedown 1
for i in 1 2 3 4 5; do xdotool mousemove $((x0 + 60 + i * 8)) $((y0 + 8 + i * 6)); done
xdotool mouseup 1
wait_until 10 file_has "$log" "^Moved $((x0 + 40)) $((y0 + 30)) " || fail "no Moved after a drag: $(grep -E 'Mov|Siz' "$log")"
grep -q "^Moving $((x0 + 40)) $((y0 + 30)) .* own $x0 $y0 " "$log" || fail "the hook did not see the old rectangle as the window's own"
ask_rects
agrees sizable "$sizable" || fail "after a drag the framework says $RL,$RT; the frame is at $FX,$FY"

# Ctrl pressed during the drag (the window manager holds the keyboard then;
# only the display knows): the hook snaps the left edge from 255 to 250, and
# the window ends there once the drag is over.
frame_of "$sizable"
x0=$FX; y0=$FY
xdotool mousemove $((x0 + 60)) $((y0 + 8)) mousedown 1
xdotool mousemove $((x0 + 70)) $((y0 + 8))
xdotool keydown ctrl
for i in 1 2 3 4; do xdotool mousemove $((x0 + 70 + i * (255 - x0 - 10) / 4)) $((y0 + 8)); done
xdotool mousemove $((255 + 60)) $((y0 + 8))
xdotool mouseup 1
xdotool keyup ctrl
wait_until 10 file_has "$log" "^Moving 255 $y0 .* ctrl 1" || fail "no Moving with Ctrl: $(grep -E 'Mov' "$log")"
wait_until 10 frame_at "$sizable" 250 "$y0" || fail "the snapped window's frame is at $FX,$FY"
ask_rects
agrees sizable "$sizable" || fail "after snapping the framework says $RL,$RT; the frame is at $FX,$FY"

# A resize with the window manager's Alt + right-button drag: Sizing with the
# bottom-right edge, then Size with the new client size.
frame_of "$sizable"
xdotool mousemove $((FX + FW - 20)) $((FY + FH - 20)) keydown alt mousedown 3
for i in 1 2 3 4; do xdotool mousemove $((FX + FW - 20 + i * 10)) $((FY + FH - 20 + i * 5)); done
xdotool mouseup 3 keyup alt
wait_until 10 file_has "$log" '^Sizing .* edge 8 ' || fail "no Sizing at a resize: $(grep -E 'Siz' "$log")"
wait_until 10 file_has "$log" '^Size 340 220$' || fail "no Size 340 220: $(grep -E '^Size' "$log")"
ask_rects
agrees sizable "$sizable" || fail "after a resize the framework says $RL,$RT,$RR,$RB; frame $FX,$FY ${FW}x$FH"

xdotool windowfocus --sync "$(find_window '^KAPLO ')"
xdotool key Escape
wait_until 20 process_gone "$pid" || fail "Esc did not end the probe program"

# The example program: text window 0 made at (0, 0) has its frame there, and
# the main window ends its drop-in with its frame on the bottom of the screen,
# centred. A right click on its menu bar opens the pop-up menu. X typed into
# the text window ends the program, as on the main window.
log="$E2E_TMP/hello.txt"
"$hello" >"$log" 2>&1 &
pid=$!
E2E_PIDS+=("$pid")
E2E_SCOPE_PID=$pid
wait_until 30 has_windows '^TextWindow 0$' 1 || fail "no text window"
tw=$(find_window '^TextWindow 0$'); main=$(find_window '^KAPLO ')
wait_until 10 frame_at "$tw" 0 0 || fail "text window 0's frame at $FX,$FY, not 0,0"
read -r sw sh < <(xdpyinfo | awk '/dimensions:/ {split($2, a, "x"); print a[1], a[2]}')
on_bottom() { frame_of "$main" && [ $((FY + FH)) -eq "$sh" ] && [ "$FX" -eq $(((sw - FW) / 2)) ]; }
wait_until 20 on_bottom || fail "main window frame at $FX,$FY ${FW}x$FH on a ${sw}x$sh screen"
visible() { xdotool search --all --onlyvisible --pid "$pid" --classname '^kaplo_mw0$' 2>/dev/null | wc -l; }
before=$(visible)
xdotool mousemove --window "$main" 100 6 click 3
popup_open() { [ "$(visible)" -gt "$before" ]; }
wait_until 10 popup_open || fail "no pop-up menu at a right click on the menu bar"
xdotool key Escape
xdotool windowfocus --sync "$tw"
xdotool key x
wait_until 20 process_gone "$pid" || fail "X in the text window did not end the example program"
wait "$pid" || fail "exit code $?"
echo "e2e window manager: passed"
