#pragma once
// What a video's container states about its video stream, read by FFmpeg's
// demuxer from the file's headers without decoding a frame.
//
// Threads: any.

#include <cstdint>
#include <string>

namespace depth {

// The number of frames the container states for its video stream (the AVI
// header, the MP4 sample table), or -1 when it states none (Matroska, for
// one) or the file cannot be read. Unlike the video library's frame count,
// never an estimate made from durations, which take in the sound and round.
// `path` must name a file as plain_file_path gives it.
int64_t stated_frame_count(const std::string& path);

}  // namespace depth
