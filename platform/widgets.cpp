// The Qt side of top-level windows: widgets that turn Qt events into
// messages for the owning thread, and the placement of windows under a
// window manager.
//
// Sections:
//   1. Client area (painting, mouse)
//   2. Top-level widget (keys, input methods, close, drops, activation)
//   3. Geometry: placing windows and watching moves made from outside
//   4. Bringing a window to the front
//   5. Creating and destroying widgets
//
// Everything here runs on the GUI thread.

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <deque>

#include "platform/internal.h"
#include "platform/keyboard.h"
#include "platform/window_table.h"
#include "platform/x11.h"

namespace kaplo::platform::detail {
namespace {

Message mouse_message(MsgType type, const QPoint& p, Qt::KeyboardModifiers mods) {
    Message m;
    m.type = type;
    m.x = p.x();
    m.y = p.y();
    m.ctrl = (mods & Qt::ControlModifier) != 0;
    return m;
}

void post_chars(WindowId id, const std::u16string& units, bool ctrl) {
    for (const char16_t u : units) {
        Message ch;
        ch.type = MsgType::Char;
        ch.key = u;
        ch.ctrl = ctrl;
        post_from_gui(id, ch);
    }
}

// ---------------------------------------------------------------------------
// 1. Client area: paints the screen copy and reports the mouse in client
// coordinates.

class ClientArea : public QWidget {
  public:
    ClientArea(WindowId id, std::shared_ptr<ScreenCopy> screen, bool dialog, bool double_clicks,
               QWidget* parent)
        : QWidget(parent),
          id_(id),
          screen_(dialog ? nullptr : std::move(screen)),
          double_clicks_(double_clicks) {
        if (dialog)
            setAutoFillBackground(true);
        else
            setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
        setFocusPolicy(Qt::NoFocus);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        if (!screen_) return;  // dialog background, filled by Qt
        QPainter p(this);
        std::lock_guard lock(screen_->mutex);
        if (screen_->image.isNull()) {
            p.fillRect(rect(), Qt::black);
            return;
        }
        p.drawImage(0, 0, screen_->image);
        if (screen_->image.width() < width())
            p.fillRect(screen_->image.width(), 0, width(), height(), Qt::black);
        if (screen_->image.height() < height())
            p.fillRect(0, screen_->image.height(), width(), height(), Qt::black);
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        note_ctrl(e->modifiers() & Qt::ControlModifier);
        post_from_gui(id_, mouse_message(MsgType::MouseMove, e->pos(), e->modifiers()));
    }
    void leaveEvent(QEvent*) override {
        Message m;
        m.type = MsgType::MouseLeave;
        post_from_gui(id_, m);
    }
    void mousePressEvent(QMouseEvent* e) override {
        note_ctrl(e->modifiers() & Qt::ControlModifier);
        const MsgType t = e->button() == Qt::LeftButton     ? MsgType::LeftDown
                          : e->button() == Qt::RightButton  ? MsgType::RightDown
                          : e->button() == Qt::MiddleButton ? MsgType::MiddleDown
                                                            : MsgType::MouseMove;
        if (t != MsgType::MouseMove) post_from_gui(id_, mouse_message(t, e->pos(), e->modifiers()));
    }
    // Qt makes the second of two quick presses near each other a double
    // click instead of a press. Only kinds that take double clicks see one;
    // for the others (an image window's tool wants two corners, however
    // quick) it is the press it was, as is a quick second right or middle
    // click for every window.
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && double_clicks_)
            post_from_gui(id_, mouse_message(MsgType::LeftDoubleClick, e->pos(), e->modifiers()));
        else
            mousePressEvent(e);
    }
    void wheelEvent(QWheelEvent* e) override {
        Message m = mouse_message(MsgType::Wheel, e->position().toPoint(), e->modifiers());
        m.key = e->angleDelta().y();
        post_from_gui(id_, m);
    }

  private:
    WindowId id_;
    std::shared_ptr<ScreenCopy> screen_;
    bool double_clicks_;
};

// ---------------------------------------------------------------------------
// 2. The top-level widget

void observe_geometry(const std::shared_ptr<Record>& rec);

