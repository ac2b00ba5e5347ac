// Windows: per-thread message queues, the window table, the window calls
// and screen copies.
//
// Sections:
//   1. Queues (one per thread that owns windows), pump and waits
//   2. The window table and dispatch (with the Moving and Sizing hooks)
//   3. Window calls (any thread; Qt work handed to the GUI thread)
//   4. Screen copies and present
//
// Thread rules: see window_table.h.

#include <QApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/internal.h"
#include "platform/resample.h"
#include "platform/window_table.h"

namespace kaplo::platform {
namespace detail {
namespace {

// ---------------------------------------------------------------------------
// 1. Queues

std::atomic<bool> g_gui_drain_scheduled{false};
// Every thread's queue, for wake_waiting_threads(); a queue whose thread and
// windows are gone drops out. Never destroyed: the worker or a thread of the
// program may still make or wake a queue while the process ends.
std::mutex g_queues_mutex;
std::vector<std::weak_ptr<Queue>>& g_queues = *new std::vector<std::weak_ptr<Queue>>;

std::shared_ptr<Queue> make_thread_queue() {
    auto q = std::make_shared<Queue>();
    q->gui = is_gui_thread();
    std::lock_guard lock(g_queues_mutex);
    std::erase_if(g_queues, [](const std::weak_ptr<Queue>& w) { return w.expired(); });
    g_queues.push_back(q);
    return q;
}

void dispatch(Message& msg);

void drain(const std::shared_ptr<Queue>& q) {
    for (;;) {
        Message msg;
        {
            std::lock_guard lock(q->mutex);
            if (q->messages.empty()) return;
            msg = std::move(q->messages.front());
            q->messages.pop_front();
        }
        // A procedure that fails on a message (out of memory) loses that
        // message only: the rest of the queue is still delivered.
        try {
            dispatch(msg);
        } catch (...) {
        }
    }
}

void drain_gui_queue() {
    g_gui_drain_scheduled.store(false);
    drain(this_thread_queue());
}

// ---------------------------------------------------------------------------
// 2. The window table

std::mutex g_table_mutex;
std::unordered_map<WindowId, std::shared_ptr<Record>> g_windows;
struct Kind {
    WindowProc proc = nullptr;
    uint32_t flags = 0;  // KindFlags
};
std::map<std::string, Kind> g_kinds;
WindowId g_next_id = 1;

void destroy_on_owner(const std::shared_ptr<Record>& rec);

void send(const std::shared_ptr<Record>& rec, MsgType type, int32_t x = 0, int32_t y = 0) {
    Message m;
    m.type = type;
    m.window = rec->id;
    m.x = x;
    m.y = y;
    rec->proc(rec->id, m);
}

// A move or resize from outside: the owner's procedure sees the proposed
// rectangle while the record still holds the old one; then the chosen
// rectangle is recorded (and applied, if the procedure changed it), and the
// procedure hears of it through Size and Moved.
void run_geometry_hook(const std::shared_ptr<Record>& rec, Message& msg) {
    PendingGeometry p;
    {
        std::lock_guard lock(g_table_mutex);
        p = rec->pending;
        rec->pending.waiting = false;
    }
    msg.rect = p.proposed;
    msg.notify = p.type == MsgType::Sizing ? p.edge : 0;
    msg.ctrl = p.ctrl;
    rec->proc(rec->id, msg);
    if (!is_window(rec->id)) return;
    Rect chosen = msg.rect;
    chosen.right = std::max(chosen.right, chosen.left);
    chosen.bottom = std::max(chosen.bottom, chosen.top);
    const bool changed = !(chosen == p.proposed);
    bool moved, resized;
    int32_t cw, ch;
    {
        std::lock_guard lock(g_table_mutex);
        // A move or resize through the window calls meanwhile wins.
        if (rec->geometry_serial != p.serial) return;
        const Rect old = rec->outer;
        cw = std::max(0, chosen.width() - rec->frame.left - rec->frame.right);
        ch = std::max(0, chosen.height() - rec->frame.top - rec->frame.bottom - rec->menu_h);
        moved = chosen.left != old.left || chosen.top != old.top;
        resized = cw != rec->client_w || ch != rec->client_h;
        rec->outer = chosen;
        rec->client_w = cw;
        rec->client_h = ch;
        if (changed) ++rec->geometry_serial;
    }
    if (changed) on_gui([rec] { reapply_geometry(rec); });
    if (resized) send(rec, MsgType::Size, cw, ch);
    if (moved) send(rec, MsgType::Moved, chosen.left, chosen.top);
}

void dispatch(Message& msg) {
    auto rec = find_record(msg.window);
    if (!rec || !rec->proc) return;  // destroyed while the message waited; a control
    switch (msg.type) {
        case MsgType::Destroy:
            // A destruction asked for by another thread, carried out here.
            destroy_on_owner(rec);
            return;
        case MsgType::Moving:
        case MsgType::Sizing:
            if (rec->parent == 0) {
                run_geometry_hook(rec, msg);
                return;
            }
            break;
        default:
            break;
    }
    rec->proc(msg.window, msg);
}

// Needs no memory for a top-level window, and completes even when the
// procedure fails on Destroy (that failure is passed on afterwards).
void destroy_on_owner(const std::shared_ptr<Record>& rec) {
    // A control's widget goes on its own; it is made ready before anything
    // changes, so a control either goes whole or stays.
    GuiTask control_gone;
    if (rec->parent != 0)
        control_gone = GuiTask([rec] {
            if (rec->widget) rec->widget->deleteLater();
        });
    // Controls first, as the window system destroys children with their
    // parent (their widgets go with the parent's widget).
    {
        std::lock_guard lock(g_table_mutex);
        std::erase_if(g_windows,
                      [&](const auto& entry) { return entry.second->parent == rec->id; });
    }
    std::exception_ptr failed;
    if (rec->proc) {
        try {
            send(rec, MsgType::Destroy);
        } catch (...) {
            failed = std::current_exception();
        }
    }
    {
        std::lock_guard lock(g_table_mutex);
        g_windows.erase(rec->id);
    }
    if (rec->parent == 0) {
        GuiTask gone = std::move(rec->destroy_task);
        gone.run();
    } else {
        control_gone.run();
    }
    if (failed) std::rethrow_exception(failed);
}

}  // namespace

std::shared_ptr<Queue>& this_thread_queue() {
    thread_local std::shared_ptr<Queue> queue = make_thread_queue();
    return queue;
}

bool post_to(const std::shared_ptr<Record>& rec, const Message& msg) {
    // The GUI thread's queue is drained by a task, made before the message is
    // queued: a post that fails leaves no message behind that nothing drains.
    GuiTask drain_task;
    if (rec->owner->gui) drain_task = GuiTask(drain_gui_queue);
    {
        std::lock_guard lock(rec->owner->mutex);
        rec->owner->messages.push_back(msg);
        rec->owner->messages.back().window = rec->id;
    }
    rec->owner->arrived.notify_all();
    if (drain_task && !g_gui_drain_scheduled.exchange(true)) drain_task.queue();
    return true;
}

std::mutex& table_mutex() {
    return g_table_mutex;
}

WindowId next_window_id() {
    return g_next_id++;
}

void add_record(const std::shared_ptr<Record>& rec) {
    g_windows[rec->id] = rec;
}

std::shared_ptr<Record> find_record(WindowId id) {
    std::lock_guard lock(g_table_mutex);
    auto it = g_windows.find(id);
    return it == g_windows.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<Record>> top_level_records() {
    std::vector<std::shared_ptr<Record>> out;
    std::lock_guard lock(g_table_mutex);
    for (const auto& [id, rec] : g_windows)
        if (rec->parent == 0) out.push_back(rec);
    return out;
}

void post_from_gui(WindowId window, const Message& msg) {
    auto rec = find_record(window);
    if (!rec) return;
    // Everything a control reports goes to the window that holds it (the
    // message names the control where it matters).
    if (rec->parent != 0) rec = find_record(rec->parent);
    if (rec) post_to(rec, msg);
}

QWidget* client_widget(WindowId parent) {
    auto rec = find_record(parent);
    return rec ? rec->client.data() : nullptr;
}

void native_window_destroyed(uint64_t native) {
    std::shared_ptr<Record> rec;
    {
        std::lock_guard lock(g_table_mutex);
        for (auto& [id, r] : g_windows)
            if (r->parent == 0 && r->native == native) rec = r;
    }
    // Destroyed by someone else while still ours: the owner hears of it as a
    // request to close, and its procedure decides what becomes of it.
    if (!rec) return;
    Message m;
    m.type = MsgType::Close;
    post_to(rec, m);
}

}  // namespace detail

using detail::find_record;
using detail::g_table_mutex;
using detail::Record;

// ---------------------------------------------------------------------------
// 3. Window calls

bool register_window_kind(const std::string& name, WindowProc proc, uint32_t flags) {
    std::lock_guard lock(g_table_mutex);
    if (name.empty() || !proc || detail::g_kinds.count(name)) return false;
    detail::g_kinds[name] = detail::Kind{proc, flags};
    return true;
}

intptr_t default_proc(WindowId window, Message& msg) {
    if (msg.type == MsgType::Close) destroy_window(window);
    return 0;
}

bool post(WindowId window, const Message& msg) {
    auto rec = find_record(window);
    return rec ? detail::post_to(rec, msg) : false;
}

bool post_command(WindowId window, int32_t id) {
    Message m;
    m.type = MsgType::Command;
    m.key = id;
    return post(window, m);
}

bool post_key(WindowId window, int32_t virtual_key, bool ctrl) {
    Message m;
    m.type = MsgType::KeyDown;
    m.key = virtual_key;
    m.ctrl = ctrl;
    return post(window, m);
}

void pump() {
    if (is_gui_thread()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        detail::run_gui_tasks();
    }
    detail::drain(detail::this_thread_queue());
}

bool wait_for_message(uint32_t ms) {
    if (is_gui_thread()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<uint32_t>(ms, 1)));
        return false;
    }
    const std::shared_ptr<detail::Queue>& q = detail::this_thread_queue();
    std::unique_lock lock(q->mutex);
    const bool ended = q->arrived.wait_for(lock, std::chrono::milliseconds(ms),
                                           [&] { return !q->messages.empty() || q->woken; });
    q->woken = false;
    return ended;
}

