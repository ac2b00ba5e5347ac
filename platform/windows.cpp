// Windows, per-thread message queues, screen copies and controls over Qt.
//
// Sections:
//   1. Queues (one per thread that owns windows) and pump
//   2. The window table: the platform's own record of every window
//   3. Qt widgets: turn Qt events into messages for the owning thread
//   4. Window calls (any thread; GUI work queued with on_gui)
//   5. Screen copies and present
//   6. Controls
//
// Thread rules: the window table and every record field except the screen
// copy are guarded by g_table_mutex; the screen copy by its own mutex; Qt
// widgets are touched only on the GUI thread (inside on_gui or Qt events).

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QWheelEvent>
#include <QWidget>
#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/internal.h"
#include "platform/keys.h"
#include "platform/resample.h"

namespace kaplo::platform {
namespace {

// ---------------------------------------------------------------------------
// 1. Queues

struct Queue {
    std::mutex mutex;
    std::deque<Message> messages;
    bool gui = false;
};

std::shared_ptr<Queue> make_thread_queue() {
    auto q = std::make_shared<Queue>();
    q->gui = is_gui_thread();
    return q;
}

// The calling thread's queue, made on first use. Records keep a reference,
// so a queue outlives its thread for as long as its windows do.
std::shared_ptr<Queue>& this_thread_queue() {
    thread_local std::shared_ptr<Queue> queue = make_thread_queue();
    return queue;
}

std::atomic<bool> g_gui_drain_scheduled{false};

// ---------------------------------------------------------------------------
// 2. The window table

class Widget;

struct ScreenCopy {
    std::mutex mutex;
    QImage image;  // Format_RGB32, client-sized
};

struct Record {
    WindowId id = 0;
    WindowProc proc = nullptr;
    std::shared_ptr<Queue> owner;
    WindowId parent = 0;  // controls only
    ControlKind control_kind = ControlKind::Static;
    int32_t control_id = 0;
    uint32_t style = 0;
    MenuId menu = 0;
    Rect outer;
    int32_t client_w = 0, client_h = 0;
    std::u16string title;
    bool drops = false;
    bool dialog = false;
    std::atomic<bool> update_pending{false};
    std::shared_ptr<ScreenCopy> screen = std::make_shared<ScreenCopy>();
    // GUI thread only:
    QPointer<QWidget> widget;  // the top-level widget, or the control itself
    QPointer<QWidget> client;  // the client area (top-level windows)
    QPointer<QMenuBar> menubar;
};

std::mutex g_table_mutex;
std::unordered_map<WindowId, std::shared_ptr<Record>> g_windows;
std::map<std::string, WindowProc> g_kinds;
WindowId g_next_id = 1;

std::shared_ptr<Record> find_record(WindowId id) {
    std::lock_guard lock(g_table_mutex);
    auto it = g_windows.find(id);
    return it == g_windows.end() ? nullptr : it->second;
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
        dispatch(msg);
    }
}

void schedule_gui_drain() {
    if (g_gui_drain_scheduled.exchange(true)) return;
    detail::queue_on_gui([] {
        g_gui_drain_scheduled.store(false);
        drain(this_thread_queue());
    });
}

bool post_to(const std::shared_ptr<Record>& rec, const Message& msg) {
    {
        std::lock_guard lock(rec->owner->mutex);
        rec->owner->messages.push_back(msg);
        rec->owner->messages.back().window = rec->id;
    }
    if (rec->owner->gui) schedule_gui_drain();
    return true;
}

void destroy_on_owner(const std::shared_ptr<Record>& rec);

void dispatch(Message& msg) {
    auto rec = find_record(msg.window);
    if (!rec) return;  // destroyed while the message waited
    if (msg.type == MsgType::Destroy) {
        // A destruction asked for by another thread, carried out here.
        destroy_on_owner(rec);
        return;
    }
    rec->proc(msg.window, msg);
}

// Outer rectangle <-> Qt geometry. The frame decorations are the metric
// values, so the rectangles the framework computes and reads back agree.
struct Decor {
    int32_t left, top, right, bottom;
};
Decor decor_for(uint32_t style, bool has_menu) {
    Rect r = adjust_window_rect(Rect{0, 0, 0, 0}, style, has_menu);
    return Decor{-r.left, -r.top, r.right, r.bottom};
}

// ---------------------------------------------------------------------------
// 3. Qt widgets

int32_t virtual_key(const QKeyEvent* e) {
    const int k = e->key();
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return k;  // same codes as ASCII capitals
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return k;
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return key::kF1 + (k - Qt::Key_F1);
    switch (k) {
        case Qt::Key_Backspace:
            return key::kBack;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return key::kTab;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return key::kReturn;
        case Qt::Key_Shift:
            return key::kShift;
        case Qt::Key_Control:
            return key::kControl;
        case Qt::Key_Alt:
            return key::kMenu;
        case Qt::Key_Escape:
            return key::kEscape;
        case Qt::Key_Space:
            return key::kSpace;
        case Qt::Key_PageUp:
            return key::kPrior;
        case Qt::Key_PageDown:
            return key::kNext;
        case Qt::Key_End:
            return key::kEnd;
        case Qt::Key_Home:
            return key::kHome;
        case Qt::Key_Left:
            return key::kLeft;
        case Qt::Key_Up:
            return key::kUp;
        case Qt::Key_Right:
            return key::kRight;
        case Qt::Key_Down:
            return key::kDown;
        case Qt::Key_Insert:
            return key::kInsert;
        case Qt::Key_Delete:
            return key::kDelete;
        default:
            return 0;
    }
}

Message mouse_message(MsgType type, const QPoint& p, Qt::KeyboardModifiers mods) {
    Message m;
    m.type = type;
    m.x = p.x();
    m.y = p.y();
    m.ctrl = (mods & Qt::ControlModifier) != 0;
    return m;
}

// The client area of a top-level window: paints the screen copy and reports
// the mouse in client coordinates.
class ClientArea : public QWidget {
  public:
    ClientArea(WindowId id, std::shared_ptr<ScreenCopy> screen, bool dialog, QWidget* parent)
        : QWidget(parent), id_(id), screen_(dialog ? nullptr : std::move(screen)) {
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
        detail::note_ctrl(e->modifiers() & Qt::ControlModifier);
        detail::post_from_gui(id_, mouse_message(MsgType::MouseMove, e->pos(), e->modifiers()));
    }
    void mousePressEvent(QMouseEvent* e) override {
        detail::note_ctrl(e->modifiers() & Qt::ControlModifier);
        MsgType t = e->button() == Qt::LeftButton     ? MsgType::LeftDown
                    : e->button() == Qt::RightButton  ? MsgType::RightDown
                    : e->button() == Qt::MiddleButton ? MsgType::MiddleDown
                                                      : MsgType::MouseMove;
        if (t != MsgType::MouseMove)
            detail::post_from_gui(id_, mouse_message(t, e->pos(), e->modifiers()));
    }
    void wheelEvent(QWheelEvent* e) override {
        Message m = mouse_message(MsgType::Wheel, e->position().toPoint(), e->modifiers());
        m.key = e->angleDelta().y();
        detail::post_from_gui(id_, m);
    }

