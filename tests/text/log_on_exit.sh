#!/usr/bin/env bash
# A program that is still printing into a log when it is made to exit keeps
# every line it printed: the log holds "line 0" .. "line N" with nothing
# missing and no line cut short.
set -u
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
chmod 700 "$tmp"
cd "$tmp"
XDG_RUNTIME_DIR="$tmp" "$1" log_exit >out.txt 2>&1
rc=$?
cat out.txt
[ $rc -eq 0 ] || { echo "exit code $rc"; exit 1; }
grep -q "scenario passed" out.txt || { echo "no 'scenario passed' line"; exit 1; }
[ -s KAPLO00.LOG ] || { echo "no log"; exit 1; }
lines=$(wc -l < KAPLO00.LOG)
[ "$lines" -gt 0 ] || { echo "empty log"; exit 1; }
expected=$(seq 0 $((lines - 1)) | sed 's/^/line /')
if [ "$(cat KAPLO00.LOG)" != "$expected" ]; then
  echo "log lines are missing or cut:"; tail -3 KAPLO00.LOG; exit 1
fi
echo "log on exit: $lines lines kept"
