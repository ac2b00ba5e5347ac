#!/usr/bin/env bash
# Edge snapping with real moves. Without a window manager, another client
# moves the windows (xdotool windowmove) while Ctrl is held on the keyboard:
# they snap to the screen's edge and to another window's edge; without Ctrl
# they stay where they were put. Under openbox, a drag of the title bar with
# the real mouse, Ctrl pressed once the drag has begun (openbox starts a
# move only without modifiers), leaves the dragged frame flush against the
# other window's frame, tops aligned.
# Usage: snapping.sh INTERACTIVE_BOXES
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${KAPLO_OWN_DISPLAY:-}" ]; then
  KAPLO_OWN_DISPLAY=1 exec "$here/../../scripts/with-xvfb" "$0" "$@"
fi
. "$here/lib.sh"
prog=$(realpath "$1")
out="$E2E_TMP/snap.txt"
release_ctrl() { xdotool keyup ctrl; }
trap 'release_ctrl; cleanup' EXIT

# settled NAME ID X Y: the frame is at (X, Y), and the framework has
# recorded it there (the window's Moving hook has run).
recorded() { grep "^rect $1 " "$out" | tail -n 1 | grep -q "^rect $1 $2 $3 "; }
settled() { outer "$2" && [ "$X" -eq "$3" ] && [ "$Y" -eq "$4" ] && recorded "$1" "$3" "$4"; }
expect_at() {  # expect_at NAME ID X Y WHAT
  wait_until 20 settled "$1" "$2" "$3" "$4" ||
    fail "$5: at $X,$Y, not $3,$4; the framework saw: $(grep "^rect $1 " "$out" | tail -n 1)"
}
windows() {
  local name
  for name in '^left\(100%\)$' '^InputBox$' '^ButtonBox$'; do
    wait_until 20 has_windows "$name" 1 || fail "no window $name"
  done
  left=$(find_window '^left\(100%\)$'); inbox=$(find_window '^InputBox$')
  buttons=$(find_window '^ButtonBox$')
}

# Without a window manager. Ctrl is read from the display when a move is
# seen, so it stays held until the move has had its effect.
start_program "$prog" snap "$out"
E2E_SCOPE_PID=$pid
windows
expect_at left "$left" 100 100 "the image window"
lr=$((X + W))
xdotool keydown ctrl windowmove "$inbox" 5 300
expect_at inbox "$inbox" 0 300 "the input box moved with Ctrl to 5,300"
release_ctrl
xdotool windowmove "$buttons" $((lr + 6)) 104
expect_at buttons "$buttons" $((lr + 6)) 104 "the button box moved without Ctrl"
# 4 pixels over the image window's right edge and 3 below its top: flush
# beside it, tops aligned.
xdotool keydown ctrl windowmove "$buttons" $((lr - 4)) 103
expect_at buttons "$buttons" "$lr" 100 "the button box moved with Ctrl over the image window's edge"
release_ctrl
end_program Escape

# Under openbox: the button box dragged by its title bar.
out="$E2E_TMP/snap-openbox.txt"
start_under_openbox "$prog" snap "$out"
E2E_SCOPE_PID=$pid
windows
outer "$left"
lx=$X; ly=$Y; lr=$((X + W))
outer "$buttons"
bx=$X; by=$Y
# The pointer's place on the title bar, 60 pixels in and 8 down, and where
# it ends: the frame's left edge 5 pixels left of the image window frame's
# right edge, its top 4 pixels below that frame's top.
tx=$((lr - 5 + 60)); ty=$((ly + 4 + 8))
xdotool mousemove $((bx + 60)) $((by + 8)) mousedown 1
xdotool mousemove $((bx + 70)) $((by + 8))
xdotool keydown ctrl
for i in 1 2 3 4 5; do
  xdotool mousemove $((bx + 70 + i * (tx - bx - 70) / 5)) $((by + 8 + i * (ty - by - 8) / 5))
done
xdotool mouseup 1
expect_at buttons "$buttons" "$lr" "$ly" "the button box dragged with Ctrl to 5 pixels over the image window"
release_ctrl
outer "$left"
[ "$X" -eq "$lx" ] && [ "$Y" -eq "$ly" ] || fail "the image window moved to $X,$Y"
end_program Escape
echo "e2e snapping: passed"
