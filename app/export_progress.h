#pragma once
// The progress of an export on standard error. On a terminal, one line
// redrawn in place a few times a second: a bar, frames done of all, the
// share done, frames per second and the time left. Elsewhere (a log file, a
// pipe) one plain line a second, and the last one at the end.
//
// Threads: one thread at a time.

#include <chrono>
#include <string>

namespace depth {

// The terminal line: "[#####-----] 120/200 frames  60%  48.2 fps  0:02 left",
// "done" in place of the time left at the end; without a known total,
// frames and fps only.
std::string progress_bar_line(int done, int total, double fps);

class ExportProgress {
  public:
    ExportProgress(int total, bool on_terminal);
    void frame_done(int done);
    // The final line (ends the terminal's redrawn line).
    void finish(int done);

  private:
    using Clock = std::chrono::steady_clock;
    void print(int done, bool last);
    int total_;
    bool terminal_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point last_ = start_;
};

}  // namespace depth
