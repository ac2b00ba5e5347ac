#pragma once
// Snapping arithmetic, free of any window system: the table of edges a
// dragged window snaps to, and the shift of a proposed rectangle.

#include <cstdint>
#include <vector>

namespace kaplo {

struct EdgeRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const EdgeRect&) const = default;
};

// 4 screen strips, 256 image windows, 256 text windows, the input box, the
// button box and the main window.
inline constexpr int kMaxEdgeEntries = 4 + 256 + 256 + 3;

// Edges closer than this snap together: 7 pixels snap, 8 do not.
inline constexpr int32_t kSnapDistance = 8;

struct EdgeTable {
    std::vector<EdgeRect> entries;  // table order: the first that qualifies wins
};

// The four strips around a screen of `width` x `height` (left, above, right,
// below), then the windows in the order given; entries beyond
// kMaxEdgeEntries are dropped.
EdgeTable make_edge_table(int32_t width, int32_t height, const std::vector<EdgeRect>& windows);

// The rectangle a window at `own` proposed to move to (`proposed`) ends up
// at: shifted, never resized, so that its edges meet the first entries of
// the table within snapping distance, one horizontal and one vertical
// shift at most. The entry equal to `own` (the window itself) is skipped.
EdgeRect snap_rect(const EdgeTable& table, const EdgeRect& own, const EdgeRect& proposed);

}  // namespace kaplo
