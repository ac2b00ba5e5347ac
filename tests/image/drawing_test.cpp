// Lines, boxes, circles, discs, flood fill and bitmap text.

#include <algorithm>
#include <string>

#include "image/glyphs.h"
#include "image_fixture.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;
using Drawing = ImageTest;

constexpr int32_t kWhite = 0xFFFFFF;

TEST_F(Drawing, LinesPlotTheWorkedPixelsInBothDirections) {
    make(0, 32, 32);
    struct Case {
        int x1, y1, x2, y2;
        Pixels expected;
    };
    const Case cases[] = {
        {5, 5, 5, 5, {{5, 5}}},
        {10,
         0,
         0,
         0,
         {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}, {8, 0}, {9, 0}, {10, 0}}},
        {0, 0, 4, 2, {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}},
        {4, 2, 0, 0, {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}},
        {0, 0, 2, 4, {{0, 0}, {1, 1}, {1, 2}, {2, 3}, {2, 4}}},
        {0, 0, 5, 1, {{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 1}}},
        {3, 7, 3, 4, {{3, 4}, {3, 5}, {3, 6}, {3, 7}}},
    };
    for (const auto& c : cases) {
        KPL_ClearImage(0);
        KPL_DrawLine(kWhite, c.x1, c.y1, c.x2, c.y2);
        EXPECT_EQ(lit(), c.expected) << c.x1 << "," << c.y1 << " -> " << c.x2 << "," << c.y2;
        EXPECT_EQ(pen_x(), c.x2);
        EXPECT_EQ(pen_y(), c.y2);
    }
}

TEST_F(Drawing, InvertedLinesCoverEachPixelOnceAndUndoThemselves) {
    make(0, 40, 40);
    KPL_TestPatternRgb();
    const auto before = snapshot();
    for (int x2 = -5; x2 < 45; x2 += 3)
        for (int y2 = -5; y2 < 45; y2 += 4) {
            KPL_InvertLine(17, 20, x2, y2);
            KPL_InvertLine(17, 20, x2, y2);
            ASSERT_EQ(snapshot(), before);
        }
    // On black, an inverted line lights exactly the pixels the plain line sets.
    KPL_ClearImage(0);
    KPL_DrawLine(kWhite, 2, 3, 37, 29);
    const Pixels drawn = lit();
    KPL_ClearImage(0);
    KPL_InvertLine(2, 3, 37, 29);
    EXPECT_EQ(lit(), drawn);
    EXPECT_EQ(drawn.size(), 36u);
}

TEST_F(Drawing, LinesFarOutsideAreClippedWithoutOverflow) {
    make(0, 8, 8);
    KPL_DrawLine(kWhite, INT32_MIN, 3, INT32_MAX, 3);
    KPL_DrawLine(kWhite, 5, INT32_MAX, 5, INT32_MIN);
    EXPECT_EQ(lit().size(), 15u);
    EXPECT_EQ(pen_x(), 5);
    EXPECT_EQ(pen_y(), INT32_MIN);
    KPL_ClearImage(0);
    KPL_DrawLine(kWhite, -1000000, -1000000, 1000000, 1000000);
    EXPECT_EQ(lit().size(), 8u);
}

TEST_F(Drawing, RowRunsOnEightBitImagesKeepToTheirRow) {
    make(0, 5, 3, 8);  // rows of 8 bytes: 3 padding bytes each
    const int32_t current = kaplo::current_image();
    const int32_t previous = kaplo::image_history_entry(1);
    KPL_DrawLine(0x1234AB, -3, 1, 99, 1);
    KPL_DrawLine(0x77, -3, -1, 99, -1);  // rows outside: nothing
    KPL_DrawLine(0x77, -3, 3, 99, 3);
    KPL_DrawLine(0x77, 9, 0, 5, 0);  // run right of the image: nothing
    const uint8_t* bytes = kaplo::pixels8[0];
    for (int i = 0; i < 24; ++i) EXPECT_EQ(bytes[i], i >= 8 && i < 13 ? 0xAB : 0) << "byte " << i;
    EXPECT_EQ(pen_x(), 5);
    EXPECT_EQ(pen_y(), 0);
    EXPECT_EQ(kaplo::current_image(), current);
    EXPECT_EQ(kaplo::image_history_entry(1), previous);
}

