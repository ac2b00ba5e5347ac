// The image store's table logic: zoom fitting, selection history, colour
// tables, block copies, clearing, captions and the size gate.

#include <cstring>

#include "image/zoom_fit.h"
#include "image_fixture.h"

namespace {

using kaplo::fit_zoom;
using kaplo::ScreenMetrics;
using kaplo::SizeLimits;
using kaplo::ZoomFit;

// A 1920 x 1080 screen with a 23-pixel caption, 4-pixel frames and a 136 x 39
// minimum window.
constexpr ScreenMetrics kFullHd{1920, 1080, 23, 4, 136, 39};

SizeLimits limits(int mode, const ScreenMetrics& m = kFullHd) {
    SizeLimits l{};
    EXPECT_TRUE(kaplo::image_size_limits(mode, m, &l));
    return l;
}

TEST(ZoomFitting, SizeLimits) {
    const SizeLimits one = limits(1);
    EXPECT_EQ(one.min_width, 128);
    EXPECT_EQ(one.min_height, 39 - 8 - 23);
    EXPECT_EQ(one.max_width, 1920);
    EXPECT_EQ(one.max_height, 1057);
    const SizeLimits zero = limits(0);
    EXPECT_EQ(zero.min_width, 1);
    EXPECT_EQ(zero.min_height, 1);
    EXPECT_EQ(zero.max_width, 3840);
    EXPECT_EQ(zero.max_height, 2160);
    SizeLimits untouched{7, 7, 7, 7};
    EXPECT_FALSE(kaplo::image_size_limits(2, kFullHd, &untouched));
    EXPECT_EQ(untouched.min_width, 7);
}

TEST(ZoomFitting, WorkedExamples) {
    ZoomFit f{};
    ASSERT_TRUE(fit_zoom(640, 480, 50, limits(1), &f));
    EXPECT_EQ(f.zoom, 50);
    EXPECT_EQ(f.display_width, 320);
    EXPECT_EQ(f.display_height, 240);

    ASSERT_TRUE(fit_zoom(4000, 3000, 100, limits(1), &f));
    EXPECT_EQ(f.zoom, 35);
    EXPECT_EQ(f.display_width, 1400);
    EXPECT_EQ(f.display_height, 1050);

    ASSERT_TRUE(fit_zoom(768, 576, 100, limits(1), &f));  // a fitting zoom comes back unchanged
    EXPECT_EQ(f.zoom, 100);
    EXPECT_EQ(f.display_width, 768);
}

TEST(ZoomFitting, TinyImagesGrowToTheMinimumWindow) {
    ZoomFit f{};
    ASSERT_TRUE(fit_zoom(1, 1, 100, limits(1), &f));
    EXPECT_EQ(f.zoom, 12800);
    EXPECT_EQ(f.display_width, 128);
    EXPECT_EQ(f.display_height, 128);
    // Long and thin: reaching the minimum width pushes the height past the screen.
    EXPECT_FALSE(fit_zoom(1, 100, 100, limits(1), &f));
    // Very wide and one pixel high: shrinking makes the height 0, growing it
    // back to the minimum height makes the width too wide.
    EXPECT_FALSE(fit_zoom(16384, 1, 100, limits(1), &f));
}

TEST(ZoomFitting, ExtremeZoomsAndSidesStayDefined) {
    ZoomFit f{};
    ASSERT_TRUE(fit_zoom(16384, 16384, INT32_MAX, limits(1), &f));
    EXPECT_LE(f.display_width, 1920);
    EXPECT_LE(f.display_height, 1057);
    ASSERT_TRUE(fit_zoom(640, 480, 0, limits(1), &f));
    EXPECT_GE(f.display_width, 128);
    ASSERT_TRUE(fit_zoom(640, 480, -50, limits(1), &f));
    EXPECT_GE(f.display_height, 8);
    // Mode 0 lets a one-pixel window through and allows up to twice the screen.
    ASSERT_TRUE(fit_zoom(1, 1, 100, limits(0), &f));
    EXPECT_EQ(f.display_width, 1);
    ASSERT_TRUE(fit_zoom(3000, 2000, 100, limits(0), &f));
    EXPECT_EQ(f.zoom, 100);
}

using Store = ImageTest;

TEST_F(Store, SelectionHistoryPushesAndPops) {
    make(3, 2, 2);  // selected from current 0
    make(5, 2, 2);
    EXPECT_EQ(kaplo::current_image(), 5);
    EXPECT_EQ(KPL_SelectPreviousImage(), 0);
    EXPECT_EQ(kaplo::current_image(), 3);
    kaplo::image_store_attach_buffer_for_tests(0, 2, 2, 32);
    EXPECT_EQ(KPL_SelectPreviousImage(), 0);
    EXPECT_EQ(kaplo::current_image(), 0);
}

TEST_F(Store, SelectionRejectsBadNumbersAndFreeSlots) {
    make(1, 2, 2);
    EXPECT_EQ(KPL_SelectImage(256), 1);
    EXPECT_EQ(KPL_SelectImage(-1), 1);
    EXPECT_EQ(KPL_SelectImage(2), 1);
    EXPECT_EQ(kaplo::current_image(), 1);
    EXPECT_EQ(kaplo::image_history_entry(1), 0);
    EXPECT_EQ(kaplo::image_history_entry(2), 0);
}

TEST_F(Store, HistoryKeepsEightAndRepeatsTheOldest) {
    for (int n = 1; n <= 10; ++n) kaplo::image_store_attach_buffer_for_tests(n, 1, 1, 32);
    for (int n = 1; n <= 9; ++n) ASSERT_EQ(KPL_SelectImage(n), 0);  // pushes 0..8
    EXPECT_EQ(kaplo::current_image(), 9);
    for (int k = 1; k <= 8; ++k) EXPECT_EQ(kaplo::image_history_entry(k), 9 - k);  // 0 is lost
    for (int expected = 8; expected >= 1; --expected) {
        ASSERT_EQ(KPL_SelectPreviousImage(), 0);
        EXPECT_EQ(kaplo::current_image(), expected);
    }
    for (int again = 0; again < 5; ++again) {
        ASSERT_EQ(KPL_SelectPreviousImage(), 0);
        EXPECT_EQ(kaplo::current_image(), 1);
    }
}

TEST_F(Store, SelectingTheCurrentImagePushesIt) {
    make(4, 1, 1);
    EXPECT_EQ(KPL_SelectImage(4), 0);
    EXPECT_EQ(kaplo::image_history_entry(1), 4);
    EXPECT_EQ(kaplo::image_history_entry(2), 0);
}

TEST_F(Store, PopToAFreedSlotChangesNothing) {
    make(2, 1, 1);
    make(6, 1, 1);
    kaplo::release_image_slot(2);
    EXPECT_EQ(KPL_SelectPreviousImage(), 1);
    EXPECT_EQ(kaplo::current_image(), 6);
    EXPECT_EQ(kaplo::image_history_entry(1), 2);
}

TEST_F(Store, AttachRulesAndSizeGate) {
    EXPECT_EQ(kaplo::image_store_attach_buffer_for_tests(0, 4, 4, 24), 3);
    EXPECT_EQ(kaplo::image_table[0].used, 0);
    EXPECT_EQ(kaplo::image_store_attach_buffer_for_tests(0, 0, -5, 32), 0);
    EXPECT_EQ(kaplo::image_table[0].width, 1);
    EXPECT_EQ(kaplo::image_table[0].height, 1);
    EXPECT_EQ(kaplo::image_store_attach_buffer_for_tests(0, 4, 4, 32), 1);
    EXPECT_EQ(kaplo::image_store_attach_buffer_for_tests(1, 16385, 1, 8), 3);
    EXPECT_EQ(kaplo::image_store_attach_buffer_for_tests(1, 16384, 16384, 32), 3);  // 1 GiB
    EXPECT_EQ(kaplo::image_store_attach_buffer_for_tests(256, 1, 1, 32), 1);
    size_t bytes = 0;
    EXPECT_TRUE(kaplo::pixel_buffer_size(5, 3, 8, &bytes));
    EXPECT_EQ(bytes, 24u);
    EXPECT_TRUE(kaplo::pixel_buffer_size(8192, 8192, 32, &bytes));
    EXPECT_FALSE(kaplo::pixel_buffer_size(8192, 8193, 32, &bytes));
    EXPECT_FALSE(kaplo::pixel_buffer_size(0, 10, 32, &bytes));
}

TEST_F(Store, NewBuffersAreZeroWithAGreyRamp) {
    make(0, 7, 3, 8);
    EXPECT_TRUE(lit().empty());
    uint32_t table[256];
    ASSERT_EQ(KPL_GetPalette(table), 0);
    for (uint32_t i = 0; i < 256; ++i) EXPECT_EQ(table[i], i * 0x010101u);
}

TEST_F(Store, PalettesChangeOnlyTheGivenEntries) {
    make(0, 4, 4, 8);
    KPL_SetPixel(1, 1, 3);
    uint32_t colours[16];
    for (int i = 0; i < 16; ++i) colours[i] = 0xFF0000u + i;
    EXPECT_EQ(KPL_SetPalette(colours, 16), 0);
    uint32_t table[256];
    ASSERT_EQ(KPL_GetPalette(table), 0);
    EXPECT_EQ(table[0], 0xFF0000u);
    EXPECT_EQ(table[15], 0xFF000Fu);
    EXPECT_EQ(table[16], 0x101010u);
    EXPECT_EQ(KPL_GetPixel(1, 1), 3) << "indexes are unchanged";
    uint32_t many[300] = {};
    EXPECT_EQ(KPL_SetPalette(many, 300), 0);  // only 256 entries exist
    EXPECT_EQ(KPL_SetPalette(nullptr, 5), 0);
}

TEST_F(Store, PalettesRefuseFreeAndThirtyTwoBitImages) {
    uint32_t table[256] = {};
    EXPECT_EQ(KPL_SetPalette(table, 1), 1);
    EXPECT_EQ(KPL_GetPalette(table), 1);
    make(0, 4, 4, 32);
    EXPECT_EQ(KPL_SetPalette(table, 1), 2);
    EXPECT_EQ(KPL_GetPalette(table), 2);
}

TEST_F(Store, PaletteChangesReachTheWindowHook) {
    static int repainted = -1;
    kaplo::image_palette_changed_hook = [](int n) { repainted = n; };
    make(9, 2, 2, 8);
    const uint32_t red = 0xFF0000;
    KPL_SetPalette(&red, 1);
    kaplo::image_palette_changed_hook = nullptr;
    EXPECT_EQ(repainted, 9);
}

TEST_F(Store, GetBlockFillsOutsideWithZero) {
    make(0, 4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) KPL_SetPixel(x, y, 1 + x + 10 * y);
    uint32_t block[16];
    std::memset(block, 0xAB, sizeof block);
    KPL_GetImageBlock(block, -2, 0, 4, 4);
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(block[j * 4 + 0], 0u);
        EXPECT_EQ(block[j * 4 + 1], 0u);
        EXPECT_EQ(block[j * 4 + 2], 1u + 10 * j);
        EXPECT_EQ(block[j * 4 + 3], 2u + 10 * j);
    }
    KPL_GetImageBlock(block, 2, 3, 4, 4);
    EXPECT_EQ(block[0], 33u);
    EXPECT_EQ(block[1], 34u);
    EXPECT_EQ(block[2], 0u);
    EXPECT_EQ(block[4], 0u);
    std::memset(block, 0xAB, sizeof block);
    KPL_GetImageBlock(block, 100, -100, 4, 4);
    for (uint32_t v : block) EXPECT_EQ(v, 0u);
    KPL_GetImageBlock(block, 0, 0, 0, 4);  // nothing, no crash
    KPL_GetImageBlock(block, INT32_MAX, INT32_MAX, 2, 2);
    EXPECT_EQ(block[0], 0u);
}

