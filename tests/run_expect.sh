#!/usr/bin/env bash
# Runs a scenario program in a private folder (its own instance locks and
# working directory); passes when it exits 0 and reported "scenario passed".
# With --prompt-exit the program must also have stopped within the exit
# hand-over, not been ended after it.
set -u
prompt_exit=0
if [ "${1:-}" = "--prompt-exit" ]; then prompt_exit=1; shift; fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
chmod 700 "$tmp"
export XDG_RUNTIME_DIR="$tmp"
prog=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
shift
cd "$tmp"  # log files and other output stay in the test's own folder
out="$tmp/out.txt"
"$prog" "$@" >"$out" 2>&1
rc=$?
cat "$out"
if [ $rc -ne 0 ]; then echo "exit code $rc"; exit 1; fi
grep -q "scenario passed" "$out" || { echo "no 'scenario passed' line"; exit 1; }
if [ $prompt_exit -eq 1 ] && grep -q "did not stop within" "$out"; then
  echo "the program was ended after the hand-over instead of stopping"; exit 1
fi