void wake_waiting_threads() {
    std::vector<std::shared_ptr<detail::Queue>> queues;
    {
        std::lock_guard lock(detail::g_queues_mutex);
        for (const std::weak_ptr<detail::Queue>& w : detail::g_queues)
            if (auto q = w.lock()) queues.push_back(std::move(q));
    }
    for (const std::shared_ptr<detail::Queue>& q : queues) {
        {
            std::lock_guard lock(q->mutex);
            q->woken = true;
        }
        q->arrived.notify_all();
    }
}

Rect adjust_window_rect(Rect client, uint32_t style, bool has_menu) {
    const detail::Frame f = detail::expected_frame(style);
    Rect r = client;
    r.left -= f.left;
    r.right += f.right;
    r.top -= f.top + (has_menu ? metrics().menu_height : 0);
    r.bottom += f.bottom;
    return r;
}

WindowId create_window(const CreateParams& params) {
    detail::require_started();
    auto rec = std::make_shared<Record>();
    {
        std::lock_guard lock(g_table_mutex);
        auto kind = detail::g_kinds.find(params.kind);
        if (kind == detail::g_kinds.end()) return 0;
        rec->proc = kind->second.proc;
        rec->kind = kind->first;
        rec->double_clicks = (kind->second.flags & kKindDoubleClicks) != 0;
        rec->id = detail::g_next_id++;
    }
    rec->owner = detail::this_thread_queue();
    rec->style = params.style;
    rec->menu = params.menu;
    rec->title = params.title;
    rec->dialog = params.dialog;
    rec->frame = detail::expected_frame(params.style);
    rec->menu_h = params.menu ? metrics().menu_height : 0;
    const detail::Frame& f = rec->frame;
    rec->client_w = std::max(0, params.width - f.left - f.right);
    rec->client_h = std::max(0, params.height - f.top - f.bottom - rec->menu_h);
    const bool default_pos = params.x == kDefaultPosition || params.y == kDefaultPosition;
    const int32_t x = params.x == kDefaultPosition ? 0 : params.x;
    const int32_t y = params.y == kDefaultPosition ? 0 : params.y;
    rec->outer = Rect{x, y, x + params.width, y + params.height};
    {
        std::lock_guard lock(rec->screen->mutex);
        rec->screen->image =
            QImage(std::max(1, rec->client_w), std::max(1, rec->client_h), QImage::Format_RGB32);
        rec->screen->image.fill(Qt::black);
    }
    // The Qt work of making and of destroying the widget is made ready
    // before the window enters the table, so a failure leaves no window
    // behind, and a window made can always be destroyed.
    const WindowId owner = params.owner;
    detail::GuiTask make_widget(
        [rec, owner, default_pos] { detail::create_widget(rec, owner, default_pos); });
    rec->destroy_task = detail::destroy_widget_task(rec);
    try {
        std::lock_guard lock(g_table_mutex);
        detail::g_windows[rec->id] = rec;
    } catch (...) {
        rec->destroy_task = {};  // it holds the record
        throw;
    }
    try {
        make_widget.run();
        Message m;
        m.type = MsgType::Create;
        m.window = rec->id;
        rec->proc(rec->id, m);
    } catch (...) {
        // Made halfway (the widget's work on the GUI thread, or the
        // procedure's Create, failed): taken down again.
        detail::destroy_on_owner(rec);
        throw;
    }
    return rec->id;
}

