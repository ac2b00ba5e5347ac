#pragma once
#include <string>

namespace kaplo {

// The status line's text: centred on a field of 36 character cells by
// leading spaces (indent 18 - length / 2, never negative). Texts longer than
// 63 bytes are cut at 63 bytes, on a character boundary.
std::string centred_status_text(const char* text);

}  // namespace kaplo
