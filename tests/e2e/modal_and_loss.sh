#!/usr/bin/env bash
# A message box blocks only the thread that asked for it: Esc on the main
# window while the user program waits in KPL_Pause ends the program at once,
# with exit code 0 and its log intact. When the display goes away under a
# printing program (another client kills its connection), or another client
# destroys the main window, the program stops the way Exit does: no crash,
# the log complete to its last line, exit code 1 for the lost display.
. "$(dirname "$0")/lib.sh"
prog=$1
cd "$E2E_TMP"

start() {  # start SCENARIO: runs it and presses S on its main window
  log="$E2E_TMP/$1.txt"
  # An earlier run's output must not be read as this one's before the new
  # process has opened the file.
  : >"$log"
  "$prog" "$1" >>"$log" 2>&1 &
  pid=$!
  E2E_PIDS+=("$pid")
  E2E_SCOPE_PID=$pid
  wait_until 30 file_has "$log" '^ready' || fail "$1: the program did not start"
  # The program's windows may still be taking the focus as they appear, and
  # a search can miss a window while an earlier program's windows go away: S
  # is pressed, on the main window found anew, until the run has started.
  local tries=0
  until file_has "$log" '^started'; do
    [ $tries -lt 10 ] ||
      fail "$1: S did not start the run (focus: $(xdotool getwindowfocus getwindowname 2>&1))"
    tries=$((tries + 1))
    wait_until 10 has_windows '^KAPLO ' 1 || fail "$1: no main window"
    main=$(find_window '^KAPLO ')
    xdotool windowfocus --sync "$main"
    xdotool key s
    wait_until 3 file_has "$log" '^started'
  done
}
finished_with() {  # finished_with CODE: the program ended with that exit code
  wait_until 20 process_gone "$pid" || fail "the program did not end"
  local rc=0
  wait "$pid" || rc=$?
  [ "$rc" -eq "$1" ] || fail "exit code $rc, expected $1"
  grep -q 'did not stop within' "$log" && fail "the program was ended, not stopped"
  return 0
}
log_lines_whole() {  # every line of the log is "line N", in order from 0
  awk -v n=0 '$0 != "line " n { bad = 1 } { n++ } END { exit bad || n < 1 }' KAPLO00.LOG
}

# Esc while a KPL_Pause box is up.
start pause
wait_until 10 has_windows '^Pause$' 1 || fail "no message box"
# The box takes the focus as it appears; Esc must go to the main window, so
# the focus is moved there only once the box has had it.
box_focused() { [ "$(xdotool getwindowfocus getwindowname 2>/dev/null)" = Pause ]; }
wait_until 10 box_focused || true
xdotool windowfocus --sync "$main"
xdotool key Escape
finished_with 0
grep -q '^before pause$' KAPLO00.LOG || fail "log: $(cat KAPLO00.LOG)"

# The connection killed while the program prints.
start printing
lines_written() { [ -f KAPLO00.LOG ] && [ "$(wc -l <KAPLO00.LOG)" -gt 200 ]; }
wait_until 20 lines_written || fail "the program did not print"
xdotool windowkill "$main"
finished_with 1
grep -q 'connection to the display was lost' "$log" || fail "no word of the lost display"
log_lines_whole || fail "log cut or out of order: $(tail -c 200 KAPLO00.LOG)"

# The main window destroyed by another client.
rm -f KAPLO00.LOG
start printing
wait_until 20 lines_written || fail "the program did not print"
xdotool windowclose "$main"
finished_with 0
log_lines_whole || fail "log cut or out of order: $(tail -c 200 KAPLO00.LOG)"
echo "e2e modal boxes and the lost display: passed"
