#pragma once
// The 8 x 14 bitmap font of KPL_DrawChar.

#include <array>
#include <cstdint>

namespace kaplo {

inline constexpr int kGlyphCount = 96;  // codes 32..127
inline constexpr int kGlyphRows = 14;

// Glyph of code c is the 14 bytes from (c - 32) x 14; bit 7 is the leftmost column.
extern const std::array<uint8_t, kGlyphCount * kGlyphRows> kGlyphTable;

inline const uint8_t* glyph_rows(int code) {
    return kGlyphTable.data() + (code - 32) * kGlyphRows;
}

}  // namespace kaplo