bool destroy_window(WindowId window) {
    auto rec = find_record(window);
    if (!rec) return false;
    if (rec->owner == detail::this_thread_queue() || rec->parent != 0) {
        detail::destroy_on_owner(rec);
    } else {
        Message m;
        m.type = MsgType::Destroy;
        detail::post_to(rec, m);
    }
    return true;
}

bool is_window(WindowId window) {
    return find_record(window) != nullptr;
}

bool set_window_rect(WindowId window, const Rect& outer) {
    auto rec = find_record(window);
    if (!rec) return false;
    if (rec->parent != 0) {
        {
            std::lock_guard lock(g_table_mutex);
            rec->outer = outer;
            rec->client_w = std::max(0, outer.width());
            rec->client_h = std::max(0, outer.height());
        }
        detail::on_gui([rec, outer] {
            if (rec->widget)
                rec->widget->setGeometry(outer.left, outer.top, outer.width(), outer.height());
        });
        return true;
    }
    bool resized, moved;
    int32_t cw, ch;
    {
        std::lock_guard lock(g_table_mutex);
        const detail::Frame& f = rec->frame;
        cw = std::max(0, outer.width() - f.left - f.right);
        ch = std::max(0, outer.height() - f.top - f.bottom - rec->menu_h);
        resized = cw != rec->client_w || ch != rec->client_h;
        moved = outer.left != rec->outer.left || outer.top != rec->outer.top;
        rec->outer = outer;
        rec->client_w = cw;
        rec->client_h = ch;
        if (rec->style & kStyleFixedSize) {
            rec->min_w = rec->max_w = cw;
            rec->min_h = rec->max_h = ch;
        }
        ++rec->geometry_serial;
    }
    detail::on_gui([rec] { detail::apply_geometry(rec); });
    // The procedure learns of a new size and place however they came about.
    if (resized) {
        Message m;
        m.type = MsgType::Size;
        m.x = cw;
        m.y = ch;
        detail::post_to(rec, m);
    }
    if (moved) {
        Message m;
        m.type = MsgType::Moved;
        m.x = outer.left;
        m.y = outer.top;
        detail::post_to(rec, m);
    }
    return true;
}

