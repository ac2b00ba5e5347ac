#pragma once
// The commands of the process pop-up menu, by subsystem. Each takes the
// command number that reached an image window and answers whether it was one
// of its own (and carried it out).

#include "platform/platform.h"

namespace kaplo {

// The pixel report, row profiles and Cr-Cb plots.
bool measurement_command(platform::WindowId window, int32_t id);
// Invert, flips, rotations, rescaling, clipping, colours, drawing by hand,
// test patterns.
bool image_command(platform::WindowId window, int32_t id);
// "Draw Text", TrueType "Draw" and "Font Change".
bool text_command(platform::WindowId window, int32_t id);

}  // namespace kaplo
