#!/usr/bin/env bash
# The measuring commands under a real window manager (openbox), chosen from
# the process menu (Ctrl + right click) as a user chooses them: "Pixel" and a
# click on a red pixel writes its report to the text window (read from its
# log); "Line(RGB)" and a click on a row opens a profile graph window;
# "Line(CrCb)" a Cr-Cb plot window; "Draw Box..." / "Normal" and two clicks
# draw an outline, also when the clicks are as quick and close as a double
# click's; "Pixel Readout" shows the pixel under the pointer in the status
# line. The windows' pixels are read back with ImageMagick's import.
# Usage: measure_menus.sh IMAGE_WINDOW_SCENARIOS
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${KAPLO_OWN_DISPLAY:-}" ]; then
  KAPLO_OWN_DISPLAY=1 exec "$here/../../scripts/with-xvfb" "$0" "$@"
fi
. "$here/lib.sh"
prog=$(realpath "$1")
out="$E2E_TMP/measures.txt"

start_under_openbox "$prog" measures "$out"
win=$(find_window '^live\(100%\)$') || fail "no image window"

# choose ITEM [SUB-MENU]: Ctrl + right click on the picture, the sub-menu
# ("Information..." unless named), ITEM.
menu_at() { sed -n "s/^menu item $1 at //p" "$out" | tail -1; }
choose() {
  local n sub=${2:-Information\.\.\.}
  n=$(grep -c "^menu item $1 at " "$out")
  mark=$(wc -l <"$out")
  xdotool mousemove --sync --window "$win" 150 150
  xdotool keydown ctrl click 3 keyup ctrl
  wait_until 20 file_has "$out" "^menu item $sub at " || fail "no process menu"
  read -r mx my < <(menu_at "$sub")
  xdotool mousemove --sync "$mx" "$my" click 1
  more() { [ "$(grep -c "^menu item $1 at " "$out")" -gt "$n" ]; }
  wait_until 20 more "$1" || fail "no $1 in the $sub menu"
  read -r mx my < <(menu_at "$1")
  xdotool mousemove --sync "$mx" "$my" click 1
}
# asks TEXT: waits until the status line has shown TEXT since `choose` was
# called (the tool has started and asks for a click).
asks() {
  asked() { tail -n +$((mark + 1)) "$out" | grep -q "^status $1\$"; }
  wait_until 20 asked "$1" || fail "the tool did not ask '$1'"
}
# click X Y: a click at picture point (X, Y), the window being at 100 %.
click_at() {
  xdotool mousemove --sync --window "$win" "$1" "$2" click 1
}
# colours WINDOW: the colours of a window's pixels, one "#RRGGBB" a line.
colours() {
  import -window "$1" "$E2E_TMP/w.png" &&
    convert "$E2E_TMP/w.png" -format %c histogram:info:- | grep -o '#[0-9A-F]\{6\}'
}

# The pixel report of a red pixel.
choose Pixel
asks 'Click a point'
click_at 30 30
reported() { grep -q '^(Y,I,Q)=(76,152,53)$' "$E2E_TMP"/KAPLO*.LOG; }
wait_until 20 reported || fail "no pixel report in the log: $(cat "$E2E_TMP"/KAPLO*.LOG 2>/dev/null)"
expected='(X,Y)=(30,30)
(R,G,B)=(255,0,0)
(H,S,V)=(0,255,255)
(Y,Cr,Cb)=(76,128,-42)
(Y,u,v)=(76,-36,157)
(Y,I,Q)=(76,152,53)'
[ "$(head -6 "$E2E_TMP"/KAPLO*.LOG)" = "$expected" ] || fail "pixel report: $(cat "$E2E_TMP"/KAPLO*.LOG)"
[ -n "${KAPLO_SHOTS:-}" ] && import -window root "$KAPLO_SHOTS/pixel-report.png"

