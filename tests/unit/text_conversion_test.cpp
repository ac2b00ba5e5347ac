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

TEST(Clock, DifferencesAreTakenUnsignedAcrossTheWrap) {
    const uint32_t before = 0xFFFFFFF0u, after = 0x00000010u;
    EXPECT_EQ(after - before, 0x20u);
    const uint32_t a = kaplo::platform::millis();
    const uint32_t b = kaplo::platform::millis();
    EXPECT_LE(b - a, 1000u);
}

}  // namespace