  private:
    WindowId id_;
    std::shared_ptr<ScreenCopy> screen_;
};

class Widget : public QWidget {
  public:
    Widget(WindowId id, uint32_t style, QWidget* owner)
        : QWidget(owner, window_flags(style)), id_(id), style_(style) {
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_DeleteOnClose, false);
        setAcceptDrops(true);
    }
    static Qt::WindowFlags window_flags(uint32_t style) {
        Qt::WindowFlags f = Qt::Window | Qt::CustomizeWindowHint;
        if (style & kStyleCaption) f |= Qt::WindowTitleHint;
        if (style & kStyleSysMenu) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (style & kStyleStayOnTop) f |= Qt::WindowStaysOnTopHint;
        return f;
    }
    // Set when the platform itself moves or resizes the window, so the
    // resulting Qt events update the record without echoing back.
    bool applying = false;

  protected:
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        Message m;
        m.type = MsgType::Close;
        detail::post_from_gui(id_, m);
    }
    void keyPressEvent(QKeyEvent* e) override {
        const bool ctrl = (e->modifiers() & Qt::ControlModifier) != 0;
        detail::note_ctrl(ctrl || e->key() == Qt::Key_Control);
        Message m;
        m.type = MsgType::KeyDown;
        m.key = virtual_key(e);
        m.ctrl = ctrl;
        if (m.key != 0) detail::post_from_gui(id_, m);
        const QString text = e->text();
        for (QChar c : text) {
            Message ch;
            ch.type = MsgType::Char;
            ch.key = c.unicode();
            ch.ctrl = ctrl;
            detail::post_from_gui(id_, ch);
        }
    }
    void keyReleaseEvent(QKeyEvent* e) override {
        detail::note_ctrl((e->modifiers() & Qt::ControlModifier) && e->key() != Qt::Key_Control);
    }
    bool focusNextPrevChild(bool) override { return false; }  // Tab is a key like any other
    void moveEvent(QMoveEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void dragEnterEvent(QDragEnterEvent* e) override {
        auto rec = find_record(id_);
        if (rec && accepts_drops(id_) && e->mimeData()->hasUrls()) e->acceptProposedAction();
    }
    void dropEvent(QDropEvent* e) override {
        auto files = std::make_shared<std::vector<std::string>>();
        for (const QUrl& url : e->mimeData()->urls())
            if (url.isLocalFile()) files->push_back(url.toLocalFile().toStdString());
        if (files->empty()) return;
        Message m;
        m.type = MsgType::DropFiles;
        m.files = std::move(files);
        detail::post_from_gui(id_, m);
        e->acceptProposedAction();
    }
    void mousePressEvent(QMouseEvent* e) override {
        // Presses that reach the top-level widget fell on the menu bar or
        // the frame: the non-client area.
        if (e->button() == Qt::RightButton) {
            Message m = mouse_message(MsgType::NcRightDown, e->globalPos(), e->modifiers());
            detail::post_from_gui(id_, m);
        }
    }

  private:
    WindowId id_;
    uint32_t style_;
};

