#pragma once
// Checks for the scenario programs: a failed CHECK prints its place and
// counts; `eventually` polls a condition, by default for up to twenty seconds
// (sanitizer builds are slow); `on_gui` runs a function on the GUI thread and
// waits for it; `on_worker` runs one on the worker thread, inside its message
// pumping, and waits for it.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/platform.h"

inline std::atomic<int> failures{0};

#define CHECK(cond)                                                     \
    do {                                                                \
        if (!(cond)) {                                                  \
            std::printf("FAIL %s:%d: %s\n", __FILE__, __LINE__, #cond); \
            std::fflush(stdout);                                        \
            failures++;                                                 \
        }                                                               \
    } while (0)

template <class F>
bool eventually(F cond, int limit_ms = 20000) {
    for (int i = 0; i < limit_ms; ++i) {
        if (cond()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// From any thread but the GUI thread.
inline void on_gui(const std::function<void()>& f) {
    std::atomic<bool> done{false};
    kaplo::platform::run_on_gui_thread([&] {
        f();
        done = true;
    });
    while (!done) std::this_thread::yield();
}

// How a driver thread reads state that only the worker writes: a probe
// window, made by the worker (make_probe_window, in UserInit), whose
// procedure runs the driver's function whenever its messages are pumped.
inline std::mutex probe_mutex;
// Never destroyed: a program may end (Esc) while a driver thread still lives.
inline std::function<void()>& probe_fn = *new std::function<void()>;
inline std::atomic<int> probe_runs{0};
inline std::atomic<kaplo::platform::WindowId> probe_window{0};

inline intptr_t probe_proc(kaplo::platform::WindowId window, kaplo::platform::Message& msg) {
    if (msg.type != kaplo::platform::MsgType::Command)
        return kaplo::platform::default_proc(window, msg);
    std::function<void()> f;
    {
        std::lock_guard lock(probe_mutex);
        f = probe_fn;
    }
    if (f) f();
    probe_runs++;
    return 0;
}

inline void make_probe_window() {
    namespace pf = kaplo::platform;
    pf::register_window_kind("test_probe", probe_proc);
    pf::CreateParams probe;
    probe.kind = "test_probe";
    probe.x = probe.y = 700;
    probe.width = probe.height = 40;
    probe_window = pf::create_window(probe);
}

template <class F>
auto on_worker(F f) {  // the driver thread only
    decltype(f()) result{};
    const int before = probe_runs.load();
    {
        std::lock_guard lock(probe_mutex);
        probe_fn = [&] { result = f(); };
    }
    kaplo::platform::Message m;
    m.type = kaplo::platform::MsgType::Command;
    kaplo::platform::post(probe_window.load(), m);
    while (probe_runs.load() == before) std::this_thread::yield();
    std::lock_guard lock(probe_mutex);
    probe_fn = nullptr;
    return result;
}

// The line the test runner looks for.
inline void report_result() {
    std::printf(failures == 0 ? "scenario passed\n" : "scenario failed\n");
    std::fflush(stdout);
}
