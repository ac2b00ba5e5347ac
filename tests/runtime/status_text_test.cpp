#include "runtime/status_text.h"

#include <gtest/gtest.h>

namespace {

// Centred on 36 cells (indent 18 - length / 2), cut to 63 bytes on a
// character boundary.
TEST(StatusText, CentredOnThirtySixCellsAndCutAtSixtyThreeBytes) {
    const std::string a35(35, 'a'), a36(36, 'a'), x100(100, 'x');
    const std::string split = std::string(62, 'x') + "\xE3\x81\x82" + "tail";
    const std::pair<const char*, std::string> cases[] = {
        {"16-bit color", std::string(12, ' ') + "16-bit color"},
        {"", std::string(18, ' ')},
        {nullptr, std::string(18, ' ')},
        {a35.c_str(), " " + a35},
        {a36.c_str(), a36},
        {x100.c_str(), std::string(63, 'x')},
        {split.c_str(), std::string(62, 'x')},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(kaplo::centred_status_text(text), expected) << (text ? text : "null");
}

}  // namespace
