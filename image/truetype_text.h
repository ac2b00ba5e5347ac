#pragma once
// The process-wide TrueType state behind KPL_SetTrueTypeSize and
// KPL_DrawTrueTypeChar: the font and the cell it draws in (worker thread).

#include <cstdint>

#include "platform/truetype.h"

namespace kaplo {

struct TrueTypeState {
    platform::FontDescription font;  // what every character is drawn with
    int32_t cell_width;              // half the box width of the last size set
    int32_t cell_height;             // a line break moves the baseline by this
};

// The state; starts as a 16-pixel Japanese-capable face, 8 wide, in an
// 8 x 16 cell, upright, normal weight, not underlined.
TrueTypeState& truetype_state();

}  // namespace kaplo