TEST_F(Drawing, BoxesOutlineAndFill) {
    make(0, 16, 16);
    kaplo::drawing_colour = kWhite;
    KPL_DrawBox(2, 2, 5, 4);
    EXPECT_EQ(lit().size(), 10u);
    EXPECT_EQ(pen_x(), 2);
    EXPECT_EQ(pen_y(), 2);

    KPL_ClearImage(0);
    KPL_FillBox(6, 6, 5, 5, 1, 2);  // 2 x 2: outline only
    EXPECT_EQ(lit(), (Pixels{{5, 5}, {6, 5}, {5, 6}, {6, 6}}));
    for (const auto& p : lit()) EXPECT_EQ(KPL_GetPixel(p.first, p.second), 1);

    KPL_ClearImage(0);
    KPL_FillBox(1, 1, 3, 3, 1, 2);  // 3 x 3: one fill pixel
    EXPECT_EQ(lit().size(), 9u);
    EXPECT_EQ(KPL_GetPixel(2, 2), 2);
    EXPECT_EQ(KPL_GetPixel(1, 2), 1);

    KPL_ClearImage(0);
    KPL_FillBox(0, 0, 16, 16, 3, 3);  // one past the edges, clipped
    EXPECT_EQ(lit().size(), 256u);
}

TEST_F(Drawing, InvertedBoxesInvertEachPixelOnce) {
    make(0, 16, 16);
    KPL_InvertBox(3, 2, 3, 9);  // one column
    EXPECT_EQ(lit().size(), 8u);
    KPL_ClearImage(0);
    KPL_InvertBox(9, 4, 2, 4);  // one row
    EXPECT_EQ(lit().size(), 8u);
    KPL_ClearImage(0);
    KPL_InvertBox(2, 2, 3, 3);
    EXPECT_EQ(lit().size(), 4u);
    KPL_ClearImage(0);
    KPL_InvertBox(10, 10, 1, 1);
    EXPECT_EQ(lit().size(), 36u);
    KPL_ClearImage(0);
    KPL_InvertFillBox(10, 1, 1, 10);
    EXPECT_EQ(lit().size(), 100u);
}

TEST_F(Drawing, EveryInvertingShapeDrawnTwiceRestoresThePicture) {
    for (int depth : {32, 8}) {
        kaplo::image_store_reset_for_tests();
        make(0, 48, 40, depth);
        KPL_TestPatternHsv();
        const auto before = snapshot();
        for (int a = -3; a < 50; a += 7)
            for (int b = -3; b < 44; b += 9) {
                KPL_InvertBox(a, b, 20, 17);
                KPL_InvertBox(a, b, 20, 17);
                KPL_InvertFillBox(a, b, 21, 19);
                KPL_InvertFillBox(a, b, 21, 19);
                ASSERT_EQ(snapshot(), before);
            }
        for (int r = 0; r < 30; ++r) {
            KPL_InvertCircle(20, 18, r);
            KPL_InvertCircle(20, 18, r);
            KPL_InvertFillCircle(21, 19, r);
            KPL_InvertFillCircle(21, 19, r);
            ASSERT_EQ(snapshot(), before) << "r=" << r;
        }
    }
}

TEST_F(Drawing, CircleOutlines) {
    make(0, 64, 64);
    KPL_DrawCircle(kWhite, 30, 30, 1);
    EXPECT_EQ(lit(), (Pixels{{30, 29}, {30, 31}, {29, 30}, {31, 30}}));
    KPL_ClearImage(0);
    KPL_DrawCircle(kWhite, 30, 30, 10);
    EXPECT_EQ(lit().size(), 56u);
    KPL_ClearImage(0);
    KPL_DrawCircle(kWhite, 30, 30, 0);
    EXPECT_EQ(lit(), (Pixels{{30, 30}}));
    KPL_ClearImage(0);
    KPL_InvertCircle(30, 30, 0);
    EXPECT_TRUE(lit().empty());
}

TEST_F(Drawing, NoCirclePixelIsPlottedTwice) {
    make(0, 260, 260);
    for (int r = 1; r < 125; ++r) {
        KPL_ClearImage(0);
        KPL_DrawCircle(kWhite, 130, 130, r);
        const Pixels drawn = lit();
        KPL_ClearImage(0);
        KPL_InvertCircle(130, 130, r);
        ASSERT_EQ(lit(), drawn) << "r=" << r;
        // Symmetric under both mirror axes.
        for (const auto& [x, y] : drawn) ASSERT_TRUE(drawn.count({260 - x, y})) << r;
    }
}

