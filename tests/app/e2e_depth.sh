#!/usr/bin/env bash
# kaplo-depth on a real X server with the bundled video: S starts playback in
# the three image windows and the preview; after C the screen shows one frame
# everywhere, so the depth map must be the brightest component of the source
# pixel at the same place and the right half of "conv" the source itself;
# a second S resumes, and Esc during playback ends it with exit code 0.
# Then --depth motion plays and ends the same way.
# (Closing a window during playback is a scenario of depth_scenarios.cpp:
# without a window manager xdotool can only destroy an X window, not ask it
# to close.)
. "$(dirname "$0")/../e2e/lib.sh"
prog=$(realpath "$1")
video=$2
cp "$video" "$E2E_TMP/test.avi"
cd "$E2E_TMP"
log="$E2E_TMP/out.txt"
"$prog" >"$log" 2>&1 &
pid=$!
E2E_PIDS+=("$pid")

wait_until 30 has_windows '^KAPLO ' 1 || fail "no main window"
main=$(xdotool search --name '^KAPLO ' | head -1)
wait_until 30 has_windows '^TextWindow 0$' 1 || fail "no text window 0"
key_to_main() {
  xdotool windowfocus --sync "$main"
  xdotool key "$1"
}

key_to_main s
for name in '^source\(100%\)$' '^depth\(100%\)$' '^conv\(100%\)$' '^window$'; do
  wait_until 30 has_windows "$name" 1 || fail "no window $name: $(cat "$log")"
done
win() { xdotool search --name "$1" | head -1; }
client() {  # "X Y W H" of a window (without a window manager: its client area)
  eval "$(geometry "$1")"
  echo "$X $Y $WIDTH $HEIGHT"
}
read -r sx sy sw sh < <(client "$(win '^source\(100%\)$')")
read -r dx dy dw dh < <(client "$(win '^depth\(100%\)$')")
read -r cx cy cw ch < <(client "$(win '^conv\(100%\)$')")
[ "$sw" -gt 0 ] && [ "$dw" -eq "$sw" ] && [ "$dh" -eq "$sh" ] && [ "$cw" -eq $((2 * sw)) ] &&
  [ "$ch" -eq "$sh" ] || fail "client areas ${sw}x$sh ${dw}x$dh ${cw}x$ch"
[ "$sx $sy $dx $dy $cx $cy" = "0 0 0 300 0 400" ] || fail "places $sx,$sy $dx,$dy $cx,$cy"

shot="$E2E_TMP/shot.png"
# Rows of "depth" not covered by "conv" (placed 100 rows lower).
rows=$((cy - dy < dh ? cy - dy : dh))
crop() { convert "$shot" -crop "$1" +repage "$2"; }
differing() { compare -metric AE "$1" "$2" null: 2>&1 | awk '{print int($1)}'; }

# Playing: the depth map is grey and not black everywhere.
depth_lit() {
  import -window root "$shot" &&
    crop "${dw}x$rows+$dx+$dy" "$E2E_TMP/d.png" &&
    [ "$(convert "$E2E_TMP/d.png" -format '%[fx:maxima.r > 0.2 ? 1 : 0]' info:)" = 1 ]
}
wait_until 30 depth_lit || fail "the depth map stays black"

key_to_main c
# After Stop every window holds the same frame; repaints may lag, so poll.
consistent() {
  import -window root "$shot" || return 1
  crop "${sw}x$rows+$sx+$sy" "$E2E_TMP/s_top.png"
  convert "$E2E_TMP/s_top.png" -separate -evaluate-sequence max "$E2E_TMP/s_max.png"
  crop "${dw}x$rows+$dx+$dy" "$E2E_TMP/d.png"
  crop "${sw}x$sh+$sx+$sy" "$E2E_TMP/s.png"
  crop "${sw}x$ch+$((cx + sw))+$cy" "$E2E_TMP/c_right.png"
  [ "$(differing "$E2E_TMP/s_max.png" "$E2E_TMP/d.png")" = 0 ] &&
    [ "$(differing "$E2E_TMP/s.png" "$E2E_TMP/c_right.png")" = 0 ]
}
wait_until 30 consistent || fail "depth or conv do not match source after Stop (see $shot)"
grey_pixels=$(convert "$E2E_TMP/d.png" -format '%[fx:mean.r]' info:)
awk -v m="$grey_pixels" 'BEGIN { exit !(m > 0.05) }' || fail "depth map nearly black ($grey_pixels)"

# A second Start goes on playing (the picture changes again); Esc during
# playback ends the program.
crop "${cw}x$ch+$cx+$cy" "$E2E_TMP/stopped.png"
key_to_main s
moving() {
  import -window root "$shot" && crop "${cw}x$ch+$cx+$cy" "$E2E_TMP/now.png" &&
    [ "$(differing "$E2E_TMP/stopped.png" "$E2E_TMP/now.png")" != 0 ]
}
wait_until 30 moving || fail "a second Start did not resume playback"
# Esc during playback ends the program with exit code 0; $1 names the run.
esc_ends() {
  key_to_main Escape
  wait_until 10 process_gone "$pid" || fail "$1Esc during playback did not end the program"
  wait "$pid"
  local rc=$?
  [ $rc -eq 0 ] || fail "$1exit code $rc"
}
esc_ends ""
grep -q "Can't" "$log" && fail "unexpected message: $(cat "$log")"

# --depth motion plays in the same windows (its map lit) and ends as cleanly.
"$prog" --depth motion >"$log" 2>&1 &
pid=$!
E2E_PIDS+=("$pid")
wait_until 30 has_windows '^KAPLO ' 1 || fail "--depth motion: no main window"
main=$(xdotool search --name '^KAPLO ' | head -1)
key_to_main s
wait_until 30 depth_lit || fail "--depth motion: the depth map stays black"
esc_ends "--depth motion: "
echo "e2e depth program: passed"