TEST_F(Store, PutBlockStartsAtTheTopRowAndClips) {
    make(0, 4, 3);
    const uint32_t block[6] = {1, 2, 3, 4, 5, 6};
    KPL_PutImageBlock(block, 3, 2, 3);  // x = width - 1: only the first column
    EXPECT_EQ(KPL_GetPixel(3, 0), 1);
    EXPECT_EQ(KPL_GetPixel(3, 1), 3);
    EXPECT_EQ(KPL_GetPixel(3, 2), 5);
    EXPECT_EQ(lit().size(), 3u);
    KPL_ClearImage(0);
    KPL_PutImageBlock(block, -1, 2, 3);
    EXPECT_EQ(KPL_GetPixel(0, 0), 2);
    EXPECT_EQ(KPL_GetPixel(0, 2), 6);
    EXPECT_EQ(lit().size(), 3u);
    KPL_ClearImage(0);
    const uint32_t tall[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    KPL_PutImageBlock(tall, 0, 1, 10);  // rows past the bottom are skipped
    EXPECT_EQ(lit().size(), 3u);
}

TEST_F(Store, EightBitBlocksUseBytes) {
    make(0, 5, 2, 8);
    const uint8_t block[6] = {9, 8, 7, 6, 5, 4};
    KPL_PutImageBlock(block, 2, 3, 2);
    EXPECT_EQ(KPL_GetPixel(2, 0), 9);
    EXPECT_EQ(KPL_GetPixel(4, 1), 4);
    uint8_t out[12];
    KPL_GetImageBlock(out, 1, 0, 6, 2);
    const uint8_t expected[12] = {0, 9, 8, 7, 0, 0, 0, 6, 5, 4, 0, 0};
    EXPECT_EQ(std::memcmp(out, expected, 12), 0);
}

TEST_F(Store, BlocksOnAFreeImageDoNothing) {
    uint32_t block[4] = {5, 5, 5, 5};
    KPL_GetImageBlock(block, 0, 0, 2, 2);
    EXPECT_EQ(block[0], 5u);
    KPL_PutImageBlock(block, 0, 2, 2);
}

TEST_F(Store, ClearZeroesTheWholeBufferIncludingPadding) {
    make(0, 5, 3, 8);
    std::memset(kaplo::pixels8[0], 0x5A, 24);
    KPL_ClearImage(0);
    for (int i = 0; i < 24; ++i) EXPECT_EQ(kaplo::pixels8[0][i], 0);
    KPL_ClearImage(7);  // a free slot is left alone
    KPL_ClearImage(300);
}

TEST(Captions, FormatsDepthZoomAndHalftone) {
    char out[256];
    kaplo::format_image_caption(out, sizeof out, "abc", 50, 32, false);
    EXPECT_STREQ(out, "abc(50%)");
    kaplo::format_image_caption(out, sizeof out, "abc", 100, 8, false);
    EXPECT_STREQ(out, "abc(100%)[8bit]");
    kaplo::format_image_caption(out, sizeof out, "abc", 100, 8, true);
    EXPECT_STREQ(out, "abc(100%)[8bit]*");
    std::string long_title(400, 't');
    kaplo::format_image_caption(out, sizeof out, long_title.c_str(), 100, 32, true);
    EXPECT_EQ(std::strlen(out), 255u);
    char tiny[6];
    kaplo::format_image_caption(tiny, sizeof tiny, "abc", 100, 32, true);
    EXPECT_STREQ(tiny, "abc(1");
}

}  // namespace
