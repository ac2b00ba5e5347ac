#pragma once
// The program's three image windows: "source" (W x H) at (0, 0), "depth"
// (W x H) at (0, 300) and "conv" (2W x H) at (0, 400), all zoom 100, 32-bit.
//
// The user may close (and later commands may resize or re-create) any of
// them while the video plays. Before each frame the program makes sure each
// one is live with the size the frame needs, so that no write can land in
// another window or past a buffer's end.
//
// Threads: the worker thread (the windows belong to it).

#include <cstdint>

namespace depth {

// Requests the three windows as a Start does: a number already in use keeps
// its window, whatever its size.
void request_frame_windows(int32_t width, int32_t height);

// Makes images 0, 1 and 2 live with the frame's sizes: a missing window is
// created again at its place, a window of another size or depth is destroyed
// and created again. Returns -1 when all three are ready, otherwise the
// number of the image that could not be made (nothing is written then).
int ensure_frame_windows(int32_t width, int32_t height);

}  // namespace depth
