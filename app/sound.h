#pragma once
// The sound of an exported video, written by FFmpeg's libraries into the same
// file as the pictures, in the same pass. Every audio stream of the input
// becomes an audio stream of the output: copied packet by packet when the
// output's container takes its format, otherwise re-encoded (AAC in .mp4,
// .mkv and .mov; 16-bit PCM in .avi).
//
// Usage, with `out` an output context whose video stream is added and whose
// header is not yet written:
//   SoundTrack sound;
//   if (!sound.add_streams("in.mp4", out, Container::Mp4, &why)) ...   // before the header
//   avformat_write_header(out, ...);
//   sound.write_until(out, 1.5, &why);   // before each picture: the sound up to its time
//   sound.finish(out, &why);             // the rest, encoders flushed; before the trailer
//
// Sound and pictures both start at the output's time 0: the sound keeps its
// offset from the input's first picture. Packets go through
// av_interleaved_write_frame, so the muxer orders them with the pictures.
//
// Threads: one thread at a time (the thread that writes the pictures).

#include <memory>
#include <string>

#include "output_file.h"

struct AVFormatContext;

namespace depth {

class SoundTrack {
  public:
    SoundTrack();
    ~SoundTrack();
    SoundTrack(const SoundTrack&) = delete;
    SoundTrack& operator=(const SoundTrack&) = delete;

    // Opens `input` (a path as plain_file_path gives it) and adds one output
    // stream to `out` for each of its audio streams. An input without sound
    // adds none and succeeds. False, with one line in *why, when the input's
    // sound cannot be read or encoded for `container`.
    bool add_streams(const std::string& input, AVFormatContext* out, Container container,
                     std::string* why);

    // True when add_streams added at least one stream.
    bool has_sound() const;

    // Writes the sound whose time (from the input's first picture) is below
    // `seconds`. False, with one line in *why, on any read, encode or write
    // error.
    bool write_until(AVFormatContext* out, double seconds, std::string* why);

    // Writes all the sound that is left and flushes the encoders.
    bool finish(AVFormatContext* out, std::string* why);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace depth
