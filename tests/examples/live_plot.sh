#!/usr/bin/env bash
# kaplo-live-plot: S starts the plot; its window shows the axes on the dark
# background and a green curve, and changes from frame to frame; C stops it
# with a count of the frames drawn.
. "$(dirname "$0")/lib.sh"
start "$1"
press s
wait_until 30 file_has out.txt "plot started" || fail "S did not start the plot"
wait_until 30 has_windows '^plot\(100%\)$' 1 || fail "no plot window"
win=$(find_window '^plot\(100%\)$')

curve_pixels() { colour_count "$1" '#40FF40'; }
drawn() {
  import -window "$win" first.png 2>/dev/null &&
  [ "$(rgb first.png 40 11)" = "192 192 192 " ] &&  # the y axis, above the curve's reach
  [ "$(rgb first.png 300 232)" = "16 24 40 " ] &&   # the background, below the x axis
  [ "$(curve_pixels first.png)" -ge 430 ]          # at least one pixel per column
}
wait_until 30 drawn || fail "no plot in the window: y axis $(rgb first.png 40 11)," \
  "background $(rgb first.png 300 232), $(curve_pixels first.png) curve pixels"
wait_until 30 changed "$win" || fail "the plot does not change"

press c
wait_until 30 file_has out.txt "plot stopped after" || fail "C did not stop the plot"
frames=$(sed -n 's/^plot stopped after \([0-9]*\) frames$/\1/p' out.txt)
[ "${frames:-0}" -ge 2 ] || fail "frames drawn: '$frames'"
exit_cleanly
echo "example live_plot: passed"
