// Test patterns against their worked pixels.

#include "image_fixture.h"

namespace {

using Patterns = ImageTest;

TEST_F(Patterns, WorkedPixels) {
    struct Case {
        void (*pattern)();
        int width, height, depth, x, y;
        int32_t expected;
    };
    const Case cases[] = {
        {KPL_TestPatternRgb, 256, 256, 32, 0, 0, rgb(0, 0, 255)},
        {KPL_TestPatternRgb, 256, 256, 32, 255, 0, rgb(254, 0, 128)},
        {KPL_TestPatternRgb, 256, 256, 32, 255, 255, rgb(254, 254, 1)},
        {KPL_TestPatternRgb, 256, 256, 8, 255, 0, 128},  // 8-bit keeps the low byte
        {KPL_TestPatternYCrCb, 256, 256, 32, 128, 128, 0},
        {KPL_TestPatternYCrCb, 256, 256, 32, 128, 0, rgb(255, 192, 255)},
        {KPL_TestPatternYCrCb, 256, 256, 32, 0, 128, rgb(255, 255, 58)},
        {KPL_TestPatternYuv, 256, 256, 32, 128, 128, 0},
        {KPL_TestPatternYuv, 256, 256, 32, 150, 110, rgb(79, 42, 103)},
        {KPL_TestPatternYiq, 256, 256, 32, 128, 128, 0},
        {KPL_TestPatternYiq, 256, 256, 32, 150, 110, rgb(90, 41, 79)},
        {KPL_TestPatternHsv, 90, 60, 32, 0, 0, rgb(255, 255, 255)},
        {KPL_TestPatternHsv, 90, 60, 32, 0, 30, rgb(255, 0, 0)},
        {KPL_TestPatternHsv, 90, 60, 32, 45, 30, KPL_HsvToRgb(255, 255, 359 * 45 / 90)},
        {KPL_TestPatternHsv, 90, 60, 32, 45, 59, KPL_HsvToRgb(255 - 255 * 29 / 30, 255, 179)},
        {KPL_TestPatternHsv, 360, 1, 32, 0, 0, rgb(255, 0, 0)},  // one row: saturated hues
        {KPL_TestPatternHsv, 1, 1, 32, 0, 0, rgb(255, 0, 0)},
        {KPL_TestPatternGrey, 256, 10, 32, 0, 0, 0},
        {KPL_TestPatternGrey, 256, 10, 32, 255, 4, 0xFEFEFE},
        {KPL_TestPatternGrey, 256, 10, 32, 0, 5, 0xFFFFFF},  // the lower half reversed
        {KPL_TestPatternGrey, 256, 10, 32, 255, 9, 0x010101},
        {KPL_TestPatternGrey, 4, 1, 32, 0, 0, 0xFFFFFF},  // one row: the lower half only
        {KPL_TestPatternGrey, 16, 4, 8, 8, 0, 127},
    };
    for (const Case& c : cases) {
        kaplo::image_store_reset_for_tests();
        make(0, c.width, c.height, c.depth);
        c.pattern();
        EXPECT_EQ(KPL_GetPixel(c.x, c.y), c.expected)
            << c.width << "x" << c.height << "x" << c.depth << " at " << c.x << "," << c.y;
        EXPECT_EQ(pen_x(), c.width - 1);  // drawn to the last pixel
        EXPECT_EQ(pen_y(), c.height - 1);
    }
}

TEST_F(Patterns, GreyOnEightBitResetsTheColourTableAndAFreeImageIsLeftAlone) {
    for (auto pattern : {KPL_TestPatternRgb, KPL_TestPatternGrey, KPL_TestPatternHsv,
                         KPL_TestPatternYCrCb, KPL_TestPatternYuv, KPL_TestPatternYiq})
        pattern();
    EXPECT_EQ(pen_x(), 0);
    make(0, 16, 4, 8);
    std::vector<uint32_t> table(256, 0xFF0000);
    KPL_SetPalette(table.data(), 256);
    KPL_TestPatternGrey();
    KPL_GetPalette(table.data());
    for (uint32_t i = 0; i < 256; ++i) ASSERT_EQ(table[i], i * 0x010101u);
}

}  // namespace
