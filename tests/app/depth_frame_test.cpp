// The pixel rules of kaplo-depth's frame work (app/depth_frame.cpp) on small
// synthetic frames, checked against the worked examples and against a plain
// reference written here from the rules.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "app/depth_frame.h"
#include "image/image_store.h"

namespace {

using Words = std::vector<uint32_t>;

uint32_t brightness(uint32_t p) {
    const uint32_t r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
    return std::max(r, std::max(g, b));
}

// The converted view straight from the rules: right half = frame; each pixel
// left to right written at x - shift; before a farther neighbour the columns
// between the two places take the neighbour's colour (0 past the edge).
Words reference_conv(const Words& src, int w, int h, int scale) {
    Words out(size_t(2 * w) * h, 0);
    for (int y = 0; y < h; ++y) {
        uint32_t* row = &out[size_t(y) * 2 * w];
        const uint32_t* in = &src[size_t(y) * w];
        for (int x = 0; x < w; ++x) row[w + x] = in[x];
        for (int x = 0; x < w; ++x) {
            const int d1 = int(brightness(in[x]));
            const int s1 = scale * d1 / 256;
            if (x - s1 >= 0) row[x - s1] = in[x];
            const int d2 = x + 1 < w ? int(brightness(in[x + 1])) : 0;
            if (d2 >= d1) continue;
            const int s2 = scale * d2 / 256;
            const uint32_t fill = x + 1 < w ? in[x + 1] : 0;
            for (int c = x - s1 + 1; c <= x - s2; ++c)
                if (c >= 0) row[c] = fill;
        }
    }
    return out;
}

std::vector<uint8_t> to_bgr(const Words& src, int w, int h, size_t stride, uint8_t pad = 0xEE) {
    std::vector<uint8_t> bytes(stride * h, pad);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t p = src[size_t(y) * w + x];
            uint8_t* b = &bytes[size_t(y) * stride + size_t(x) * 3];
            b[0] = p & 255, b[1] = (p >> 8) & 255, b[2] = (p >> 16) & 255;
        }
    return bytes;
}

class DepthFrame : public ::testing::Test {
  protected:
    void SetUp() override { kaplo::image_store_reset_for_tests(); }
    void TearDown() override { kaplo::image_store_reset_for_tests(); }

    void make_slots(int w, int h) {
        ASSERT_EQ(kaplo::image_store_attach_buffer_for_tests(0, w, h, 32), 0);
        ASSERT_EQ(kaplo::image_store_attach_buffer_for_tests(1, w, h, 32), 0);
        ASSERT_EQ(kaplo::image_store_attach_buffer_for_tests(2, 2 * w, h, 32), 0);
    }

    static Words image(int n) {
        const auto& rec = kaplo::image_table[n];
        return Words(kaplo::pixels32[n], kaplo::pixels32[n] + size_t(rec.width) * rec.height);
    }
};

// Four rows of 320 (depth scale 5), each a worked example of the shift; each
// word of the converted view given as a span of it that reads the source row
// from column `x` on (`step` 1) or only its column `x` (`step` 0), or black
// (x -1).
TEST_F(DepthFrame, WorkedExamplesOfTheShift) {
    EXPECT_EQ(depth::depth_scale_for(320), 5);
    EXPECT_EQ(depth::depth_scale_for(63), 0);
    Words src(320 * 4);
    for (uint32_t x = 0; x < 320; ++x) {
        src[x] = 0x203033;  // background of value 51, which does not move
        // Distinct colours so each placed pixel can be told apart.
        src[320 + x] = std::min(255u, x) << 8 | (x & 7);  // rises to 255
        src[640 + x] = 0x400000u | (x & 63);              // flat: value 64, shift 1
        src[960 + x] = 0xFF0000u | (x % 200);             // all nearest: shift 4
    }
    src[100] = 0xFFFFFF, src[101] = 0x102030;
    make_slots(320, 4);
    const std::vector<uint8_t> bytes = to_bgr(src, 320, 4, 960);
    ASSERT_TRUE(depth::convert_frame({bytes.data(), 960, 320, 4}, 5, nullptr));
    const Words conv = image(2);
    EXPECT_EQ(conv, reference_conv(src, 320, 4, 5));
    const struct {
        int row, from, to, x, step;
    } spans[] = {
        // The white pixel (255) moves 4 left, and the 4 columns it leaves
        // take the farther right neighbour.
        {0, 96, 96, 100, 0},
        {0, 97, 101, 101, 0},
        // Rising: where the shift grows by one (x = 52 is the first with
        // shift 1) the pixel covers its left neighbour's place.
        {1, 51, 51, 52, 0},
        // Flat: the right end's last column reads the depth past the edge (0).
        {2, 319, 319, -1, 0},
        // The right end is black; the right half is the frame.
        {3, 316, 319, -1, 0},
        {3, 320, 639, 0, 1},
    };
    for (const auto& s : spans)
        for (int c = s.from; c <= s.to; ++c)
            EXPECT_EQ(conv[size_t(s.row * 640 + c)],
                      s.x < 0 ? 0u : src[size_t(s.row * 320 + s.x + s.step * (c - s.from))])
                << s.row << "," << c;
}