TEST_F(Drawing, DiscsAreSolidAndSpannedOnce) {
    make(0, 100, 100);
    kaplo::drawing_colour = kWhite;
    for (int r = 1; r < 40; ++r) {
        KPL_ClearImage(0);
        KPL_FillCircle(50, 50, r);
        const Pixels disc = lit();
        KPL_ClearImage(0);
        KPL_InvertFillCircle(50, 50, r);
        const Pixels inverted = lit();
        for (const auto& p : inverted) ASSERT_TRUE(disc.count(p));
        // Rows cy - r .. cy + r, each one unbroken run, mirrored about the centre.
        for (int y = 0; y < 100; ++y) {
            int first = -1, last = -1, count = 0;
            for (int x = 0; x < 100; ++x)
                if (inverted.count({x, y})) {
                    if (first < 0) first = x;
                    last = x, ++count;
                }
            const bool in_disc = y >= 50 - r && y <= 50 + r;
            ASSERT_EQ(count > 0, in_disc) << r << " " << y;
            if (!in_disc) continue;
            ASSERT_EQ(count, last - first + 1);
            ASSERT_EQ(first + last, 100);
        }
    }
    KPL_ClearImage(0);
    KPL_FillCircle(50, 50, 0);
    EXPECT_EQ(lit(), (Pixels{{50, 50}}));
    KPL_ClearImage(0);
    KPL_InvertFillCircle(50, 50, 0);
    EXPECT_TRUE(lit().empty());
}

TEST_F(Drawing, FloodFillStaysInsideItsRegion) {
    make(0, 20, 20);
    kaplo::drawing_colour = 5;
    KPL_DrawBox(2, 2, 12, 12);
    kaplo::drawing_colour = 9;
    KPL_Paint(5, 5);
    EXPECT_EQ(KPL_GetPixel(3, 3), 9);
    EXPECT_EQ(KPL_GetPixel(11, 11), 9);
    EXPECT_EQ(KPL_GetPixel(2, 2), 5);
    EXPECT_EQ(KPL_GetPixel(13, 13), 0);
    EXPECT_EQ(KPL_GetPixel(0, 0), 0);
    EXPECT_EQ(lit().size(), 40u + 81u);
    // Filling the outside reaches around the box but not through it (4-connected).
    kaplo::drawing_colour = 7;
    KPL_Paint(0, 0);
    EXPECT_EQ(KPL_GetPixel(19, 19), 7);
    EXPECT_EQ(KPL_GetPixel(5, 5), 9);
}

TEST_F(Drawing, FloodFillOfItsOwnColourOrOutsideDoesNothing) {
    make(0, 8, 8);
    kaplo::drawing_colour = 0;
    KPL_Paint(3, 3);
    EXPECT_TRUE(lit().empty());
    kaplo::drawing_colour = 4;
    KPL_Paint(-1, 3);
    KPL_Paint(3, 8);
    EXPECT_TRUE(lit().empty());
}

TEST_F(Drawing, FloodFillOfAllBitsSetStopsAtTheEdges) {
    make(0, 6, 6);
    KPL_FillBox(0, 0, 5, 5, -1, -1);
    kaplo::drawing_colour = 3;
    KPL_Paint(2, 2);
    EXPECT_EQ(lit(3).size(), 0u);
}

TEST_F(Drawing, FloodFillOnEightBitComparesTheStoredIndex) {
    make(0, 6, 6, 8);
    KPL_FillBox(0, 0, 5, 5, 255, 255);
    kaplo::drawing_colour = 0xFFFFFF;  // stores as index 255, already there
    KPL_Paint(2, 2);
    EXPECT_EQ(lit(255).size(), 0u);
    kaplo::drawing_colour = 0x000107;
    KPL_Paint(2, 2);
    EXPECT_EQ(lit(7).size(), 0u);
}

// The pixels 4-connected to (x, y) that hold its value: what a fill must change.
static std::set<std::pair<int, int>> region_of(int x, int y, int width, int height) {
    const int32_t t = KPL_GetPixel(x, y);
    std::set<std::pair<int, int>> seen{{x, y}};
    std::vector<std::pair<int, int>> todo{{x, y}};
    while (!todo.empty()) {
        const auto [px, py] = todo.back();
        todo.pop_back();
        for (const auto& [nx, ny] :
             {std::pair{px - 1, py}, {px + 1, py}, {px, py - 1}, {px, py + 1}})
            if (nx >= 0 && ny >= 0 && nx < width && ny < height && KPL_GetPixel(nx, ny) == t &&
                seen.insert({nx, ny}).second)
                todo.push_back({nx, ny});
    }
    return seen;
}

