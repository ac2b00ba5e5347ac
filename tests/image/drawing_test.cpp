// Lines, boxes, circles, discs, flood fill and bitmap text.

#include <functional>
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
        {4, 0, 0, 0, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}},
        {0, 0, 4, 2, {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}},
        {4, 2, 0, 0, {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}},
        {0, 0, 2, 4, {{0, 0}, {1, 1}, {1, 2}, {2, 3}, {2, 4}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(drawn([&] { KPL_DrawLine(kWhite, c.x1, c.y1, c.x2, c.y2); }), c.expected)
            << c.x1 << "," << c.y1 << " -> " << c.x2 << "," << c.y2;
        EXPECT_EQ(std::pair(pen_x(), pen_y()), std::pair(c.x2, c.y2));
    }
}

TEST_F(Drawing, LinesFarOutsideAreClippedWithoutOverflow) {
    make(0, 8, 8);
    KPL_DrawLine(kWhite, INT32_MIN, 3, INT32_MAX, 3);
    KPL_DrawLine(kWhite, 5, INT32_MAX, 5, INT32_MIN);
    EXPECT_EQ(std::tuple(lit().size(), pen_x(), pen_y()), std::tuple(size_t{15}, 5, INT32_MIN));
    EXPECT_EQ(drawn([] { KPL_DrawLine(kWhite, -1000000, -1000000, 1000000, 1000000); }).size(), 8u);
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
    EXPECT_EQ(std::tuple(pen_x(), pen_y(), kaplo::current_image(), kaplo::image_history_entry(1)),
              std::tuple(5, 0, current, previous));
}

TEST_F(Drawing, BoxesOutlineAndFill) {
    make(0, 16, 16);
    kaplo::drawing_colour = kWhite;
    KPL_DrawBox(2, 2, 5, 4);
    EXPECT_EQ(std::tuple(lit().size(), pen_x(), pen_y()), std::tuple(size_t{10}, 2, 2));
    // 2 x 2: outline only
    EXPECT_EQ(drawn([] { KPL_FillBox(6, 6, 5, 5, 1, 2); }),
              (Pixels{{5, 5}, {6, 5}, {5, 6}, {6, 6}}));
    EXPECT_EQ(KPL_GetPixel(6, 6), 1);
    EXPECT_EQ(drawn([] { KPL_FillBox(1, 1, 3, 3, 1, 2); }).size(), 9u);  // 3 x 3: one fill pixel
    EXPECT_EQ(std::pair(KPL_GetPixel(2, 2), KPL_GetPixel(1, 2)), std::pair(2, 1));
}

// Each shape drawn at (a, b) with colour c: one for each way a shape is cut
// to the image (plotted pixels, cut rows and columns, drawn or inverted).
struct Shape {
    const char* name;
    std::function<void(int32_t a, int32_t b, int32_t c)> draw;
};
const Shape kShapes[] = {
    {"line", [](int a, int b, int c) { KPL_DrawLine(c, a, b, a + 13, b + 5); }},
    {"row", [](int a, int b, int c) { KPL_DrawLine(c, a + 12, b, a - 2, b); }},
    {"inverted line", [](int a, int b, int) { KPL_InvertLine(a, b + 9, a + 11, b); }},
    {"box", [](int a, int b, int) { KPL_DrawBox(a, b, a + 9, b + 6); }},
    {"inverted box", [](int a, int b, int) { KPL_InvertBox(a + 9, b + 6, a, b); }},
    {"circle", [](int a, int b, int c) { KPL_DrawCircle(c, a, b, 6); }},
    {"inverted circle", [](int a, int b, int) { KPL_InvertCircle(a, b, 7); }},
    {"disc", [](int a, int b, int) { KPL_FillCircle(a, b, 6); }},
};

