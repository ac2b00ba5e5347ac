#!/usr/bin/env bash
# The input box under a window manager (openbox), typed into with real keys:
# Tab and Shift+Tab move between the fields and commit the field left, Enter
# commits the field typed in, typing alone commits nothing, and a resize with
# the mouse keeps what was typed and the box's height; a drag of the left
# edge widens or narrows the label column, one of the right edge the edit
# column; the program reads
# each value as text, integer and real number. An accented letter comes
# through a key of its own, as on a French keyboard; a value that is not a
# number reads as 0 through the numeric calls. Fields given a text by the
# program show it: typing edits or replaces it as any other. The main window
# shows the program's own title, cut to the title buffer on a whole character.
# Usage: input_box.sh INTERACTIVE_BOXES
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${KAPLO_OWN_DISPLAY:-}" ]; then
  KAPLO_OWN_DISPLAY=1 exec "$here/../../scripts/with-xvfb" "$0" "$@"
fi
. "$here/lib.sh"
prog=$(realpath "$1")
out="$E2E_TMP/input.txt"
export LANG=C.UTF-8

# é gets a key of its own: xdotool would otherwise remap a spare key for the
# keystroke, and a slow program can read it with the mapping of the one before.
spare=$(xmodmap -pke | awk 'NF == 3 {print $2}' | tail -1)
[ -n "$spare" ] || fail "no spare key code"
xmodmap -e "keycode $spare = eacute"

start_under_openbox "$prog" input "$out"
E2E_SCOPE_PID=$pid
E2E_MAIN_TITLE='^Input test '
box=$(find_window '^InputBox$') || fail "no input box"
xdotool windowactivate --sync "$box"

# The main window's title: "Input test " and 100 three-byte characters, of
# which 81 fit in the buffer's 255 bytes (the 82nd would be cut in two).
title_is() { [ "$(xdotool getwindowname "$(find_window "$E2E_MAIN_TITLE")")" = "$1" ]; }
want="Input test $(printf '日%.0s' $(seq 81))"
wait_until 20 title_is "$want" || fail "the main window is titled '$(xdotool getwindowname "$(find_window "$E2E_MAIN_TITLE")")'"
# Setting a field's text is refused with no box open and for items out of range.
file_has "$out" '^set 0 0 refused 1 1 1$' || fail "setting fields' texts: $(grep '^set ' "$out")"

# values: the committed values the program has reported, one line each.
values() { grep '^value ' "$out"; }
reported() { values | grep -qxF "$1"; }
commits() {  # commits LINE: waits until the program reports LINE
  wait_until 20 reported "$1" || fail "no '$1'; the program reported: $(values)"
}
# The texts the program gave fields 0 and 2 are their values at once.
commits 'value 0 [640] int 640 real 640'
commits 'value 2 [1.5] int 1 real 1.5'

