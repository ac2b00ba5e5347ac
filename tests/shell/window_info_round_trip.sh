#!/usr/bin/env bash
# The window information report's source round trip: a program lays out
# windows and asks for the report (window_info_scenarios layout), a user
# program is built with the generated lines as its init routine, and it must
# make the same layout: positions, sizes, zooms, labels and captions. Run
# under a window manager (openbox, on a display of its own), the program
# ends its start-up with the main window in front and active, as the
# generated lines' last call asks, so that S on the keyboard starts it.
#   window_info_round_trip.sh SOURCE_DIR BUILD_DIR SCENARIO_PROGRAM [SANITIZER]
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${KAPLO_OWN_DISPLAY:-}" ]; then
  KAPLO_OWN_DISPLAY=1 exec "$here/../../scripts/with-xvfb" "$0" "$@"
fi
. "$here/../e2e/lib.sh"
src=$(cd "$1" && pwd) build=$(cd "$2" && pwd) scenarios=$(realpath "$3") sanitizer=${4:-}
tmp=$E2E_TMP
fail() { echo "FAIL: $*" >&2; for f in "$tmp"/*.log; do echo "--- $f"; tail -n 30 "$f"; done >&2; exit 1; }
cd "$tmp"

QT_QPA_PLATFORM=offscreen "$scenarios" layout >layout.log 2>&1 || fail "the layout scenario failed"
grep -q "scenario passed" layout.log || fail "the layout scenario failed"
[ -s generated.inc ] && [ -s layout.txt ] || fail "no generated source"

case "$sanitizer" in
  address) flags="-fsanitize=address,undefined" ;;
  thread) flags="-fsanitize=thread" ;;
  *) flags="" ;;
esac
# shellcheck disable=SC2046,SC2086
g++ -std=c++20 $flags -I"$src/include" -I"$src" -I"$tmp" -o replay \
  "$src/tests/shell/layout_replay.cpp" "$build/libkaplo_main.a" "$build/libkaplo.a" \
  $(pkg-config --cflags --libs Qt5Widgets Qt5X11Extras xcb) -lgif -pthread \
  >build.log 2>&1 || fail "the generated source did not build"

QT_QPA_PLATFORM=offscreen ./replay >replay.log 2>&1 || fail "the replay failed"
grep -q "scenario passed" replay.log || fail "the replay failed"
diff -u layout.txt replayed.txt >diff.log || fail "the replayed layout differs: $(cat diff.log)"
echo "round trip: $(wc -l <layout.txt) layout lines re-created"

# Under openbox, once every window of the layout (and the main window) is
# shown, the main window is the active one and on top of all, and S typed
# on the keyboard, wherever the focus is, starts the program.
start_under_openbox ./replay wm "$tmp/wm.log"
E2E_SCOPE_PID=$pid
windows=$(($(grep -cE '^(image|text|input box|button box) ' layout.txt) + 1))
shown() { [ "$(xdotool search --all --pid "$pid" --onlyvisible --name . 2>/dev/null | wc -l)" -ge "$windows" ]; }
wait_until 30 shown || fail "not all $windows windows are shown"
main=$(find_window '^KAPLO ') || fail "no main window"
active() { xdotool getactivewindow 2>/dev/null; }
on_top() {  # the last of the window manager's stacking list, bottom to top
  local ids
  ids=$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g')
  printf '%d' "${ids##* }"
}
in_front() { [ "$(active)" = "$main" ] && [ "$(on_top)" = "$main" ]; }
wait_until 20 in_front ||
  fail "after start-up '$(xdotool getwindowname "$(active)")' is active and '$(xdotool getwindowname "$(on_top)")' on top, not the main window"
[ -n "${KAPLO_SHOTS:-}" ] && import -window root "$KAPLO_SHOTS/replayed-layout.png"
xdotool key s
wait_until 20 file_has "$tmp/wm.log" '^started' || fail "S did not start the program"
end_program Escape
echo "round trip under a window manager: the main window in front, S starts"
