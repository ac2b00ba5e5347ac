#!/usr/bin/env bash
# kaplo-depth --export never loses a file: the input given again as the output
# (by name, symbolic or hard link), an output name of another kind, FIFOs and
# folders are refused before anything is written; a write error (a file size
# limit standing in for a full disk) fails and leaves neither a partial output
# nor a temporary file, and a previous output whole; a replaced output keeps
# its mode, and a symbolic link stays a link to the file that was replaced.
# Names are files, whatever they hold: "file:", "pipe:", "http:" are no
# protocols, and a name too long for the folder is refused before any work.
. "$(dirname "$0")/export_lib.sh"
"$make_video" "$tmp/in.avi" 64 48 6 || fail "could not make the input video"
checksum() { md5sum <"$1"; }

before=$(checksum "$tmp/in.avi")
ln -s in.avi "$tmp/link.avi"
ln "$tmp/in.avi" "$tmp/hard.avi"
for out in in.avi link.avi hard.avi; do
  refused "output $out" "is the input video" --export "$tmp/$out" "$tmp/in.avi"
done
[ "$(checksum "$tmp/in.avi")" = "$before" ] || fail "the input was changed"

# Judged by the name alone: the input is not even looked at.
echo "my notes" >"$tmp/notes.txt"
refused "a .txt output" "must end in .avi, .mp4, .mkv or .mov" --export "$tmp/notes.txt" "$tmp/no-such.avi"
[ "$(cat "$tmp/notes.txt")" = "my notes" ] || fail "notes.txt was touched"

mkfifo "$tmp/fifo.avi"
mkdir "$tmp/folder.avi"
refused "a FIFO output" "not a regular file" --export "$tmp/fifo.avi" "$tmp/in.avi"
refused "a FIFO input" "not a regular file" --export "$tmp/x.avi" "$tmp/fifo.avi"
refused "a folder output" "not a regular file" --export "$tmp/folder.avi" "$tmp/in.avi"
[ ! -e "$tmp/x.avi" ] || fail "an output was made from a FIFO"

# ulimit -f counts blocks of 1024 bytes; the outputs need about 2 MB (.avi)
# and 80 kB (.mp4).
"$make_video" "$tmp/big.avi" 320 240 60 || fail "could not make the large video"
echo previous >"$tmp/prev.avi"
for out in new.mp4 prev.avi; do
  (ulimit -f 20 && exec "$prog" --export "$tmp/$out" "$tmp/big.avi" 2>"$tmp/err.txt")
  code=$?
  [ $code -eq 1 ] && [ "$(grep -vc ' frames' "$tmp/err.txt")" -eq 1 ] &&
    grep -q "cannot write $tmp/$out: File too large" "$tmp/err.txt" ||
    fail "write error to $out: exit code $code, $(cat "$tmp/err.txt")"
done
[ ! -e "$tmp/new.mp4" ] || fail "a partial output was left"
[ "$(cat "$tmp/prev.avi")" = previous ] || fail "a failed export changed the previous output"
no_temporary_file "$tmp"

chmod 640 "$tmp/prev.avi"
"$prog" --export "$tmp/prev.avi" "$tmp/in.avi" 2>"$tmp/err.txt" || fail "$(cat "$tmp/err.txt")"
[ "$(stat -c %a "$tmp/prev.avi")" = 640 ] || fail "mode $(stat -c %a "$tmp/prev.avi"), not 640"
[ "$("$video_info" "$tmp/prev.avi")" = "6 128 48" ] || fail "the output was not replaced"

mkdir "$tmp/real"
echo old >"$tmp/real/target.avi"
ln -s real/target.avi "$tmp/to-target.avi"
"$prog" --export "$tmp/to-target.avi" "$tmp/in.avi" 2>"$tmp/err.txt" || fail "$(cat "$tmp/err.txt")"
[ -L "$tmp/to-target.avi" ] || fail "the symbolic link was replaced by a file"
[ "$("$video_info" "$tmp/real/target.avi")" = "6 128 48" ] || fail "the link's target was not written"
no_temporary_file "$tmp"
no_temporary_file "$tmp/real"
# Each name with a colon converts exactly the file it names (4 frames of
# 32 x 24), never clip.avi or standard input (6 frames of 64 x 48), and the
# outputs, colons and all, are written where they are named.
"$make_video" "$tmp/clip.avi" 64 48 6 || fail "could not make clip.avi"
"$make_video" "$tmp/small.avi" 32 24 4 || fail "could not make small.avi"
for name in file:clip.avi a:b.avi pipe:0 http:x; do
  cp "$tmp/small.avi" "$tmp/$name"
  (cd "$tmp" && "$prog" --export "o-$name.avi" "$name" <clip.avi 2>err.txt) ||
    fail "$name: $(cat "$tmp/err.txt")"
  [ "$("$video_info" "$tmp/o-$name.avi")" = "4 64 24" ] ||
    fail "$name: converted something else: $("$video_info" "$tmp/o-$name.avi")"
done

long=$(printf 'n%.0s' $(seq 252))
refused "a name too long" "File name too long" --export "$tmp/$long.avi" "$tmp/in.avi"
no_temporary_file "$tmp"
echo "export files: passed"
