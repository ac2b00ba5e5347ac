#pragma once
// Image files: the step of loading that follows decoding, for callers that
// hold a decoded picture (pictures from memory, the fuzz target).
//
// Threads: worker thread only, like every call on the image store.

#include "platform/codecs.h"

namespace kaplo {

// Draws `pic` into the current image with its top-left corner at (x, y), at
// its own size and clipped; an 8-bit image first takes over the picture's
// colour table. The codes of KPL_LoadImage: 0 drawn, 1 empty picture,
// 2 current image not live.
int load_picture(const platform::Picture& pic, int x, int y);

}  // namespace kaplo