bool move_window(WindowId window, int32_t x, int32_t y) {
    Rect r;
    if (!window_rect(window, &r)) return false;
    return set_window_rect(window, Rect{x, y, x + r.width(), y + r.height()});
}

bool resize_window(WindowId window, int32_t width, int32_t height) {
    Rect r;
    if (!window_rect(window, &r)) return false;
    return set_window_rect(window, Rect{r.left, r.top, r.left + width, r.top + height});
}

bool set_title(WindowId window, const std::u16string& text) {
    auto rec = find_record(window);
    if (!rec) return false;
    // A title that cannot be shown is not recorded either.
    detail::GuiTask show([rec, text] {
        if (!rec->widget) return;
        if (rec->parent == 0)
            rec->widget->setWindowTitle(detail::to_qstring(text));
        else
            detail::set_control_text(rec, text);
    });
    {
        std::lock_guard lock(g_table_mutex);
        rec->title = text;
    }
    show.run();
    return true;
}

std::u16string title(WindowId window) {
    auto rec = find_record(window);
    if (!rec) return {};
    std::lock_guard lock(g_table_mutex);
    return rec->title;
}

bool window_rect(WindowId window, Rect* outer) {
    auto rec = find_record(window);
    if (!rec) return false;
    std::lock_guard lock(g_table_mutex);
    *outer = rec->outer;
    return true;
}

