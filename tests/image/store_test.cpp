// The image store's table logic: zoom fitting, selection history, colour
// tables, block copies, clearing, captions and the size gate.

#include <cstring>
#include <tuple>

#include "image/zoom_fit.h"
#include "image_fixture.h"

namespace {

using kaplo::current_image;
using kaplo::image_history_entry;
using kaplo::image_store_attach_buffer_for_tests;

// A 1920 x 1080 screen with a 23-pixel caption, 4-pixel frames and a 136 x 39
// minimum window.
constexpr kaplo::ScreenMetrics kFullHd{1920, 1080, 23, 4, 136, 39};

kaplo::SizeLimits limits(int mode) {
    kaplo::SizeLimits l{};
    EXPECT_TRUE(kaplo::image_size_limits(mode, kFullHd, &l));
    return l;
}

TEST(ZoomFitting, SizeLimitsAndWorkedFits) {
    const auto sides = [](const kaplo::SizeLimits& l) {
        return std::tuple(l.min_width, l.min_height, l.max_width, l.max_height);
    };
    EXPECT_EQ(sides(limits(1)), std::tuple(128, 39 - 8 - 23, 1920, 1057));
    EXPECT_EQ(sides(limits(0)), std::tuple(1, 1, 3840, 2160));
    kaplo::SizeLimits untouched{7, 7, 7, 7};
    EXPECT_FALSE(kaplo::image_size_limits(2, kFullHd, &untouched));
    EXPECT_EQ(untouched.min_width, 7);

    const struct {
        int width, height, zoom, mode;
        bool fits;
        int fitted, display_width, display_height;
    } cases[] = {
        {640, 480, 50, 1, true, 50, 320, 240},
        {4000, 3000, 100, 1, true, 35, 1400, 1050},
        {1, 1, 100, 1, true, 12800, 128, 128},  // tiny images grow to the minimum window
        // Long and thin: reaching the minimum width pushes the height past the
        // screen; very wide and one pixel high: shrinking makes the height 0,
        // growing it back to the minimum height makes the width too wide.
        {1, 100, 100, 1, false, 0, 0, 0},
        {16384, 1, 100, 1, false, 0, 0, 0},
        // An extreme zoom stays defined.
        {16384, 16384, INT32_MAX, 1, true, 6, 983, 983},
        // Mode 0 lets a one-pixel window through.
        {1, 1, 100, 0, true, 100, 1, 1},
    };
    for (const auto& c : cases) {
        kaplo::ZoomFit f{};
        ASSERT_EQ(kaplo::fit_zoom(c.width, c.height, c.zoom, limits(c.mode), &f), c.fits)
            << c.width << "x" << c.height << " at " << c.zoom;
        if (!c.fits) continue;
        EXPECT_EQ(std::tuple(f.zoom, f.display_width, f.display_height),
                  std::tuple(c.fitted, c.display_width, c.display_height))
            << c.width << "x" << c.height << " at " << c.zoom;
    }
}

using Store = ImageTest;

TEST_F(Store, SelectionHistoryPushesPopsAndRefuses) {
    make(3, 2, 2);  // selected from current 0
    make(5, 2, 2);
    EXPECT_EQ(KPL_SelectImage(256) + KPL_SelectImage(-1) + KPL_SelectImage(2), 3);
    image_store_attach_buffer_for_tests(0, 2, 2, 32);
    EXPECT_EQ(KPL_SelectPreviousImage() + KPL_SelectPreviousImage(), 0);  // to 3, then 0
    // Selecting the current image pushes it.
    EXPECT_EQ(KPL_SelectImage(0), 0);
    EXPECT_EQ(std::tuple(current_image(), image_history_entry(1), image_history_entry(2)),
              std::tuple(0, 0, 0));
    // A pop to a freed slot changes nothing.
    make(6, 1, 1);
    kaplo::release_image_slot(0);
    EXPECT_EQ(KPL_SelectPreviousImage(), 1);
    EXPECT_EQ(std::tuple(current_image(), image_history_entry(1)), std::tuple(6, 0));
}

TEST_F(Store, HistoryKeepsEightAndRepeatsTheOldest) {
    for (int n = 1; n <= 10; ++n) image_store_attach_buffer_for_tests(n, 1, 1, 32);
    for (int n = 1; n <= 9; ++n) ASSERT_EQ(KPL_SelectImage(n), 0);  // pushes 0..8
    for (int k = 0; k < 10; ++k) ASSERT_EQ(KPL_SelectPreviousImage(), 0);
    EXPECT_EQ(current_image(), 1);  // the oldest repeats
}

TEST_F(Store, AttachRulesAndSizeGate) {
    EXPECT_EQ(image_store_attach_buffer_for_tests(0, 4, 4, 24), 3);
    EXPECT_EQ(kaplo::image_table[0].used, 0);
    EXPECT_EQ(image_store_attach_buffer_for_tests(0, 0, -5, 32), 0);
    EXPECT_EQ(std::pair(kaplo::image_table[0].width, kaplo::image_table[0].height),
              std::pair(1, 1));
    EXPECT_EQ(image_store_attach_buffer_for_tests(0, 4, 4, 32), 1);
    EXPECT_EQ(image_store_attach_buffer_for_tests(1, 16385, 1, 8), 3);
    EXPECT_EQ(image_store_attach_buffer_for_tests(1, 16384, 16384, 32), 3);  // 1 GiB
    EXPECT_EQ(image_store_attach_buffer_for_tests(256, 1, 1, 32), 1);
    size_t bytes = 0;
    EXPECT_TRUE(kaplo::pixel_buffer_size(5, 3, 8, &bytes));
    EXPECT_EQ(bytes, 24u);
    EXPECT_TRUE(kaplo::pixel_buffer_size(8192, 8192, 32, &bytes));
    EXPECT_FALSE(kaplo::pixel_buffer_size(8192, 8193, 32, &bytes));
}

TEST_F(Store, PalettesStartAsAGreyRampAndChangeOnlyTheGivenEntries) {
    uint32_t table[256] = {};
    EXPECT_EQ(KPL_SetPalette(table, 1) * 10 + KPL_GetPalette(table), 11);  // a free slot
    make(1, 4, 4, 32);
    EXPECT_EQ(KPL_SetPalette(table, 1) * 10 + KPL_GetPalette(table), 22);
    static int repainted = -1;
    kaplo::image_palette_changed_hook = [](int n) { repainted = n; };
    make(9, 4, 4, 8);
    KPL_SetPixel(1, 1, 3);
    uint32_t colours[16];
    for (int i = 0; i < 16; ++i) colours[i] = 0xFF0000u + i;
    EXPECT_EQ(KPL_SetPalette(colours, 16), 0);
    kaplo::image_palette_changed_hook = nullptr;
    EXPECT_EQ(repainted, 9);
    ASSERT_EQ(KPL_GetPalette(table), 0);
    EXPECT_EQ(std::tuple(table[0], table[15], table[16]),
              std::tuple(0xFF0000u, 0xFF000Fu, 0x101010u));
    EXPECT_EQ(KPL_GetPixel(1, 1), 3) << "indexes are unchanged";
    uint32_t many[300] = {};
    EXPECT_EQ(KPL_SetPalette(many, 300), 0);  // only 256 entries exist
    EXPECT_EQ(KPL_SetPalette(nullptr, 5), 0);
}

TEST_F(Store, GetBlockFillsOutsideWithZero) {
    make(0, 4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) KPL_SetPixel(x, y, 1 + x + 10 * y);
    const struct {
        int x, y, width;
        std::vector<uint32_t> expected;  // the first rows
    } cases[] = {
        {-2, 0, 4, {0, 0, 1, 2, 0, 0, 11, 12, 0, 0, 21, 22, 0, 0, 31, 32}},
        {2, 3, 4, {33, 34, 0, 0, 0, 0, 0, 0}},
        {INT32_MAX, INT32_MAX, 2, {0, 0}},
    };
    for (const auto& c : cases) {
        uint32_t block[16];
        std::memset(block, 0xAB, sizeof block);
        KPL_GetImageBlock(block, c.x, c.y, c.width, 4);
        EXPECT_EQ(std::vector<uint32_t>(block, block + c.expected.size()), c.expected) << c.x;
    }
    uint32_t block[4] = {5, 5, 5, 5};
    KPL_GetImageBlock(block, 0, 0, 0, 4);  // nothing, no crash
    EXPECT_EQ(block[0], 5u);
    // A free image: nothing is read or written.
    kaplo::release_image_slot(0);
    KPL_GetImageBlock(block, 0, 0, 2, 2);
    EXPECT_EQ(block[0], 5u);
    KPL_PutImageBlock(block, 0, 2, 2);
}

TEST_F(Store, PutBlockStartsAtTheTopRowAndClips) {
    make(0, 4, 3);
    const uint32_t block[10] = {1, 2, 3, 4, 5, 6, 1, 1, 1, 1};
    KPL_PutImageBlock(block, 3, 2, 3);  // x = width - 1: only the first column
    EXPECT_EQ(lit(), (std::set<std::pair<int, int>>{{3, 0}, {3, 1}, {3, 2}}));
    EXPECT_EQ(std::tuple(KPL_GetPixel(3, 0), KPL_GetPixel(3, 1), KPL_GetPixel(3, 2)),
              std::tuple(1, 3, 5));
    KPL_ClearImage(0);
    KPL_PutImageBlock(block, -1, 2, 3);
    EXPECT_EQ(std::tuple(KPL_GetPixel(0, 0), KPL_GetPixel(0, 2), lit().size()),
              std::tuple(2, 6, size_t{3}));
}

TEST_F(Store, EightBitBlocksUseBytesAndClearZeroesThePadding) {
    make(0, 5, 2, 8);
    const uint8_t block[6] = {9, 8, 7, 6, 5, 4};
    KPL_PutImageBlock(block, 2, 3, 2);
    EXPECT_EQ(std::pair(KPL_GetPixel(2, 0), KPL_GetPixel(4, 1)), std::pair(9, 4));
    uint8_t out[12];
    KPL_GetImageBlock(out, 1, 0, 6, 2);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 12),
              (std::vector<uint8_t>{0, 9, 8, 7, 0, 0, 0, 6, 5, 4, 0, 0}));
    std::memset(kaplo::pixels8[0], 0x5A, 16);
    KPL_ClearImage(0);
    EXPECT_EQ(std::vector<uint8_t>(kaplo::pixels8[0], kaplo::pixels8[0] + 16),
              std::vector<uint8_t>(16, 0));
    KPL_ClearImage(7);  // a free slot is left alone
    KPL_ClearImage(300);
}

TEST(Captions, FormatsDepthZoomAndHalftone) {
    const std::string long_title(400, 't');
    const struct {
        const char* title;
        int zoom, depth;
        bool halftone;
        size_t size;
        std::string expected;
    } cases[] = {
        {"abc", 50, 32, false, 256, "abc(50%)"},
        {"abc", 100, 8, true, 256, "abc(100%)[8bit]*"},
        {long_title.c_str(), 100, 32, true, 256, std::string(255, 't')},
        {"abc", 100, 32, true, 6, "abc(1"},
    };
    for (const auto& c : cases) {
        char out[256];
        kaplo::format_image_caption(out, c.size, c.title, c.zoom, c.depth, c.halftone);
        EXPECT_EQ(out, c.expected);
    }
}

}  // namespace
