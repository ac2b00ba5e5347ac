// Application object, GUI-thread hand-over, threads, menus and message boxes.

#include <sys/eventfd.h>
#include <unistd.h>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSocketNotifier>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/internal.h"

namespace kaplo::platform {
namespace {

// Work handed to the GUI thread. Other threads append under the mutex and
// wake the GUI thread's event loop through an eventfd watched by a socket
// notifier; the GUI thread runs the tasks in order. Every hand-over goes
// through this std::mutex, so the ordering is plain to thread checkers too.
struct GuiTasks {
    std::mutex mutex;
    std::condition_variable done;  // blocking calls wait on it
    std::deque<std::function<void()>> tasks;
    bool alive = false;  // the GUI thread still runs tasks
    int wake_fd = -1;
    QSocketNotifier* notifier = nullptr;  // GUI thread only
};
GuiTasks g_gui;
QApplication* g_app = nullptr;
std::atomic<std::thread::id> g_gui_thread{};
std::atomic<bool> g_ctrl_down{false};
std::atomic<int32_t> g_menu_height{20};

std::vector<char*> g_qt_argv;  // QApplication keeps a reference to argc/argv
int g_qt_argc = 0;
std::string g_name_arg;

// ---------------------------------------------------------------------------
// Menus: plain data until shown.

struct MenuItem {
    enum Kind { String, Separator, Sub } kind = String;
    int32_t state = 0;
    int32_t id = 0;
    std::u16string text;
    MenuId sub = 0;
};
std::mutex g_menu_mutex;
std::map<MenuId, std::vector<MenuItem>> g_menus;
MenuId g_next_menu = 1;

bool insert_item(MenuId menu, int32_t position, MenuItem item) {
    std::lock_guard lock(g_menu_mutex);
    auto it = g_menus.find(menu);
    if (it == g_menus.end()) return false;
    auto& items = it->second;
    // Positions past the end append, as classic menu insertion does.
    const size_t pos =
        position < 0 ? items.size() : std::min(items.size(), static_cast<size_t>(position));
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(pos), std::move(item));
    return true;
}

void fill(QWidget* target, MenuId menu, int depth) {
    std::vector<MenuItem> items;
    {
        std::lock_guard lock(g_menu_mutex);
        auto it = g_menus.find(menu);
        if (it == g_menus.end()) return;
        items = it->second;
    }
    auto* qmenu = qobject_cast<QMenu*>(target);
    auto* bar = qobject_cast<QMenuBar*>(target);
    for (const MenuItem& item : items) {
        const QString text = detail::to_qstring(item.text);
        if (item.kind == MenuItem::Separator) {
            if (qmenu) qmenu->addSeparator();
            if (bar) bar->addSeparator();
            continue;
        }
        if (item.kind == MenuItem::Sub) {
            if (depth > 8) continue;  // a menu inserted into itself
            auto* sub = new QMenu(text, target);
            fill(sub, item.sub, depth + 1);
            if (qmenu) qmenu->addMenu(sub);
            if (bar) bar->addMenu(sub);
            continue;
        }
        auto* action = new QAction(text, target);
        action->setData(item.id);
        action->setEnabled((item.state & kMenuGrayed) == 0);
        if (item.state & kMenuChecked) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        target->addAction(action);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// detail

void detail::run_gui_tasks() {
    if (g_gui.wake_fd >= 0) {
        uint64_t count;
        while (read(g_gui.wake_fd, &count, sizeof count) == sizeof count) {
        }
    }
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard lock(g_gui.mutex);
            if (g_gui.tasks.empty()) return;
            task = std::move(g_gui.tasks.front());
            g_gui.tasks.pop_front();
        }
        task();
    }
}

void detail::on_gui(std::function<void()> fn) {
    if (is_gui_thread()) {
        fn();
        return;
    }
    queue_on_gui(std::move(fn));
}

void detail::queue_on_gui(std::function<void()> fn) {
    bool wake;
    {
        std::lock_guard lock(g_gui.mutex);
        if (!g_gui.alive) return;  // after shutdown nothing is shown any more
        wake = g_gui.tasks.empty();
        g_gui.tasks.push_back(std::move(fn));
    }
    if (wake) {
        const uint64_t one = 1;
        (void)!write(g_gui.wake_fd, &one, sizeof one);
    }
}

void detail::on_gui_blocking(const std::function<void()>& fn) {
    if (is_gui_thread()) {
        fn();
        return;
    }
    bool finished = false;
    on_gui([&] {
        fn();
        std::lock_guard lock(g_gui.mutex);
        finished = true;
        g_gui.done.notify_all();
    });
    std::unique_lock lock(g_gui.mutex);
    // A GUI thread that stops running tasks (the program is ending) must not
    // leave the caller waiting forever.
    g_gui.done.wait(lock, [&] { return finished || !g_gui.alive; });
}

QString detail::to_qstring(const std::u16string& s) {
    return QString::fromUtf16(s.data(), static_cast<int>(s.size()));
}

std::u16string detail::from_qstring(const QString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                          static_cast<size_t>(s.size()));
}

