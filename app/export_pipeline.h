#pragma once
// The export's frames on three threads, so that decoding, the conversion and
// encoding overlap on the machine's cores:
//
//   decoding thread       conversion thread               calling thread
//   capture.read  ──ring──▶ convert_frame (images 0-2) ──ring──▶ writer.write_frame
//                          compose_layout
//
// Each ring holds three pictures and reuses their buffers, so memory stays
// the same whatever the video's length, and frames are written in the order
// they were decoded. The conversion thread makes images 0, 1 and 2 (without
// windows) and is the only thread that touches them: it runs the row loops of
// depth::convert_frame_by_rows, the same pixels as the interactive program's
// per-pixel depth::convert_frame, and with the motion depth also
// MotionDepth::next on each frame, in order.
//
// Threads: call from one thread; it starts and joins the other two.

#include <atomic>
#include <cstdint>
#include <functional>
#include <opencv2/videoio.hpp>
#include <string>

#include "depth_frame.h"
#include "media_output.h"
#include "stereo_layout.h"

namespace depth {

struct PipelineOutcome {
    int frames = 0;                       // frames written
    const char* stopped_early = nullptr;  // why frames ended before the video did, or null
    std::string failure;                  // what went wrong, when the output is unusable
    bool interrupted = false;             // `*stop` was set
};

// `capture` has delivered `first` (8-bit blue, green, red, width x height);
// `writer` is open for pictures of `coded` size: layout_size(layout, width,
// height), or that padded by repeating its last row and column.
// `depth` names the depth the frames are converted with (the motion depth's
// state lives on the conversion thread for the run). `frame_written` runs on
// the calling thread after each frame.
PipelineOutcome run_export_pipeline(cv::VideoCapture& capture, const cv::Mat& first,
                                    MediaOutput& writer, cv::Size coded, Layout layout,
                                    int32_t depth_scale, DepthSource depth,
                                    const std::atomic<int>* stop,
                                    const std::function<void(int)>& frame_written);

// A decoded frame as 8-bit blue, green, red (grey and four-channel frames
// converted in place); false for a format the conversion cannot take.
bool as_bgr(cv::Mat* frame);

}  // namespace depth