class Widget : public QWidget {
  public:
    Widget(WindowId id, uint32_t style, bool dialog, QWidget* owner)
        : QWidget(owner, window_flags(style)), id_(id), dialog_(dialog) {
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_DeleteOnClose, false);
        // Dead keys, compose sequences and input methods commit their text
        // through input-method events (the edits of dialogs take them
        // themselves).
        if (!dialog) setAttribute(Qt::WA_InputMethodEnabled, true);
        setAcceptDrops(true);
    }
    static Qt::WindowFlags window_flags(uint32_t style) {
        Qt::WindowFlags f = Qt::Window | Qt::CustomizeWindowHint;
        if (style & kStyleCaption) f |= Qt::WindowTitleHint;
        if (style & kStyleSysMenu) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (style & kStyleStayOnTop) f |= Qt::WindowStaysOnTopHint;
        return f;
    }
    bool observe_scheduled = false;

  protected:
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        Message m;
        m.type = MsgType::Close;
        post_from_gui(id_, m);
    }
    void keyPressEvent(QKeyEvent* e) override {
        const bool ctrl = (e->modifiers() & Qt::ControlModifier) != 0;
        note_ctrl(ctrl || e->key() == Qt::Key_Control);
        Message m;
        m.type = MsgType::KeyDown;
        m.key = virtual_key(e->key(), e->modifiers());
        m.ctrl = ctrl;
        if (m.key != 0) post_from_gui(id_, m);
        post_chars(id_, typed_units(e->key(), e->modifiers(), e->text()), ctrl);
    }
    void keyReleaseEvent(QKeyEvent* e) override {
        note_ctrl((e->modifiers() & Qt::ControlModifier) && e->key() != Qt::Key_Control);
    }
    void inputMethodEvent(QInputMethodEvent* e) override {
        // A finished composition arrives whole; what is still being composed
        // (the preedit string) is not typed yet.
        const QString text = e->commitString();
        post_chars(id_,
                   std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                                  static_cast<size_t>(text.size())),
                   false);
        e->accept();
    }
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override {
        switch (query) {
            case Qt::ImEnabled:
                return true;
            case Qt::ImCursorRectangle:
                return QRect(0, 0, 1, height());
            default:
                return QWidget::inputMethodQuery(query);
        }
    }
    // In dialog-style windows Tab and Shift+Tab move between controls; in
    // every other window Tab is a key like any other.
    bool focusNextPrevChild(bool next) override {
        return dialog_ && QWidget::focusNextPrevChild(next);
    }
    void changeEvent(QEvent* e) override {
        if (e->type() == QEvent::ActivationChange) {
            Message m;
            m.type = MsgType::Activate;
            m.key = isActiveWindow() ? 1 : 0;
            post_from_gui(id_, m);
        }
        QWidget::changeEvent(e);
    }
    void moveEvent(QMoveEvent*) override { schedule_observe(); }
    void resizeEvent(QResizeEvent*) override;
    void dragEnterEvent(QDragEnterEvent* e) override {
        if (accepts_drops(id_) && e->mimeData()->hasUrls()) e->acceptProposedAction();
    }
    void dropEvent(QDropEvent* e) override {
        auto files = std::make_shared<std::vector<std::string>>();
        for (const QUrl& url : e->mimeData()->urls())
            if (url.isLocalFile()) files->push_back(url.toLocalFile().toStdString());
        if (files->empty()) return;
        Message m;
        m.type = MsgType::DropFiles;
        m.files = std::move(files);
        post_from_gui(id_, m);
        e->acceptProposedAction();
    }

  private:
    void schedule_observe() {
        // A move and a resize of one configuration arrive as two events:
        // look at the window once both are in.
        if (observe_scheduled) return;
        observe_scheduled = true;
        QPointer<Widget> self(this);
        const WindowId id = id_;
        queue_on_gui([self, id] {
            if (!self) return;
            self->observe_scheduled = false;
            if (auto rec = find_record(id)) observe_geometry(rec);
        });
    }

    WindowId id_;
    bool dialog_;
};

void Widget::resizeEvent(QResizeEvent*) {
    if (auto rec = find_record(id_)) {
        const int mh = rec->menubar ? rec->menubar->height() : 0;
        if (rec->client) rec->client->setGeometry(0, mh, width(), height() - mh);
        if (rec->menubar) rec->menubar->setGeometry(0, 0, width(), mh);
    }
    schedule_observe();
}

