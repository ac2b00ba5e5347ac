#pragma once
// The main window's status line while the program plays, so that it says
// what the player does: "playing  frame 12/96  23.9 fps" during a run (the
// frames per second actually shown, over the last half second or so),
// "stopped  frame 12/96" once the run has ended, "playing  no video" while a
// run has no frames to show.
//
// Threads: the worker thread (KPL_SetStatusText belongs to it).

#include <chrono>
#include <string>

namespace depth {

// The status text; `frame` counts from 1 (0: none shown yet), `total` is 0
// when the video does not say (and is left out when the text would not fit
// the status line). At most 63 bytes, the status line's limit.
std::string player_status_text(bool playing, int frame, int total, double fps);

class PlayerStatus {
  public:
    // A run begins with a video of `total` frames (0: not known).
    void started(int total);
    // Frame `position` (from 0) of the video is on screen.
    void frame_shown(int position);
    // A turn of the loop without a frame.
    void idle();
    void stopped();

  private:
    using Clock = std::chrono::steady_clock;
    void refresh(bool force);
    int total_ = 0;
    int frame_ = 0;
    int shown_since_ = 0;  // frames shown since the last fps measurement
    double fps_ = 0;
    bool any_frame_ = false;
    Clock::time_point measured_ = Clock::now();
    Clock::time_point refreshed_ = measured_;
};

}  // namespace depth