# Activating the box selects field 0's text (the worker does it, a moment
# after the window manager has activated the box): once it shows selected,
# typing replaces it. The selection is drawn in the style's highlight colour.
selected() {
  import -window "$box" "$E2E_TMP/box.png" &&
    convert "$E2E_TMP/box.png" -crop 70x24+88+4 -format %c histogram:info:- | grep -q '#308CC6'
}
wait_until 20 selected || fail "field 0's text is not selected in the active box"
# Field 0 shows the program's "640": edited at its end, it gives "6412".
xdotool key End BackSpace
xdotool type 12
xdotool key Tab
commits 'value 0 [6412] int 6412 real 6412'
# Tab selects the next field's text.
xdotool type 'café'
xdotool key Tab
commits 'value 1 [café] int 0 real 0'
# Typing replaces field 2's selected "1.5".
xdotool type 2.5e1x
xdotool key Return
commits 'value 2 [2.5e1x] int 2 real 25'
xdotool key shift+Tab
xdotool type -- -7
xdotool key Return
commits 'value 1 [-7] int -7 real -7'
# Typed and not committed, then the box widened by its bottom-right corner
# with the window manager's Alt + right-button drag: the height stays, the
# text typed stays, and Enter commits it.
xdotool key shift+Tab
xdotool type 55
outer "$box"
x0=$X y0=$Y w0=$W h0=$H
xdotool mousemove $((x0 + w0 - 15)) $((y0 + h0 - 15)) keydown alt mousedown 3
for i in 1 2 3 4; do xdotool mousemove $((x0 + w0 - 15 + i * 10)) $((y0 + h0 - 15 + i * 5)); done
xdotool mouseup 3 keyup alt
wider() { outer "$box" && [ "$W" -eq $((w0 + 40)) ]; }
wait_until 20 wider || fail "the box is $W wide after a 40-pixel drag, not $((w0 + 40))"
[ "$H" -eq "$h0" ] && [ "$X" -eq "$x0" ] && [ "$Y" -eq "$y0" ] || fail "the box went from $x0,$y0 ${w0}x$h0 to $X,$Y ${W}x$H"
xdotool key Return
commits 'value 0 [55] int 55 real 55'
# Each value changed only when committed: no line for a half-typed value.
expected='value 0 [640] int 640 real 640
value 2 [1.5] int 1 real 1.5
value 0 [6412] int 6412 real 6412
value 1 [café] int 0 real 0
value 2 [2.5e1x] int 2 real 25
value 1 [-7] int -7 real -7
value 0 [55] int 55 real 55'
[ "$(values)" = "$expected" ] || fail "commits other than expected: $(values)"

# The columns: the widening drag above widened the edit column. A drag of the
# left edge with the mouse changes the label column only; one of the right
# edge the edit column only. Where the window manager moves and resizes the
# box in one step the two halves can reach the program apart, so the left
# drag is repeated, both ways.
columns() { grep '^widths ' "$out" | tail -1 | cut -d' ' -f2-; }
has_columns() { [ "$(columns)" = "$1" ]; }
wait_until 20 has_columns '80 110' || fail "columns after the widening: $(columns), not 80 110"
# drag_edge SIDE DX: takes the box's frame at the middle of its left or right
# edge and drags it DX pixels across in four steps; waits for the new size.
drag_edge() {
  outer "$box"
  local x=$X y=$((Y + H / 2)) w=$W i
  [ "$1" = right ] && x=$((X + W - 1))
  # (No --sync on the first move: the pointer may be there already, where
  # the last drag left it, and --sync would wait for a move that never comes.)
  xdotool mousemove "$x" "$y" mousedown 1
  for i in 1 2 3 4; do xdotool mousemove --sync $((x + $2 * i / 4)) "$y"; done
  xdotool mouseup 1
  local want=$((w - $2))
  [ "$1" = right ] && want=$((w + $2))
  sized() { outer "$box" && [ "$W" -eq "$want" ]; }
  wait_until 20 sized || fail "the box is $W wide after a $2-pixel drag of its $1 edge, not $want"
}
label=80 edit=110
for dx in -20 -20 20 -20 20 -20 20 -20 20 20; do
  mark=$(wc -l <"$out")
  drag_edge left "$dx"
  label=$((label - dx))
  wait_until 20 has_columns "$label $edit" ||
    fail "columns after a $dx-pixel drag of the left edge: $(columns), not $label $edit"
  ! tail -n +$((mark + 1)) "$out" | grep '^widths ' | grep -qv " $edit\$" ||
    fail "the edit column changed during a drag of the left edge: $(tail -n +$((mark + 1)) "$out" | grep '^widths ')"
done
for dx in 20 -10; do
  drag_edge right "$dx"
  edit=$((edit + dx))
  wait_until 20 has_columns "$label $edit" ||
    fail "columns after a $dx-pixel drag of the right edge: $(columns), not $label $edit"
done
[ -n "${KAPLO_SHOTS:-}" ] && import -window root "$KAPLO_SHOTS/input-box.png"

end_program Escape
echo "e2e input box: passed"
