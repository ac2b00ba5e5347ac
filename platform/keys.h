#pragma once
// Virtual-key codes carried by KeyDown messages. Letters and digits are their
// upper-case ASCII codes; the rest follow the classic desktop numbering so
// that key tables read the same as in every other desktop program.

#include <cstdint>

namespace kaplo::platform::key {

inline constexpr int32_t kBack = 0x08;
inline constexpr int32_t kTab = 0x09;
inline constexpr int32_t kReturn = 0x0D;
inline constexpr int32_t kShift = 0x10;
inline constexpr int32_t kControl = 0x11;
inline constexpr int32_t kMenu = 0x12;  // Alt
inline constexpr int32_t kEscape = 0x1B;
inline constexpr int32_t kSpace = 0x20;
inline constexpr int32_t kPrior = 0x21;  // Page Up
inline constexpr int32_t kNext = 0x22;   // Page Down
inline constexpr int32_t kEnd = 0x23;
inline constexpr int32_t kHome = 0x24;
inline constexpr int32_t kLeft = 0x25;
inline constexpr int32_t kUp = 0x26;
inline constexpr int32_t kRight = 0x27;
inline constexpr int32_t kDown = 0x28;
inline constexpr int32_t kInsert = 0x2D;
inline constexpr int32_t kDelete = 0x2E;
// The numeric keypad has codes of its own, distinct from the main keyboard's.
inline constexpr int32_t kNumpad0 = 0x60;  // keypad 0..9 are consecutive
inline constexpr int32_t kMultiply = 0x6A;
inline constexpr int32_t kAdd = 0x6B;
inline constexpr int32_t kSubtract = 0x6D;
inline constexpr int32_t kDecimal = 0x6E;
inline constexpr int32_t kDivide = 0x6F;
inline constexpr int32_t kF1 = 0x70;  // F1..F24 are consecutive
// Main keyboard punctuation that key tables look for.
inline constexpr int32_t kOemPlus = 0xBB;   // the = / + key
inline constexpr int32_t kOemMinus = 0xBD;  // the - / _ key

}  // namespace kaplo::platform::key
