#!/usr/bin/env bash
# The later examples, one function each: more.sh NAME PROGRAM [SAMPLE_VIDEO]
# runs example NAME as a user would and checks what it produced.
. "$(dirname "$0")/lib.sh"
name=$1 prog=$2 video=${3:-}

# kaplo-batch, with no display: two pictures and a text file in a folder;
# the pictures come out grey (pure red as its luminance 76) and labelled, the
# text file is skipped, and a wrong command line is refused.
example_batch() {
  mkdir in && convert -size 120x80 gradient:red-blue in/a.png && convert rose: in/b.jpg &&
    echo notes >in/c.txt || fail "no input folder"
  env -u DISPLAY "$prog" in out >out.txt 2>&1 || fail "exit code $?"
  file_has out.txt '^2 converted, 1 skipped, 0 failed$' || fail "wrong summary"
  file_has out.txt '^c.txt: skipped' || fail "the text file was not skipped"
  [ "$(identify -format '%wx%h %[type]' out/b.png)" = "70x46 Grayscale" ] || fail "b.png: $(identify out/b.png)"
  [ "$(rgb out/a.png 60 0)" = "76 76 76 " ] || fail "red became $(rgb out/a.png 60 0)"
  [ "$(colour_count out/a.png white)" -ge 50 ] || fail "no label"
  env -u DISPLAY "$prog" in >/dev/null 2>&1
  [ $? = 2 ] || fail "one folder was not refused"
}

# kaplo-palette: S moves the sea (the window changes), C saves seaside.gif
# with the colour table of that moment: the very picture the window shows.
example_palette() {
  start "$prog"
  wait_until 30 has_windows '^seaside\(100%\)\[8bit\]$' 1 || fail "no seaside window"
  win=$(find_window '^seaside\(100%\)\[8bit\]$')
  import -window "$win" first.png 2>/dev/null
  press s
  wait_until 30 changed "$win" || fail "the sea does not move"
  press c
  says 'saved seaside.gif'
  [ "$(identify -format '%wx%h %[type]' seaside.gif)" = "320x240 Palette" ] || fail "$(identify seaside.gif)"
  [ "$(rgb seaside.gif 250 50)" = "255 224 64 " ] || fail "the sun is $(rgb seaside.gif 250 50)"
  wait_until 20 window_shows "$win" seaside.gif || fail "the window does not show what was saved"
}

# kaplo-truetype: the card greets the name given, in gold letters, with a
# pale yellow Japanese line, and the window shows the card.png it saved.
example_truetype() {
  start "$prog" Ada
  says '^saved card.png$'
  size_is card.png 480x270 || fail "card.png: $(identify card.png)"
  wait_until 20 window_shows "$(find_window '^card\(100%\)$')" card.png || fail "the window differs from card.png"
  convert card.png -crop 440x60+20+24 title.png
  [ "$(colour_count title.png '#FFD700')" -ge 1000 ] || fail "no gold title"
  [ "$(colour_count card.png '#FFF0A0')" -ge 300 ] || fail "no Japanese line"
}

# kaplo-profile: "Row" and a click on row 100 graph its red, green and blue;
# "Point" reports the clicked pixel as the window shows it; "Box" plots the
# box's colours on the Cr-Cb plane. The reports are read from the log.
example_profile() {
  OUT=KAPLO00.LOG
  start "$prog"
  wait_until 30 has_windows '^ButtonBox$' 1 || fail "no button box"
  pic=$(find_window '^picture\(100%\)$') || fail "no picture"
  import -window "$pic" picture.png 2>/dev/null
  press s
  says '^Choose'
  button 0 5 1 && says '^Click a row' && click_in "$pic" 50 100
  says '^row 100$'
  curves() {
    shot '^profile\(100%\)$' graph.png &&
      for c in red lime blue; do [ "$(colour_count graph.png $c)" -ge 100 ] || return 1; done
  }
  wait_until 30 curves || fail "no curves in the profile"
  button 2 5 1 && says '^Click a point' && click_in "$pic" 30 200
  says '^(30,200) '
  file_has $OUT "^(30,200) R,G,B $(rgb picture.png 30 200 | tr ' ' , | sed 's/,$//')  H,S,V" ||
    fail "not the pixel the window shows: $(rgb picture.png 30 200)"
  button 3 5 1 && says '^Click two corners' && two_clicks "$pic" 20 20 60 60
  says '^box (20,20)-(60,60)$'
  shot '^Cr-Cb\(100%\)$' plane.png || fail "no Cr-Cb window"
  [ "$(colour_count plane.png white)" -ge 100 ] || fail "no colours on the Cr-Cb plane"
}

