// Public calls when memory runs out, on the real framework (Qt offscreen).
// This program's global operator new refuses, on the calling thread only,
// every allocation after the first n. Each call is run for n = 0, 1, 2, ...
// until it no longer runs out; every run must return (with the call's
// failure code or success), leave no half-made window and no lost log, and
// the same call with memory must work afterwards. Work that fails on the GUI
// thread must leave that thread serving and release whoever waits for it.
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <tuple>
#ifdef __SANITIZE_THREAD__
#include <sanitizer/tsan_interface.h>
#endif

#include "platform/clipboard.h"
#include "platform/internal.h"
#include "shell/shell.h"
#include "tests/driver.h"
#include "text/log_file.h"

namespace pf = kaplo::platform;

namespace {

thread_local long t_left = -1;  // allocations this thread may still make; -1 no limit
thread_local bool t_refused = false;

void* allocate(std::size_t size, std::size_t align) {
    if (t_left == 0) {
        t_refused = true;
        throw std::bad_alloc();
    }
    if (t_left > 0) --t_left;
    size = size ? size : 1;
    void* p = align == 0 ? std::malloc(size)
                         : std::aligned_alloc(align, (size + align - 1) / align * align);
    if (!p) throw std::bad_alloc();
    return p;
}

// Qt frees its shared reference-count blocks (those of QPointer) in its own,
// uninstrumented code after an atomic decrement the other thread's release
// pairs with; ThreadSanitizer sees only the free, here in this program's
// operator delete rather than inside Qt, and would call it a race. The
// acquire stands for the decrement it cannot see.
void release(void* p) {
#ifdef __SANITIZE_THREAD__
    if (p) __tsan_acquire(p);
#endif
    std::free(p);
}

}  // namespace

// The array and nothrow forms of the library call these.
// clang-format off
void* operator new(std::size_t n) { return allocate(n, 0); }
void* operator new(std::size_t n, std::align_val_t a) { return allocate(n, size_t(a)); }
void operator delete(void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release(p); }
// clang-format on

