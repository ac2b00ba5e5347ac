#!/usr/bin/env bash
# The window information report's source round trip: a program lays out
# windows and asks for the report (window_info_scenarios layout), a user
# program is built with the generated lines as its init routine, and it must
# make the same layout: positions, sizes, zooms, labels and captions.
#   window_info_round_trip.sh SOURCE_DIR BUILD_DIR SCENARIO_PROGRAM [SANITIZER]
set -u
src=$(cd "$1" && pwd) build=$(cd "$2" && pwd) scenarios=$3 sanitizer=${4:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
chmod 700 "$tmp"
export XDG_RUNTIME_DIR="$tmp"
export QT_QPA_PLATFORM=offscreen
fail() { echo "FAIL: $*" >&2; for f in "$tmp"/*.log; do echo "--- $f"; tail -n 30 "$f"; done >&2; exit 1; }
cd "$tmp"

"$scenarios" layout >layout.log 2>&1 || fail "the layout scenario failed"
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

./replay >replay.log 2>&1 || fail "the replay failed"
grep -q "scenario passed" replay.log || fail "the replay failed"
diff -u layout.txt replayed.txt >diff.log || fail "the replayed layout differs: $(cat diff.log)"
echo "round trip: $(wc -l <layout.txt) layout lines re-created"
