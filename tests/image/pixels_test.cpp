// Pixel access, the pen position and the colour models.

#include <tuple>

#include "image/colour_models.h"
#include "image_fixture.h"

namespace {

using PixelAccess = ImageTest;

TEST_F(PixelAccess, PointsOutsideAreIgnoredOnWritesAndReadAsZeroOrMinusOne) {
    make(0, 4, 3);
    KPL_SetPixel(3, 2, -1);  // 32-bit writes keep the whole value
    EXPECT_EQ(KPL_GetPixel(3, 2), -1);
    EXPECT_EQ(kaplo::pixels32[0][11], 0xFFFFFFFFu);
    KPL_SetPixel(3, 2, 0x00ABCDEF);
    EXPECT_EQ(KPL_ProbePixel(3, 2), 0x00ABCDEF);
    KPL_SetPixel(4, 0, 1);
    KPL_SetPixel(0, 3, 1);
    KPL_SetPixel(-1, 0, 0x123456);  // the pen moves all the same
    EXPECT_EQ(std::tuple(pen_x(), pen_y(), lit().size()), std::tuple(-1, 0, size_t{1}));
    KPL_SetPixelNoMove(1, 1, 7);
    EXPECT_EQ(std::pair(pen_x(), KPL_GetPixel(1, 1)), std::pair(-1, 7));
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {4, 0}, {0, 3}, {INT32_MIN, INT32_MAX}})
        EXPECT_EQ(std::pair(KPL_GetPixel(x, y), KPL_ProbePixel(x, y)), std::pair(0, -1));
    // A freed slot has no buffer: nothing is written or read.
    kaplo::release_image_slot(0);
    KPL_SetPixel(1, 1, 5);
    KPL_InvertPixel(1, 1);
    EXPECT_EQ(std::pair(KPL_GetPixel(1, 1), KPL_ProbePixel(1, 1)), std::pair(0, -1));
    EXPECT_EQ(kaplo::pixels32[0], nullptr);
}

TEST_F(PixelAccess, EightBitImagesStoreTheLowByteWithPaddedRows) {
    make(0, 5, 2, 8);
    EXPECT_EQ(kaplo::detail::row_bytes(kaplo::detail::image_views[0]), 8u);
    KPL_SetPixel(0, 1, 0x1234);
    EXPECT_EQ(std::pair(kaplo::pixels8[0][8], KPL_GetPixel(0, 1)), std::pair(uint8_t{0x34}, 0x34));
    KPL_SetPixel(4, 0, 0xFF);
    EXPECT_EQ(std::pair(KPL_GetPixel(4, 0), KPL_ProbePixel(4, 0)), std::pair(255, 255));
    EXPECT_EQ(kaplo::pixels8[0][5], 0) << "padding bytes belong to no pixel";
}

TEST_F(PixelAccess, InvertFlipsColourBytesOrTheIndex) {
    make(0, 2, 2);
    KPL_SetPixel(0, 0, 0x7F000000 | rgb(18, 52, 86));
    KPL_InvertPixel(0, 0);
    EXPECT_EQ(KPL_GetPixel(0, 0), 0x7F000000 | rgb(237, 203, 169));
    KPL_InvertPixel(-5, 9);
    EXPECT_EQ(std::pair(pen_x(), pen_y()), std::pair(-5, 9));
    KPL_InvertPixelNoMove(0, 0);
    EXPECT_EQ(std::pair(pen_x(), KPL_GetPixel(0, 0)), std::pair(-5, 0x7F000000 | rgb(18, 52, 86)));
    make(1, 2, 2, 8);
    KPL_SetPixel(1, 1, 10);
    KPL_InvertPixel(1, 1);
    EXPECT_EQ(KPL_GetPixel(1, 1), 245);
}