// Clipping is per pixel: a shape crossing the edges of a 21 x 16 image sets
// exactly the pixels it sets in the same place of a larger image, at both
// depths (32-bit rows have no padding, 8-bit ones have three bytes).
TEST_F(Drawing, ShapesCrossingTheEdgesSetExactlyThePixelsInside) {
    // Pixel (x, y) of image `n`, read with the other image selected before and after.
    auto probe = [](int n, int x, int y) {
        KPL_SelectImage(n);
        const int32_t v = KPL_ProbePixel(x, y);
        KPL_SelectImage(1 - n);
        return v;
    };
    for (int depth : {32, 8})
        for (const Shape& shape : kShapes)
            for (int a : {-8, 0, 15, 20})
                for (int b : {-6, 9, 15}) {
                    kaplo::image_store_reset_for_tests();
                    make(1, 61, 48, depth);
                    KPL_TestPatternHsv();
                    make(0, 21, 16, depth);
                    for (int y = 0; y < 16; ++y)
                        for (int x = 0; x < 21; ++x) KPL_SetPixel(x, y, probe(1, x + 20, y + 16));
                    kaplo::drawing_colour = 0xA5;
                    shape.draw(a, b, 0x5A);
                    KPL_SelectImage(1);
                    shape.draw(a + 20, b + 16, 0x5A);
                    for (int y = 0; y < 16; ++y)
                        for (int x = 0; x < 21; ++x)
                            ASSERT_EQ(probe(0, x, y), probe(1, x + 20, y + 16))
                                << shape.name << " at " << a << "," << b << " depth " << depth
                                << ": " << x << "," << y;
                }
}

// On black, an inverting outline lights what its drawing form lights: no
// pixel is inverted twice, whatever the size.
TEST_F(Drawing, InvertingOutlinesTouchEachPixelOnce) {
    make(0, 260, 260);
    auto same = [](std::function<void()> draw, std::function<void()> invert) {
        return drawn(draw) == drawn(invert);
    };
    kaplo::drawing_colour = kWhite;
    for (int w : {0, 1, 2})
        for (int h : {0, 1, 2}) {
            EXPECT_TRUE(same([&] { KPL_DrawBox(10, 10, 10 + w, 10 + h); },
                             [&] { KPL_InvertBox(10 + w, 10 + h, 10, 10); }))
                << w << "x" << h;
        }
    for (int r : {1, 2, 3, 4, 5, 6, 7, 10, 14, 50, 124})
        ASSERT_TRUE(same([&] { KPL_DrawCircle(kWhite, 130, 130, r); },
                         [&] { KPL_InvertCircle(130, 130, r); }))
            << "r=" << r;
    EXPECT_EQ(drawn([] { KPL_DrawCircle(kWhite, 30, 30, 10); }).size(), 56u);
    EXPECT_EQ(drawn([] { KPL_DrawCircle(kWhite, 30, 30, 1); }),
              (Pixels{{30, 29}, {30, 31}, {29, 30}, {31, 30}}));
    EXPECT_EQ(drawn([] { KPL_DrawCircle(kWhite, 30, 30, 0); }), (Pixels{{30, 30}}));
}

TEST_F(Drawing, DiscsAreSolidAndSpannedOnce) {
    make(0, 100, 100);
    kaplo::drawing_colour = kWhite;
    // A pixel inverted twice would be missing from the inverted disc.
    for (int r : {1, 2, 3, 4, 5, 6, 7, 10, 14, 39})
        ASSERT_EQ(drawn([=] { KPL_FillCircle(50, 50, r); }),
                  drawn([=] { KPL_InvertFillCircle(50, 50, r); }))
            << r;
    EXPECT_EQ(drawn([] { KPL_FillCircle(50, 50, 3); }).size(), 37u);  // 7 + 2 * (7 + 5 + 3)
    EXPECT_EQ(drawn([] { KPL_FillCircle(50, 50, 0); }), (Pixels{{50, 50}}));
    EXPECT_TRUE(drawn([] {
                    KPL_InvertFillCircle(50, 50, 0);
                    KPL_InvertCircle(50, 50, 0);
                    KPL_FillCircle(50, 50, -1);
                }).empty());
}

