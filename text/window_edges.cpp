// The window edge table of the running program, built from the window
// system's record of where the framework's windows are.

#include "text/window_edges.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>

#include "runtime/services.h"
#include "text/edge_snap.h"

namespace kaplo {

namespace pf = platform;

namespace {

// Readers take a reference to the table under the mutex and use it outside;
// a rebuild makes a whole new table first and only then swaps it in.
std::mutex g_edges_mutex;
std::shared_ptr<const EdgeTable> g_edges;

std::shared_ptr<const EdgeTable> current_edges() {
    std::lock_guard lock(g_edges_mutex);
    return g_edges;
}

EdgeRect edge_rect(const pf::Rect& r) {
    return EdgeRect{r.left, r.top, r.right, r.bottom};
}

void swap_in_new_table();

}  // namespace

void rebuild_window_edges() {
    try {
        swap_in_new_table();
    } catch (const std::bad_alloc&) {
        // Out of memory: the table made last stays; a window still moves.
    }
}

namespace {

void swap_in_new_table() {
    // Image windows in number order, then text windows in number order,
    // then the input box, the button box and last the main window. The
    // boxes take their places here as soon as their kinds make windows.
    const std::vector<std::string> kinds = {"kpl_iw", "kpl_twi", "kpl_ib", "kpl_bb",
                                            main_window_class_name()};
    std::vector<pf::WindowPlace> places = pf::window_places(kinds);
    std::sort(places.begin(), places.end(), [](const pf::WindowPlace& a, const pf::WindowPlace& b) {
        return a.kind != b.kind ? a.kind < b.kind : a.data < b.data;
    });
    std::vector<EdgeRect> windows;
    windows.reserve(places.size());
    for (const pf::WindowPlace& p : places) windows.push_back(edge_rect(p.outer));
    const pf::Metrics m = pf::metrics();
    auto table = std::make_shared<const EdgeTable>(make_edge_table(
        m.fullscreen_client_width, m.fullscreen_client_height + m.caption_height, windows));
    std::lock_guard lock(g_edges_mutex);
    g_edges = std::move(table);
}

}  // namespace

void follow_window_edges(pf::WindowId window, pf::Message& msg) {
    if (msg.type == pf::MsgType::Moved) rebuild_window_edges();
    if (msg.type != pf::MsgType::Moving || !msg.ctrl) return;
    // Made afresh for each snap: the window system tells the platform of a
    // window's frame some time after the window is shown, and that is no
    // move, so a table made before then holds the window without its frame.
    rebuild_window_edges();
    const std::shared_ptr<const EdgeTable> table = current_edges();
    pf::Rect own;
    if (!table || !pf::window_rect(window, &own)) return;
    const EdgeRect r = snap_rect(*table, edge_rect(own), edge_rect(msg.rect));
    msg.rect = pf::Rect{r.left, r.top, r.right, r.bottom};
}

}  // namespace kaplo
