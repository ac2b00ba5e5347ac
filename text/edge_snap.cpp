#include "text/edge_snap.h"

#include <cstdlib>

namespace kaplo {

EdgeTable make_edge_table(int32_t width, int32_t height, const std::vector<EdgeRect>& windows) {
    constexpr int32_t kStrip = 1000;
    EdgeTable table;
    table.entries.reserve(4 + windows.size());
    table.entries.push_back({-kStrip, 0, 0, height});
    table.entries.push_back({0, -kStrip, width, 0});
    table.entries.push_back({width, 0, width + kStrip, height});
    table.entries.push_back({0, height, width, height + kStrip});
    for (const EdgeRect& w : windows) {
        if (table.entries.size() >= static_cast<size_t>(kMaxEdgeEntries)) break;
        table.entries.push_back(w);
    }
    return table;
}

namespace {

// Settles one axis on the first pair of edges within snapping distance:
// `edge` meets `entry_edge`, else `edge2` meets `entry_edge2`.
void settle(bool* done, int32_t* shift, int32_t entry_edge, int32_t edge, int32_t entry_edge2,
            int32_t edge2) {
    if (std::abs(entry_edge - edge) < kSnapDistance) {
        *shift = entry_edge - edge;
        *done = true;
    } else if (std::abs(entry_edge2 - edge2) < kSnapDistance) {
        *shift = entry_edge2 - edge2;
        *done = true;
    }
}

}  // namespace

EdgeRect snap_rect(const EdgeTable& table, const EdgeRect& own, const EdgeRect& proposed) {
    // Every comparison uses the edges as proposed; a shift only records
    // where the rectangle goes.
    const int32_t L = proposed.left, T = proposed.top, R = proposed.right, B = proposed.bottom;
    int32_t dx = 0, dy = 0;
    bool x_done = false, y_done = false;
    for (const EdgeRect& e : table.entries) {
        if (x_done && y_done) break;
        if (e == own) continue;
        const bool overlap_h = e.left <= R && e.right >= L;
        const bool overlap_v = e.top <= B && e.bottom >= T;
        // Side by side: a left edge meets a right edge; then tops or
        // bottoms line up.
        if (!x_done && overlap_v) settle(&x_done, &dx, e.right, L, e.left, R);
        if (!y_done && x_done && overlap_h) settle(&y_done, &dy, e.top, T, e.bottom, B);
        // One above the other: a top edge meets a bottom edge; then lefts or
        // rights line up.
        if (!y_done && overlap_h) settle(&y_done, &dy, e.bottom, T, e.top, B);
        if (!x_done && y_done && overlap_v) settle(&x_done, &dx, e.left, L, e.right, R);
    }
    return EdgeRect{L + dx, T + dy, R + dx, B + dy};
}

}  // namespace kaplo