TEST_F(Drawing, FloodFillStaysInsideItsRegion) {
    make(0, 20, 20);
    kaplo::drawing_colour = 5;
    KPL_DrawBox(2, 2, 12, 12);
    kaplo::drawing_colour = 9;
    KPL_Paint(5, 5);
    EXPECT_EQ(std::tuple(KPL_GetPixel(3, 3), KPL_GetPixel(11, 11), KPL_GetPixel(2, 2),
                         KPL_GetPixel(13, 13), lit().size()),
              std::tuple(9, 9, 5, 0, size_t{40 + 81}));
    // Filling the outside reaches around the box but not through it (4-connected).
    kaplo::drawing_colour = 7;
    KPL_Paint(0, 0);
    EXPECT_EQ(std::pair(KPL_GetPixel(19, 19), KPL_GetPixel(5, 5)), std::pair(7, 9));
    // Its own colour, or a point outside: nothing.
    KPL_Paint(0, 0);
    kaplo::drawing_colour = 4;
    KPL_Paint(-1, 3);
    KPL_Paint(3, 20);
    EXPECT_EQ(lit(7).size(), 40u + 81u);
}

// The pixels 4-connected to (x, y) that hold its value: what a fill must change.
static Pixels region_of(int x, int y, int width, int height) {
    const int32_t t = KPL_GetPixel(x, y);
    Pixels seen{{x, y}};
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
    kaplo::drawing_colour = 2;
    KPL_Paint(0, 0);
    // Nothing left at 0: every tooth filled; the teeth's walls untouched.
    EXPECT_EQ(std::pair(lit(0).size(), lit(2).size()),
              std::pair(size_t{9001 * 5}, size_t{4500 * 4}));
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

TEST_F(Drawing, CharactersPlaceGlyphsBreakLinesAndIgnoreOtherCodes) {
    make(0, 16, 64);
    kpl_tc = 0x00FF00;
    auto& cur = kaplo::image_text_cursor;
    cur = {0, 0, 14};
    const uint8_t* a = kaplo::glyph_rows('A');  // its rows exactly
    EXPECT_EQ(std::vector<uint8_t>(a, a + 14),
              (std::vector<uint8_t>{0, 0, 0x18, 0x3C, 0x66, 0x66, 0x66, 0x7E, 0x66, 0x66, 0x66, 0,
                                    0, 0}));
    KPL_DrawChar('A');  // its apex: 0x18 at row 2
    EXPECT_EQ(std::tuple(cur.text_x, KPL_GetPixel(3, 2), KPL_GetPixel(2, 2), KPL_GetPixel(1, 9)),
              std::tuple(8, 0x00FF00, 0, 0x00FF00));
    KPL_DrawChar('B');  // no room for a third: the line breaks
    KPL_DrawChar('C');  // its top at row 2 of the second line
    EXPECT_EQ(std::tuple(cur.text_x, cur.baseline_y, KPL_GetPixel(9, 2), KPL_GetPixel(3, 18)),
              std::tuple(8, 30, 0x00FF00, 0x00FF00));

    make(1, 64, 64);
    cur = {20, 4, 30};
    for (int c : {200, 9, int{static_cast<char>(0xC8)}, 127, 32})
        KPL_DrawChar(c);  // 127, space move
    EXPECT_EQ(std::tuple(cur.text_x, cur.baseline_y, lit().size()), std::tuple(36, 30, size_t{0}));
    KPL_DrawChar('\n');
    EXPECT_EQ(std::pair(cur.text_x, cur.baseline_y), std::pair(4, 46));
    KPL_DrawTextf("%d\n%s", 7, "x");
    EXPECT_EQ(std::pair(cur.text_x, cur.baseline_y), std::pair(12, 62));
    EXPECT_FALSE(lit().empty());
    KPL_DrawTextf("%s", std::string(10000, 'x').c_str());  // a bounded buffer, pixels clipped
    KPL_DrawString(nullptr);
}

}  // namespace
