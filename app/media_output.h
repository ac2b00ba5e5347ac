#pragma once
// The exported video file, written in one pass by FFmpeg's libraries: the
// pictures encoded here (libavcodec, colours converted by libswscale), the
// input's sound through SoundTrack, both interleaved into the container by
// libavformat. Every library error, a failed write among them (a full disk,
// a file size limit), ends the writing with one line.
//
// Usage:
//   Codec codec;  std::string note;
//   if (!choose_codec(Container::Mp4, Codec::Default, &codec, &why, &note)) ...
//   MediaOutput out;
//   if (!out.open(temp, "clip3d.mp4", {Container::Mp4, codec, 55, size, 25.0},
//                 &sound, "./clip.avi", &why)) ...
//   for (each picture) if (!out.write_frame(bgr, &why)) ...
//   if (!out.finish(&why)) ...   // the file is complete only after this
//
// Threads: one thread at a time; the encoders run threads of their own.

#include <memory>
#include <opencv2/core.hpp>
#include <string>

#include "codec_choice.h"
#include "output_file.h"

namespace depth {

class SoundTrack;

// The codec an export of `asked` into `container` writes. When the system's
// FFmpeg has no encoder for the container's default (H.264), MPEG-4 part 2
// stands in and *note says so in one line; false, with one line in *why,
// when a codec asked by name has no encoder.
bool choose_codec(Container container, Codec asked, Codec* used, std::string* why,
                  std::string* note);

struct MediaSettings {
    Container container = Container::Avi;
    Codec codec = Codec::Mjpeg;  // never Default: what choose_codec gave
    int quality = 90;            // 0 to 100 (codec_choice.h has each codec's scale)
    cv::Size size;               // even sides of at least 16
    double fps = 25;
    int threads = 0;  // the encoder's threads; 0: one per core, or as the codec decides
};

class MediaOutput {
  public:
    MediaOutput();
    ~MediaOutput();  // an unfinished file is closed as it is (the caller removes it)
    MediaOutput(const MediaOutput&) = delete;
    MediaOutput& operator=(const MediaOutput&) = delete;

    // Writes the container's header into `path` (a file as plain_file_path
    // gives it, written over), with a video stream for `settings` and the
    // audio streams `sound` adds from `sound_input`. `shown` is the output's
    // name in messages. False, with one line in *why, when the encoder or the
    // container refuses, or the input's sound cannot be read.
    bool open(const std::string& path, const std::string& shown, const MediaSettings& settings,
              SoundTrack* sound, const std::string& sound_input, std::string* why);

    // Encodes one picture (8-bit blue, green, red, of the opened size) after
    // the sound up to its time.
    bool write_frame(const cv::Mat& bgr, std::string* why);

    // The encoder's delayed pictures, the rest of the sound, the container's
    // index; the file closed. False, with one line, on any failed write.
    bool finish(std::string* why);

  private:
    struct State;
    std::unique_ptr<State> s_;
};

}  // namespace depth
