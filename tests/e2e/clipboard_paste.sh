#!/usr/bin/env bash
# Clipboard pictures of image windows on a real X server: a copy read by
# another program (xclip), a picture another program put there pasted with
# Ctrl+V typed into an image window, a copy of one KAPLO program pasted
# into another while the first still runs, and an owner that never answers.
. "$(dirname "$0")/lib.sh"
prog=$1
cd "$E2E_TMP"
command -v xclip >/dev/null || fail "xclip is missing (scripts/install-deps installs it)"

# start NAME: runs the program in serve mode, its input a FIFO held open on
# a descriptor of this shell; sets pid_NAME and fd_NAME.
start() {
  mkfifo "$1.in"
  "$prog" serve <"$1.in" >"$1.txt" 2>&1 &
  local pid=$!
  E2E_PIDS+=("$pid")
  exec {fd}>"$1.in"
  eval "pid_$1=$pid fd_$1=$fd"
  wait_until 30 file_has "$1.txt" ready || fail "$1 did not start"
}
# say NAME LINE: sends a command line to the program.
say() { local fd; eval "fd=\$fd_$1"; echo "$2" >&"$fd"; }
# saved NAME N FILE: has image N saved as FILE (a name not used before) and
# waits for it.
saved() {
  say "$1" "save $2 $3"
  wait_until 30 file_has "$1.txt" "saved $3 0" || fail "$1 did not save image $2"
}
# The target window's top-left crop of the size of PICTURE equals PICTURE.
saves=0
target_holds() { # NAME PICTURE
  saves=$((saves + 1))
  saved "$1" 1 "$1-target$saves.png"
  convert "$1-target$saves.png" -crop "$(identify -format %wx%h "$2")+0+0" +repage crop.png &&
    same_pixels crop.png "$2"
}
ctrl_v() { # NAME: Ctrl+V typed into the program's target window
  local pid win
  eval "pid=\$pid_$1"
  win=$(E2E_SCOPE_PID=$pid find_window '^target\(100%\)$') || fail "$1 has no target window"
  xdotool windowfocus --sync "$win" 2>/dev/null || xdotool windowfocus "$win"
  xdotool key --window "$win" ctrl+v
}

start a
E2E_SCOPE_PID=$pid_a wait_until 30 has_windows '^target\(100%\)$' 1 || fail "no target window"

# 1. A copy, read by xclip as PNG: the source's pixels.
say a copy
wait_until 30 file_has a.txt copied || fail "nothing copied"
wait_until 10 offers image/png || fail "the clipboard offers no PNG"
clip -t image/png -o >copied.png || fail "xclip could not read the PNG"
saved a 0 source.png
same_pixels copied.png source.png || fail "the PNG differs from the copied image"

# 2. A PNG put there by xclip, pasted with Ctrl+V at the target's corner.
convert -size 120x80 gradient:'#ff2000-#0020ff' -fill '#ffee00' -draw 'circle 60,40 60,62' \
  -fill '#00c000' -draw 'rectangle 5,5 25,15' -depth 8 PNG24:put.png
clip -quiet -t image/png -i put.png >/dev/null 2>&1 &
E2E_PIDS+=("$!")
wait_until 10 offers image/png || fail "xclip does not offer the PNG"
ctrl_v a
wait_until 30 target_holds a put.png || fail "the pasted PNG differs from what xclip put there"
import -window root "${E2E_SHOT:-shot}.png" 2>/dev/null || true

# 3. A copy of program a pasted into program b while a runs.
start b
E2E_SCOPE_PID=$pid_b wait_until 30 has_windows '^target\(100%\)$' 1 || fail "no target window in b"
say a copy
wait_until 10 eval '[ "$(grep -c copied a.txt)" -ge 2 ]' || fail "a did not copy again"
wait_until 10 offers application/x-kaplo-dib || fail "a's copy is not on the clipboard"
ctrl_v b
wait_until 30 target_holds b source.png || fail "b did not paste a's picture"
kill -0 "$pid_a" || fail "a ended"

# 4. An owner that never answers (stopped): a user routine's read, Ctrl+V in
# an image window and the main window's Paste each give up within the
# documented second or two, the last two saying so, and the main window
# answers meanwhile: Esc pressed while its own paste waits ends the program.
echo "some text" >any.txt
xclip -selection clipboard -quiet -i any.txt >/dev/null 2>&1 &
stopped=$!  # xclip itself (a function in the background would be a subshell)
E2E_PIDS+=("$stopped")
wait_until 10 offers UTF8_STRING || fail "xclip does not offer the text"
kill -STOP "$stopped"
say b get
wait_until 8 file_has b.txt "got none" || fail "the read of a silent owner did not give up"
ctrl_v b
E2E_SCOPE_PID=$pid_b wait_until 8 has_windows '^Pause$' 1 || fail "Ctrl+V did not give up"
main=$(E2E_SCOPE_PID=$pid_b find_window '^KAPLO ') || fail "b has no main window"
xdotool windowfocus --sync "$main" 2>/dev/null || xdotool windowfocus "$main"
# To the focused window, not --window: b ends on Escape, and xdotool must not
# stop between a key's press and its release over a window that went away,
# which would leave the key held for the tests after this one.
xdotool key ctrl+v
xdotool key Escape
wait_until 6 process_gone "$pid_b" || fail "Esc did not end b while its paste waited"
wait "$pid_b" || fail "b ended with code $?"
kill -9 "$stopped"  # it holds a's input open too

exec {fd_a}>&- {fd_b}>&-
wait_until 10 process_gone "$pid_a" || fail "a did not end with its input"
echo "e2e clipboard paste: passed"
