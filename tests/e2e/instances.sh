#!/usr/bin/env bash
# Instance numbers across real processes: ten run, the eleventh says
# "Over instance limit!" and exits with 1; with 0 and 2 running a new one
# takes 1. Before them, start-up without an X display (none, only Wayland, or
# one that does not answer): one line, exit code 1, never Qt's abort.
. "$(dirname "$0")/lib.sh"
prog=$1
for setting in "-u WAYLAND_DISPLAY" "WAYLAND_DISPLAY=wayland-0" "DISPLAY=:4711"; do
  # shellcheck disable=SC2086
  env -u DISPLAY -u QT_QPA_PLATFORM $setting "$prog" >"$E2E_TMP/no-display.txt" 2>&1
  rc=$?
  [ $rc -eq 1 ] && [ "$(wc -l <"$E2E_TMP/no-display.txt")" -eq 1 ] &&
    grep -q "^kaplo: no X display: .*xvfb-run" "$E2E_TMP/no-display.txt" || fail "$setting: exit code $rc"
done
declare -A pid_of
for n in $(seq 0 9); do
  "$prog" >"$E2E_TMP/instance-$n.txt" 2>&1 &
  pid_of[$n]=$!
  E2E_PIDS+=("$!")
  # Start them one after another so that instance n holds number n.
  wait_until 60 has_windows '^KAPLO ' $((n + 1)) || fail "instance $n did not start"
done
for n in 0 5 9; do
  xdotool search --classname "^kaplo_mw$n\$" >/dev/null || fail "no window of class kaplo_mw$n"
done

"$prog" >"$E2E_TMP/eleventh.txt" 2>&1 &
extra=$!
E2E_PIDS+=("$extra")
wait_until 120 has_windows '^KAPLO$' 1 || fail "no 'Over instance limit!' box"
# Press OK (Return on the focused box) until the process has ended: a key
# sent before the box has the focus would be lost.
press_ok() {
  local box
  box=$(xdotool search --name '^KAPLO$' | head -1)
  [ -n "$box" ] && xdotool windowfocus --sync "$box" key Return 2>/dev/null
  sleep 0.2
  process_gone "$extra"
}
wait_until 20 press_ok || fail "the eleventh instance did not end"
wait "$extra"; rc=$?
[ $rc -eq 1 ] || fail "eleventh instance exit code $rc, expected 1"

# Keep 0 and 2; end the others (one of them killed outright, as a crash).
kill -9 "${pid_of[1]}"
for n in 3 4 5 6 7 8 9; do kill "${pid_of[$n]}"; done
gone() { for n in 1 3 4 5 6 7 8 9; do kill -0 "${pid_of[$n]}" 2>/dev/null && return 1; done; return 0; }
# SIGTERM ends a program as Exit does, which takes a moment under load.
wait_until 60 gone || fail "instances did not end"
"$prog" >/dev/null 2>&1 &
E2E_PIDS+=("$!")
new_has_1() { xdotool search --classname '^kaplo_mw1$' >/dev/null; }
wait_until 60 new_has_1 || fail "the new instance did not take number 1"
echo "e2e instances: passed"
