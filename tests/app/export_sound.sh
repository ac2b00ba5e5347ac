#!/usr/bin/env bash
# The sound of an exported video: videos made here with a tone (PCM in AVI,
# AAC in MP4) keep an audio stream of the same length in both containers; a
# silent video gives none.
. "$(dirname "$0")/export_lib.sh"
command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null ||
  fail "ffmpeg is not installed (scripts/install-deps installs it)"

make_input() {  # NAME VIDEO_CODEC [AUDIO_CODEC]: 2 s of a test picture, with a tone if given
  local name=$1 vcodec=$2 acodec=${3:-}
  local tone=() sound=(-an)
  if [ -n "$acodec" ]; then
    tone=(-f lavfi -i sine=frequency=440:sample_rate=22050)
    sound=(-c:a "$acodec")
  fi
  ffmpeg -v error -nostdin -f lavfi -i testsrc=size=96x64:rate=24 "${tone[@]}" -t 2 \
    -c:v "$vcodec" "${sound[@]}" "$tmp/$name" || fail "could not make $name"
}
make_input tone.avi mjpeg pcm_s16le
make_input tone.mp4 mpeg4 aac
make_input silent.avi mjpeg

audio_streams() {
  ffprobe -v error -select_streams a -show_entries stream=index -of csv=p=0 "$1" | wc -l
}
# Seconds of sound: the sum of the durations ffprobe gives the audio packets
# (a stream's own duration is not kept by every container).
seconds_of_sound() {
  ffprobe -v error -select_streams a:0 -show_entries packet=duration_time -of csv=p=0 "$1" |
    awk '{ s += $1 } END { printf "%.3f", s }'
}

for pair in tone.avi:a.avi tone.avi:b.mp4 tone.mp4:c.avi tone.mp4:d.mp4; do
  in=${pair%%:*} out=${pair##*:}
  "$prog" --export "$tmp/$out" "$tmp/$in" 2>"$tmp/err.txt" || fail "$in -> $out: $(cat "$tmp/err.txt")"
  [ "$(audio_streams "$tmp/$out")" -eq 1 ] || fail "$in -> $out: no audio stream"
  want=$(seconds_of_sound "$tmp/$in") got=$(seconds_of_sound "$tmp/$out")
  awk -v a="$want" -v b="$got" 'BEGIN { d = a - b; exit !(a > 1.9 && d < 0.1 && d > -0.1) }' ||
    fail "$in -> $out: $got s of sound, the input has $want s"
  [ "$("$video_info" "$tmp/$out")" = "48 192 64" ] || fail "$in -> $out: frames $("$video_info" "$tmp/$out")"
done

"$prog" --export "$tmp/e.avi" "$tmp/silent.avi" 2>"$tmp/err.txt" || fail "silent: $(cat "$tmp/err.txt")"
[ "$(audio_streams "$tmp/e.avi")" -eq 0 ] || fail "a silent video gained an audio stream"
grep -q sound "$tmp/err.txt" && fail "silent: $(cat "$tmp/err.txt")"

# A video whose sound runs a little longer than its pictures: its AVI header
# counts one frame more than it holds, which is no missing frame.
ffmpeg -v error -nostdin -f lavfi -i testsrc=size=96x64:rate=24:duration=2 \
  -f lavfi -i sine=frequency=440:sample_rate=22050:duration=2.1 -c:v mjpeg -c:a pcm_s16le \
  "$tmp/longer.avi" || fail "could not make longer.avi"
"$prog" --export "$tmp/g.avi" "$tmp/longer.avi" 2>"$tmp/err.txt" || fail "longer: $(cat "$tmp/err.txt")"
grep -q "stopped decoding" "$tmp/err.txt" && fail "a whole video said to stop early: $(cat "$tmp/err.txt")"

echo "export sound: passed"
