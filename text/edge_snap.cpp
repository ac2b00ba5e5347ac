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

bool near(int32_t a, int32_t b) {
    return std::abs(a - b) < kSnapDistance;
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
        // Side by side: one window's left edge meets the other's right edge.
        if (!x_done && overlap_v) {
            if (near(e.right, L)) {
                dx = e.right - L;
                x_done = true;
            } else if (near(e.left, R)) {
                dx = e.left - R;
                x_done = true;
            }
        }
        // Once side by side, tops or bottoms line up.
        if (!y_done && x_done && overlap_h) {
            if (near(e.top, T)) {
                dy = e.top - T;
                y_done = true;
            } else if (near(e.bottom, B)) {
                dy = e.bottom - B;
                y_done = true;
            }
        }
        // One above the other: a top edge meets a bottom edge.
        if (!y_done && overlap_h) {
            if (near(e.bottom, T)) {
                dy = e.bottom - T;
                y_done = true;
            } else if (near(e.top, B)) {
                dy = e.top - B;
                y_done = true;
            }
        }
        // Once stacked, lefts or rights line up.
        if (!x_done && y_done && overlap_v) {
            if (near(e.left, L)) {
                dx = e.left - L;
                x_done = true;
            } else if (near(e.right, R)) {
                dx = e.right - R;
                x_done = true;
            }
        }
    }
    return EdgeRect{L + dx, T + dy, R + dx, B + dy};
}

}  // namespace kaplo
