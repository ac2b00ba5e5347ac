#include "shell/worker_loop.h"

namespace kaplo {

void run_worker_loop(const ShellFlags& f, const WorkerHooks& h) {
    if (h.user_init) h.user_init();
    if (h.after_init) h.after_init();
    while (f.exit.load(std::memory_order_acquire) == 0) {
        if (h.sleep_1ms) h.sleep_1ms();
        if (h.process_messages) h.process_messages();
        if (h.request_pending && h.request_pending() && h.dispatch_request) h.dispatch_request();
        if (f.start.load(std::memory_order_acquire) != 0 &&
            f.running.load(std::memory_order_acquire) == 0) {
            if (h.accept_drops) h.accept_drops(false);
            f.running.store(1, std::memory_order_release);
            f.start.store(0, std::memory_order_release);
            f.stop.store(0, std::memory_order_release);
            if (h.user_main) h.user_main();
            // After Exit the flags stay as they are: the run ended because
            // the program is ending, not because it went idle.
            if (f.exit.load(std::memory_order_acquire) != 0) break;
            f.running.store(0, std::memory_order_release);
            f.stop.store(0, std::memory_order_release);
            if (h.accept_drops) h.accept_drops(true);
        }
    }
    f.exit.store(2, std::memory_order_release);
    if (h.process_messages) h.process_messages();
}

}  // namespace kaplo
