#include "shell/requests.h"

namespace kaplo {

bool RequestSlot::wait_free(const Waiting& waiting) {
    while (code_.load(std::memory_order_acquire) != kRequestNone) {
        if (waiting.abandon && waiting.abandon()) return false;
        if (waiting.pump) waiting.pump();
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
        if (waiting.pump) waiting.pump();
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
        if (waiting.pump) waiting.pump();
    }
    return true;
}

void RequestSlot::complete(int32_t result) {
    result_ = result;
    done_.store(1, std::memory_order_release);
    code_.store(kRequestNone, std::memory_order_release);
}

}  // namespace kaplo
