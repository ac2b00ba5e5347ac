#!/usr/bin/env bash
# The sound of an exported video, written in the same pass as the pictures:
# videos made here with a tone (PCM in AVI, AAC in MP4, Opus in Matroska)
# keep one audio stream of the same length, and every picture, in each
# container; a silent video gives none and says nothing about sound.
. "$(dirname "$0")/export_lib.sh"
command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null ||
  fail "ffmpeg is not installed (scripts/install-deps installs it)"

make_input() {  # NAME VIDEO_CODEC AUDIO_CODEC|-an [SECONDS_OF_SOUND]: 2 s of a test picture
  local sound=(-f lavfi -i "sine=frequency=440:sample_rate=22050:duration=${4:-2}" -c:a "$3")
  [ "$3" = -an ] && sound=(-an)
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=96x64:rate=24:duration=2 "${sound[@]}" \
    -c:v "$2" "$tmp/$1" || fail "could not make $1"
}
make_input tone.avi mjpeg pcm_s16le
make_input tone.mp4 mpeg4 aac
make_input tone.mkv mpeg4 libopus
make_input silent.avi mjpeg -an
# Sound a little longer than the pictures: its AVI header counts one frame
# more than it holds, which is no missing frame.
make_input longer.avi mjpeg pcm_s16le 2.1

audio_streams() {
  ffprobe -v error -select_streams a -show_entries stream=index -of csv=p=0 "$1" | wc -l
}
# Seconds of sound: the sum of the durations ffprobe gives the audio packets
# (a stream's own duration is not kept by every container).
seconds_of_sound() {
  ffprobe -v error -select_streams a:0 -show_entries packet=duration_time -of csv=p=0 "$1" |
    awk '{ s += $1 } END { printf "%.3f", s }'
}

for in in tone.avi tone.mp4 tone.mkv; do
  for ext in avi mp4 mkv mov; do
    out=out-${in%.*}-${in#*.}.$ext
    "$prog" --export "$tmp/$out" "$tmp/$in" 2>"$tmp/err.txt" || fail "$in -> $out: $(cat "$tmp/err.txt")"
    [ "$(audio_streams "$tmp/$out")" -eq 1 ] || fail "$in -> $out: $(audio_streams "$tmp/$out") audio streams"
    want=$(seconds_of_sound "$tmp/$in") got=$(seconds_of_sound "$tmp/$out")
    awk -v a="$want" -v b="$got" 'BEGIN { d = a - b; exit !(a > 1.9 && d < 0.1 && d > -0.1) }' ||
      fail "$in -> $out: $got s of sound, the input has $want s"
    [ "$("$video_info" "$tmp/$out")" = "48 192 64" ] || fail "$in -> $out: frames $("$video_info" "$tmp/$out")"
  done
done

"$prog" --export "$tmp/e.mp4" "$tmp/silent.avi" 2>"$tmp/err.txt" || fail "silent: $(cat "$tmp/err.txt")"
[ "$(audio_streams "$tmp/e.mp4")" -eq 0 ] || fail "a silent video gained an audio stream"
grep -q sound "$tmp/err.txt" && fail "silent: $(cat "$tmp/err.txt")"

"$prog" --export "$tmp/g.avi" "$tmp/longer.avi" 2>"$tmp/err.txt" || fail "longer: $(cat "$tmp/err.txt")"
grep -q "stopped decoding" "$tmp/err.txt" && fail "a whole video said to stop early: $(cat "$tmp/err.txt")"
no_temporary_file "$tmp"
echo "export sound: passed"
