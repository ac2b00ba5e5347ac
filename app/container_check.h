#pragma once
// Whether a finished video file is whole. The video library does not report
// failed writes (a full disk, a file size limit): the file it leaves looks
// finished but is cut. Both containers an export writes keep the sizes of
// their top-level parts in the file, patched in when the file is closed, so a
// file is whole when those parts follow each other exactly to its end:
//   AVI: "RIFF" chunks ("AVI ", then "AVIX" past the first gigabyte);
//   MP4: boxes, among them "moov", the index without which nothing plays.
//
// Threads: any.

#include <string>

#include "output_file.h"

namespace depth {

bool container_is_whole(const std::string& path, Container container);

}  // namespace depth
