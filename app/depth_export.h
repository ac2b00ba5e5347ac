#pragma once
// Batch export: every frame of a video converted once, with the same pixel
// code as the interactive program, in one of the stereo layouts, written to a
// new video with the sound of the input. No window is shown and no display is
// needed.

#include <cstdint>

#include "stereo_layout.h"

namespace depth {

struct ExportRequest {
    const char* output = nullptr;  // .avi (Motion JPEG) or .mp4 (MPEG-4 part 2)
    const char* input = "test.avi";
    Layout layout = Layout::Cross;
    int32_t depth_scale = -1;  // the largest shift x 256 / 255; below 0: width / 64
    bool progress = true;      // progress lines on standard error
};

// Exit codes of an export.
inline constexpr int kExportDone = 0;     // also when the input stopped decoding early
inline constexpr int kExportFailed = 1;   // one line on stderr; the output untouched
inline constexpr int kExportRefused = 2;  // a request that cannot be met (its name, values)
// Ended by a signal (Ctrl+C: SIGINT): 128 + the signal's number, the output untouched.

int export_video(const ExportRequest& request);

}  // namespace depth
