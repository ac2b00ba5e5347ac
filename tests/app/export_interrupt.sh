#!/usr/bin/env bash
# Ctrl+C (SIGINT) or `kill` (SIGTERM) during an export: the export ends with
# 128 + the signal's number, leaves no output and no temporary file, and a
# previous output stays as it was.
. "$(dirname "$0")/export_lib.sh"
"$make_video" "$tmp/long.avi" 320 240 300 || fail "could not make the input video"
cp "$tmp/long.avi" "$tmp/previous.avi"  # any file: it must come through unchanged

temporary_file_grows() {
  local f
  for f in "$tmp"/.kaplo-*.avi; do [ -s "$f" ] && return 0; done
  return 1
}

for case in INT:new.avi:130 INT:previous.avi:130 TERM:new.avi:143; do
  IFS=: read -r signal out want <<<"$case"
  before=$( [ -e "$tmp/$out" ] && md5sum <"$tmp/$out")
  "$prog" --export "$tmp/$out" "$tmp/long.avi" 2>"$tmp/err.txt" &
  pid=$!
  wait_until 60 temporary_file_grows || fail "SIG$signal to $out: the export wrote nothing"
  # Held still while the signal is sent, so it cannot finish first.
  kill -STOP $pid
  kill -"$signal" $pid
  kill -CONT $pid
  wait $pid
  code=$?
  [ $code -eq "$want" ] || fail "SIG$signal to $out: exit code $code: $(cat "$tmp/err.txt")"
  grep -q "interrupted" "$tmp/err.txt" || fail "SIG$signal to $out: $(cat "$tmp/err.txt")"
  after=$( [ -e "$tmp/$out" ] && md5sum <"$tmp/$out")
  [ "$after" = "$before" ] || fail "SIG$signal to $out: the output was changed"
  no_temporary_file "$tmp"
done
echo "export interrupt: passed"