// Right clicks on a menu bar open the window's pop-up menu, as a right click
// on the frame would (the title bar belongs to the window manager).
class MenuBarRightClick : public QObject {
  public:
    explicit MenuBarRightClick(WindowId id, QObject* parent) : QObject(parent), id_(id) {}

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != QEvent::MouseButtonPress) return false;
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() != Qt::RightButton) return false;
        post_from_gui(id_, mouse_message(MsgType::NcRightDown, me->globalPos(), me->modifiers()));
        return true;
    }

  private:
    WindowId id_;
};

// ---------------------------------------------------------------------------
// 3. Geometry
//
// A window is placed by its frame: the widget is moved before its native
// window exists, which makes Qt ask the window manager for north-west
// gravity, so the position of every later configuration is the frame's
// top-left corner. Geometry the platform asks for is remembered, and for a
// moment after each request what the window system reports is taken as the
// answer to it, so that only changes made from outside reach the owner's
// Moving and Sizing hooks.

struct Requested {
    int32_t x, y, w, h;  // frame corner, widget size (menu bar included)
    uint32_t serial;     // the record's geometry serial when it was asked for
};
// What the platform asked of a window lately (GUI thread only).
struct Requests {
    std::deque<Requested> recent;  // oldest first
    uint32_t last_ms = 0;          // when the newest was asked for
    bool settle_scheduled = false;
};
std::unordered_map<WindowId, Requests> g_requested;
// Until no pointer button is held any longer: windows to put once more where
// their hook chose, and windows whose drag edge ends with the drag.
std::vector<std::weak_ptr<Record>> g_armed;
std::vector<std::weak_ptr<Record>> g_dragged;
QTimer* g_release_timer = nullptr;

// For this long after the platform moved or resized a window, what the
// window system reports that matches no request is the window passing
// through places of its own (a frame drawn around it, earlier moves of a
// burst, reports made before the frame was known), not a change from
// outside; once the time is over the window is looked at once more.
constexpr uint32_t kSettleMs = 500;

Frame frame_of(QWidget* w) {
    const QWindow* win = w->windowHandle();
    if (!win) return Frame{};
    const QMargins m = win->frameMargins();
    return Frame{m.left(), m.top(), m.right(), m.bottom()};
}

// The edge a resize dragged, by the sides of the outer rectangle that moved.
int32_t edge_of(const Rect& before, const Rect& after) {
    const bool l = after.left != before.left, r = after.right != before.right;
    const bool t = after.top != before.top, b = after.bottom != before.bottom;
    if (t && l) return kEdgeTopLeft;
    if (t && r) return kEdgeTopRight;
    if (b && l) return kEdgeBottomLeft;
    if (l) return kEdgeLeft;
    if (t) return kEdgeTop;
    if (r && !b) return kEdgeRight;
    if (b && !r) return kEdgeBottom;
    return kEdgeBottomRight;
}

// The edge a pointer drag took hold of, by where the pointer is against the
// rectangle the window had before the drag: the side or corner whose outer
// third it is in (a window manager takes an edge on its frame, or the corner
// nearest the pointer for a drag from inside). 0 in the middle third both
// ways.
int32_t edge_at(const Rect& before, const QPoint& at) {
    const int32_t w3 = before.width() / 3, h3 = before.height() / 3;
    const bool l = at.x() < before.left + w3, r = at.x() >= before.right - w3;
    const bool t = at.y() < before.top + h3, b = at.y() >= before.bottom - h3;
    if (t) return l ? kEdgeTopLeft : r ? kEdgeTopRight : kEdgeTop;
    if (b) return l ? kEdgeBottomLeft : r ? kEdgeBottomRight : kEdgeBottom;
    return l ? kEdgeLeft : r ? kEdgeRight : 0;
}

