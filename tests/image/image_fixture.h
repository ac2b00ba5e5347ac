#pragma once
// Shared set-up for image tests: a clean store with window-less slots.

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "image/image_store.h"

class ImageTest : public ::testing::Test {
  protected:
    void SetUp() override { kaplo::image_store_reset_for_tests(); }
    void TearDown() override { kaplo::image_store_reset_for_tests(); }

    // Creates slot `number` and makes it current.
    void make(int number, int width, int height, int depth = 32) {
        ASSERT_EQ(kaplo::image_store_attach_buffer_for_tests(number, width, height, depth), 0);
        ASSERT_EQ(KPL_SelectImage(number), 0);
    }

    // Coordinates of every pixel of the current image that differs from `background`.
    static std::set<std::pair<int, int>> lit(int32_t background = 0) {
        std::set<std::pair<int, int>> out;
        const auto& rec = kaplo::image_table[kaplo::current_image()];
        for (int y = 0; y < rec.height; ++y)
            for (int x = 0; x < rec.width; ++x)
                if (KPL_GetPixel(x, y) != background) out.insert({x, y});
        return out;
    }

    // The pixels `draw` lights on the cleared current image.
    template <typename Draw>
    static std::set<std::pair<int, int>> drawn(Draw draw) {
        KPL_ClearImage(kaplo::current_image());
        draw();
        return lit();
    }

    static std::vector<int32_t> snapshot() {
        std::vector<int32_t> out;
        const auto& rec = kaplo::image_table[kaplo::current_image()];
        for (int y = 0; y < rec.height; ++y)
            for (int x = 0; x < rec.width; ++x) out.push_back(KPL_GetPixel(x, y));
        return out;
    }

    static int32_t pen_x() { return kaplo::detail::selection.pen_x; }
    static int32_t pen_y() { return kaplo::detail::selection.pen_y; }
};

inline int32_t rgb(int r, int g, int b) {
    return (r << 16) | (g << 8) | b;
}