void Widget::moveEvent(QMoveEvent*) {
    auto rec = find_record(id_);
    if (!rec) return;
    const QRect fg = frameGeometry();
    // Without a window manager Qt reports no frame; the outer corner is then
    // where the platform put it, i.e. the widget's own position.
    Message m;
    m.type = MsgType::Moved;
    {
        std::lock_guard lock(g_table_mutex);
        const int32_t w = rec->outer.width(), h = rec->outer.height();
        rec->outer.left = fg.x();
        rec->outer.top = fg.y();
        rec->outer.right = fg.x() + w;
        rec->outer.bottom = fg.y() + h;
        m.x = rec->outer.left;
        m.y = rec->outer.top;
    }
    if (!applying) detail::post_from_gui(id_, m);
}

void Widget::resizeEvent(QResizeEvent*) {
    auto rec = find_record(id_);
    if (!rec) return;
    const int mh = rec->menubar ? rec->menubar->height() : 0;
    const int cw = width(), ch = height() - mh;
    if (rec->client) rec->client->setGeometry(0, mh, cw, ch);
    int32_t want_w, want_h;
    {
        std::lock_guard lock(g_table_mutex);
        want_w = rec->client_w;
        want_h = rec->client_h;
    }
    if (style_ & kStyleFixedSize) {
        // The size of a fixed window belongs to the program, not the user:
        // put it back whatever asked for the change.
        if (cw != want_w || ch != want_h) {
            QPointer<Widget> self(this);
            detail::on_gui([self, want_w, want_h, mh] {
                if (self) self->resize(want_w, want_h + mh);
            });
        }
        return;
    }
    if (cw == want_w && ch == want_h) return;
    Message m;
    m.type = MsgType::Size;
    {
        std::lock_guard lock(g_table_mutex);
        const Decor d = decor_for(rec->style, rec->menu != 0);
        rec->client_w = cw;
        rec->client_h = ch;
        rec->outer.right = rec->outer.left + d.left + cw + d.right;
        rec->outer.bottom = rec->outer.top + d.top + ch + d.bottom;
    }
    m.x = cw;
    m.y = ch;
    if (!applying) detail::post_from_gui(id_, m);
}

