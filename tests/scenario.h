#pragma once
// Checks for the scenario programs: a failed CHECK prints its place and
// counts; `eventually` polls a condition, by default for up to twenty seconds
// (sanitizer builds are slow); `on_gui` runs a function on the GUI thread and
// waits for it.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
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

// The line the test runner looks for.
inline void report_result() {
    std::printf(failures == 0 ? "scenario passed\n" : "scenario failed\n");
    std::fflush(stdout);
}
