# Helpers for the example tests, on top of the end-to-end ones: each example
# runs in the test's private folder, and the keys go to its main window.
. "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"
cd "$E2E_TMP" || exit 1

# start [--title REGEX] PROGRAM ARGS...: runs the example with its output in
# out.txt and waits for its main window, found by its title: the framework's
# banner, or REGEX for a program that titles it itself (KPL_SetProgramTitle).
start() {
  if [ "${1:-}" = "--title" ]; then E2E_MAIN_TITLE=$2; shift 2; fi
  "$@" >out.txt 2>&1 &
  pid=$!
  E2E_PIDS+=("$pid")
  E2E_SCOPE_PID=$pid
  wait_until 30 has_windows "$E2E_MAIN_TITLE" 1 || fail "no main window"
  main=$(find_window "$E2E_MAIN_TITLE") || fail "main window lost"
}

# press KEY: a key on the main window (s Start, c Stop, Escape Exit).
press() {
  xdotool windowfocus --sync "$main"
  xdotool key "$1"
}

# exit_cleanly: Esc ends the program, with exit code 0.
exit_cleanly() {
  press Escape
  wait_until 20 process_gone "$pid" || fail "Esc did not end the program"
  wait "$pid" || fail "exit code $?"
}

# rgb FILE X Y: "R G B" of one pixel, 0..255 each.
rgb() {
  local c
  for c in r g b; do
    convert "$1" -format "%[fx:int(255*p{$2,$3}.$c+0.5)] " info: || return 1
  done
}

# colour_count FILE COLOUR: how many pixels of the picture have that colour.
colour_count() {
  convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" \
    -format '%[fx:int(mean*w*h+0.5)]' info:
}

# window_shows ID FILE: a screenshot of the window equals FILE.
# (An empty ID would make import wait for a click on a window.)
window_shows() { [ -n "$1" ] && import -window "$1" shot.png 2>/dev/null && same_pixels shot.png "$2"; }

# changed ID: the window no longer shows first.png.
changed() { import -window "$1" now.png 2>/dev/null && ! same_pixels first.png now.png; }

# shot NAME FILE: a screenshot of the program's window named NAME (a regex).
shot() {
  local id
  id=$(find_window "$1") && import -window "$id" "$2" 2>/dev/null
}

# size_is FILE WxH: the file is a whole picture of that size.
size_is() { [ "$(identify -format '%wx%h' "$1" 2>/dev/null)" = "$2" ]; }

# says REGEX: waits for a line that matches in the program's output, or in
# the file named by OUT.
says() { wait_until 30 file_has "${OUT:-out.txt}" "$1" || fail "no line '$1' in ${OUT:-out.txt}"; }

# click_in ID X Y: a left click on pixel (X, Y) of a window at zoom 100 %.
click_in() {
  eval "$(geometry "$1")"
  xdotool mousemove --sync $((X + $2)) $((Y + $3)) click 1
}

# two_clicks ID X1 Y1 X2 Y2: the two points of a mouse tool, the second once
# the tool's band follows the mouse.
two_clicks() {
  import -window "$1" band0.png 2>/dev/null
  click_in "$1" "$2" "$3"
  follows() {
    xdotool mousemove --sync $((X + $4)) $((Y + $5))
    import -window "$1" band.png 2>/dev/null && ! same_pixels band0.png band.png
  }
  wait_until 30 follows "$@" || fail "nothing follows the mouse after the first click"
  xdotool click 1
}

# button I COLUMNS ROWS: a click on button I of the button box, a grid of
# COLUMNS x ROWS buttons.
button() {
  eval "$(geometry "$(find_window '^ButtonBox$')")"
  xdotool mousemove --sync $((X + (2 * ($1 % $2) + 1) * WIDTH / (2 * $2))) \
    $((Y + (2 * ($1 / $2) + 1) * HEIGHT / (2 * $3))) click 1
}

# answer TITLE TEXT: types TEXT into the file dialog titled TITLE, and Return.
answer() {
  wait_until 30 has_windows "^$1\$" 1 || fail "no dialog '$1'"
  xdotool windowfocus --sync "$(find_window "^$1\$")"
  xdotool key ctrl+a
  xdotool type --delay 20 "$2"
  xdotool key Return
}