// A single-line edit that reports Enter and focus changes to its window.
class EditControl : public QLineEdit {
  public:
    EditControl(WindowId parent, WindowId self, QWidget* w)
        : QLineEdit(w), parent_(parent), self_(self) {}

  protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            Message m;
            m.type = MsgType::Enter;
            m.control = self_;
            detail::post_from_gui(parent_, m);
            return;
        }
        QLineEdit::keyPressEvent(e);
    }
    void focusInEvent(QFocusEvent* e) override {
        QLineEdit::focusInEvent(e);
        Message m;
        m.type = MsgType::FocusGained;
        m.control = self_;
        detail::post_from_gui(parent_, m);
    }
    void focusOutEvent(QFocusEvent* e) override {
        QLineEdit::focusOutEvent(e);
        Message m;
        m.type = MsgType::FocusLost;
        m.control = self_;
        detail::post_from_gui(parent_, m);
    }

  private:
    WindowId parent_, self_;
};

void apply_geometry(const std::shared_ptr<Record>& rec) {
    auto* w = static_cast<Widget*>(rec->widget.data());
    if (!w) return;
    Rect outer;
    int32_t cw, ch;
    uint32_t style;
    {
        std::lock_guard lock(g_table_mutex);
        outer = rec->outer;
        cw = rec->client_w;
        ch = rec->client_h;
        style = rec->style;
    }
    const int mh = rec->menubar ? rec->menubar->sizeHint().height() : 0;
    w->applying = true;
    if (style & kStyleFixedSize)
        w->setFixedSize(cw, ch + mh);
    else
        w->resize(cw, ch + mh);
    w->move(outer.left, outer.top);
    w->applying = false;
}

void create_widget(const std::shared_ptr<Record>& rec, WindowId owner, bool default_pos) {
    QWidget* owner_widget = nullptr;
    if (auto o = find_record(owner)) owner_widget = o->widget;
    uint32_t style;
    std::u16string title;
    MenuId menu;
    {
        std::lock_guard lock(g_table_mutex);
        style = rec->style;
        title = rec->title;
        menu = rec->menu;
    }
    auto* w = new Widget(rec->id, style, owner_widget);
    rec->widget = w;
    w->setWindowTitle(detail::to_qstring(title));
    if (menu) {
        auto* bar = new QMenuBar(w);
        detail::fill_qmenu(bar, menu);
        const WindowId id = rec->id;
        QObject::connect(bar, &QMenuBar::triggered, [id](QAction* a) {
            Message m;
            m.type = MsgType::Command;
            m.key = a->data().toInt();
            detail::post_from_gui(id, m);
        });
        rec->menubar = bar;
        bar->setGeometry(0, 0, rec->client_w, bar->sizeHint().height());
    }
    rec->client = new ClientArea(rec->id, rec->screen, rec->dialog, w);
    const int mh = rec->menubar ? rec->menubar->sizeHint().height() : 0;
    rec->client->setGeometry(0, mh, rec->client_w, rec->client_h);
    // The native window must exist before it is placed, so that the window
    // system's frame is known and the position is taken as the frame's.
    w->winId();
    if (default_pos) {
        w->resize(rec->client_w, rec->client_h + mh);
        if (style & kStyleFixedSize) w->setFixedSize(rec->client_w, rec->client_h + mh);
    } else {
        apply_geometry(rec);
    }
    w->show();
    if (default_pos) {
        std::lock_guard lock(g_table_mutex);
        const int32_t ow = rec->outer.width(), oh = rec->outer.height();
        rec->outer.left = w->frameGeometry().x();
        rec->outer.top = w->frameGeometry().y();
        rec->outer.right = rec->outer.left + ow;
        rec->outer.bottom = rec->outer.top + oh;
    }
}

