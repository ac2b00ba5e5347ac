#pragma once
// Image files: the step of loading that follows decoding, for callers that
// hold a decoded picture (pictures from memory, the fuzz target), and the
// names KPL_SaveImage writes (for the save dialog's replace question).
//
// Threads: worker thread only, like every call on the image store, except
// saved_file_name, which touches no state and may run on any thread.

#include <cstddef>
#include <string>

#include "platform/codecs.h"

namespace kaplo {

// Paths are at most 260 UTF-16 units with the terminator. A longer name is
// refused rather than cut, since a cut name would name another file.
inline constexpr size_t kMaxPathUnits = 259;

// The name KPL_SaveImage writes for `name` in `format` (its format number):
// `name` with the format's extension appended unless the name's last four
// characters, lower-cased, are exactly that extension (so "scan.tiff" still
// gets ".tif"). False when the format is unknown, the name has no file part
// (empty, or ending in '/') or the result does not fit in a path.
bool saved_file_name(int format, const char* name, std::string* out);

// Draws `pic` into the current image with its top-left corner at (x, y), at
// its own size and clipped; an 8-bit image first takes over the picture's
// colour table. The codes of KPL_LoadImage: 0 drawn, 1 empty picture,
// 2 current image not live.
int load_picture(const platform::Picture& pic, int x, int y);

}  // namespace kaplo
