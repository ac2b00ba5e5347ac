#!/usr/bin/env bash
# An image window under a real window manager (openbox), driven as a user
# drives it: a right click opens the image menu and a click on "Zoom:200%"
# zooms; Ctrl+wheel toward the user zooms in; Tab switches to smooth scaling
# (the caption's star); a tool shows its hints; Esc on the image window ends
# the program.
# Usage: image_menus.sh IMAGE_WINDOW_SCENARIOS
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${KAPLO_OWN_DISPLAY:-}" ]; then
  KAPLO_OWN_DISPLAY=1 exec "$here/../../scripts/with-xvfb" "$0" "$@"
fi
. "$here/lib.sh"
prog=$(realpath "$1")
out="$E2E_TMP/interactive.txt"

start_under_openbox "$prog" interactive "$out"
win=$(find_window '^live\(100%\)$') || fail "no image window"
has_caption() { [ "$(xdotool getwindowname "$win" 2>/dev/null)" = "$1" ]; }

# The pointer over the picture, the menu at a right click.
eval "$(geometry "$win")"
cx=$((X + WIDTH / 2)); cy=$((Y + HEIGHT / 2))
xdotool mousemove --sync "$cx" "$cy" click 3
wait_until 20 file_has "$out" "^menu item Zoom:200% at " || fail "no image menu at a right click"
[ -n "${KAPLO_SHOTS:-}" ] && import -window root "$KAPLO_SHOTS/image-menu.png"
read -r mx my < <(sed -n 's/^menu item Zoom:200% at //p' "$out" | tail -1)
xdotool mousemove --sync "$mx" "$my" click 1
wait_until 20 has_caption 'live(200%)' || fail "Zoom:200% from the menu: $(xdotool getwindowname "$win")"
[ -n "${KAPLO_SHOTS:-}" ] && import -window root "$KAPLO_SHOTS/image-zoomed.png"

# Ctrl + the wheel turned toward the user (button 5) zooms in: 200 -> 222.
eval "$(geometry "$win")"
xdotool mousemove --sync $((X + 20)) $((Y + 20))
xdotool keydown ctrl click 5 keyup ctrl
wait_until 20 has_caption 'live(222%)' || fail "Ctrl+wheel: $(xdotool getwindowname "$win")"

# Tab on the focused image window: smooth scaling, shown by the star.
xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
xdotool key --clearmodifiers Tab
wait_until 20 has_caption 'live(222%)*' || fail "Tab: $(xdotool getwindowname "$win")"

# Tool hints (the program turned them on): Ctrl+R's clipping tool asks with
# how to cancel under a crosshair; a right click cancels, and the pointer is
# the arrow again.
xdotool key --clearmodifiers ctrl+r
wait_until 20 last_says "$out" status 'Click the first point (right: cancel)' || fail "no hinted prompt"
wait_until 20 last_says "$out" cursor cross || fail "no crosshair over the tool's window"
xdotool click 3
wait_until 20 last_says "$out" cursor arrow || fail "the crosshair stayed after a cancel"

# "Save as" from the menu, a name typed into the real dialog and Enter: the
# picture is written under that name with the format's extension.
eval "$(geometry "$win")"
xdotool mousemove --sync $((X + 30)) $((Y + 30)) click 3
wait_until 20 file_has "$out" "^menu item &Save as at " || fail "no image menu for Save as"
read -r mx my < <(sed -n 's/^menu item &Save as at //p' "$out" | tail -1)
xdotool mousemove --sync "$mx" "$my" click 1
wait_until 30 has_windows '^Save as$' 1 || fail "no Save as dialog"
dialog=$(find_window '^Save as$')
xdotool windowactivate --sync "$dialog" 2>/dev/null || xdotool windowfocus --sync "$dialog"
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 "from_menu"
xdotool key --clearmodifiers Return
saved() { [ "$(head -c 2 "$E2E_TMP/from_menu.bmp" 2>/dev/null)" = "BM" ]; }
wait_until 30 saved || fail "Save as from the menu wrote no from_menu.bmp"

# Esc on the image window is the main window's Exit.
xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
xdotool key --clearmodifiers Escape
wait_until 30 process_gone "$pid" || fail "Esc on the image window did not end the program"
echo "e2e image menus: passed"