void destroy_widget(const std::shared_ptr<Record>& rec) {
    detail::on_gui([rec] {
        if (rec->widget) {
            rec->widget->hide();
            rec->widget->deleteLater();
        }
    });
}

void destroy_on_owner(const std::shared_ptr<Record>& rec) {
    // Controls first, as the window system destroys children with their parent.
    std::vector<std::shared_ptr<Record>> children;
    {
        std::lock_guard lock(g_table_mutex);
        for (auto& [id, r] : g_windows)
            if (r->parent == rec->id) children.push_back(r);
        for (auto& c : children) g_windows.erase(c->id);
    }
    if (rec->proc) {
        Message m;
        m.type = MsgType::Destroy;
        m.window = rec->id;
        rec->proc(rec->id, m);
    }
    {
        std::lock_guard lock(g_table_mutex);
        g_windows.erase(rec->id);
    }
    if (rec->parent == 0) destroy_widget(rec);  // controls go with their parent widget
}

}  // namespace

// ---------------------------------------------------------------------------
// detail helpers used by the other platform files

void detail::post_from_gui(WindowId window, const Message& msg) {
    if (auto rec = find_record(window)) {
        // Controls report to the window that holds them.
        if (rec->parent != 0 && msg.type != MsgType::Enter && msg.type != MsgType::FocusGained &&
            msg.type != MsgType::FocusLost) {
            if (auto p = find_record(rec->parent)) {
                post_to(p, msg);
                return;
            }
        }
        post_to(rec, msg);
    }
}

QWidget* detail::client_widget(WindowId parent) {
    auto rec = find_record(parent);
    return rec ? rec->client.data() : nullptr;
}

// ---------------------------------------------------------------------------
// 4. Window calls

bool register_window_kind(const std::string& name, WindowProc proc) {
    std::lock_guard lock(g_table_mutex);
    if (name.empty() || !proc || g_kinds.count(name)) return false;
    g_kinds[name] = proc;
    return true;
}

intptr_t default_proc(WindowId window, Message& msg) {
    if (msg.type == MsgType::Close) destroy_window(window);
    return 0;
}

bool post(WindowId window, const Message& msg) {
    auto rec = find_record(window);
    return rec ? post_to(rec, msg) : false;
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
    drain(this_thread_queue());
}

Rect adjust_window_rect(Rect client, uint32_t style, bool has_menu) {
    const Metrics m = metrics();
    Rect r = client;
    if (!(style & kStyleFixedSize) || (style & kStyleCaption)) {
        r.left -= m.frame_width;
        r.right += m.frame_width;
        r.top -= m.frame_width;
        r.bottom += m.frame_width;
    }
    if (style & kStyleCaption) r.top -= m.caption_height;
    if (has_menu) r.top -= m.menu_height;
    return r;
}

WindowId create_window(const CreateParams& params) {
    auto rec = std::make_shared<Record>();
    {
        std::lock_guard lock(g_table_mutex);
        auto kind = g_kinds.find(params.kind);
        if (kind == g_kinds.end()) return 0;
        rec->proc = kind->second;
        rec->id = g_next_id++;
    }
    rec->owner = this_thread_queue();
    rec->style = params.style;
    rec->menu = params.menu;
    rec->title = params.title;
    rec->dialog = params.dialog_background;
    const Decor d = decor_for(params.style, params.menu != 0);
    rec->client_w = std::max(0, params.width - d.left - d.right);
    rec->client_h = std::max(0, params.height - d.top - d.bottom);
    const bool default_pos = params.x == kDefaultPosition || params.y == kDefaultPosition;
    const int32_t x = params.x == kDefaultPosition ? 0 : params.x;
    const int32_t y = params.y == kDefaultPosition ? 0 : params.y;
    rec->outer = Rect{x, y, x + params.width, y + params.height};
    {
        std::lock_guard lock(g_table_mutex);
        g_windows[rec->id] = rec;
    }
    {
        std::lock_guard lock(rec->screen->mutex);
        rec->screen->image =
            QImage(std::max(1, rec->client_w), std::max(1, rec->client_h), QImage::Format_RGB32);
        rec->screen->image.fill(Qt::black);
    }
    const WindowId owner = params.owner;
    detail::on_gui([rec, owner, default_pos] { create_widget(rec, owner, default_pos); });
    Message m;
    m.type = MsgType::Create;
    m.window = rec->id;
    rec->proc(rec->id, m);
    return rec->id;
}

