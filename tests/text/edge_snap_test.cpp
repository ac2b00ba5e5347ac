#include "text/edge_snap.h"

#include <gtest/gtest.h>

namespace kaplo {
namespace {

constexpr int32_t kW = 1000, kH = 800;

EdgeRect at(int32_t x, int32_t y, int32_t w, int32_t h) {
    return EdgeRect{x, y, x + w, y + h};
}

EdgeRect snap(const std::vector<EdgeRect>& windows, const EdgeRect& own, const EdgeRect& proposed) {
    return snap_rect(make_edge_table(kW, kH, windows), own, proposed);
}

TEST(EdgeSnap, TableHoldsScreenStripsThenWindowsInOrder) {
    const EdgeTable t = make_edge_table(kW, kH, {at(1, 2, 3, 4), at(5, 6, 7, 8)});
    ASSERT_EQ(t.entries.size(), 6u);
    EXPECT_EQ(t.entries[0], (EdgeRect{-1000, 0, 0, kH}));
    EXPECT_EQ(t.entries[1], (EdgeRect{0, -1000, kW, 0}));
    EXPECT_EQ(t.entries[2], (EdgeRect{kW, 0, kW + 1000, kH}));
    EXPECT_EQ(t.entries[3], (EdgeRect{0, kH, kW, kH + 1000}));
    EXPECT_EQ(t.entries[4], at(1, 2, 3, 4));
    EXPECT_EQ(t.entries[5], at(5, 6, 7, 8));
    const std::vector<EdgeRect> many(600, at(0, 0, 1, 1));
    EXPECT_EQ(make_edge_table(kW, kH, many).entries.size(), size_t{kMaxEdgeEntries});
}

TEST(EdgeSnap, ScreenStripsAtSevenNotEight) {
    const EdgeRect own = at(300, 300, 100, 50);
    // Left strip: the left edge meets x = 0.
    EXPECT_EQ(snap({}, own, at(5, 300, 100, 50)), at(0, 300, 100, 50));
    EXPECT_EQ(snap({}, own, at(7, 300, 100, 50)), at(0, 300, 100, 50));
    EXPECT_EQ(snap({}, own, at(-7, 300, 100, 50)), at(0, 300, 100, 50));
    EXPECT_EQ(snap({}, own, at(8, 300, 100, 50)), at(8, 300, 100, 50));
    // Right strip: the right edge meets x = width.
    EXPECT_EQ(snap({}, own, at(kW - 107, 300, 100, 50)), at(kW - 100, 300, 100, 50));
    EXPECT_EQ(snap({}, own, at(kW - 108, 300, 100, 50)), at(kW - 108, 300, 100, 50));
    // Top strip: the top meets y = 0; bottom strip: the bottom meets y = height.
    EXPECT_EQ(snap({}, own, at(300, 7, 100, 50)), at(300, 0, 100, 50));
    EXPECT_EQ(snap({}, own, at(300, 8, 100, 50)), at(300, 8, 100, 50));
    EXPECT_EQ(snap({}, own, at(300, kH - 43, 100, 50)), at(300, kH - 50, 100, 50));
    EXPECT_EQ(snap({}, own, at(300, kH - 42, 100, 50)), at(300, kH - 42, 100, 50));
    // A corner settles both axes.
    EXPECT_EQ(snap({}, own, at(3, -4, 100, 50)), at(0, 0, 100, 50));
}

TEST(EdgeSnap, SideBySideThenTopsOrBottomsAlign) {
    const EdgeRect other = at(200, 200, 100, 100);  // right edge 300
    const EdgeRect own = at(600, 600, 80, 60);
    // Rule a, first choice: left meets the other's right; 7 snaps, 8 does not.
    EXPECT_EQ(snap({other}, own, at(307, 230, 80, 60)), at(300, 230, 80, 60));
    EXPECT_EQ(snap({other}, own, at(308, 230, 80, 60)), at(308, 230, 80, 60));
    // Rule a, second choice: right meets the other's left.
    EXPECT_EQ(snap({other}, own, at(113, 230, 80, 60)), at(120, 230, 80, 60));
    EXPECT_EQ(snap({other}, own, at(112, 230, 80, 60)), at(112, 230, 80, 60));
    // Rule b: once flush (and overlapping horizontally as proposed), tops
    // align, else bottoms.
    EXPECT_EQ(snap({other}, own, at(295, 207, 80, 60)), at(300, 200, 80, 60));
    EXPECT_EQ(snap({other}, own, at(295, 208, 80, 60)), at(300, 208, 80, 60));
    EXPECT_EQ(snap({other}, own, at(295, 247, 80, 60)), at(300, 240, 80, 60));
    EXPECT_EQ(snap({other}, own, at(295, 248, 80, 60)), at(300, 248, 80, 60));
    // No vertical overlap: no side-by-side snap.
    EXPECT_EQ(snap({other}, own, at(303, 400, 80, 60)), at(303, 400, 80, 60));
}

TEST(EdgeSnap, StackedThenLeftsOrRightsAlign) {
    const EdgeRect other = at(200, 200, 100, 100);  // bottom edge 300
    const EdgeRect own = at(600, 600, 80, 60);
    // Rule c, first choice: top meets the other's bottom.
    EXPECT_EQ(snap({other}, own, at(230, 307, 80, 60)), at(230, 300, 80, 60));
    EXPECT_EQ(snap({other}, own, at(230, 308, 80, 60)), at(230, 308, 80, 60));
    // Rule c, second choice: bottom meets the other's top.
    EXPECT_EQ(snap({other}, own, at(230, 133, 80, 60)), at(230, 140, 80, 60));
    EXPECT_EQ(snap({other}, own, at(230, 132, 80, 60)), at(230, 132, 80, 60));
    // Rule d: once stacked (and overlapping vertically as proposed), lefts
    // align, else rights.
    EXPECT_EQ(snap({other}, own, at(207, 295, 80, 60)), at(200, 300, 80, 60));
    EXPECT_EQ(snap({other}, own, at(208, 295, 80, 60)), at(208, 300, 80, 60));
    EXPECT_EQ(snap({other}, own, at(227, 295, 80, 60)), at(220, 300, 80, 60));
    EXPECT_EQ(snap({other}, own, at(228, 295, 80, 60)), at(228, 300, 80, 60));
    // Proposed below the other's bottom: stacked, but the sides stay.
    EXPECT_EQ(snap({other}, own, at(207, 305, 80, 60)), at(207, 300, 80, 60));
}

TEST(EdgeSnap, FirstEntryWinsAndOwnEntryIsSkipped) {
    // Two windows qualify for the left edge: the earlier in the table wins.
    const EdgeRect a = at(100, 100, 200, 100);  // right 300
    const EdgeRect b = at(100, 100, 205, 100);  // right 305
    const EdgeRect own = at(600, 600, 80, 60);
    EXPECT_EQ(snap({a, b}, own, at(302, 150, 80, 60)).left, 300);
    EXPECT_EQ(snap({b, a}, own, at(302, 150, 80, 60)).left, 305);
    // The window's own entry never pulls it.
    const EdgeRect self = at(400, 400, 80, 60);
    EXPECT_EQ(snap({self}, self, at(403, 403, 80, 60)), at(403, 403, 80, 60));
    // The screen strips come first: they win over a window.
    EXPECT_EQ(snap({at(-50, 0, 53, 400)}, own, at(4, 150, 80, 60)).left, 0);
}

}  // namespace
}  // namespace kaplo
