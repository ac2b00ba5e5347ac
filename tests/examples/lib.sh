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


# window_shows ID FILE: a screenshot of the window equals FILE.
window_shows() { import -window "$1" shot.png 2>/dev/null && same_pixels shot.png "$2"; }

# size_is FILE WxH: the file is a whole picture of that size.
size_is() { [ "$(identify -format '%wx%h' "$1" 2>/dev/null)" = "$2" ]; }