bool destroy_window(WindowId window) {
    auto rec = find_record(window);
    if (!rec) return false;
    if (rec->owner == this_thread_queue() || rec->parent != 0) {
        destroy_on_owner(rec);
    } else {
        Message m;
        m.type = MsgType::Destroy;
        post_to(rec, m);
    }
    return true;
}

bool is_window(WindowId window) {
    return find_record(window) != nullptr;
}

bool set_window_rect(WindowId window, const Rect& outer) {
    auto rec = find_record(window);
    if (!rec) return false;
    bool resized;
    int32_t cw, ch;
    {
        std::lock_guard lock(g_table_mutex);
        const Decor d = decor_for(rec->style, rec->menu != 0);
        rec->outer = outer;
        cw = std::max(0, outer.width() - d.left - d.right);
        ch = std::max(0, outer.height() - d.top - d.bottom);
        resized = cw != rec->client_w || ch != rec->client_h;
        rec->client_w = cw;
        rec->client_h = ch;
    }
    if (resized && rec->parent == 0) {
        // The procedure learns of a new client size however it came about.
        Message m;
        m.type = MsgType::Size;
        m.x = cw;
        m.y = ch;
        post_to(rec, m);
    }
    if (rec->parent != 0) {
        detail::on_gui([rec] {
            if (rec->widget) {
                Rect r;
                {
                    std::lock_guard lock(g_table_mutex);
                    r = rec->outer;
                }
                // Qt may call back into our event handlers: no lock held here.
                rec->widget->setGeometry(r.left, r.top, r.width(), r.height());
            }
        });
        return true;
    }
    detail::on_gui([rec] { apply_geometry(rec); });
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
    {
        std::lock_guard lock(g_table_mutex);
        rec->title = text;
    }
    detail::on_gui([rec, text] {
        if (!rec->widget) return;
        const QString q = detail::to_qstring(text);
        if (rec->parent == 0) {
            rec->widget->setWindowTitle(q);
        } else if (auto* label = qobject_cast<QLabel*>(rec->widget.data())) {
            label->setText(q);
        } else if (auto* edit = qobject_cast<QLineEdit*>(rec->widget.data())) {
            edit->setText(q);
        } else if (auto* button = qobject_cast<QPushButton*>(rec->widget.data())) {
            button->setText(q);
        }
    });
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
    detail::on_gui([rec] {
        if (!rec->widget) return;
        rec->widget->raise();
        rec->widget->activateWindow();
    });
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

bool set_min_client_size(WindowId window, int32_t width, int32_t height) {
    auto rec = find_record(window);
    if (!rec) return false;
    detail::on_gui([rec, width, height] {
        if (!rec->widget) return;
        const int mh = rec->menubar ? rec->menubar->sizeHint().height() : 0;
        rec->widget->setMinimumSize(width, height + mh);
    });
    return true;
}

// ---------------------------------------------------------------------------
// 5. Screen copies

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
    {
        std::lock_guard lock(rec->screen->mutex);
        QImage& img = rec->screen->image;
        if (img.width() != cw || img.height() != ch) {
            img = QImage(cw, ch, QImage::Format_RGB32);
            img.fill(Qt::black);
        }
        // Clip the destination rectangle to the screen copy once, then walk rows.
        const int32_t x0 = std::max(0, dst_x), y0 = std::max(0, dst_y);
        const int32_t x1 = std::min(cw, dst_x + dst_w), y1 = std::min(ch, dst_y + dst_h);
        if (mode == Stretch::Smooth && (dst_w != src_w || dst_h != src_h)) {
            std::vector<uint32_t> scaled(static_cast<size_t>(dst_w) * dst_h);
            smooth_scale(pixels, src_w, src_h, stride, scaled.data(), dst_w, dst_h);
            for (int32_t y = y0; y < y1; ++y) {
                const uint32_t* s = scaled.data() + static_cast<size_t>(y - dst_y) * dst_w;
                auto* d = reinterpret_cast<uint32_t*>(img.scanLine(y));
                for (int32_t x = x0; x < x1; ++x) d[x] = s[x - dst_x] | 0xFF000000u;
            }
        } else {
            for (int32_t y = y0; y < y1; ++y) {
                const int64_t sy = static_cast<int64_t>(y - dst_y) * src_h / dst_h;
                const uint32_t* s = pixels + sy * stride;
                auto* d = reinterpret_cast<uint32_t*>(img.scanLine(y));
                if (dst_w == src_w) {
                    for (int32_t x = x0; x < x1; ++x) d[x] = s[x - dst_x] | 0xFF000000u;
                } else {
                    for (int32_t x = x0; x < x1; ++x)
                        d[x] = s[static_cast<int64_t>(x - dst_x) * src_w / dst_w] | 0xFF000000u;
                }
            }
        }
    }
    if (!rec->update_pending.exchange(true)) {
        detail::on_gui([rec] {
            rec->update_pending.store(false);
            if (rec->client) rec->client->update();
        });
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
    return post_to(rec, m);
}

// ---------------------------------------------------------------------------
// 6. Controls

WindowId create_control(ControlKind kind, WindowId parent, const std::u16string& text, int32_t x,
                        int32_t y, int32_t width, int32_t height, int32_t control_id_value) {
    auto p = find_record(parent);
    if (!p) return 0;
    auto rec = std::make_shared<Record>();
    {
        std::lock_guard lock(g_table_mutex);
        rec->id = g_next_id++;
        rec->owner = p->owner;
        rec->parent = parent;
        rec->control_kind = kind;
        rec->control_id = control_id_value;
        rec->title = text;
        rec->outer = Rect{x, y, x + width, y + height};
        rec->client_w = width;
        rec->client_h = height;
        g_windows[rec->id] = rec;
    }
    detail::on_gui([rec, kind, parent, text] {
        QWidget* host = detail::client_widget(parent);
        if (!host) return;
        QWidget* w = nullptr;
        const QString q = detail::to_qstring(text);
        switch (kind) {
            case ControlKind::Static:
                w = new QLabel(q, host);
                break;
            case ControlKind::Edit: {
                auto* e = new EditControl(parent, rec->id, host);
                e->setText(q);
                w = e;
                break;
            }
            case ControlKind::Button: {
                auto* b = new QPushButton(q, host);
                b->setFocusPolicy(Qt::NoFocus);
                const WindowId id = rec->id;
                const int32_t cid = rec->control_id;
                QObject::connect(b, &QPushButton::clicked, [parent, id, cid] {
                    Message m;
                    m.type = MsgType::Command;
                    m.key = cid;
                    m.control = id;
                    detail::post_from_gui(parent, m);
                });
                w = b;
                break;
            }
        }
        rec->widget = w;
        Rect r;
        {
            std::lock_guard lock(g_table_mutex);
            r = rec->outer;
        }
        w->setGeometry(r.left, r.top, r.width(), r.height());
        w->show();
    });
    return rec->id;
}

int32_t control_id(WindowId control) {
    auto rec = find_record(control);
    if (!rec) return 0;
    std::lock_guard lock(g_table_mutex);
    return rec->control_id;
}

}  // namespace kaplo::platform