std::vector<WindowPlace> window_places(const std::vector<std::string>& kinds) {
    std::vector<WindowPlace> places;
    std::lock_guard lock(g_table_mutex);
    places.reserve(detail::g_windows.size());
    for (const auto& [id, rec] : detail::g_windows) {
        if (rec->parent != 0) continue;
        for (size_t k = 0; k < kinds.size(); ++k) {
            if (rec->kind == kinds[k]) {
                places.push_back(WindowPlace{id, static_cast<int32_t>(k), rec->data, rec->outer});
                break;
            }
        }
    }
    return places;
}

bool client_size(WindowId window, int32_t* width, int32_t* height) {
    auto rec = find_record(window);
    if (!rec) return false;
    std::lock_guard lock(g_table_mutex);
    *width = rec->client_w;
    *height = rec->client_h;
    return true;
}

bool bring_to_front(WindowId window) {
    auto rec = find_record(window);
    if (!rec) return false;
    detail::on_gui([rec] { detail::bring_forward(rec); });
    return true;
}

bool accept_drops(WindowId window, bool accept) {
    auto rec = find_record(window);
    if (!rec) return false;
    std::lock_guard lock(g_table_mutex);
    rec->drops = accept;
    return true;
}

bool accepts_drops(WindowId window) {
    auto rec = find_record(window);
    if (!rec) return false;
    std::lock_guard lock(g_table_mutex);
    return rec->drops;
}

bool set_cursor(WindowId window, Cursor cursor) {
    auto rec = find_record(window);
    if (!rec || rec->parent != 0) return false;
    detail::GuiTask([rec, cursor] {
        if (!rec->client) return;
        if (cursor == Cursor::Cross)
            rec->client->setCursor(Qt::CrossCursor);
        else
            rec->client->unsetCursor();
    }).run();
    return true;
}

bool set_client_size_limits(WindowId window, int32_t min_width, int32_t min_height,
                            int32_t max_width, int32_t max_height) {
    auto rec = find_record(window);
    if (!rec || rec->parent != 0) return false;
    detail::GuiTask apply([rec] { detail::apply_geometry(rec); });  // before the record changes
    {
        std::lock_guard lock(g_table_mutex);
        if (rec->style & kStyleFixedSize) return false;  // its size is its limit
        rec->min_w = std::max(0, min_width);
        rec->min_h = std::max(0, min_height);
        rec->max_w = std::max(0, max_width);
        rec->max_h = std::max(0, max_height);
    }
    apply.run();
    return true;
}

bool set_window_data(WindowId window, intptr_t value) {
    auto rec = find_record(window);
    if (!rec) return false;
    std::lock_guard lock(g_table_mutex);
    rec->data = value;
    return true;
}

intptr_t window_data(WindowId window) {
    auto rec = find_record(window);
    if (!rec) return 0;
    std::lock_guard lock(g_table_mutex);
    return rec->data;
}

