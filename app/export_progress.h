#pragma once
// The progress of an export on standard error, for one file or a batch of
// files converted one after another. On a terminal, one line redrawn in
// place a few times a second: a bar, frames done of all, the share done,
// frames per second and the time left. Elsewhere (a log file, a pipe) one
// plain line a second, and the last one at the end (of each file, in a
// batch).
//
// A batch's line also names the file ("file 2 of 3  clip.avi") and gives
// the time left for the whole batch, from the frames every file states and
// the rate so far.
//
// Threads: one thread at a time.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace depth {

// The terminal line: "[#####-----] 120/200 frames  60%  48.2 fps  0:02 left",
// "done" in place of the time left at the end; without a known total,
// frames and fps only.
std::string progress_bar_line(int done, int total, double fps);

class ExportProgress {
  public:
    // One file of `total` frames (0: not known).
    ExportProgress(int total, bool on_terminal);
    // A batch of files that state `totals` frames each (below 1: none
    // stated), written to `out`.
    ExportProgress(std::vector<int64_t> totals, bool on_terminal, std::FILE* out);

    // Batch: file `index` (from 0) will not be converted (its output is
    // left alone): the time left counts none of its frames.
    void skip_file(int index);
    // Batch: file `index`, called `name`, starts.
    void start_file(int index, const std::string& name);
    // Frames of the current file done; `total` is the video library's count
    // for the file (0: none), used when the file states none.
    void frame_done(int done, int total = 0);
    // Batch: the current file ended after `frames` frames (they count in the
    // rate even when it failed), `converted` or not; a failed file leaves no
    // progress line, only its own message.
    void end_file(int frames, bool converted);
    // Batch: a line of its own, not mixed into the redrawn line.
    void message(const std::string& line);
    // The final line (ends the terminal's redrawn line).
    void finish(int done);

  private:
    using Clock = std::chrono::steady_clock;
    void print(bool last);
    int64_t frames_expected(size_t file) const;
    int seconds_left(double fps) const;
    std::string batch_line(double fps, int seconds) const;

    std::vector<int64_t> totals_;
    std::vector<bool> skipped_;
    bool batch_;
    bool terminal_;
    std::FILE* out_;
    size_t file_ = 0;
    std::string name_;
    int done_ = 0;             // frames of the current file
    int library_total_ = 0;    // the video library's count for it
    int64_t done_before_ = 0;  // frames of the files before it
    int64_t fallback_ = 0;     // frames expected of a file that states none
    bool drawn_ = false;       // a redrawn line is on the terminal
    Clock::time_point start_ = Clock::now();
    Clock::time_point last_ = start_;
};

}  // namespace depth
