// The worker thread: shell flags, the idle loop, KPL_ProcessMessages and
// KPL_Wait, the request slot's posters (main thread) and its dispatcher
// (worker thread).

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "kaplo.h"
#include "runtime/guarded.h"
#include "runtime/misuse.h"
#include "shell/shell.h"
#include "shell/worker_loop.h"
#include "text/text_window.h"
#include "text/window_edges.h"

using namespace kaplo::platform;

// Shell flags: one writer at a time, read by the other thread.
std::atomic<int32_t> kpl_start{0};
std::atomic<int32_t> kpl_running{0};
std::atomic<int32_t> kpl_stop{0};
std::atomic<int32_t> kpl_exit{0};

namespace kaplo {

namespace {

RequestSlot g_slot;
std::unique_ptr<Thread> g_worker;  // main thread only

void sleep_1ms() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}
bool request_pending() {
    return g_slot.pending() != kRequestNone;
}
void accept_main_window_drops(bool accept) {
    accept_drops(main_window(), accept);
}

void worker_main() {
    hold_broken_pipe_signal(false);  // blocked only on the GUI thread
    rebuild_window_edges();
    const ShellFlags flags{kpl_start, kpl_running, kpl_stop, kpl_exit};
    WorkerHooks hooks;
    hooks.user_init = UserInit;
    hooks.user_main = UserMain;
    hooks.process_messages = KPL_ProcessMessages;
    hooks.request_pending = request_pending;
    hooks.dispatch_request = dispatch_request;
    hooks.accept_drops = accept_main_window_drops;
    hooks.sleep_1ms = sleep_1ms;
    run_worker_loop(flags, hooks);
}

// Posters give up once the worker can no longer serve the slot: it has
// finished, or Exit has begun and it is being waited for.
RequestSlot::Waiting poster_waiting() {
    return RequestSlot::Waiting{main_thread_pump,
                                [] { return kpl_exit.load() != 0 || worker_finished(); }};
}

}  // namespace

RequestSlot& request_slot() {
    return g_slot;
}

void start_worker_thread() {
    g_worker = std::make_unique<Thread>(worker_main);
    g_worker->start();
}

bool worker_finished() {
    return !g_worker || g_worker->finished();
}
bool worker_wait(unsigned long ms) {
    return !g_worker || g_worker->wait(ms);
}

void main_thread_pump() {
    pump();
}

// ---------------------------------------------------------------------------
// Posters (main thread)

int32_t post_create_image_request(int32_t index, const char* title, int32_t width, int32_t height,
                                  int32_t bit_depth, bool keep_current) {
    RequestParams p;
    p.index = index;
    p.title = title;
    p.x = p.y = -1;
    p.width = width;
    p.height = height;
    p.zoom = 100;
    p.bit_depth = bit_depth;
    p.keep_current = keep_current;
    return g_slot.post_and_wait(kRequestCreateImage, p, poster_waiting());
}

void post_refresh_image_request(int32_t index) {
    g_slot.post_refresh(index, poster_waiting());
}

int32_t post_load_image_request(int32_t index, const char* path) {
    RequestParams p;
    p.index = index;
    p.path = path;
    p.x = p.y = 0;
    return g_slot.post_and_wait(kRequestLoadImage, p, poster_waiting());
}

void post_paste_bitmap_request(KPL_ClipboardPicture* picture, int32_t index) {
    RequestParams p;
    p.index = index;
    p.picture = picture;
    g_slot.post_and_wait(kRequestPasteBitmap, p, poster_waiting());
}

void post_open_text_window_request(int32_t index) {
    if (index >= 0 && index < kTextSlots && text_table[static_cast<size_t>(index)].used.load()) {
        bring_to_front(text_table[static_cast<size_t>(index)].window);
        return;
    }
    RequestParams p;
    p.index = index;
    p.x = p.y = p.width = p.height = -1;
    g_slot.post_and_wait(kRequestOpenTextWindow, p, poster_waiting());
}

void post_open_input_box_request(int32_t item_count) {
    RequestParams p;
    p.index = item_count;
    p.x = p.y = 0;
    g_slot.post_and_wait(kRequestOpenInputBox, p, poster_waiting());
}

void post_open_button_box_request(int32_t columns, int32_t rows) {
    RequestParams p;
    p.width = columns;
    p.height = rows;
    p.x = p.y = 0;
    g_slot.post_and_wait(kRequestOpenButtonBox, p, poster_waiting());
}

// ---------------------------------------------------------------------------
// Dispatcher (worker thread, only between runs of the user main routine)

namespace {

int32_t carry_out(int32_t code, const RequestParams& p) {
    const QuietMisuse quiet;  // requests of the main window, not the user program's calls
    int32_t result = 0;
    switch (code) {
        case kRequestCreateImage:
            result = static_cast<uint32_t>(p.index) < 256
                         ? KPL_CreateImageWindow(p.index, p.title, p.x, p.y, p.width, p.height,
                                                 p.zoom, p.bit_depth)
                         : 4;
            if (result == 0 && p.keep_current) KPL_SelectPreviousImage();
            break;
        case kRequestRefreshImage:
            KPL_UpdateImage(p.index);
            break;
        case kRequestLoadImage:
            KPL_SelectImage(p.index);
            result = KPL_LoadImage(p.path, p.x, p.y);
            KPL_SelectPreviousImage();
            break;
        case kRequestPasteBitmap:
            if (p.index < 0) {
                KPL_BlitPendingBitmap(p.picture);
            } else if (KPL_SelectImage(p.index) == 0) {
                KPL_BlitPendingBitmap(p.picture);
                KPL_SelectPreviousImage();
            } else {
                KPL_FreeClipboardBitmap(p.picture);
            }
            break;
        case kRequestOpenTextWindow:
            if (static_cast<uint32_t>(p.index) < 256)
                KPL_OpenTextWindow(p.index, p.x, p.y, p.width, p.height);
            break;
        case kRequestOpenInputBox:  // a new box replaces the open one
            KPL_CloseInputBox();
            KPL_OpenInputBox(p.x, p.y, p.index);
            break;
        case kRequestOpenButtonBox:
            KPL_CloseButtonBox();
            KPL_OpenButtonBox(p.x, p.y, p.width, p.height);
            break;
        default:
            break;
    }
    return result;
}

}  // namespace

void dispatch_request() {
    const int32_t code = g_slot.pending();
    // Not a request code: the slot stays as it is.
    if (code < kRequestCreateImage || code > kRequestOpenButtonBox) return;
    // A request that fails (out of memory) is completed all the same, as not
    // carried out: the poster must not wait for ever, nor the worker end.
    g_slot.complete(guarded(-1, [code] { return carry_out(code, g_slot.params()); }));
}

}  // namespace kaplo

void KPL_ProcessMessages() {
    kaplo::guarded(pump);
}

int KPL_Wait(int ms) {
    using std::chrono::steady_clock;
    // Stop and Exit wake the wait (wake_waiting_threads); the longest rest
    // still sees a kpl_stop that some other thread wrote without a wake.
    constexpr auto kLongestRest = std::chrono::milliseconds(50);
    const steady_clock::time_point end = steady_clock::now() + std::chrono::milliseconds(ms);
    return kaplo::guarded(0, [&] {
        for (;;) {
            KPL_ProcessMessages();
            if (kpl_stop.load(std::memory_order_acquire) != 0) return 1;
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(end - steady_clock::now());
            if (ms <= 0 || left.count() <= 0) return 0;
            wait_for_message(static_cast<uint32_t>(std::min(left, kLongestRest).count()));
        }
    });
}
