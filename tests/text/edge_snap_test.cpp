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
    EXPECT_EQ(t.entries[3], (EdgeRect{0, kH, kW, kH + 1000}));
    EXPECT_EQ(t.entries[4], at(1, 2, 3, 4));
    EXPECT_EQ(t.entries[5], at(5, 6, 7, 8));
    const std::vector<EdgeRect> many(600, at(0, 0, 1, 1));
    EXPECT_EQ(make_edge_table(kW, kH, many).entries.size(), size_t{kMaxEdgeEntries});
}

// Where a window at `proposed` ends, among `others` (its own place is
// at(600, 600, 80, 60), or `own` when given).
struct Case {
    std::vector<EdgeRect> others;
    EdgeRect proposed, expected;
    EdgeRect own = at(600, 600, 80, 60);
};

TEST(EdgeSnap, SnapsWithinSevenPixelsNotEight) {
    const EdgeRect other = at(200, 200, 100, 100);  // right and bottom edges 300
    const EdgeRect a = at(100, 100, 200, 100), b = at(100, 100, 205, 100);  // right 300, 305
    const EdgeRect self = at(400, 400, 80, 60);
    const Case cases[] = {
        // Screen strips: left meets x = 0, right x = width, top y = 0,
        // bottom y = height; a corner settles both axes.
        {{}, at(7, 300, 100, 50), at(0, 300, 100, 50)},
        {{}, at(8, 300, 100, 50), at(8, 300, 100, 50)},
        {{}, at(kW - 107, 300, 100, 50), at(kW - 100, 300, 100, 50)},
        {{}, at(kW - 108, 300, 100, 50), at(kW - 108, 300, 100, 50)},
        {{}, at(300, 7, 100, 50), at(300, 0, 100, 50)},
        {{}, at(300, kH - 43, 100, 50), at(300, kH - 50, 100, 50)},
        {{}, at(3, -4, 100, 50), at(0, 0, 100, 50)},
        // Side by side: left meets the other's right, else right its left;
        // then (overlapping horizontally as proposed) tops align, else bottoms.
        {{other}, at(307, 230, 80, 60), at(300, 230, 80, 60)},
        {{other}, at(308, 230, 80, 60), at(308, 230, 80, 60)},
        {{other}, at(113, 230, 80, 60), at(120, 230, 80, 60)},
        {{other}, at(295, 207, 80, 60), at(300, 200, 80, 60)},
        {{other}, at(295, 247, 80, 60), at(300, 240, 80, 60)},
        {{other}, at(303, 400, 80, 60), at(303, 400, 80, 60)},  // no vertical overlap
        // Stacked: top meets the other's bottom, else bottom its top; then
        // (overlapping vertically as proposed) lefts align, else rights.
        {{other}, at(230, 307, 80, 60), at(230, 300, 80, 60)},
        {{other}, at(230, 133, 80, 60), at(230, 140, 80, 60)},
        {{other}, at(207, 295, 80, 60), at(200, 300, 80, 60)},
        {{other}, at(227, 295, 80, 60), at(220, 300, 80, 60)},
        {{other}, at(207, 305, 80, 60), at(207, 300, 80, 60)},  // below: the sides stay
        // The first entry in the table wins, the screen strips first; the
        // window's own entry never pulls it.
        {{b, a}, at(302, 150, 80, 60), at(305, 150, 80, 60)},
        {{at(-50, 0, 53, 400)}, at(4, 150, 80, 60), at(0, 150, 80, 60)},
        {{self}, at(403, 403, 80, 60), at(403, 403, 80, 60), self},
    };
    for (const Case& c : cases)
        EXPECT_EQ(snap(c.others, c.own, c.proposed), c.expected)
            << c.proposed.left << "," << c.proposed.top;
}

}  // namespace
}  // namespace kaplo
