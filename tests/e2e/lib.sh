# Shared helpers for the end-to-end tests: they run real programs on the
# X server named by DISPLAY and wait by polling, never by fixed sleeps.
set -u

: "${DISPLAY:?the end-to-end tests need DISPLAY (make test starts Xvfb)}"
E2E_TMP=$(mktemp -d)
chmod 700 "$E2E_TMP"
export XDG_RUNTIME_DIR="$E2E_TMP"  # private instance locks
E2E_PIDS=()
cleanup() {
  for p in "${E2E_PIDS[@]}"; do kill -9 "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$E2E_TMP"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  # What the program printed helps to tell a crash from a wrong answer.
  for f in "$E2E_TMP"/*.txt; do [ -f "$f" ] && { echo "--- $f"; tail -n 40 "$f"; } >&2; done
  exit 1
}

# wait_until SECONDS COMMAND...: polls COMMAND every 50 ms until it succeeds.
wait_until() {
  local limit=$1; shift
  local end=$((SECONDS + limit))
  while ! "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.05
  done
}

# With E2E_SCOPE_PID set, only that process's windows count: a window of a
# program from an earlier test that is still going away must not be taken.
scope() { [ -n "${E2E_SCOPE_PID:-}" ] && echo "--all --pid $E2E_SCOPE_PID"; }
window_count() { xdotool search $(scope) --name "$1" 2>/dev/null | wc -l; }
# A search can come back empty while an earlier program's windows go away:
# look again a few times before giving up.
find_window() {
  local id tries
  for tries in 1 2 3 4 5 6 7 8 9 10; do
    id=$(xdotool search $(scope) --name "$1" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
has_windows() { [ "$(window_count "$1")" -ge "$2" ]; }
geometry() { xdotool getwindowgeometry --shell "$1"; }
process_gone() { ! kill -0 "$1" 2>/dev/null; }
file_has() { grep -q "$2" "$1"; }
# last_says FILE KIND TEXT: the last line of FILE that starts with KIND is
# "KIND TEXT" (a program's report of what it shows now).
last_says() { [ "$(grep "^$2 " "$1" | tail -1)" = "$2 $3" ]; }
# The clipboard through xclip, and whether it offers a type.
clip() { xclip -selection clipboard "$@"; }
offers() { clip -t TARGETS -o 2>/dev/null | grep -qx "$1"; }
# same_pixels A B: the two pictures have the same size and pixels.
same_pixels() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = "0" ]; }

# start_program PROGRAM SCENARIO OUT: starts PROGRAM SCENARIO in E2E_TMP
# with its output in OUT, and waits for its "ready" line; sets pid.
start_program() {
  (cd "$E2E_TMP" && exec "$1" "$2") >"$3" 2>&1 &
  pid=$!
  E2E_PIDS+=("$pid")
  wait_until 60 file_has "$3" "^ready" || fail "the program did not start"
}
# start_under_openbox PROGRAM SCENARIO OUT: starts openbox, then the program
# as start_program does.
start_under_openbox() {
  openbox >"$E2E_TMP/openbox.txt" 2>&1 &
  E2E_PIDS+=("$!")
  wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
  wait_until 30 wm_ready || fail "openbox did not start"
  start_program "$@"
}

# The main window's title, as a regex: the framework's banner, unless the
# program gave it a title of its own (KPL_SetProgramTitle).
E2E_MAIN_TITLE='^KAPLO '

# end_program KEY: KEY (Escape or x) pressed on the main window ends the
# program started last ($pid), which must exit with code 0.
end_program() {
  xdotool windowfocus --sync "$(find_window "$E2E_MAIN_TITLE")"
  xdotool key "$1"
  wait_until 20 process_gone "$pid" || fail "$1 on the main window did not end the program"
  wait "$pid" || fail "exit code $?"
}

# outer ID: sets X Y W H to the window's outer frame: the window manager's
# frame around it (the ancestor that is a child of the root window), or the
# window itself when there is none. (xwininfo -frame applies only to windows
# picked with the mouse.)
outer() {
  local top=$1 tree info
  while tree=$(xwininfo -tree -id "$top") && ! grep -q '^  Parent window id: .*(the root window)' <<<"$tree"; do
    top=$(awk '/^  Parent window id:/ {print $4}' <<<"$tree")
  done
  info=$(xwininfo -id "$top") || return 1
  X=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
  Y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
  W=$(awk '/^  Width/ {print $2}' <<<"$info")
  H=$(awk '/^  Height/ {print $2}' <<<"$info")
}