// When no pointer button is held any longer, a window manager's drag has
// ended: a rectangle that a hook changed is applied once more (a window
// manager may ignore a client's move during its own drag), and the edge the
// drag held is let go.
void check_release() {
    bool held = false;
    if (x11_pointer_state(nullptr, &held) && held) return;
    g_release_timer->stop();
    std::vector<std::weak_ptr<Record>> armed, dragged;
    armed.swap(g_armed);
    dragged.swap(g_dragged);
    for (auto& weak : dragged)
        if (auto rec = weak.lock()) rec->drag_edge = 0;
    for (auto& weak : armed)
        if (auto rec = weak.lock(); rec && is_window(rec->id)) apply_geometry(rec);
}

void watch_release() {
    if (!g_release_timer) {
        g_release_timer = new QTimer(QCoreApplication::instance());
        g_release_timer->setInterval(20);
        QObject::connect(g_release_timer, &QTimer::timeout, check_release);
    }
    if (!g_release_timer->isActive()) g_release_timer->start();
}

void arm_reapply(const std::shared_ptr<Record>& rec) {
    g_armed.push_back(rec);
    watch_release();
}

// The edge a resize from outside drags. A move and a resize of one
// configuration arrive as two events, and the size can be looked at before
// the position follows (openbox even resizes the window a step before it
// moves the frame when a drag of the left edge begins): the size alone
// would read as a drag of the opposite edge. So under a pointer drag the
// edge is the one the pointer took hold of, decided once from the
// rectangle before the drag and kept until the button is released (a size
// looked at just after the release still belongs to the drag); otherwise
// (the keyboard, another client) it is read from the sides that moved.
// With the table mutex held; `held` and `at` are the pointer as read just
// before.
int32_t dragged_edge(const std::shared_ptr<Record>& rec, const Rect& actual, bool held,
                     const QPoint& at) {
    if (held && rec->drag_edge == 0) {
        rec->drag_edge = edge_at(rec->outer, at);
        if (rec->drag_edge != 0) g_dragged.push_back(rec);
    }
    return rec->drag_edge != 0 ? rec->drag_edge : edge_of(rec->outer, actual);
}

void observe_geometry(const std::shared_ptr<Record>& rec);

void schedule_settle(const std::shared_ptr<Record>& rec, Requests& requests) {
    if (requests.settle_scheduled) return;
    requests.settle_scheduled = true;
    const uint32_t wait = kSettleMs - std::min(kSettleMs, millis() - requests.last_ms) + 20;
    const WindowId id = rec->id;
    QTimer::singleShot(static_cast<int>(wait), QCoreApplication::instance(), [id] {
        auto it = g_requested.find(id);
        if (it == g_requested.end()) return;
        it->second.settle_scheduled = false;
        if (auto r = find_record(id)) observe_geometry(r);
    });
}

void observe_geometry(const std::shared_ptr<Record>& rec) {
    QWidget* w = rec->widget;
    if (!w || !w->isVisible()) return;
    const QRect g = w->geometry();
    const Frame f = frame_of(w);
    const Rect actual{g.x() - f.left, g.y() - f.top, g.x() + g.width() + f.right,
                      g.y() + g.height() + f.bottom};

    Requests& requests = g_requested[rec->id];
    const auto match =
        std::find_if(requests.recent.rbegin(), requests.recent.rend(), [&](const Requested& r) {
            return r.x == actual.left && r.y == actual.top && r.w == g.width() && r.h == g.height();
        });
    const bool ours = match != requests.recent.rend();
    const bool newest = match == requests.recent.rbegin();
    const uint32_t serial = ours ? match->serial : 0;
    const bool settling = millis() - requests.last_ms < kSettleMs;
    if (settling) schedule_settle(rec, requests);
    if (!ours && settling) return;
    const bool first = !rec->seen_any;
    const bool frame_only = rec->seen_any && g == rec->seen_client;
    rec->seen_any = true;
    rec->seen_client = g;

    // A change from outside: the pointer and Ctrl as they are now, read
    // before the table is held. The window manager holds the keyboard during
    // its drag, so the last key our widgets saw is stale.
    const bool outside = !ours && !first && !frame_only;
    bool ctrl = false, held = false;
    QPoint at;
    if (outside && !x11_pointer_state(&ctrl, &held, &at)) ctrl = ctrl_held();
    Message hook;
    bool post = false;
    {
        std::lock_guard lock(table_mutex());
        if (!outside) {
            // Where the platform put it, where the window manager placed a
            // window without a position of its own, or the same place with
            // the frame drawn around it: the record takes the real frame,
            // silently, unless it has changed since (a newer request or a
            // hook still waiting).
            if (!rec->pending.waiting && (!ours || (newest && serial == rec->geometry_serial))) {
                rec->frame = f;
                rec->outer = actual;
                rec->client_w = g.width();
                rec->client_h = std::max(0, g.height() - rec->menu_h);
            }
            return;
        }
        // One hook message waits at a time; a later change updates the
        // rectangle it will carry.
        rec->frame = f;
        const bool resized =
            g.width() != rec->client_w || g.height() - rec->menu_h != rec->client_h;
        PendingGeometry& p = rec->pending;
        if (resized) p.edge = dragged_edge(rec, actual, held, at);
        p.type =
            resized || (p.waiting && p.type == MsgType::Sizing) ? MsgType::Sizing : MsgType::Moving;
        p.proposed = actual;
        p.serial = rec->geometry_serial;
        p.ctrl = ctrl;
        post = !p.waiting;
        p.waiting = true;
        hook.type = p.type;
    }
    if (rec->drag_edge != 0) watch_release();
    if (post) post_from_gui(rec->id, hook);
}

}  // namespace

