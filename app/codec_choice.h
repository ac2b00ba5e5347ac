#pragma once
// Which video codec an export writes, and which containers hold which codec.
//
//              .avi   .mp4   .mkv   .mov
//   mjpeg       yes     -     yes    yes
//   mpeg4       yes    yes    yes    yes
//   h264        yes    yes    yes    yes
//   h265         -     yes    yes    yes
//
// The default is Motion JPEG in .avi and H.264 elsewhere (what browsers and
// televisions play).
//
// Threads: any.

#include <string>

#include "output_file.h"

namespace depth {

enum class Codec { Default, Mjpeg, Mpeg4, H264, H265 };

// Names as the command line takes them: mjpeg, mpeg4, h264, h265. False for
// any other name.
bool parse_codec(const char* name, Codec* codec);
const char* codec_name(Codec codec);        // "mjpeg", ... ("default" for Default)
const char* container_name(Container c);    // ".avi", ...
const char* container_format(Container c);  // FFmpeg's muxer: "avi", "mp4", "matroska", "mov"

// --quality, 0 (smallest file) to 100 (best picture), on each codec's own
// scale:
//   h264, h265    CRF = 51 - quality x 51 / 100, rounded (100: CRF 0, 0: CRF 51);
//                 default quality 55 = CRF 23, the x264 encoder's own default
//   mjpeg, mpeg4  q = 31 - quality x 29 / 100, rounded (100: q 2, 0: q 31);
//                 default quality 90 = q 5
int default_quality(Codec codec);
int crf_for_quality(int quality);
int qscale_for_quality(int quality);

// The codec `asked` resolves to in `container` (Default: the container's own).
Codec codec_for(Container container, Codec asked);

// True when `container` can hold `codec` (Default always fits); otherwise
// false with one line in *why naming the containers that can.
bool container_takes(Container container, Codec codec, std::string* why);

}  // namespace depth
