// The shell flags' state machine, driven through the real idle loop on a
// plain thread with recorded hooks.
#include "shell/worker_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

std::atomic<int32_t> f_start, f_running, f_stop, f_exit;
std::atomic<int> init_calls, main_calls, requests_served, main_saw_stop;
std::atomic<int> requests_pending;  // served only between runs
std::atomic<bool> main_ignores_stop;
std::atomic<bool> request_during_run_served;

void reset() {
    f_start = f_running = f_stop = f_exit = 0;
    init_calls = main_calls = requests_served = main_saw_stop = requests_pending = 0;
    main_ignores_stop = false;
    request_during_run_served = false;
}

void user_init() {
    ++init_calls;
}
void user_main() {
    ++main_calls;
    const int served_before = requests_served.load();
    while (f_stop.load() == 0 || main_ignores_stop.load()) {
        if (f_exit.load() != 0 && main_ignores_stop.load()) break;
        std::this_thread::yield();
    }
    if (requests_served.load() != served_before) request_during_run_served = true;
    ++main_saw_stop;
}
bool pending() {
    return requests_pending.load() > 0;
}
void dispatch() {
    --requests_pending;
    ++requests_served;
}
void nap() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

template <class F>
bool eventually(F cond) {
    for (int i = 0; i < 10000; ++i) {
        if (cond()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

struct Loop {
    kaplo::ShellFlags flags{f_start, f_running, f_stop, f_exit};
    kaplo::WorkerHooks hooks;
    std::thread thread;
    Loop() {
        reset();
        hooks.user_init = user_init;
        hooks.user_main = user_main;
        hooks.request_pending = pending;
        hooks.dispatch_request = dispatch;
        hooks.sleep_1ms = nap;
        thread = std::thread([this] { kaplo::run_worker_loop(flags, hooks); });
    }
    ~Loop() {
        f_exit = 1;
        f_stop = 1;
        thread.join();
    }
};

TEST(WorkerLoop, StartRunsTheMainRoutineAndStopReturnsToIdle) {
    Loop loop;
    ASSERT_TRUE(eventually([] { return init_calls == 1; }));
    f_start = 1;
    ASSERT_TRUE(eventually([] { return f_running == 1; }));
    EXPECT_EQ(f_start, 0);
    f_stop = 1;
    ASSERT_TRUE(eventually([] { return main_saw_stop == 1 && f_running == 0; }));
    EXPECT_EQ(f_stop, 0);  // cleared after the run

    // A second Start runs the routine again.
    f_start = 1;
    ASSERT_TRUE(eventually([] { return main_calls == 2; }));
    f_stop = 1;
    ASSERT_TRUE(eventually([] { return f_running == 0; }));
}

TEST(WorkerLoop, StopWhileIdleStaysSetUntilTheNextStartClearsIt) {
    Loop loop;
    ASSERT_TRUE(eventually([] { return init_calls == 1; }));
    f_stop = 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(f_stop, 1);
    f_start = 1;
    ASSERT_TRUE(eventually([] { return f_running == 1; }));
    EXPECT_EQ(f_stop, 0);
    f_stop = 1;
    ASSERT_TRUE(eventually([] { return f_running == 0; }));
}

TEST(WorkerLoop, RequestsAreServedOnlyBetweenRuns) {
    Loop loop;
    ASSERT_TRUE(eventually([] { return init_calls == 1; }));
    f_start = 1;
    ASSERT_TRUE(eventually([] { return f_running == 1; }));
    requests_pending = 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(requests_served, 0);
    f_stop = 1;
    ASSERT_TRUE(eventually([] { return requests_served == 1; }));
    EXPECT_FALSE(request_during_run_served);
}

TEST(WorkerLoop, ExitDuringARunLeavesTheFlagsAndFinishes) {
    Loop loop;
    f_start = 1;
    ASSERT_TRUE(eventually([] { return f_running == 1; }));
    f_stop = 1;
    f_exit = 1;
    ASSERT_TRUE(eventually([] { return f_exit == 2; }));
    EXPECT_EQ(f_running, 1);  // not cleared: the program is ending
}

}  // namespace