void detail::fill_qmenu(QWidget* menu_or_bar, MenuId menu) {
    fill(menu_or_bar, menu, 0);
}

void detail::measure_menu_height() {
    QMenuBar bar;
    bar.addAction(QStringLiteral("Start(&S)"));
    g_menu_height.store(std::max(1, bar.sizeHint().height()));
}

void detail::note_ctrl(bool down) {
    g_ctrl_down.store(down);
}

// ---------------------------------------------------------------------------
// 1. Start-up, main loop, threads

bool init(int& argc, char** argv, const char* app_name, std::string* why) {
    const char* qpa = std::getenv("QT_QPA_PLATFORM");
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!qpa || !*qpa) && (!display || !*display) && (!wayland || !*wayland)) {
        if (why) *why = "no display: DISPLAY is not set (start an X server or run under xvfb-run)";
        return false;
    }
    // "-name" sets the window-system class of every window of the process,
    // which is how other programs and tests recognise an instance.
    g_qt_argv.assign(argv, argv + argc);
    g_name_arg = app_name ? app_name : "kaplo";
    static char name_flag[] = "-name";
    g_qt_argv.insert(g_qt_argv.begin() + 1, {name_flag, g_name_arg.data()});
    g_qt_argv.push_back(nullptr);
    g_qt_argc = static_cast<int>(g_qt_argv.size()) - 1;
    (void)argc;
    g_gui_thread.store(std::this_thread::get_id());
    if (qpa && *qpa) {
        // Let an explicit platform choice fail loudly rather than abort.
    }
    // Menu bars stay inside their windows: no global menu bar, which also
    // keeps Qt from opening a session-bus connection just to look for one.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    // Qt's own event dispatcher rather than GLib's: nothing here needs a GLib
    // main loop, and GLib's wake-up descriptors are shared with Qt's helper
    // threads in ways the thread checker cannot follow.
    setenv("QT_NO_GLIB", "1", 0);
    g_app = new QApplication(g_qt_argc, g_qt_argv.data());
    QApplication::setQuitOnLastWindowClosed(false);
    g_gui.wake_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (g_gui.wake_fd < 0) {
        if (why) *why = "cannot create the GUI thread's wake-up descriptor";
        return false;
    }
    g_gui.notifier = new QSocketNotifier(g_gui.wake_fd, QSocketNotifier::Read);
    QObject::connect(g_gui.notifier, &QSocketNotifier::activated, [] { detail::run_gui_tasks(); });
    {
        std::lock_guard lock(g_gui.mutex);
        g_gui.alive = true;
    }
    detail::measure_menu_height();
    return true;
}

void shutdown() {
    {
        std::lock_guard lock(g_gui.mutex);
        g_gui.alive = false;
        g_gui.tasks.clear();
        g_gui.done.notify_all();
    }
    delete g_gui.notifier;
    g_gui.notifier = nullptr;
}

bool is_gui_thread() {
    return std::this_thread::get_id() == g_gui_thread.load();
}

void run_main_loop() {
    QApplication::exec();
}

void quit_main_loop() {
    detail::on_gui([] { QApplication::exit(0); });
}

void run_on_gui_thread(std::function<void()> fn) {
    detail::on_gui(std::move(fn));
}

void flush_display() {
    if (is_gui_thread()) QGuiApplication::sync();
}

struct Thread::Impl : QThread {
    explicit Impl(Body b) : body(b) {}
    void run() override { body(); }
    Body body;
};

