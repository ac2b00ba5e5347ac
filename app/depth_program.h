#pragma once
// The depth-conversion program's two routines and its command line. A thin
// main (main.cpp) hands them to the framework; the test scenarios call them
// from their own user routines.

#include <atomic>
#include <cstdint>

#include "depth_frame.h"

namespace depth {

// The video the program plays: "test.avi" in the current directory unless
// the command line names another.
const char* video_name();
void set_video_name(const char* name);  // before program_init
// The strength of the effect: below 0 (the default) width / 64.
void set_depth_scale(int32_t scale);  // before program_init
// What the "depth" window shows and the pair is made from: the brightness
// (the default) or the depth from motion.
void set_depth_source(DepthSource source);  // before program_init

// Keeps the video library's own log lines (and FFmpeg's, under it) off the
// terminal. Before any video is opened, while no other thread runs.
void silence_video_library();

// Text window 0 at (672, 0) with a 152 x 469 client area, the main window to
// the front, the capture opened, and the greeting or the load failure.
void program_init();
// One run: the preview window, the three image windows, the frame loop with
// rewind, until Stop (or until a window cannot be made).
void program_main();

// Nothing in the program opens a media playback graph: nothing to clean up (1).
int ReleaseMediaPlayback();

// Counters the test scenarios read from their driver thread.
struct ProgramStats {
    std::atomic<int32_t> frames{0};          // frames converted since start-up
    std::atomic<int32_t> last_position{-1};  // index in the video of the last frame converted
    std::atomic<int32_t> idle_waits{0};      // loop turns without a frame
    std::atomic<int32_t> recreated{0};       // windows made again during playback
};
ProgramStats& program_stats();

// The command line before any window: --help, --export OUT [VIDEO], or VIDEO.
// Returns an exit code, or -1 to start the interactive program.
int command_line(int argc, char** argv);

}  // namespace depth
