#!/usr/bin/env bash
# Keyboard input as people type it, with real key events: a dead key composes
# with the next letter, keys that type nothing on a desktop type nothing here,
# keypad keys type their characters, a key of a non-Latin keysym types its
# character; Ctrl+Q closes a text window, and X on the main window exits.
. "$(dirname "$0")/lib.sh"
prog=$1
log="$E2E_TMP/out.txt"
# Dead keys go through Qt's compose input context, as on a desktop that
# runs no input-method daemon.
LANG=C.UTF-8 QT_IM_MODULE=compose "$prog" >"$log" 2>&1 &
pid=$!
E2E_PIDS+=("$pid")
E2E_SCOPE_PID=$pid
wait_until 30 has_windows '^TextWindow 0$' 1 || fail "no text window"
main=$(find_window '^KAPLO ')
tw=$(find_window '^TextWindow 0$')
# The dead key and あ get keys of their own in the keymap: xdotool would
# otherwise remap a spare key for every keystroke, and a slow program can read
# a keystroke with the mapping of the one before.
read -r k1 k2 < <(xmodmap -pke | awk 'NF == 3 {print $2}' | tail -2 | tr '\n' ' ')
[ -n "$k1" ] && [ -n "$k2" ] || fail "no spare key codes"
xmodmap -e "keycode $k1 = dead_acute" -e "keycode $k2 = U3042"
restore_keys() { xmodmap -e "keycode $k1 =" -e "keycode $k2 ="; }

xdotool windowfocus --sync "$main"
xdotool key s
wait_until 10 file_has "$log" "started run 1" || fail "S did not start the program"
xdotool windowfocus --sync "$tw"
xdotool key dead_acute e Delete Left F5 alt+x KP_1 KP_Add U3042
xdotool type 'ab'
xdotool key Return
wait_until 10 file_has "$log" 'name \[é1+あab\]' || fail "typed line: $(grep name "$log")"
xdotool key c
wait_until 10 file_has "$log" "stopped run 1" || fail "C did not stop the program"
restore_keys
xdotool key ctrl+q
closed() { [ "$(window_count '^TextWindow 0$')" -eq 0 ]; }
wait_until 10 closed || fail "Ctrl+Q did not close the text window"
process_gone "$pid" && fail "Ctrl+Q ended the program"
xdotool windowfocus --sync "$main"
xdotool key x
wait_until 10 process_gone "$pid" || fail "X did not end the program"
wait "$pid" || fail "exit code $?"
echo "e2e keyboard: passed"
