#pragma once
// The platform's own record of every window, shared by the files that make
// up the window layer (windows, widgets, controls, menus). Not for the rest
// of the framework.
//
// Thread rules: the table and every record field marked "table mutex" are
// guarded by table_mutex(); the screen copy by its own mutex; the fields
// marked "GUI thread" are touched only on the GUI thread. Never call into Qt
// while holding the table mutex: Qt may call back into our event handlers.

#include <QImage>
#include <QMenuBar>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/internal.h"
#include "platform/platform.h"

namespace kaplo::platform::detail {

// One message queue per thread that owns windows.
struct Queue {
    std::mutex mutex;
    std::deque<Message> messages;
    bool gui = false;
    // wait_for_message(): told of each message queued, and of
    // wake_waiting_threads(), which sets `woken` (under the mutex) until the
    // next wait takes it.
    std::condition_variable arrived;
    bool woken = false;
};

// The calling thread's queue, made on first use. Records keep a reference,
// so a queue outlives its thread for as long as its windows do.
std::shared_ptr<Queue>& this_thread_queue();

struct ScreenCopy {
    std::mutex mutex;
    QImage image;  // Format_RGB32, client-sized
};

// What the window manager draws around a window's widget: the frame
// extents. The menu bar is not part of it (it sits inside the widget).
struct Frame {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const Frame&) const = default;
};

// A move or resize made from outside (a window-manager drag, another
// client) that waits for the owner's Moving or Sizing hook.
struct PendingGeometry {
    MsgType type = MsgType::Moving;  // Moving or Sizing; only while `waiting`
    bool waiting = false;            // a hook message is queued for it
    Rect proposed;                   // the outer rectangle the window now has
    int32_t edge = 0;                // Sizing: the dragged edge
    bool ctrl = false;               // Ctrl held when the change was seen
    uint32_t serial = 0;             // the record's geometry serial then
};

struct Record {
    WindowId id = 0;
    WindowProc proc = nullptr;
    std::string kind;  // the registered kind it was made as (empty for controls)
    std::shared_ptr<Queue> owner;
    WindowId parent = 0;  // controls only
    ControlKind control_kind = ControlKind::Static;
    int32_t control_id = 0;
    uint32_t style = 0;
    MenuId menu = 0;
    bool dialog = false;         // button face, Tab moves between controls, Enter is OK
    bool double_clicks = false;  // its kind takes LeftDoubleClick (kKindDoubleClicks)

    // Table mutex:
    Rect outer;  // frame rectangle, screen coordinates
    int32_t client_w = 0, client_h = 0;
    Frame frame;         // the window manager's frame extents
    int32_t menu_h = 0;  // height of the menu bar inside the widget
    std::u16string title;
    bool drops = false;
    intptr_t data = 0;             // the owner's per-window value
    int32_t min_w = 0, min_h = 0;  // client size limits (window-manager hints)
    int32_t max_w = 0, max_h = 0;  // 0: no limit
    uint32_t geometry_serial = 0;  // counts geometry changes the platform makes
    uint64_t native = 0;           // the native window, once it exists
    PendingGeometry pending;

    std::atomic<bool> update_pending{false};
    std::shared_ptr<ScreenCopy> screen = std::make_shared<ScreenCopy>();

    // Owner thread: the Qt work of destroying a top-level window, made when
    // the window is made, so that destroying it never needs memory (a window
    // whose opening failed halfway is always taken down again). It holds the
    // record until then, as the table does.
    GuiTask destroy_task;

    // GUI thread:
    QPointer<QWidget> widget;  // the top-level widget, or the control itself
    QPointer<QWidget> client;  // the client area (top-level windows)
    QPointer<QMenuBar> menubar;
    QRect seen_client;  // the widget's geometry when last looked at
    bool seen_any = false;
    int32_t drag_edge = 0;  // the edge a pointer drag in progress holds (Edge), or 0
    uint32_t made_ms = 0;   // when its widget was made (millis)
};

std::mutex& table_mutex();
std::shared_ptr<Record> find_record(WindowId id);
// Every top-level window's record, in no particular order.
std::vector<std::shared_ptr<Record>> top_level_records();
// With the table mutex held: a new window id (never reused), and adding a record.
WindowId next_window_id();
void add_record(const std::shared_ptr<Record>& rec);
// Queues a message for the window's owner.
bool post_to(const std::shared_ptr<Record>& rec, const Message& msg);

// Frame extents a window of this style gets before the window manager has
// decorated it (measured at start-up where the window system can tell).
Frame expected_frame(uint32_t style);

// GUI thread: shows a control's new text (controls.cpp).
void set_control_text(const std::shared_ptr<Record>& rec, const std::u16string& text);

// GUI thread: creates, places and destroys the Qt side of a window.
// apply_geometry puts the widget where the record says; reapply_geometry
// also does it again when a window-manager drag in progress ends.
void create_widget(const std::shared_ptr<Record>& rec, WindowId owner, bool default_pos);
void apply_geometry(const std::shared_ptr<Record>& rec);
void reapply_geometry(const std::shared_ptr<Record>& rec);
// GUI thread: raises and activates the window once the windows made just
// before it are shown (see widgets.cpp, "Bringing a window to the front").
void bring_forward(const std::shared_ptr<Record>& rec);
// Any thread: the work that destroys a top-level window's widget, to be run
// on the GUI thread when the window goes (see Record::destroy_task).
GuiTask destroy_widget_task(const std::shared_ptr<Record>& rec);

}  // namespace kaplo::platform::detail
