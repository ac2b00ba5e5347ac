#pragma once
// The request slot: how the main thread hands window work to the worker
// thread. One slot, one poster at a time (only the main thread posts).
//
// Ordering: a poster writes the parameters, then the done flag, then the code
// (release); the worker reads the code (acquire), carries the request out,
// then stores the done flag and clears the code (both release). Parameters
// are plain fields: they are published by the release store of the code.

#include <atomic>
#include <cstdint>
#include <functional>

struct KPL_ClipboardPicture;

namespace kaplo {

// The request codes run from kRequestCreateImage to kRequestOpenButtonBox.
enum RequestCode : int32_t {
    kRequestNone = 0,
    kRequestCreateImage = 9001,
    kRequestRefreshImage = 9002,
    kRequestLoadImage = 9003,
    kRequestPasteBitmap = 9004,
    kRequestOpenTextWindow = 9005,
    kRequestOpenInputBox = 9006,
    kRequestOpenButtonBox = 9007,
};

struct RequestParams {
    int32_t index = 0;
    const char* title = nullptr;  // owned by the poster
    int32_t x = 0, y = 0;
    int32_t width = 0, height = 0;
    int32_t zoom = 100;
    int32_t bit_depth = 32;
    bool keep_current = false;                // creation: the current image stays current
    const char* path = nullptr;               // owned by the poster
    KPL_ClipboardPicture* picture = nullptr;  // handed over; the worker frees it
};

class RequestSlot {
  public:
    // Main thread. `pump` is run while waiting, so the main window stays
    // responsive; `abandon` returns true when the worker can no longer serve
    // the slot (it has ended), which ends every wait.
    struct Waiting {
        std::function<void()> pump;
        std::function<bool()> abandon;
    };

    // Posts a request and waits until the worker has carried it out.
    // Returns the request's result, or -1 when the wait was abandoned or the
    // request failed (out of memory).
    int32_t post_and_wait(int32_t code, const RequestParams& params, const Waiting& waiting);

    // Posts a refresh: waits only for a free slot, never for completion.
    bool post_refresh(int32_t index, const Waiting& waiting);

    // Worker thread: the pending code (0 = none).
    int32_t pending() const { return code_.load(std::memory_order_acquire); }
    const RequestParams& params() const { return params_; }
    // Worker thread: marks the pending request carried out with `result`.
    void complete(int32_t result);

    int32_t done_flag() const { return done_.load(std::memory_order_acquire); }

  private:
    bool wait_free(const Waiting& waiting);

    std::atomic<int32_t> code_{kRequestNone};
    std::atomic<int32_t> done_{1};
    RequestParams params_;  // written by the poster before code_, read by the worker after
    int32_t result_ = 0;    // written by the worker before done_, read by the poster after
};

}  // namespace kaplo