# A box drawn with the real mouse: "Draw Box..." / "Normal", a click for each
# corner once the tool asks for it; the outline in the drawing colour (white
# at start), the inside as it was.
choose Normal 'Draw Box\.\.\.'
asks 'Click the first point'
click_at 200 120
asks 'Click the second point'
xdotool mousemove --sync --window "$win" 230 150
click_at 260 170
pixel() { import -window "$win" "$E2E_TMP/b.png" && convert "$E2E_TMP/b.png" -format "%[hex:p{$1,$2}]" info:; }
outlined() { [ "$(pixel 200 145)" = FFFFFF ] && [ "$(pixel 260 170)" = FFFFFF ]; }
wait_until 20 outlined || fail "no box outline: $(pixel 200 145) $(pixel 260 170)"
[ "$(pixel 230 145)" != FFFFFF ] || fail "the inside of the box was drawn"

# A small box made with two quick clicks, 0.1 s and a few pixels apart (what
# a double click would be): image windows take no double clicks, so the
# second press is the second corner.
choose Normal 'Draw Box\.\.\.'
asks 'Click the first point'
xdotool mousemove --sync --window "$win" 100 150 click 1 sleep 0.1 \
  mousemove --sync --window "$win" 103 152 click 1
small() { [ "$(pixel 100 150)" = FFFFFF ] && [ "$(pixel 103 152)" = FFFFFF ] && [ "$(pixel 103 150)" = FFFFFF ]; }
wait_until 20 small || fail "no small box after two quick clicks: $(pixel 100 150) $(pixel 103 152); $(grep '^status' "$out" | tail -1)"
[ "$(pixel 101 151)" != FFFFFF ] || fail "the inside of the small box was drawn"
[ -n "${KAPLO_SHOTS:-}" ] && import -window "$win" "$KAPLO_SHOTS/small-box.png"

# A profile of row 40, through the red square: 312 x 128, black, the three
# curves in their colours.
choose 'Line(RGB)'
asks 'Click a point'
click_at 100 40
graph=$(wait_until 20 find_window '^RGB\(Y=40\)' && find_window '^RGB\(Y=40\)') || fail "no profile window"
size=$(import -window "$graph" png:- | identify -format '%wx%h' -)
[ "$size" = "312x128" ] || fail "profile window size $size"
c=$(colours "$graph")
for want in '#000000' '#FF0000' '#00FF00' '#0000FF'; do
  grep -q "$want" <<<"$c" || fail "profile without $want: $c"
done
[ -n "${KAPLO_SHOTS:-}" ] && import -window root "$KAPLO_SHOTS/profile.png"

# A Cr-Cb plot of row 100: grey axes, the labels' colours, the path.
choose 'Line(CrCb)'
asks 'Click a point'
click_at 100 100
plot=$(wait_until 20 find_window '^CrCb\(Y=100\)' && find_window '^CrCb\(Y=100\)') || fail "no Cr-Cb window"
c=$(colours "$plot")
for want in '#808080' '#FF8888' '#8888FF' '#FFFFFF' '#FF00FF'; do
  grep -q "$want" <<<"$c" || fail "Cr-Cb plot without $want: $c"
done
[ -n "${KAPLO_SHOTS:-}" ] && import -window root "$KAPLO_SHOTS/crcb-plot.png"

# The pixel readout, turned on in the process menu: at 111 % the pointer at
# (44, 44) is over pixel (39, 39) of the red square. The caption the program
# shows in the status line meanwhile comes back when the pointer leaves.
# (The image window is raised over the graph windows made at the corner.)
xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
choose 'Pixel Readout' 'Process\.\.\.'
xdotool mousemove --sync --window "$win" 10 10 keydown ctrl click 5 keyup ctrl
wait_until 20 file_has "$out" '^caption live(111%)$' || fail "Ctrl+wheel did not zoom to 111 %"
xdotool mousemove --sync --window "$win" 44 44
asks 'x 39 y 39  R 255 G 0 B 0'
[ -n "${KAPLO_SHOTS:-}" ] && import -window root "$KAPLO_SHOTS/pixel-readout.png"
xdotool mousemove --sync 0 0
wait_until 20 last_says "$out" status 'live(111%)' || fail "left the window: $(grep '^status' "$out" | tail -1)"

# Esc on the image window is the main window's Exit.
xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
xdotool key --clearmodifiers Escape
wait_until 30 process_gone "$pid" || fail "Esc on the image window did not end the program"
echo "e2e measure menus: passed"