// ---------------------------------------------------------------------------
// 4. Screen copies

bool present(WindowId window, const uint32_t* pixels, int32_t src_w, int32_t src_h, int32_t stride,
             int32_t dst_x, int32_t dst_y, int32_t dst_w, int32_t dst_h, Stretch mode) {
    auto rec = find_record(window);
    if (!rec || !pixels || src_w <= 0 || src_h <= 0 || dst_w <= 0 || dst_h <= 0 || stride < src_w)
        return false;
    int32_t cw, ch;
    {
        std::lock_guard lock(g_table_mutex);
        cw = std::max(1, rec->client_w);
        ch = std::max(1, rec->client_h);
    }
    // Clip the destination rectangle to the screen copy once, then walk rows.
    const int32_t x0 = std::max(0, dst_x), y0 = std::max(0, dst_y);
    const int32_t x1 = std::min(cw, dst_x + dst_w), y1 = std::min(ch, dst_y + dst_h);
    // Smoothing is the slow part: done before the copy's lock is taken, so the
    // GUI thread never waits for it to repaint.
    std::vector<uint32_t> scaled;
    const bool smooth = mode == Stretch::Smooth && (dst_w != src_w || dst_h != src_h);
    if (smooth && x0 < x1 && y0 < y1) {
        scaled.resize(static_cast<size_t>(dst_w) * dst_h);
        smooth_scale(pixels, src_w, src_h, stride, scaled.data(), dst_w, dst_h);
    }
    {
        std::lock_guard lock(rec->screen->mutex);
        QImage& img = rec->screen->image;
        if (img.width() != cw || img.height() != ch) {
            img = QImage(cw, ch, QImage::Format_RGB32);
            img.fill(Qt::black);
        }
        for (int32_t y = y0; y < y1; ++y) {
            auto* d = reinterpret_cast<uint32_t*>(img.scanLine(y));
            if (smooth) {
                const uint32_t* s = scaled.data() + static_cast<size_t>(y - dst_y) * dst_w;
                for (int32_t x = x0; x < x1; ++x) d[x] = s[x - dst_x] | 0xFF000000u;
                continue;
            }
            const int64_t sy = static_cast<int64_t>(y - dst_y) * src_h / dst_h;
            const uint32_t* s = pixels + sy * stride;
            if (dst_w == src_w) {
                for (int32_t x = x0; x < x1; ++x) d[x] = s[x - dst_x] | 0xFF000000u;
            } else {
                for (int32_t x = x0; x < x1; ++x)
                    d[x] = s[static_cast<int64_t>(x - dst_x) * src_w / dst_w] | 0xFF000000u;
            }
        }
    }
    if (!rec->update_pending.exchange(true)) {
        try {
            detail::on_gui([rec] {
                rec->update_pending.store(false);
                if (rec->client) rec->client->update();
            });
        } catch (...) {
            // No repaint was asked for: the next present asks again.
            rec->update_pending.store(false);
            throw;
        }
    }
    return true;
}

bool read_screen_copy(WindowId window, std::vector<uint32_t>* pixels, int32_t* width,
                      int32_t* height) {
    auto rec = find_record(window);
    if (!rec) return false;
    std::lock_guard lock(rec->screen->mutex);
    const QImage& img = rec->screen->image;
    *width = img.width();
    *height = img.height();
    pixels->resize(static_cast<size_t>(img.width()) * img.height());
    for (int y = 0; y < img.height(); ++y) {
        const auto* s = reinterpret_cast<const uint32_t*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            (*pixels)[static_cast<size_t>(y) * img.width() + x] = s[x] & 0x00FFFFFFu;
    }
    return true;
}

bool invalidate(WindowId window) {
    auto rec = find_record(window);
    if (!rec) return false;
    detail::on_gui([rec] {
        if (rec->client) rec->client->update();
    });
    Message m;
    m.type = MsgType::Paint;
    return detail::post_to(rec, m);
}

}  // namespace kaplo::platform
