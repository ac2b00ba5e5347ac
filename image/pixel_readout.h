#pragma once
// The pixel readout: while it is on and no mouse tool runs, the main
// window's status line shows the image pixel under the pointer and its
// colour, over the program's own status text, which comes back when the
// pointer leaves the window or the readout is turned off. On or off for the
// whole program (KPL_SetPixelReadout, the process menu's "Pixel Readout").
//
// Threads: worker thread only. The pointer's moves reach the worker as the
// image window's other messages do, so the pixel is read straight from the
// image's buffer, which the worker owns: no lock, nothing copied.

#include <cstdint>

#include "platform/platform.h"

namespace kaplo {

bool pixel_readout_on();
// The pointer is over pixel (x, y) of image `number`, shown in `window`
// (image coordinates: the zoom already taken out).
void readout_pointer_at(platform::WindowId window, int number, int32_t x, int32_t y);
// The pointer left `window`, or the window is going away.
void readout_pointer_gone(platform::WindowId window);

}  // namespace kaplo
