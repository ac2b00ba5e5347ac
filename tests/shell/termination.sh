#!/usr/bin/env bash
# SIGTERM at any moment of start-up or of a run ends the program promptly:
# with code 0 (as by Exit) once the framework has taken over, or 143 before.
set -u
prog=$1
tmp=$(mktemp -d)
# A signal that reaches the child before it has become the program ends a copy
# of this shell, which must not run the clean-up: only this shell does.
trap '[ "$BASHPID" = "$$" ] && rm -rf "$tmp"' EXIT
chmod 700 "$tmp"
export XDG_RUNTIME_DIR="$tmp" QT_QPA_PLATFORM=offscreen
cd "$tmp"
# The delays choose the moment of the signal: before the display is open,
# while the main window drops in, after the user's init routine.
for delay in 0 0.02 0.05 0.1 0.2 0.4 0.8 1.5; do
  "$prog" >out.txt 2>&1 &
  pid=$!
  sleep "$delay"
  kill -TERM $pid
  for _ in $(seq 1 600); do kill -0 $pid 2>/dev/null || break; sleep 0.05; done
  if kill -0 $pid 2>/dev/null; then
    kill -9 $pid; echo "FAIL: still running 30 s after SIGTERM sent at $delay s"; cat out.txt; exit 1
  fi
  wait $pid
  rc=$?
  case $rc in
    0 | 143) ;;
    *) echo "FAIL: exit code $rc after SIGTERM at $delay s"; cat out.txt; exit 1 ;;
  esac
  echo "SIGTERM at $delay s: exit code $rc"
done
echo "termination passed"
