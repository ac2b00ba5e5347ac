// Smoothed scaling of screen copies.
#include "platform/resample.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using kaplo::platform::smooth_scale;
using kaplo::platform::smooth_taps;

TEST(SmoothScale, WeightsSumTo256AndStayInsideTheSource) {
    for (int src : {1, 2, 3, 7, 100, 640})
        for (int dst : {1, 2, 5, 99, 320, 1280}) {
            const auto taps = smooth_taps(src, dst);
            ASSERT_EQ(taps.size(), static_cast<size_t>(dst));
            for (const auto& t : taps) {
                int sum = 0;
                for (const auto& tap : t) {
                    EXPECT_GE(tap.index, 0);
                    EXPECT_LT(tap.index, src);
                    sum += tap.weight;
                }
                EXPECT_EQ(sum, 256) << src << " -> " << dst;
            }
        }
}

TEST(SmoothScale, FlatPicturesStayFlatAndHalvingAveragesPairs) {
    std::vector<uint32_t> flat(30 * 20, 0x336699), out(7 * 45);
    smooth_scale(flat.data(), 30, 20, 30, out.data(), 7, 45);
    for (uint32_t p : out) EXPECT_EQ(p, 0x336699u);

    // Columns alternate black and white: halved, every pixel is mid grey.
    std::vector<uint32_t> stripes(8 * 2);
    for (int i = 0; i < 16; ++i) stripes[static_cast<size_t>(i)] = (i % 2) ? 0xFFFFFF : 0;
    std::vector<uint32_t> half(4 * 1);
    smooth_scale(stripes.data(), 8, 2, 8, half.data(), 4, 1);
    for (uint32_t p : half) EXPECT_EQ(p, 0x808080u);

    // Doubling blends neighbours; the ends keep their own colour.
    const uint32_t two[2] = {0x000000, 0xFF0000};
    std::vector<uint32_t> four(4);
    smooth_scale(two, 2, 1, 2, four.data(), 4, 1);
    EXPECT_EQ(four[0], 0x000000u);
    EXPECT_EQ(four[3], 0xFF0000u);
    EXPECT_GT(four[1] >> 16, 0u);
    EXPECT_LT(four[1] >> 16, four[2] >> 16);
}

}  // namespace
