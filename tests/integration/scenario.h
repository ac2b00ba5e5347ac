#pragma once
// Checks for the scenario programs: a failed CHECK prints its place and
// counts; `eventually` polls a condition, by default for up to twenty seconds
// (sanitizer builds are slow).

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

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

// The line the test runner looks for.
inline void report_result() {
    std::printf(failures == 0 ? "scenario passed\n" : "scenario failed\n");
    std::fflush(stdout);
}
