// Test patterns against their worked pixels.

#include "image_fixture.h"

namespace {

using Patterns = ImageTest;

TEST_F(Patterns, RgbCorners) {
    make(0, 256, 256);
    KPL_TestPatternRgb();
    EXPECT_EQ(KPL_GetPixel(0, 0), rgb(0, 0, 255));
    EXPECT_EQ(KPL_GetPixel(255, 0), rgb(254, 0, 128));
    EXPECT_EQ(KPL_GetPixel(255, 255), rgb(254, 254, 1));
    EXPECT_EQ(pen_x(), 255);
    EXPECT_EQ(pen_y(), 255);
}

TEST_F(Patterns, ColourDifferencePatternsAreBlackInTheCentre) {
    make(0, 256, 256);
    for (auto pattern : {KPL_TestPatternYCrCb, KPL_TestPatternYuv, KPL_TestPatternYiq}) {
        KPL_ClearImage(0);
        pattern();
        EXPECT_EQ(KPL_GetPixel(128, 128), 0);
        EXPECT_NE(KPL_GetPixel(0, 0), 0);
    }
    KPL_TestPatternYCrCb();
    EXPECT_EQ(KPL_GetPixel(128, 0), rgb(255, 192, 255));
    EXPECT_EQ(KPL_GetPixel(0, 128), rgb(255, 255, 58));
}

TEST_F(Patterns, HsvTopWhiteMiddleRed) {
    make(0, 90, 60);
    KPL_TestPatternHsv();
    EXPECT_EQ(KPL_GetPixel(0, 0), rgb(255, 255, 255));
    EXPECT_EQ(KPL_GetPixel(0, 30), rgb(255, 0, 0));
    EXPECT_EQ(KPL_GetBrightness(KPL_GetPixel(45, 59)), 255 - 255 * 29 / 30);
    EXPECT_EQ(KPL_GetPixel(45, 30), KPL_HsvToRgb(255, 255, 359 * 45 / 90));
}

TEST_F(Patterns, HsvOnOnePixelHighImageDrawsTheSaturatedHues) {
    make(0, 360, 1);
    KPL_TestPatternHsv();
    EXPECT_EQ(KPL_GetPixel(0, 0), rgb(255, 0, 0));
    for (int x = 0; x < 360; x += 7) {
        EXPECT_EQ(KPL_GetSaturation(KPL_GetPixel(x, 0)), 255);
        EXPECT_EQ(KPL_GetBrightness(KPL_GetPixel(x, 0)), 255);
    }
    make(1, 1, 1);
    KPL_TestPatternHsv();
    EXPECT_EQ(KPL_GetPixel(0, 0), rgb(255, 0, 0));
}

TEST_F(Patterns, GreyRampAndReversedLowerHalf) {
    make(0, 256, 10);
    KPL_TestPatternGrey();
    EXPECT_EQ(KPL_GetPixel(0, 0), 0);
    EXPECT_EQ(KPL_GetPixel(255, 4), 0xFEFEFE);
    EXPECT_EQ(KPL_GetPixel(0, 5), 0xFFFFFF);
    EXPECT_EQ(KPL_GetPixel(255, 9), 0x010101);
}

TEST_F(Patterns, GreyOnEightBitResetsTheColourTable) {
    make(0, 16, 4, 8);
    uint32_t red[256];
    for (auto& c : red) c = 0xFF0000;
    KPL_SetPalette(red, 256);
    KPL_TestPatternGrey();
    uint32_t table[256];
    KPL_GetPalette(table);
    for (uint32_t i = 0; i < 256; ++i) ASSERT_EQ(table[i], i * 0x010101u);
    EXPECT_EQ(KPL_GetPixel(8, 0), 127);
}

TEST_F(Patterns, EightBitImagesKeepTheLowByte) {
    make(0, 256, 256, 8);
    KPL_TestPatternRgb();
    EXPECT_EQ(KPL_GetPixel(255, 0), 128);
}

TEST_F(Patterns, FreeCurrentImageIsLeftAlone) {
    for (auto pattern : {KPL_TestPatternRgb, KPL_TestPatternGrey, KPL_TestPatternHsv,
                         KPL_TestPatternYCrCb, KPL_TestPatternYuv, KPL_TestPatternYiq})
        pattern();
    EXPECT_EQ(pen_x(), 0);
}

TEST_F(Patterns, OneRowGreyDoesNotLeaveTheImage) {
    make(0, 4, 1);
    KPL_TestPatternGrey();
    EXPECT_EQ(KPL_GetPixel(0, 0), 0xFFFFFF);
}

}  // namespace
