#pragma once
// Depth from motion: between consecutive frames, nearer things move farther
// across the picture when the camera moves sideways (motion parallax). The
// map follows the motion of each pixel relative to the dominant (background)
// motion, carried from frame to frame along the motion so it does not
// flicker, refined with the frame as a guide so edges follow the picture,
// and restarted at a scene cut. Without motion (a static camera) it keeps
// the last good map and falls back gradually to the brightness depth and a
// top-far, bottom-near prior.
//
// Usage:
//   MotionDepth motion;
//   for (each frame) {
//       const cv::Mat& nearness = motion.next(bgr);   // CV_8UC1, 255 = nearest
//       ...
//   }
//   motion.reset();   // a new video, or a jump (the player's rewind)
//
// Threads: one thread at a time.

#include <memory>
#include <opencv2/core.hpp>

namespace depth {

class MotionDepth {
  public:
    MotionDepth();
    ~MotionDepth();
    MotionDepth(const MotionDepth&) = delete;
    MotionDepth& operator=(const MotionDepth&) = delete;

    // The nearness map of `bgr` (8-bit blue, green, red), from it and the
    // frames before it: 8-bit, one channel, the frame's size, 0 = far and
    // 255 = nearest. Valid until the next call. A frame of another size
    // than the last one starts afresh.
    const cv::Mat& next(const cv::Mat& bgr);

    // Forgets the frames seen: the next frame starts afresh.
    void reset();

  private:
    struct State;
    std::unique_ptr<State> s_;
};

}  // namespace depth
