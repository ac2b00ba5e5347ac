#pragma once
// Batch export: every frame of a video converted once, with the same pixel
// code as the interactive program, in one of the stereo layouts, written to a
// new video with the sound of the input. No window is shown and no display is
// needed.

#include <cstdint>
#include <functional>
#include <string>

#include "codec_choice.h"
#include "depth_frame.h"
#include "stereo_layout.h"

namespace depth {

// The export's depth when the command line does not name one. The motion
// depth orders near and far by how things move, where the brightness only
// guesses from the light (see the README's measurements).
inline constexpr DepthSource kExportDefaultDepth = DepthSource::Motion;

struct ExportRequest {
    const char* output = nullptr;  // .avi, .mp4, .mkv or .mov
    const char* input = "test.avi";
    Layout layout = Layout::Cross;
    int32_t depth_scale = -1;  // the largest shift x 256 / 255; below 0: width / 64
    DepthSource depth = kExportDefaultDepth;
    Codec codec = Codec::Default;  // must fit the output's container (container_takes)
    int quality = -1;              // 0 (smallest) to 100 (best); below 0: the codec's default
    bool progress = true;          // progress lines on standard error
    // When set, called after each frame written (frames done, frames the
    // input states or 0) in place of the progress lines: a batch keeps one
    // display for all its files.
    std::function<void(int done, int total)> frame_done;
    // When set, takes each line the export has for the user (without the
    // "kaplo-depth: " that standard error gets), in place of standard error.
    std::function<void(const std::string& line)> message;
};

// Exit codes of an export.
inline constexpr int kExportDone = 0;     // also when the input stopped decoding early
inline constexpr int kExportFailed = 1;   // one line on stderr; the output untouched
inline constexpr int kExportRefused = 2;  // a request that cannot be met (its name, values)
// Ended by a signal (Ctrl+C: SIGINT): 128 + the signal's number, the output untouched.

int export_video(const ExportRequest& request);

}  // namespace depth
