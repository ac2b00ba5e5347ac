#!/usr/bin/env bash
# Files dropped with a real drag and drop (XDND), from a drag source that
# carries their URLs as a file manager does, moved with the mouse onto the
# windows. On the main window: each picture opens a new image window
# "NNN name" with the picture, under the first free number (image 1 is taken),
# a file that is no picture is passed over. On an image window: the first
# file's picture is loaded at (0, 0) over what was there.
# Usage: file_drops.sh INTERACTIVE_BOXES DRAG_SOURCE
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${KAPLO_OWN_DISPLAY:-}" ]; then
  KAPLO_OWN_DISPLAY=1 exec "$here/../../scripts/with-xvfb" "$0" "$@"
fi
. "$here/lib.sh"
prog=$(realpath "$1")
source_prog=$(realpath "$2")
export LANG=C.UTF-8
# Pictures large enough to be shown at 100 % (smaller ones are magnified to
# the smallest window).
mkdir "$E2E_TMP/files"
cd "$E2E_TMP/files"
convert -size 160x120 xc:'#FF0000' 'rouge é.png'
convert -size 150x130 xc:'#0000FF' blue.png
convert -size 20x10 xc:'#00FF00' green.png
echo 'not a picture' >notes.txt

start_program "$prog" drops "$E2E_TMP/drops.txt"
E2E_SCOPE_PID=$pid
wait_until 20 has_windows '^target\(100%\)$' 1 || fail "no image window"
target=$(find_window '^target\(100%\)$')
main=$(find_window '^KAPLO ') || fail "no main window"
# The main window drops in from the top; it takes drops where it stops, at
# the bottom of the screen.
read -r _ screen_h < <(xdpyinfo | awk '/dimensions:/ {split($2, a, "x"); print a[1], a[2]}')
landed() { eval "$(geometry "$main")" && [ $((Y + HEIGHT)) -eq "$screen_h" ]; }
wait_until 20 landed || fail "the main window did not land: $(geometry "$main")"

# drag TARGET_ID FILE...: a drag source at (40, 40) pressed, the pointer moved
# onto the middle of TARGET_ID in steps (XDND follows the pointer), released.
# The source stays until the next drag: the target reads the data after the
# drop.
source_pid=
end_source() {
  [ -n "$source_pid" ] || return 0
  kill "$source_pid"
  wait "$source_pid" 2>/dev/null
  source_pid=
}
drag() {
  local onto=$1 log="$E2E_TMP/source.txt"
  shift
  end_source
  "$source_prog" 40 40 "$@" >"$log" 2>&1 &
  source_pid=$!
  E2E_PIDS+=("$source_pid")
  wait_until 20 file_has "$log" '^ready' || fail "the drag source did not start"
  E2E_SCOPE_PID=$source_pid
  local src
  src=$(find_window '^drag source$') || fail "no drag source window"
  E2E_SCOPE_PID=$pid
  eval "$(geometry "$onto")"
  local tx=$((X + WIDTH / 2)) ty=$((Y + HEIGHT / 2)) i
  xdotool mousemove --window "$src" 50 30 mousedown 1
  for i in 1 2 3 4 5 6 7 8; do
    xdotool mousemove $((90 + i * (tx - 90) / 8)) $((70 + i * (ty - 70) / 8))
  done
  xdotool mousemove $((tx + 1)) "$ty"
  taken() { [ "$(grep '^action ' "$log" | tail -n 1)" = 'action 1' ]; }
  wait_until 20 taken || fail "the window did not take the offer: $(cat "$log")"
  xdotool mouseup 1
  wait_until 20 file_has "$log" '^drag ended' || fail "the drag did not end"
  file_has "$log" '^drag ended 1$' || fail "the drop was refused: $(cat "$log")"
}
# pixel ID X Y: the colour shown at client point (X, Y) of a window, RRGGBB.
# The new windows all open at the screen's corner: the one looked at is
# raised first, as what covers a window is what a screenshot of it shows.
pixel() {
  xdotool windowraise "$1" &&
    import -window "$1" "$E2E_TMP/shot.png" 2>/dev/null &&
    convert "$E2E_TMP/shot.png" -format "%[hex:p{$2,$3}]" info:
}
shows() { [ "$(pixel "$1" "$2" "$3")" = "$4" ]; }
expect_pixel() {  # expect_pixel ID X Y RRGGBB WHAT
  wait_until 20 shows "$1" "$2" "$3" "$4" || fail "$5: $(pixel "$1" "$2" "$3") at $2,$3, not $4"
}

drag "$main" 'rouge é.png' notes.txt blue.png
wait_until 20 has_windows '^000 rouge é\.png\(100%\)$' 1 || fail "no window 000 for the first picture"
wait_until 20 has_windows '^002 blue\.png\(100%\)$' 1 || fail "no window 002 for the second picture"
[ "$(window_count '\(100%\)$')" -eq 3 ] || fail "windows other than 000, 002 and the target: $(xdotool search --all --pid "$pid" --name '%' getwindowname %@)"
red=$(find_window '^000 rouge é\.png\(100%\)$')
blue=$(find_window '^002 blue\.png\(100%\)$')
expect_pixel "$red" 0 0 FF0000 "window 000"
expect_pixel "$red" 159 119 FF0000 "window 000"
expect_pixel "$blue" 149 129 0000FF "window 002"

drag "$target" green.png blue.png
expect_pixel "$target" 0 0 00FF00 "the picture dropped on the image window"
expect_pixel "$target" 19 9 00FF00 "the picture dropped on the image window"
expect_pixel "$target" 20 10 808080 "the image window beside the dropped picture"
expect_pixel "$target" 199 149 808080 "the image window beside the dropped picture"
[ "$(window_count '\(100%\)$')" -eq 3 ] || fail "a drop on an image window made a window"

end_source
end_program Escape
echo "e2e file drops: passed"