Thread::Thread(Body body) : impl_(std::make_unique<Impl>(body)) {}
Thread::~Thread() {
    // The QThread object is never deleted: after it reports itself finished,
    // the thread still unwinds Qt's per-thread data, which refers to it.
    // Thread objects live as long as the process anyway.
    (void)impl_.release();
}
void Thread::start() {
    impl_->start();
}
bool Thread::finished() const {
    return impl_->isFinished();
}
bool Thread::wait(unsigned long ms) {
    return impl_->wait(ms);
}

// ---------------------------------------------------------------------------
// 5. Menus

MenuId create_menu() {
    std::lock_guard lock(g_menu_mutex);
    const MenuId id = g_next_menu++;
    g_menus[id];
    return id;
}

void destroy_menu(MenuId menu) {
    std::vector<MenuId> subs;
    {
        std::lock_guard lock(g_menu_mutex);
        auto it = g_menus.find(menu);
        if (it == g_menus.end()) return;
        for (const MenuItem& item : it->second)
            if (item.kind == MenuItem::Sub && item.sub != menu) subs.push_back(item.sub);
        g_menus.erase(it);
    }
    for (MenuId sub : subs) destroy_menu(sub);
}

bool insert_menu_item(MenuId menu, int32_t position, int32_t state, int32_t id,
                      const std::u16string& text) {
    return insert_item(menu, position, MenuItem{MenuItem::String, state, id, text, 0});
}

bool insert_menu_separator(MenuId menu, int32_t position) {
    return insert_item(menu, position, MenuItem{MenuItem::Separator, 0, 0, {}, 0});
}

bool insert_submenu(MenuId menu, MenuId sub, int32_t position, const std::u16string& text) {
    return insert_item(menu, position, MenuItem{MenuItem::Sub, 0, 0, text, sub});
}

int32_t menu_item_count(MenuId menu) {
    std::lock_guard lock(g_menu_mutex);
    auto it = g_menus.find(menu);
    return it == g_menus.end() ? -1 : static_cast<int32_t>(it->second.size());
}

int32_t track_popup_menu(MenuId menu, WindowId owner) {
    (void)owner;
    int32_t chosen = 0;
    detail::on_gui_blocking([&] {
        QMenu qmenu;
        fill(&qmenu, menu, 0);
        QAction* a = qmenu.exec(QCursor::pos());
        if (a) chosen = a->data().toInt();
    });
    return chosen;
}

// ---------------------------------------------------------------------------
// 6. Message box

void message_box(const std::u16string& text, const std::u16string& caption, MessageIcon icon) {
    detail::on_gui_blocking([&] {
        QMessageBox box(icon == MessageIcon::Error         ? QMessageBox::Critical
                        : icon == MessageIcon::Information ? QMessageBox::Information
                                                           : QMessageBox::NoIcon,
                        detail::to_qstring(caption), detail::to_qstring(text), QMessageBox::Ok);
        box.exec();
    });
}

// ---------------------------------------------------------------------------
// 7. Metrics and input state

Metrics metrics() {
    Metrics m{};
    m.caption_height = 23;
    m.frame_width = 4;
    m.min_window_width = 136;
    m.min_window_height = 39;
    m.menu_height = g_menu_height.load();
    m.screen_width = 1024;
    m.screen_height = 768;
    m.fullscreen_client_width = 1024;
    m.fullscreen_client_height = 768 - m.caption_height;
    m.display_depth = 32;
    if (!g_app) return m;
    // QScreen is safe to read from any thread once the application exists;
    // the values change only when the screen configuration does.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return m;
    const QRect g = screen->geometry();
    const QRect a = screen->availableGeometry();
    m.screen_width = g.width();
    m.screen_height = g.height();
    m.fullscreen_client_width = a.width();
    m.fullscreen_client_height = a.height() - m.caption_height;
    m.display_depth = screen->depth();
    return m;
}

bool ctrl_held() {
    return g_ctrl_down.load();
}

void cursor_position(int32_t* x, int32_t* y) {
    QPoint p;
    detail::on_gui_blocking([&] { p = QCursor::pos(); });
    *x = p.x();
    *y = p.y();
}

}  // namespace kaplo::platform