TEST_F(Drawing, FloodFillFillsRaggedRegionsWhole) {
    // A comb 9001 wide: the back row and 4501 teeth, far more stretches than
    // the fixed seed stack holds.
    make(0, 9001, 5);
    for (int x = 1; x < 9001; x += 2) KPL_DrawLine(1, x, 1, x, 4);
    const auto comb = region_of(0, 0, 9001, 5);
    ASSERT_EQ(comb.size(), 9001u + 4501u * 4u);
    kaplo::drawing_colour = 2;
    KPL_Paint(0, 0);
    EXPECT_EQ(lit(0).size(), 9001u * 5u);  // nothing left at 0: every tooth filled
    for (const auto& [x, y] : comb) ASSERT_EQ(KPL_GetPixel(x, y), 2) << x << "," << y;

    // Random two-colour noise: each fill changes exactly its region.
    make(1, 120, 90);
    uint32_t state = 12345;
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 120; ++x) {
            state = state * 1103515245u + 12345u;
            KPL_SetPixel(x, y, (state >> 16) & 1);
        }
    for (const auto& [x, y] : {std::pair{0, 0}, {60, 45}, {119, 89}}) {
        const auto before = snapshot();
        const auto region = region_of(x, y, 120, 90);
        kaplo::drawing_colour = 7 + x;
        KPL_Paint(x, y);
        const auto after = snapshot();
        for (int py = 0; py < 90; ++py)
            for (int px = 0; px < 120; ++px)
                ASSERT_EQ(after[py * 120 + px],
                          region.count({px, py}) ? 7 + x : before[py * 120 + px]);
    }
}

TEST_F(Drawing, GlyphTableLayout) {
    const uint8_t expected_a[14] = {0x00, 0x00, 0x18, 0x3C, 0x66, 0x66, 0x66,
                                    0x7E, 0x66, 0x66, 0x66, 0x00, 0x00, 0x00};
    EXPECT_TRUE(std::equal(expected_a, expected_a + 14, kaplo::glyph_rows('A')));
    for (int c = 32; c < 128; ++c) {
        const uint8_t* rows = kaplo::glyph_rows(c);
        const bool upper = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (upper) {
            EXPECT_EQ(rows[0] | rows[1] | rows[11] | rows[12] | rows[13], 0) << char(c);
            EXPECT_NE(rows[2], 0) << char(c);
            EXPECT_NE(rows[10], 0) << char(c);
        }
        const bool blank = c == ' ' || c == 127;
        int bits = 0;
        for (int r = 0; r < 14; ++r) bits |= rows[r];
        EXPECT_EQ(bits == 0, blank) << c;
    }
    for (char c : std::string("gjpqy")) EXPECT_NE(kaplo::glyph_rows(c)[12], 0) << c;
}

TEST_F(Drawing, CharactersPlaceGlyphsAndBreakLines) {
    make(0, 16, 64);
    kpl_tc = 0x00FF00;
    auto& cur = kaplo::image_text_cursor;
    cur = {0, 0, 14};
    KPL_DrawChar('A');
    EXPECT_EQ(cur.text_x, 8);
    EXPECT_EQ(KPL_GetPixel(3, 2), 0x00FF00);  // A's apex: 0x18 at row 2
    EXPECT_EQ(KPL_GetPixel(2, 2), 0);
    EXPECT_EQ(KPL_GetPixel(1, 9), 0x00FF00);
    KPL_DrawChar('B');
    EXPECT_EQ(cur.text_x, 0);
    EXPECT_EQ(cur.baseline_y, 30);
    EXPECT_EQ(KPL_GetPixel(9, 2), 0x00FF00);  // B's stem
    KPL_DrawChar('C');
    EXPECT_EQ(KPL_GetPixel(3, 18), 0x00FF00);  // C's top at row 2 of the second line
    EXPECT_EQ(cur.text_x, 8);
}

TEST_F(Drawing, IgnoredCodesAndLineFeeds) {
    make(0, 64, 64);
    kpl_tc = kWhite;
    auto& cur = kaplo::image_text_cursor;
    cur = {20, 4, 30};
    KPL_DrawChar(200);
    KPL_DrawChar(9);
    KPL_DrawChar(static_cast<char>(0xC8));
    EXPECT_EQ(cur.text_x, 20);
    EXPECT_EQ(cur.baseline_y, 30);
    KPL_DrawChar(127);
    KPL_DrawChar(' ');
    EXPECT_EQ(cur.text_x, 36);
    EXPECT_TRUE(lit().empty());
    KPL_DrawChar('\n');
    EXPECT_EQ(cur.text_x, 4);
    EXPECT_EQ(cur.baseline_y, 46);
    KPL_DrawTextf("%d\n%s", 7, "x");
    EXPECT_EQ(cur.text_x, 12);
    EXPECT_EQ(cur.baseline_y, 62);
    EXPECT_FALSE(lit().empty());
}

TEST_F(Drawing, LongFormattedTextIsCut) {
    make(0, 8, 8);
    std::string big(10000, 'x');
    KPL_DrawTextf("%s", big.c_str());  // clipped pixels, bounded buffer
    KPL_DrawString(nullptr);
    SUCCEED();
}

}  // namespace
