#!/usr/bin/env bash
# kaplo-depth --export end to end: a small video made with the sample
# generator is converted; the output has every frame at 2W x H. A missing
# input, an unwritable output and a video that stops decoding early give one
# clear line each (the first two with a non-zero exit code).
set -u
prog=$(realpath "$1") make_video=$(realpath "$2") video_info=$(realpath "$3")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# 3 x 78 = 234 bytes per row: rows padded when the decoder aligns them
# (MJPG needs even sides).
"$make_video" "$tmp/in.avi" 78 42 12 || fail "could not make the input video"
"$prog" --export "$tmp/out.avi" "$tmp/in.avi" 2>"$tmp/err.txt"
rc=$?
[ $rc -eq 0 ] || fail "export exit code $rc: $(cat "$tmp/err.txt")"
grep -q "12 of 12 frames" "$tmp/err.txt" || fail "no final progress line: $(cat "$tmp/err.txt")"
info=$("$video_info" "$tmp/out.avi") || fail "output does not open"
[ "$info" = "12 156 42" ] || fail "output frames/size '$info', expected '12 156 42'"

# The default input is test.avi in the current directory.
cp "$tmp/in.avi" "$tmp/test.avi"
(cd "$tmp" && "$prog" --export default.avi 2>/dev/null) || fail "export of ./test.avi failed"
[ "$("$video_info" "$tmp/default.avi")" = "12 156 42" ] || fail "default input not converted"

# Failures: exactly one line on stderr, non-zero exit, no window needed.
check_failure() {
  local what=$1; shift
  DISPLAY= "$prog" "$@" >"$tmp/out.txt" 2>"$tmp/err.txt"
  local code=$?
  [ $code -ne 0 ] || fail "$what: exit code 0"
  [ "$(wc -l <"$tmp/err.txt")" -eq 1 ] || fail "$what: stderr is not one line: $(cat "$tmp/err.txt")"
  grep -q "kaplo-depth: " "$tmp/err.txt" || fail "$what: unclear message $(cat "$tmp/err.txt")"
}
check_failure "missing input" --export "$tmp/x.avi" "$tmp/no-such.avi"
printf 'not a video' >"$tmp/junk.avi"
check_failure "unreadable input" --export "$tmp/x.avi" "$tmp/junk.avi"
check_failure "unwritable output" --export "$tmp/no-such-dir/x.avi" "$tmp/in.avi"
check_failure "missing output name" --export
check_failure "unknown option" --frobnicate

# A file cut in the middle: what decodes is converted, and the end says so.
"$make_video" "$tmp/long.avi" 64 48 40 || fail "could not make the long video"
size=$(stat -c %s "$tmp/long.avi")
head -c $((size / 2)) "$tmp/long.avi" >"$tmp/cut.avi"
"$prog" --export "$tmp/cut_out.avi" "$tmp/cut.avi" 2>"$tmp/err.txt"
rc=$?
[ $rc -eq 0 ] || fail "cut video: exit code $rc: $(cat "$tmp/err.txt")"
grep -q "stopped decoding after" "$tmp/err.txt" || fail "cut video: not reported: $(cat "$tmp/err.txt")"
read -r n w h < <("$video_info" "$tmp/cut_out.avi")
[ "$n" -gt 0 ] && [ "$n" -lt 40 ] && [ "$w" -eq 128 ] && [ "$h" -eq 48 ] ||
  fail "cut video output: $n frames ${w}x$h"

# --help names both uses.
"$prog" --help | grep -q -- "--export OUT" || fail "--help lacks --export"
echo "export: passed"