void reapply_geometry(const std::shared_ptr<Record>& rec) {
    apply_geometry(rec);
    bool held = false;
    if (x11_pointer_state(nullptr, &held) && held) arm_reapply(rec);
}

void apply_geometry(const std::shared_ptr<Record>& rec) {
    QWidget* w = rec->widget;
    if (!w) return;
    Rect outer;
    int32_t cw, ch, mh, min_w, min_h, max_w, max_h;
    uint32_t style, serial;
    {
        std::lock_guard lock(table_mutex());
        outer = rec->outer;
        cw = rec->client_w;
        ch = rec->client_h;
        mh = rec->menu_h;
        style = rec->style;
        min_w = rec->min_w;
        min_h = rec->min_h;
        max_w = rec->max_w;
        max_h = rec->max_h;
        serial = rec->geometry_serial;
    }
    // Size limits are hints for the window manager; a window of fixed size
    // has the minimum equal to the maximum.
    if (style & kStyleFixedSize) {
        w->setFixedSize(cw, ch + mh);
    } else {
        w->setMinimumSize(min_w, min_h > 0 ? min_h + mh : 0);
        w->setMaximumSize(max_w > 0 ? max_w : QWIDGETSIZE_MAX,
                          max_h > 0 ? max_h + mh : QWIDGETSIZE_MAX);
        w->resize(cw, ch + mh);
    }
    Requests& requests = g_requested[rec->id];
    if (requests.recent.size() >= 64) requests.recent.pop_front();
    requests.recent.push_back(Requested{outer.left, outer.top, cw, ch + mh, serial});
    requests.last_ms = millis();
    w->move(outer.left, outer.top);
}

// ---------------------------------------------------------------------------
// 4. Bringing a window to the front
//
// A window manager activates and raises a window when it maps it, and Qt
// activates a window that was asked to be active before it was mapped as
// soon as it is. Both come after a request made while the windows were on
// their way, so a window brought to the front just after others were made
// (a program laying out its windows, then bringing the main window forward)
// would end behind them, with the last of them active. So a request waits
// until every window made lately is mapped, for at most kForegroundWaitMs,
// and then raises and activates its window. A later request replaces a
// waiting one; a key or button pressed in any of our windows meanwhile ends
// it: what the user does wins.

namespace {

constexpr uint32_t kForegroundWaitMs = 3000;

// Notes any key or button pressed in the application's windows while a
// foreground request waits.
class UserInputWatch : public QObject {
  public:
    bool pressed = false;

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
            case QEvent::KeyPress:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::NonClientAreaMouseButtonPress:
                pressed = true;
                break;
            default:
                break;
        }
        return false;
    }
};

// The waiting request (GUI thread only).
struct ForegroundRequest {
    std::weak_ptr<Record> target;
    uint32_t since = 0;  // when it was made
};
ForegroundRequest g_foreground;
QTimer* g_foreground_timer = nullptr;
UserInputWatch* g_input_watch = nullptr;

