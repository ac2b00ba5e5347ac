#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

using kaplo::platform::ansi_to_wide;
using kaplo::platform::wide_to_ansi;

TEST(TextConversion, RoundTripsJapaneseAndStopsAtCapacityOnCharacterBoundaries) {
    const char* text =
        "Start\xE3\x82\x92\xE3\x82\xAF\xE3\x83\xAA\xE3\x83\x83\xE3\x82\xAF.";  // Startをクリック.
    const std::u16string wide = ansi_to_wide(text, 256);
    EXPECT_EQ(wide, u"Startをクリック.");
    EXPECT_EQ(wide_to_ansi(wide, 256), text);
    EXPECT_EQ(ansi_to_wide(text, 6), u"Startを");
    // 7 bytes: "Start" and two bytes of a three-byte character -> "Start".
    EXPECT_EQ(wide_to_ansi(wide, 7), "Start");
    // A surrogate pair is kept whole or dropped whole.
    EXPECT_EQ(ansi_to_wide("a\xF0\x9F\x98\x80", 2), u"a");
    EXPECT_EQ(ansi_to_wide(nullptr, 10), u"");
}

}  // namespace
