#!/usr/bin/env bash
# kaplo-box-colours: S starts; two clicks in the "hues" window pick a box
# (the second once the box follows the mouse); the report gives the box and
# its mean colour in every model; a right click ends the run.
. "$(dirname "$0")/lib.sh"
start "$1"
wait_until 30 has_windows '^hues\(100%\)$' 1 || fail "no hues window"
win=$(find_window '^hues\(100%\)$')
import -window "$win" before.png 2>/dev/null || fail "no screenshot of the window"
press s
eval "$(geometry "$win")"
# The first corner once the program asks for it, then the box follows the
# mouse to the second corner.
follows() {
  xdotool mousemove --sync $((X + 19)) $((Y + 149))
  import -window "$win" now.png 2>/dev/null && [ "$(rgb now.png 19 149)" != "$(rgb before.png 19 149)" ]
}
wait_until 30 file_has out.txt '^Pick a box' || fail "no request for a box: $(cat out.txt)"
xdotool mousemove --sync $((X + 10)) $((Y + 140)) click 1
wait_until 30 follows || fail "the box does not follow the mouse after the first click"
xdotool click 1
wait_until 30 file_has out.txt '^  (Y,I,Q)=' || fail "no report: $(cat out.txt)"
file_has out.txt '^(10,140)-(19,149), 100 pixels$' || fail "wrong box: $(head -3 out.txt)"
for model in 'R,G,B' 'H,S,V' 'Y,Cr,Cb' 'Y,u,v'; do
  file_has out.txt "^  ($model)=(" || fail "no $model line"
done
# The hues are red to orange here, at full saturation: red leads.
read -r r g b < <(sed -n 's/^  (R,G,B)=(\([0-9]*\),\([0-9]*\),\([0-9]*\))$/\1 \2 \3/p' out.txt)
[ "$r" -gt "$g" ] && [ "$g" -ge "$b" ] || fail "mean colour $r $g $b"
# The box was erased again: the picture is as it was.
import -window "$win" after.png 2>/dev/null
same_pixels before.png after.png || fail "the box was left in the picture"
xdotool mousemove --sync $((X + 50)) $((Y + 50)) click 3
wait_until 30 file_has out.txt '^done$' || fail "a right click did not end the run"
exit_cleanly
echo "example box_colours: passed"