bool mapped(const Record& rec) {
    const QWindow* win = rec.widget ? rec.widget->windowHandle() : nullptr;
    return win && win->isExposed();
}

// True while a window made less than kForegroundWaitMs ago is not mapped.
bool windows_on_their_way() {
    for (const auto& rec : top_level_records())
        if (rec->widget && !mapped(*rec) && millis() - rec->made_ms < kForegroundWaitMs)
            return true;
    return false;
}

void serve_foreground_request() {
    auto rec = g_foreground.target.lock();
    const bool go = rec && rec->widget && !g_input_watch->pressed;
    if (go && windows_on_their_way() && millis() - g_foreground.since < kForegroundWaitMs) return;
    g_foreground = ForegroundRequest{};
    g_foreground_timer->stop();
    QCoreApplication::instance()->removeEventFilter(g_input_watch);
    if (!go) return;
    rec->widget->raise();
    rec->widget->activateWindow();
}

}  // namespace

void bring_forward(const std::shared_ptr<Record>& rec) {
    if (!g_foreground_timer) {
        g_foreground_timer = new QTimer(QCoreApplication::instance());
        g_foreground_timer->setInterval(20);
        QObject::connect(g_foreground_timer, &QTimer::timeout, serve_foreground_request);
        g_input_watch = new UserInputWatch;
        g_input_watch->setParent(QCoreApplication::instance());
    }
    g_foreground.target = rec;
    g_foreground.since = millis();
    g_input_watch->pressed = false;
    QCoreApplication::instance()->installEventFilter(g_input_watch);
    g_foreground_timer->start();
    serve_foreground_request();  // at once when nothing is on its way
}

// ---------------------------------------------------------------------------
// 5. Creating and destroying widgets

void create_widget(const std::shared_ptr<Record>& rec, WindowId owner, bool default_pos) {
    QWidget* owner_widget = nullptr;
    if (auto o = find_record(owner)) owner_widget = o->widget;
    uint32_t style;
    std::u16string title;
    MenuId menu;
    {
        std::lock_guard lock(table_mutex());
        style = rec->style;
        title = rec->title;
        menu = rec->menu;
    }
    auto* w = new Widget(rec->id, style, rec->dialog, owner_widget);
    rec->widget = w;
    w->setWindowTitle(to_qstring(title));
    if (menu) {
        auto* bar = new QMenuBar(w);
        fill_qmenu(bar, menu);
        const WindowId id = rec->id;
        QObject::connect(bar, &QMenuBar::triggered, [id](QAction* a) {
            Message m;
            m.type = MsgType::Command;
            m.key = a->data().toInt();
            post_from_gui(id, m);
        });
        bar->installEventFilter(new MenuBarRightClick(id, bar));
        rec->menubar = bar;
    }
    rec->client = new ClientArea(rec->id, rec->screen, rec->dialog, rec->double_clicks, w);
    // The owner may already resize the window (under the table lock) while
    // its widget is being made here.
    int32_t mh, cw, ch;
    {
        std::lock_guard lock(table_mutex());
        mh = rec->menu_h;
        cw = rec->client_w;
        ch = rec->client_h;
    }
    if (rec->menubar) rec->menubar->setGeometry(0, 0, cw, mh);
    rec->client->setGeometry(0, mh, cw, ch);
    // Placed before its native window exists: the position is then the
    // frame's (north-west gravity), also for every later move.
    if (default_pos) {
        if (style & kStyleFixedSize)
            w->setFixedSize(cw, ch + mh);
        else
            w->resize(cw, ch + mh);
    } else {
        apply_geometry(rec);
    }
    // Without a position of its own the window manager chooses the place;
    // the record learns it from the window's first configuration.
    rec->made_ms = millis();
    w->show();
    std::lock_guard lock(table_mutex());
    rec->native = static_cast<uint64_t>(w->winId());
}

GuiTask destroy_widget_task(const std::shared_ptr<Record>& rec) {
    return GuiTask([rec] {
        g_requested.erase(rec->id);
        if (rec->widget) {
            rec->widget->hide();
            rec->widget->deleteLater();
        }
    });
}

}  // namespace kaplo::platform::detail
