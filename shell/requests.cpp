#include "shell/requests.h"

#include "runtime/guarded.h"

namespace kaplo {
namespace {

// A pump that fails (a message handler out of memory) must not end a wait:
// the worker may still be reading the parameters that the poster owns.
void pump_once(const RequestSlot::Waiting& waiting) {
    if (waiting.pump) guarded(waiting.pump);
}

}  // namespace

bool RequestSlot::wait_free(const Waiting& waiting) {
    while (code_.load(std::memory_order_acquire) != kRequestNone) {
        if (waiting.abandon && waiting.abandon()) return false;
        pump_once(waiting);
    }
    return true;
}

int32_t RequestSlot::post_and_wait(int32_t code, const RequestParams& params,
                                   const Waiting& waiting) {
    if (!wait_free(waiting)) return -1;
    params_ = params;
    done_.store(0, std::memory_order_relaxed);
    code_.store(code, std::memory_order_release);
    while (done_.load(std::memory_order_acquire) == 0) {
        if (waiting.abandon && waiting.abandon()) return -1;
        pump_once(waiting);
    }
    return result_;
}

bool RequestSlot::post_refresh(int32_t index, const Waiting& waiting) {
    if (!wait_free(waiting)) return false;
    // The done flag is read before the code is written and is left as it is;
    // the poster waits only if a completion was still outstanding, which
    // cannot be the case once the slot is free.
    const bool outstanding = done_.load(std::memory_order_acquire) == 0;
    params_ = RequestParams{};
    params_.index = index;
    code_.store(kRequestRefreshImage, std::memory_order_release);
    while (outstanding && done_.load(std::memory_order_acquire) == 0) {
        if (waiting.abandon && waiting.abandon()) return false;
        pump_once(waiting);
    }
    return true;
}

void RequestSlot::complete(int32_t result) {
    result_ = result;
    done_.store(1, std::memory_order_release);
    code_.store(kRequestNone, std::memory_order_release);
}

}  // namespace kaplo
