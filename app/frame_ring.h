#pragma once
// A bounded hand-over of pictures from one thread to the next, in order: a
// ring of a few slots, each a cv::Mat that keeps its buffer from one use to
// the next. The producer fills a free slot and publishes it; the consumer
// takes the oldest published slot and releases it when done. However long
// the video, no more than the ring's slots exist, and none is allocated again
// once every slot has held a picture of the final size.
//
// Usage (producer / consumer):
//   while (cv::Mat* m = ring.free_slot()) { fill(*m); ring.publish(); }
//   ring.finish();
//   while (cv::Mat* m = ring.next()) { use(*m); ring.release(); }
//
// Either side may abandon() the hand-over (an error, or an interrupt seen in
// `*stop`): every wait returns null at once, on both sides. Waits look at
// `*stop` a few times a second, since a signal handler cannot wake them.
//
// Threads: one producer thread and one consumer thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <opencv2/core.hpp>
#include <vector>

namespace depth {

class FrameRing {
  public:
    FrameRing(size_t slots, const std::atomic<int>* stop) : slots_(slots), stop_(stop) {}
    FrameRing(const FrameRing&) = delete;
    FrameRing& operator=(const FrameRing&) = delete;

    // Producer: a slot to fill, waiting while every slot is in use; null once
    // the ring is abandoned.
    cv::Mat* free_slot() {
        std::unique_lock lock(mutex_);
        if (!wait(lock, [this] { return count_ < slots_.size(); })) return nullptr;
        return &slots_[(head_ + count_) % slots_.size()];
    }
    void publish() {
        change([this] { ++count_; });
    }
    // No more pictures: the consumer's next() returns null once it has taken
    // every published one.
    void finish() {
        change([this] { finished_ = true; });
    }

    // Consumer: the oldest published picture, waiting for one; null at the
    // end (finished and empty) or once the ring is abandoned.
    cv::Mat* next() {
        std::unique_lock lock(mutex_);
        if (!wait(lock, [this] { return count_ > 0 || finished_; }) || count_ == 0) return nullptr;
        return &slots_[head_];
    }
    void release() {
        change([this] {
            head_ = (head_ + 1) % slots_.size();
            --count_;
        });
    }

    void abandon() {
        change([this] { abandoned_ = true; });
    }
    bool abandoned() const {
        std::lock_guard lock(mutex_);
        return abandoned_;
    }

  private:
    template <class Ready>
    bool wait(std::unique_lock<std::mutex>& lock, Ready ready) {
        for (;;) {
            if (stop_ && stop_->load() != 0) abandoned_ = true;
            if (abandoned_) return false;
            if (ready()) return true;
            changed_.wait_for(lock, std::chrono::milliseconds(50));
        }
    }
    template <class Change>
    void change(Change c) {
        {
            std::lock_guard lock(mutex_);
            c();
        }
        changed_.notify_all();
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<cv::Mat> slots_;
    size_t head_ = 0;   // the oldest published slot
    size_t count_ = 0;  // published and not yet released
    bool finished_ = false;
    bool abandoned_ = false;
    const std::atomic<int>* stop_;
};

}  // namespace depth