// Whole frames (runs of similar brightness with random steps: covers, gaps
// and ties) against the reference, and the export's row loops against the
// per-pixel calls, word for word in all three images, on frames whose every
// column of every image is checked (the images start filled with a marker,
// so a word left unwritten shows).
TEST_F(DepthFrame, RowLoopsMakeThePerPixelImages) {
    enum Kind { Runs, White, Black, Steps };
    struct Case {
        int w, h, scale;  // scale -1: depth_scale_for(w)
        Kind kind;
    } const cases[] = {
        {1, 1, -1, Runs},    {1, 1, 300, White},  {1, 9, 40, Runs},     {9, 1, 40, Steps},
        {333, 5, -1, Runs},  {64, 3, 0, Runs},    {200, 4, 1000, Runs}, {130, 2, -1, White},
        {130, 2, -1, Black}, {257, 3, 40, Steps}, {768, 2, -1, Runs},
    };
    std::mt19937 rng(26);
    for (const Case& c : cases) {
        Words src(size_t(c.w) * c.h);
        uint32_t run = 0;
        for (size_t i = 0; i < src.size(); ++i) {
            if (rng() % 5 == 0) run = rng() & 0xFFFFFF;
            const uint32_t x = uint32_t(i % size_t(c.w)), noise = rng() & 0x0F0F0F;
            // Steps: blocks of full and no brightness, the widest gaps.
            src[i] = c.kind == Runs    ? run ^ (rng() & 0x030303)
                     : c.kind == White ? 0xFF0000u | noise
                     : c.kind == Black ? 0u
                     : (x / 7) % 2     ? 0x00FF00u | noise
                                       : noise;
        }
        const size_t stride = size_t(c.w) * 3 + size_t(c.w % 4);
        const std::vector<uint8_t> bytes = to_bgr(src, c.w, c.h, stride);
        const depth::BgrFrame f{bytes.data(), stride, c.w, c.h};
        const int scale = c.scale < 0 ? depth::depth_scale_for(c.w) : c.scale;
        const auto fill_slots = [&] {
            kaplo::image_store_reset_for_tests();
            make_slots(c.w, c.h);
            for (int n = 0; n < 3; ++n) {
                const auto& rec = kaplo::image_table[n];
                std::fill_n(kaplo::pixels32[n], size_t(rec.width) * rec.height, 0xDEADBEEFu);
            }
        };
        // Both ways with the brightness, then with a given depth map (padded
        // rows, depths unrelated to the brightness) in its place.
        std::vector<uint8_t> map_bytes(size_t(c.w + 3) * c.h);
        for (uint8_t& d : map_bytes) d = c.kind == Steps ? (rng() % 2) * 255 : rng() & 255;
        const depth::DepthMap map{map_bytes.data(), size_t(c.w + 3)};
        for (const depth::DepthMap* given : {static_cast<const depth::DepthMap*>(nullptr), &map}) {
            fill_slots();
            ASSERT_TRUE(depth::convert_frame(f, scale, nullptr, given));
            const Words per_pixel[3] = {image(0), image(1), image(2)};
            // (The source and grey images are the player's scenarios'.)
            if (!given) {
                EXPECT_EQ(per_pixel[2], reference_conv(src, c.w, c.h, scale)) << c.w;
            }
            fill_slots();
            ASSERT_TRUE(depth::convert_frame_by_rows(f, scale, given));
            for (int n = 0; n < 3; ++n)
                EXPECT_EQ(image(n), per_pixel[n]) << c.w << "x" << c.h << " scale " << scale
                                                  << " image " << n << " map " << !!given;
        }
        EXPECT_EQ(image(1)[0], map_bytes[0] * 0x010101u);
    }
}

TEST(CopyBgr24ToPixels32, CopiesCountWordsNoMore) {
    uint8_t bytes[6] = {1, 2, 3, 0xAA, 0xBB, 0xCC};
    uint32_t words[3] = {0, 0, 0xDEADBEEF};
    CopyBgr24ToPixels32(bytes, words, 2);
    EXPECT_EQ(words[0], 0x030201u);
    EXPECT_EQ(words[1], 0xCCBBAAu);
    EXPECT_EQ(words[2], 0xDEADBEEFu);  // count words, no more
}

TEST_F(DepthFrame, MismatchedSlotsAreNeverWritten) {
    const Words src(4 * 2, 0x808080);
    const std::vector<uint8_t> bytes = to_bgr(src, 4, 2, 12);
    const depth::BgrFrame f{bytes.data(), 12, 4, 2};
    // Image 1 missing: its selections would leave another image current.
    ASSERT_EQ(kaplo::image_store_attach_buffer_for_tests(0, 4, 2, 32), 0);
    ASSERT_EQ(kaplo::image_store_attach_buffer_for_tests(2, 8, 2, 32), 0);
    EXPECT_FALSE(depth::convert_frame(f, 0, nullptr));
    EXPECT_EQ(image(0), Words(8, 0));
    EXPECT_EQ(image(2), Words(16, 0));
    // A stride shorter than a row is refused too.
    ASSERT_EQ(kaplo::image_store_attach_buffer_for_tests(1, 4, 2, 32), 0);
    EXPECT_FALSE(depth::convert_frame({bytes.data(), 11, 4, 2}, 0, nullptr));
    EXPECT_TRUE(depth::convert_frame(f, 0, nullptr));
    EXPECT_EQ(image(0), src);
}

}  // namespace
