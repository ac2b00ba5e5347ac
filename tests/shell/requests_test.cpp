// The request slot between two real threads: a poster (the test thread) and
// a worker thread that serves the slot the way the idle loop does. A request
// posted and waited for, as every creation call does, is left to the
// scenario programs.
#include "shell/requests.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using kaplo::RequestParams;
using kaplo::RequestSlot;

struct Worker {
    RequestSlot& slot;
    std::atomic<bool> serving{true}, quit{false};
    std::thread thread{[this] {
        while (!quit.load()) {
            if (!serving.load() || slot.pending() == kaplo::kRequestNone) {
                std::this_thread::yield();
                continue;
            }
            slot.complete(0);
        }
    }};
    explicit Worker(RequestSlot& s) : slot(s) {}
    ~Worker() {
        quit.store(true);
        thread.join();
    }
};

RequestSlot::Waiting yield_waiting() {
    return RequestSlot::Waiting{[] { std::this_thread::yield(); }, nullptr};
}

TEST(RequestSlot, RefreshDoesNotWaitForItsCompletionButTheNextOneWaitsForTheSlot) {
    RequestSlot slot;
    Worker worker(slot);
    worker.serving.store(false);
    // The first refresh returns at once although nobody serves the slot.
    ASSERT_TRUE(slot.post_refresh(3, yield_waiting()));
    EXPECT_EQ(slot.pending(), kaplo::kRequestRefreshImage);
    EXPECT_EQ(slot.params().index, 3);

    // The second one waits for a free slot; let the worker run once it waits.
    std::atomic<int> waits{0};
    RequestSlot::Waiting w{[&] {
                               if (waits.fetch_add(1) == 10) worker.serving.store(true);
                               std::this_thread::yield();
                           },
                           nullptr};
    ASSERT_TRUE(slot.post_refresh(4, w));
    EXPECT_GT(waits.load(), 10);
    while (slot.pending() != kaplo::kRequestNone) std::this_thread::yield();
}

TEST(RequestSlot, AWaitIsAbandonedWhenTheWorkerCannotServe) {
    RequestSlot slot;
    int pumps = 0;
    RequestSlot::Waiting w{[&] { ++pumps; }, [&] { return pumps >= 3; }};
    EXPECT_EQ(slot.post_and_wait(kaplo::kRequestLoadImage, RequestParams{}, w), -1);
    // The slot stays taken: a later poster also gives up instead of hanging.
    EXPECT_FALSE(slot.post_refresh(1, w));
}

}  // namespace
