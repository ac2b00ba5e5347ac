// Application object, GUI-thread hand-over, waiting for the GUI thread,
// threads, metrics and input state.

#include <sys/eventfd.h>
#include <unistd.h>
#include <QApplication>
#include <QCursor>
#include <QMenuBar>
#include <QScreen>
#include <QSocketNotifier>
#include <QThread>
#include <QWindow>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/internal.h"
#include "platform/window_table.h"
#include "platform/x11.h"

namespace kaplo::platform {
namespace {

// Work handed to the GUI thread. Other threads append under the mutex and
// wake the GUI thread's event loop through an eventfd watched by a socket
// notifier; the GUI thread runs the tasks in order. Every hand-over goes
// through this std::mutex, so the ordering is plain to thread checkers too.
struct GuiTasks {
    std::mutex mutex;
    std::condition_variable done;  // blocking calls wait on it
    std::list<std::function<void()>> tasks;
    bool alive = false;    // the GUI thread still runs tasks
    bool started = false;  // init() made the application object
    int wake_fd = -1;
    QSocketNotifier* notifier = nullptr;  // GUI thread only
};
GuiTasks g_gui;
QApplication* g_app = nullptr;
std::atomic<std::thread::id> g_gui_thread{};
std::atomic<bool> g_ctrl_down{false};
std::atomic<int32_t> g_menu_height{20};

// The frames the window manager gives (measured at start-up, GUI thread;
// read-only afterwards).
detail::Frame g_sizable_frame, g_fixed_frame;
std::atomic<void (*)()> g_lost_handler{nullptr};

// A termination signal is noted here by the signal handler and acted on by
// the GUI thread, which the handler wakes through the hand-over descriptor.
std::atomic<void (*)(int)> g_term_handler{nullptr};
std::atomic<int> g_term_signal{0};
// Set while the main message loop runs; a signal that came before waits for it.
std::atomic<bool> g_loop_running{false};
// A quit asked for before the loop started: the loop is then not entered.
std::atomic<bool> g_quit_asked{false};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void note_termination_signal(int sig) {
    const int saved = errno;
    g_term_signal.store(sig);
    const uint64_t one = 1;
    if (g_gui.wake_fd >= 0) (void)!write(g_gui.wake_fd, &one, sizeof one);
    errno = saved;
}

std::vector<char*> g_qt_argv;  // QApplication keeps a reference to argc/argv
int g_qt_argc = 0;
std::string g_name_arg;
// The display Qt connects to ("-display NAME", else $DISPLAY); written once
// by init before any other thread runs.
std::string g_display_name;

}  // namespace

// ---------------------------------------------------------------------------
// detail

void detail::run_gui_tasks() {
    if (g_gui.wake_fd >= 0) {
        uint64_t count;
        while (read(g_gui.wake_fd, &count, sizeof count) == sizeof count) {
        }
    }
    // A signal is acted on in the main loop only: during start-up the program
    // is not yet in a state that Exit can end.
    if (g_loop_running.load()) {
        if (const int sig = g_term_signal.exchange(0); sig != 0) {
            if (auto handler = g_term_handler.load()) handler(sig);
        }
    }
    for (;;) {
        std::list<std::function<void()>> task;
        {
            std::lock_guard lock(g_gui.mutex);
            if (g_gui.tasks.empty()) return;
            task.splice(task.end(), g_gui.tasks, g_gui.tasks.begin());
        }
        // Qt work that fails (out of memory) is dropped; the GUI thread must
        // go on serving every window. A thread waiting for the work is
        // released by the work itself (on_gui_blocking, run_modal).
        try {
            task.front()();
        } catch (...) {
            std::fputs("kaplo: work for the GUI thread failed and was dropped\n", stderr);
        }
    }
}

detail::GuiTask::GuiTask(std::function<void()> fn) {
    node_.push_back(std::move(fn));
}

void detail::GuiTask::run() {
    if (node_.empty()) return;
    if (is_gui_thread()) {
        const std::function<void()> fn = std::move(node_.front());
        node_.clear();
        fn();
        return;
    }
    queue();
}

void detail::GuiTask::queue() {
    if (node_.empty()) return;
    bool wake, started;
    {
        std::lock_guard lock(g_gui.mutex);
        // After shutdown nothing is shown any more: the work is dropped
        // below, outside the lock.
        started = g_gui.started;
        if (!g_gui.alive)
            wake = false;
        else {
            wake = g_gui.tasks.empty();
            g_gui.tasks.splice(g_gui.tasks.end(), node_);
        }
    }
    node_.clear();
    if (!started) require_started();
    if (wake) {
        const uint64_t one = 1;
        (void)!write(g_gui.wake_fd, &one, sizeof one);
    }
}

void detail::on_gui(std::function<void()> fn) {
    if (is_gui_thread()) {
        fn();
        return;
    }
    GuiTask(std::move(fn)).queue();
}

void detail::queue_on_gui(std::function<void()> fn) {
    GuiTask(std::move(fn)).queue();
}

void detail::on_gui_blocking(const std::function<void()>& fn) {
    if (is_gui_thread()) {
        fn();
        return;
    }
    struct State {
        bool finished = false;
        std::exception_ptr failed;
    };
    auto state = std::make_shared<State>();
    on_gui([&fn, state] {
        std::exception_ptr failed;
        try {
            fn();
        } catch (...) {
            failed = std::current_exception();
        }
        notify_waiters([&] {
            state->finished = true;
            state->failed = failed;
        });
    });
    std::exception_ptr failed;
    wait_for([&] {
        failed = state->failed;
        return state->finished;
    });
    if (failed) std::rethrow_exception(failed);
}

void detail::wait_for(const std::function<bool()>& done) {
    if (is_gui_thread()) {
        // The GUI thread itself waits (a message box asked for on the main
        // thread): it keeps serving every window meanwhile.
        for (;;) {
            {
                std::lock_guard lock(g_gui.mutex);
                if (done() || !g_gui.alive) return;
            }
            pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    std::unique_lock lock(g_gui.mutex);
    // A GUI thread that stops running tasks (the program is ending, or the
    // display went away) must not leave the caller waiting forever.
    g_gui.done.wait(lock, [&] { return done() || !g_gui.alive; });
}

void detail::require_started() {
    {
        std::lock_guard lock(g_gui.mutex);
        if (g_gui.started) return;
    }
    std::fputs(
        "kaplo: no window can be shown: the program's own main() runs instead of "
        "KAPLO's; define UserInit and UserMain instead of main\n",
        stderr);
    std::exit(1);
}

const char* detail::display_name() {
    return g_display_name.empty() ? nullptr : g_display_name.c_str();
}

void detail::notify_waiters(const std::function<void()>& fn) {
    std::lock_guard lock(g_gui.mutex);
    fn();
    g_gui.done.notify_all();
}

void detail::display_lost() {
    {
        std::lock_guard lock(g_gui.mutex);
        g_gui.alive = false;
        g_gui.tasks.clear();
        g_gui.done.notify_all();
    }
    if (auto handler = g_lost_handler.load()) handler();
    // The handler ends the process; should it return, the window system
    // library must still not end it under a running worker.
    std::fflush(nullptr);
    _exit(1);
}

void set_display_lost_handler(void (*handler)()) {
    g_lost_handler.store(handler);
}

void set_termination_handler(void (*handler)(int)) {
    g_term_handler.store(handler);
    struct sigaction action {};
    action.sa_handler = note_termination_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
}

QString detail::to_qstring(const std::u16string& s) {
    return QString::fromUtf16(s.data(), static_cast<int>(s.size()));
}

std::u16string detail::from_qstring(const QString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                          static_cast<size_t>(s.size()));
}

void detail::measure_at_startup() {
    QMenuBar bar;
    bar.addAction(QStringLiteral("Start(&S)"));
    g_menu_height.store(std::max(1, bar.sizeHint().height()));
    // Frames: none without a window manager; what it says it will draw; or
    // a caption of 23 and frames of 4 when it does not say.
    if (detail::x11_active()) {
        const int asked = detail::x11_measure_frames(&g_sizable_frame, &g_fixed_frame);
        if (asked < 0) g_sizable_frame = g_fixed_frame = detail::Frame{4, 27, 4, 4};
        return;
    }
    // Elsewhere (Qt's offscreen platform in tests) a platform window knows
    // its frame as soon as it exists.
    QWindow probe;
    probe.create();
    const QMargins m = probe.frameMargins();
    g_sizable_frame = g_fixed_frame = detail::Frame{m.left(), m.top(), m.right(), m.bottom()};
}

detail::Frame detail::expected_frame(uint32_t style) {
    return (style & kStyleFixedSize) ? g_fixed_frame : g_sizable_frame;
}

void detail::note_ctrl(bool down) {
    g_ctrl_down.store(down);
}

// ---------------------------------------------------------------------------
// 1. Start-up, main loop, threads

bool init(int& argc, char** argv, const char* app_name, std::string* why) {
    const char* qpa = std::getenv("QT_QPA_PLATFORM");
    const char* display = std::getenv("DISPLAY");
    if (display) g_display_name = display;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-display") == 0) g_display_name = argv[i + 1];
    // "-name" sets the window-system class of every window of the process,
    // which is how other programs and tests recognise an instance.
    g_qt_argv.assign(argv, argv + argc);
    g_name_arg = app_name ? app_name : "kaplo";
    static char name_flag[] = "-name";
    g_qt_argv.insert(g_qt_argv.begin() + 1, {name_flag, g_name_arg.data()});
    // The framework draws through X11. Without an X server Qt would print
    // its plugin errors and abort the process; one line says what is missing
    // instead. Another platform chosen explicitly (QT_QPA_PLATFORM=offscreen
    // in tests) is left to Qt.
    const bool x11 = !qpa || !*qpa || std::strncmp(qpa, "xcb", 3) == 0;
    if (x11 && !detail::x11_display_opens(g_display_name, why)) return false;
    if (!qpa || !*qpa) {
        // Qt 5 takes Wayland in some Wayland sessions even when XWayland is
        // there; the framework's windows need X11.
        static char platform_flag[] = "-platform", xcb[] = "xcb";
        g_qt_argv.insert(g_qt_argv.begin() + 1, {platform_flag, xcb});
    }
    g_qt_argv.push_back(nullptr);
    g_qt_argc = static_cast<int>(g_qt_argv.size()) - 1;
    g_gui_thread.store(std::this_thread::get_id());
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
        g_gui.started = true;
    }
    detail::measure_at_startup();
    detail::start_x11_watch();
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
    // A quit asked for during start-up (before any loop ran) ends it at once:
    // QApplication::exit has no effect on a loop that has not started.
    if (g_quit_asked.load()) return;
    g_loop_running.store(true);
    if (g_term_signal.load() != 0) {  // a signal that came during start-up
        const uint64_t one = 1;
        (void)!write(g_gui.wake_fd, &one, sizeof one);
    }
    QApplication::exec();
    g_loop_running.store(false);
}

void quit_main_loop() {
    detail::on_gui([] {
        g_quit_asked.store(true);
        QApplication::exit(0);
    });
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
// 7. Metrics and input state

Metrics metrics() {
    Metrics m{};
    m.caption_height = g_sizable_frame.top - g_sizable_frame.left;
    m.frame_width = g_sizable_frame.left;
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
    bool ctrl = false;
    if (detail::x11_pointer_state(&ctrl, nullptr)) return ctrl;
    return g_ctrl_down.load();
}

void cursor_position(int32_t* x, int32_t* y) {
    QPoint p;
    detail::on_gui_blocking([&] { p = QCursor::pos(); });
    *x = p.x();
    *y = p.y();
}

}  // namespace kaplo::platform