namespace {

std::atomic<bool> worker_done{false};

// Runs `call` with n allocations allowed for n = 0, 1, 2, ... until it no
// longer runs out; `after(result, ran_out)` checks each run (with memory).
template <class Call, class After>
long sweep(const char* name, Call call, After after) {
    for (long n = 0;; ++n) {
        t_refused = false;
        t_left = n;
        int result = -1;
        try {
            result = call();
        } catch (...) {
            t_left = -1;
            std::printf("FAIL %s: an exception escaped after %ld allocations\n", name, n);
            failures++;
        }
        t_left = -1;
        after(result, t_refused);
        if (!t_refused) {
            std::printf("%s: runs out of memory at each of %ld allocations\n", name, n);
            return n;
        }
    }
}

int live_windows() {  // records in the platform's window table
    int n = 0;
    for (pf::WindowId id = 1; id < 8192; ++id) n += pf::is_window(id);
    return n;
}

void windows_and_logs() {
    auto& tw1 = kaplo::text_table[1];
    const int windows = live_windows();
    sweep(
        "KPL_OpenTextWindow", [] { return KPL_OpenTextWindow(1, 420, 0, 200, 100); },
        [&](int result, bool ran_out) {
            CHECK(result == (ran_out ? 1 : 0));
            if (ran_out) {
                CHECK(!tw1.used && kaplo::current_text_window == 0);
                CHECK(live_windows() == windows);
                CHECK(KPL_OpenTextWindow(1, 420, 0, 200, 100) == 0);
            }
            CHECK(tw1.used && tw1.surface && tw1.cursor.width == 200);
            CHECK(KPL_CloseTextWindow(1) == 0 && live_windows() == windows);
        });

    const std::string log = kaplo::log_file_name(0);
    sweep(
        "KPL_StartLog", [] { return KPL_StartLog(0); },
        [](int result, bool ran_out) {
            CHECK(result == (ran_out ? 2 : 0) && kaplo::log_state(0) == (ran_out ? 0 : 1));
            KPL_CloseAllLogs();
        });
    CHECK(KPL_StartLog(0) == 0);
    // A line printed is in the log whole or not at all.
    sweep(
        "KPL_Printf", [] { return KPL_Printf("x\n"), 0; }, [](int, bool) {});
    const std::string printed = read_file(log);
    std::string lines;
    while (lines.size() < printed.size()) lines += "x\n";
    CHECK(printed == lines && !printed.empty());
    // A copy that fails keeps logging into the same file.
    const long copies = sweep(
        "KPL_CopyLog", [] { return KPL_CopyLog(0); },
        [](int result, bool ran_out) {
            CHECK(result == (ran_out ? 3 : 0));
            KPL_Printf("y\n");
        });
    KPL_StopLog(0);
    std::string ys;
    for (long i = 0; i <= copies; ++i) ys += "y\n";
    CHECK(read_file(log) == printed + ys);
}

// A paste draws the picture or nothing.
int clipboard_width() {
    KPL_ClipboardPicture* pic = KPL_GetClipboardBitmap(nullptr, nullptr);
    int width = 0;
    KPL_GetClipboardBitmapSize(pic, &width, nullptr);
    KPL_FreeClipboardBitmap(pic);
    return width;
}

void clipboard_pictures() {  // image 4: 8-bit, 64 x 48, current
    // A copy that gets no memory at all returns (its box cannot be shown)
    // and cannot even empty the clipboard. Copies refused later are not
    // swept: Qt's PNG writer keeps a lock of its own when an allocation
    // inside it throws.
    KPL_CopyImageToClipboard(4);
    t_left = 0;
    KPL_CopyImageToClipboard(4);
    t_left = -1;
    CHECK(clipboard_width() == 64);
    KPL_SetPixel(5, 5, 9);
    KPL_CopyImageToClipboard(4);
    KPL_SetPixel(5, 5, 0);
    sweep(
        "KPL_PasteImageAt", [] { return KPL_PasteImageAt(4, 0, 0), 0; },
        [](int, bool ran_out) {
            CHECK(KPL_GetPixel(5, 5) == 9 || (ran_out && KPL_GetPixel(5, 5) == 0));
            KPL_SetPixel(5, 5, 0);
        });
}

// Image creation is all or nothing (bringing the window to the front may be
// left undone); a refused re-creation keeps the old image.
void images() {
    const int windows = live_windows();
    sweep(
        "KPL_CreateImage", [] { return KPL_CreateImage(4, "oom", 0, 0, 64, 48, 100); },
        [&](int result, bool ran_out) {
            CHECK(result == 0 || (ran_out && result == 3));
            CHECK(kaplo::image_live(4) == (result == 0));
            CHECK(live_windows() == windows + (result == 0 ? 1 : 0));
            if (result == 0) CHECK(KPL_DestroyImage(4) == 0 && live_windows() == windows);
        });
    CHECK(KPL_CreateImage8(4, "oom", 0, 0, 64, 48, 100) == 0);
    sweep(
        "KPL_ResizeImage",
        [] {
            KPL_SetPixel(5, 5, 9);
            return KPL_ResizeImage(4, 30, 24);
        },
        [&](int result, bool ran_out) {
            CHECK(result == 0 || (ran_out && result == 3));
            int width = 0;
            CHECK(KPL_GetImageInfo(4, &width, nullptr, nullptr) == 0);
            CHECK(result == 0 ? width == 30 && KPL_GetPixel(5, 5) == 0 : KPL_GetPixel(5, 5) == 9);
            if (result == 0) CHECK(KPL_ResizeImage(4, 64, 48) == 0);
        });
    // Calls that return their failure code when they run out, 0 otherwise
    // (those without a result only have to return): one of each kind on the
    // shared guard.
    const std::tuple<const char*, int (*)(), int> calls[] = {
        {"KPL_SetStatusText", [] { return KPL_SetStatusText("memory"), 0; }, 0},
        {"KPL_SetProgramTitle", [] { return KPL_SetProgramTitle("memory"); }, 1},
    };
    for (const auto& [name, call, out] : calls)
        sweep(name, call,
              [out = out](int result, bool ran_out) { CHECK(result == (ran_out ? out : 0)); });
    CHECK(status_text().find("memory") != std::string::npos);
    clipboard_pictures();
    CHECK(KPL_DestroyImage(4) == 0 && live_windows() == windows);
}

// Failures on the GUI thread and in window procedures.
std::atomic<int> delivered{0};
intptr_t throwing_proc(pf::WindowId window, pf::Message& msg) {
    if (msg.type != pf::MsgType::Command) return pf::default_proc(window, msg);
    if (msg.key == 1) throw std::runtime_error("procedure failed");
    delivered++;
    return 0;
}

void hand_over() {
    pf::run_on_gui_thread([] { throw std::runtime_error("task failed"); });
    bool served = false;
    pf::detail::on_gui_blocking([&] { served = true; });
    CHECK(served);
    bool passed_on = false;
    try {
        pf::detail::on_gui_blocking([] { throw std::runtime_error("blocking call failed"); });
    } catch (const std::runtime_error&) {
        passed_on = true;
    }
    CHECK(passed_on);
    CHECK(pf::detail::run_modal([]() -> QDialog* { throw std::bad_alloc(); }) == 0);

    // One window of the worker's and one of the GUI thread's: a message whose
    // procedure throws is lost, the next one arrives.
    pf::register_window_kind("thrower", throwing_proc);
    pf::CreateParams p;
    p.kind = "thrower";
    p.width = p.height = 40;
    pf::WindowId windows[2] = {pf::create_window(p), 0};
    pf::detail::on_gui_blocking([&] { windows[1] = pf::create_window(p); });
    for (pf::WindowId w : windows) {
        pf::post_command(w, 1);
        pf::post_command(w, 2);
    }
    CHECK(eventually([] { return KPL_ProcessMessages(), delivered == 2; }));
    for (pf::WindowId w : windows) pf::destroy_window(w);
}

void driver() {
    start_run();
    // Presses OK on each message box shown meanwhile.
    while (!worker_done) {
        pf::run_on_gui_thread([] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                    box->accept();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    report_result();
    exit_program();
}

}  // namespace

void UserInit() {
    KPL_OpenTextWindow(0, 0, 0, 400, 300);
    KPL_Printf("xy abc_\n");  // the glyphs drawn below are cached
    std::thread(driver).detach();
}

void UserMain() {
    windows_and_logs();
    images();
    hand_over();
    worker_done = true;
    while (!kpl_stop) KPL_ProcessMessages();
}
