#!/usr/bin/env bash
# Clipboard pictures on a real X server, exchanged with another program
# (xclip): it reads the PNG and the BMP file of a picture we copy, and we
# paste the PNG and the BMP file it puts there.
. "$(dirname "$0")/lib.sh"
prog=$1
cd "$E2E_TMP"
command -v xclip >/dev/null || fail "xclip is missing (scripts/install-deps installs it)"

# Copy. On X11 the picture lives in the copying process, which keeps it
# until its standard input (a FIFO held open here) closes.
mkfifo hold
"$prog" copy <hold >copy.txt 2>&1 &
pid=$!
E2E_PIDS+=("$pid")
exec 3>hold
wait_until 30 file_has copy.txt copied || fail "nothing copied"
for type in image/png image/bmp application/x-kaplo-dib; do
  offers "$type" || fail "the clipboard does not offer $type"
done
clip -t image/png -o >got.png || fail "xclip could not read the PNG"
same_pixels got.png expected.png || fail "the PNG differs from the copied picture"
clip -t image/bmp -o >got.bmp || fail "xclip could not read the BMP file"
same_pixels got.bmp expected.png || fail "the BMP file differs from the copied picture"
clip -t application/x-kaplo-dib -o >got.dib
# 7 x 5 pixels: a 40-byte header and 5 rows of 21 bytes padded to 24.
[ "$(stat -c %s got.dib)" = 160 ] || fail "the bitmap is $(stat -c %s got.dib) bytes, not 160"
exec 3>&-
wait_until 10 process_gone "$pid" || fail "the copying program did not end with its input"

# Paste what xclip holds (it serves the clipboard in the foreground until
# another program takes it over).
convert -size 6x4 xc:'#102030' -fill '#c0ffee' -draw 'point 2,1' \
  -fill '#ff0000' -draw 'line 0,3 5,3' put.png
convert put.png put.bmp
for file in put.png put.bmp; do
  type=image/${file##*.}
  clip -quiet -t "$type" -i "$file" >/dev/null 2>&1 &
  E2E_PIDS+=("$!")
  wait_until 10 offers "$type" || fail "xclip does not offer $type"
  "$prog" paste pasted.png >paste.txt 2>&1 || fail "no $type pasted: $(cat paste.txt)"
  same_pixels pasted.png put.png || fail "the pasted $type differs from what xclip put there"
  [ "$type" = image/png ] || file_has paste.txt read_bmp_file || fail "our reader refused the BMP file"
done
echo "e2e clipboard pictures: passed"