TEST(ColourModels, RgbToHsvWorkedValues) {
    const int cases[][6] = {{255, 128, 0, 30, 255, 255},  {18, 52, 86, 210, 68, 86},
                            {128, 128, 128, 0, 0, 128},   {255, 255, 0, 60, 255, 255},
                            {0, 255, 255, 180, 255, 255}, {255, 0, 255, 300, 255, 255},
                            {0, 0, 1, 240, 1, 1},         {0, 0, 0, 0, 0, 0}};
    for (const auto& c : cases) {
        int32_t h = -1, s = -1, v = -1;
        const int32_t value = rgb(c[0], c[1], c[2]);
        KPL_RgbToHsv(value, &h, &s, &v);
        EXPECT_EQ(std::tuple(h, s, v), std::tuple(c[3], c[4], c[5]))
            << c[0] << "," << c[1] << "," << c[2];
        EXPECT_EQ(std::tuple(KPL_GetHue(value), KPL_GetSaturation(value), KPL_GetBrightness(value)),
                  std::tuple(c[3], c[4], c[5]));
    }
    // The top byte is not part of the colour.
    EXPECT_EQ(KPL_GetHue(static_cast<int32_t>(0xFF000000u) | rgb(255, 128, 0)), 30);
    int32_t r, g, b;
    KPL_SplitRgb(static_cast<int32_t>(0xAA123456u), &r, &g, &b);
    EXPECT_EQ(std::tuple(r, g, b), std::tuple(0x12, 0x34, 0x56));
}

TEST(ColourModels, HsvToRgbWorkedValuesAndNoClamping) {
    const int32_t cases[][4] = {
        {255, 255, 30, rgb(255, 127, 0)},
        {86, 68, 210, rgb(18, 52, 86)},
        {255, 0, 123, rgb(255, 255, 255)},
        // V above 255 spills into the next byte; a negative H falls in the first row.
        {256, 0, 0, 256 * 65536 + 256 * 256 + 256},
        {255, 255, -60, 255 * 65536 + (-255) * 256},
        // Saturation above the value makes the minimum 0, not negative.
        {100, 200, 0, rgb(100, 0, 0)},
    };
    for (const auto& c : cases) EXPECT_EQ(KPL_HsvToRgb(c[0], c[1], c[2]), c[3]) << c[2];
    // Extreme inputs stay defined.
    (void)KPL_HsvToRgb(INT32_MAX, INT32_MIN, INT32_MAX);
    (void)KPL_HsvToRgb(INT32_MIN, INT32_MAX, INT32_MIN);
}

// One colour in each hue sector.
TEST(ColourModels, HsvRoundTripKeepsValueAndSaturationAndHueWithinOne) {
    for (int h : {20, 95, 150, 200, 270, 340}) {
        int32_t h2, s2, v2;
        KPL_RgbToHsv(KPL_HsvToRgb(221, 180, h), &h2, &s2, &v2);
        EXPECT_EQ(std::tuple(v2, s2), std::tuple(221, 180)) << h;
        EXPECT_LE(std::abs(h2 - h), 1) << h;
    }
}

TEST(ColourModels, FixedPointComponentsAndThePublicCalls) {
    // value: luminance, Cr, Cb, U, V, I, Q
    const int32_t cases[][8] = {{rgb(255, 0, 0), 76, 128, -42, -36, 157, 152, 53},
                                {rgb(0, 255, 0), 150, -106, -83, -73, -130, -69, -126},
                                {rgb(0, 0, 255), 29, -20, 128, 111, -25, -81, 74},
                                {rgb(255, 255, 255), 255, 0, 0, 0, 0, 0, 0}};
    for (const auto& c : cases) {
        // The public conversions give what the pixel report prints.
        std::vector<int32_t> got(9);
        KPL_RgbToYCrCb(c[0], &got[0], &got[1], &got[2]);
        KPL_RgbToYuv(c[0], &got[3], &got[4], &got[5]);
        KPL_RgbToYiq(c[0], &got[6], &got[7], &got[8]);
        EXPECT_EQ(got,
                  (std::vector<int32_t>{c[1], c[2], c[3], c[1], c[4], c[5], c[1], c[6], c[7]}));
    }
}

}  // namespace
