#pragma once
// The worker thread's idle loop and the shell flags' state machine, apart
// from any window so it can run under test on a plain thread.

#include <atomic>
#include <cstdint>

namespace kaplo {

struct ShellFlags {
    std::atomic<int32_t>& start;
    std::atomic<int32_t>& running;
    std::atomic<int32_t>& stop;
    std::atomic<int32_t>& exit;
};

struct WorkerHooks {
    void (*user_init)() = nullptr;
    void (*user_main)() = nullptr;
    void (*after_init)() = nullptr;        // e.g. rebuild the window edge table
    void (*process_messages)() = nullptr;  // KPL_ProcessMessages
    bool (*request_pending)() = nullptr;
    void (*dispatch_request)() = nullptr;
    void (*accept_drops)(bool) = nullptr;  // file drops on the main window
    void (*sleep_1ms)() = nullptr;
};

// Runs the worker thread's body: init, then the idle loop until exit is
// asked for, then marks the thread finished (exit = 2).
void run_worker_loop(const ShellFlags& flags, const WorkerHooks& hooks);

}  // namespace kaplo
