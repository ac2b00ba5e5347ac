#!/usr/bin/env bash
# Runs a scenario program in a private folder (its own instance locks and
# working directory); passes when it exits 0 and reported "scenario passed".
set -u
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
