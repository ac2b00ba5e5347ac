#include "shell/status_text.h"

#include <gtest/gtest.h>

namespace {

TEST(StatusText, CentresOnThirtySixCells) {
    // "16-bit color" has 12 characters: indent 18 - 6 = 12.
    EXPECT_EQ(kaplo::centred_status_text("16-bit color"), std::string(12, ' ') + "16-bit color");
    EXPECT_EQ(kaplo::centred_status_text(""), std::string(18, ' '));
    // 35 characters: indent 18 - 17 = 1; 36 and more start at the left edge.
    EXPECT_EQ(kaplo::centred_status_text(std::string(35, 'a').c_str()), " " + std::string(35, 'a'));
    EXPECT_EQ(kaplo::centred_status_text(std::string(36, 'a').c_str()), std::string(36, 'a'));
    EXPECT_EQ(kaplo::centred_status_text(std::string(40, 'b').c_str()), std::string(40, 'b'));
}

TEST(StatusText, LongTextsAreCutAtSixtyThreeBytesOnACharacterBoundary) {
    EXPECT_EQ(kaplo::centred_status_text(std::string(100, 'x').c_str()), std::string(63, 'x'));
    // 62 ASCII bytes then a 3-byte character: the character must not be split.
    const std::string text = std::string(62, 'x') + "\xE3\x81\x82" + "tail";
    EXPECT_EQ(kaplo::centred_status_text(text.c_str()), std::string(62, 'x'));
    EXPECT_EQ(kaplo::centred_status_text(nullptr), std::string(18, ' '));
}

}  // namespace
