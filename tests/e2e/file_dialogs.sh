#!/usr/bin/env bash
# The save dialog of an image window under a real window manager (openbox):
# Start saves image 0 through the save command; the dialog "Save as" comes up
# with "noname", a name typed into it with real keys is saved with the BMP
# extension added. Runs on a display of its own, as window_manager.sh does.
# Usage: file_dialogs.sh DIALOG_SCENARIOS
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${KAPLO_OWN_DISPLAY:-}" ]; then
  KAPLO_OWN_DISPLAY=1 exec "$here/../../scripts/with-xvfb" "$0" "$@"
fi
. "$here/lib.sh"
prog=$1

openbox >"$E2E_TMP/openbox.txt" 2>&1 &
E2E_PIDS+=("$!")
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
wait_until 30 wm_ready || fail "openbox did not start"

cd "$E2E_TMP"
"$prog" e2e >out.txt 2>&1 &
pid=$!
E2E_PIDS+=("$pid")
E2E_SCOPE_PID=$pid
wait_until 30 has_windows '^KAPLO ' 1 || fail "no main window"
main=$(find_window '^KAPLO ')
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
xdotool key s
wait_until 30 file_has out.txt "dialog opening" || fail "Start did not run the program"
wait_until 30 has_windows '^Save as$' 1 || fail "no window titled 'Save as'"
dialog=$(find_window '^Save as$')
[ "$(xdotool getwindowname "$dialog")" = "Save as" ] || fail "the dialog's title is not 'Save as'"
# The dialog has the keyboard once the window manager has activated it.
active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$dialog" ]; }
wait_until 10 active || xdotool windowactivate --sync "$dialog" 2>/dev/null
wait_until 10 active || fail "the dialog did not become the active window"
import -window root dialog.png 2>/dev/null || fail "no screenshot"
[ -n "${KAPLO_E2E_SHOTS:-}" ] && cp dialog.png "$KAPLO_E2E_SHOTS/save_dialog.png"

# The name field has the focus and holds "noname": replace it and confirm.
xdotool key --window "$dialog" ctrl+a
xdotool type --window "$dialog" --delay 20 e2e_shot
xdotool key --window "$dialog" Return
saved() { [ -s e2e_shot.bmp ] && [ "$(head -c 2 e2e_shot.bmp)" = "BM" ]; }
wait_until 30 saved || fail "e2e_shot.bmp was not written: $(ls)"
[ ! -e e2e_shot ] || fail "the name as typed was written"
wait_until 30 file_has out.txt "scenario passed" || fail "the program did not finish: $(cat out.txt)"
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
xdotool key Escape
wait_until 20 process_gone "$pid" || fail "Esc did not end the program"
echo "e2e file dialogs: passed"