# kaplo-log: a run leaves KAPLO00.LOG with a best time per job and without
# the single rounds, and the clipboard holds the journal as it was copied.
example_log() {
  start "$prog"
  press s
  says '^run 1 done$'
  file_has KAPLO00.LOG '^Drawing speed journal' || fail "no log file: $(ls)"
  [ "$(grep -c ' best ' KAPLO00.LOG)" = 4 ] || fail "not four best times: $(cat KAPLO00.LOG)"
  ! grep -q ': [0-9]' KAPLO00.LOG || fail "single rounds in the log"
  clip -o >clip.txt 2>/dev/null
  head -n -1 KAPLO00.LOG | cmp -s - clip.txt || fail "the clipboard: $(cat clip.txt)"
}

# kaplo-clipboard: a picture that xclip holds is pinned where the user
# clicks and opened in a window of its own; "Copy board" gives back the
# board with the picture on it.
example_clipboard() {
  convert -size 160x100 xc:'#3060FF' +antialias -fill yellow -draw 'circle 80,50 80,10' -depth 8 put.png
  clip -quiet -t image/png -i put.png >/dev/null 2>&1 &
  E2E_PIDS+=("$!")
  wait_until 10 offers image/png || fail "xclip does not offer the picture"
  start "$prog"
  wait_until 30 has_windows '^ButtonBox$' 1 || fail "no button box"
  press s
  says '^Choose'
  button 0 3 1 && says '^Place the 160 x 100 picture' && click_in "$(find_window '^board\(100%\)$')" 100 100
  says '^pinned at (20,50)$'
  button 1 3 1 && says '^pasted 1: 160 x 100$'
  wait_until 20 window_shows "$(find_window '^pasted 1\(100%\)$')" put.png || fail "the window differs"
  button 2 3 1 && says '^board copied$'
  clip -t image/png -o >board.png 2>/dev/null && convert board.png -crop 160x100+20+50 +repage pinned.png
  same_pixels pinned.png put.png || fail "the copied board lacks the picture"
}

# kaplo-sketch: a box drawn with two clicks is saved through the save dialog
# as drawing.png; the open dialog then loads a picture of another size.
example_sketch() {
  convert -size 200x100 xc:'#FF8000' BMP3:in.bmp
  start --title '^Sketch: a small paint program$' "$prog"
  wait_until 30 has_windows '^ButtonBox$' 1 || fail "no button box"
  press s
  says '^Choose'
  button 3 3 2 && says '^Click in the sketch' && two_clicks "$(find_window '^sketch\(100%\)$')" 20 30 300 250
  says '^drawn$'
  button 1 3 2 && answer 'Save as' drawing.png
  says '^saved .*drawing.png$'
  [ "$(rgb drawing.png 20 100) $(rgb drawing.png 100 100)" = "0 0 0  255 255 255 " ] ||
    fail "no box in drawing.png"
  button 0 3 2 && answer 'Load image file' "$PWD/in.bmp"
  says '^opened .*in.bmp$'
  wait_until 20 window_shows "$(find_window '^sketch\(100%\)$')" in.bmp || fail "in.bmp not shown"
}

# kaplo-opencv-edges: S finds edges; the edges window shows exactly as many
# white pixels as OpenCV counted, and the picture shows them red.
example_opencv_edges() {
  start "$prog"
  press s
  says '^blur 1.5: [0-9]* edge pixels$'
  edges=$(sed -n 's/^blur 1.5: \([0-9]*\) edge pixels$/\1/p' out.txt)
  [ "$edges" -ge 500 ] || fail "only $edges edge pixels"
  shown() {
    shot '^edges\(100%\)\[8bit\]$' edges.png &&
      [ "$(colour_count edges.png white)" = "$edges" ]
  }
  wait_until 20 shown || fail "the window shows $(colour_count edges.png white) edge pixels"
  shot '^picture\(100%\)$' picture.png || fail "no picture window"
  [ "$(colour_count picture.png red)" -ge "$edges" ] || fail "the edges are not red in the picture"
}

# kaplo-video: S plays the sample video to its end, at twice its size; a
# second run is stopped by C.
example_video() {
  cp "$video" test.avi || fail "no sample video"
  start "$prog"
  wait_until 30 has_windows '^video\(200%\)\*$' 1 || fail "no video window"
  win=$(find_window '^video\(200%\)\*$')
  import -window "$win" first.png 2>/dev/null
  press s
  wait_until 30 changed "$win" || fail "no frames shown"
  size_is now.png 640x480 || fail "the window is not twice the frames' size"
  says '^end of the video after 96 frames$'
  import -window "$win" first.png 2>/dev/null
  press s
  wait_until 30 changed "$win" || fail "a second Start shows nothing"
  press c
  says '^stopped after [0-9]* frames$'
}

declare -F "example_$name" >/dev/null || fail "no example $name"
"example_$name"
[ "$name" = batch ] || exit_cleanly
echo "example $name: passed"
