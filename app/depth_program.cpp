// The interactive program: the user init routine and the user main routine.
//
// The road of one frame: the capture's next frame → (with the motion depth:
// its map, motion_depth.h) → the preview window, with a 41 ms wait that
// paces playback, less the time the motion map took → the three windows
// checked → the frame's bytes into image 0, the depth map into image 1, the
// stereo pair into image 2 (depth_frame.cpp), each shown as it is complete →
// messages → Stop? At the end of the file the capture is rewound to frame 0.

#include "depth_program.h"

#include <kaplo.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/highgui.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <thread>

#include "depth_frame.h"
#include "frame_windows.h"
#include "motion_depth.h"
#include "output_file.h"
#include "player_status.h"

namespace depth {

namespace {

// Worker thread only, except the video name and the depth scale (set before
// the worker starts).
const char* g_video_name = "test.avi";
int32_t g_depth_scale = -1;  // below 0: width / 64
DepthSource g_depth_source = DepthSource::Bright;
MotionDepth g_motion;        // its frames are the capture's, in order since the last rewind
cv::VideoCapture g_capture;  // opened once by the init routine, never released
ProgramStats g_stats;

constexpr const char* kPreviewWindow = "window";
constexpr int kPacingMs = 41;
// Without frames the loop still pumps messages (Stop must work) but sleeps
// between turns instead of spinning a core.
constexpr auto kIdleWait = std::chrono::milliseconds(10);

const char* kImageNames[3] = {"source", "depth", "conv"};

// The next frame as 8-bit blue, green, red, or false at the end of the file,
// with no video, or when the decoder fails.
bool next_frame(cv::Mat* frame, int32_t* position_in_video) {
    if (!g_capture.isOpened()) return false;
    try {
        const double position = g_capture.get(cv::CAP_PROP_POS_FRAMES);
        if (!g_capture.read(*frame) || frame->empty()) return false;
        if (frame->depth() != CV_8U) return false;
        if (frame->channels() == 1)
            cv::cvtColor(*frame, *frame, cv::COLOR_GRAY2BGR);
        else if (frame->channels() == 4)
            cv::cvtColor(*frame, *frame, cv::COLOR_BGRA2BGR);
        else if (frame->channels() != 3)
            return false;
        *position_in_video = static_cast<int32_t>(position);
        return true;
    } catch (const cv::Exception&) {
        return false;
    }
}

void rewind() {
    g_motion.reset();
    if (!g_capture.isOpened()) return;
    try {
        g_capture.set(cv::CAP_PROP_POS_FRAMES, 0.0);
    } catch (const cv::Exception&) {
    }
}

// Every call into the video library's window code goes through these two
// out-of-line functions. That code hands its work to the GUI thread through
// Qt's blocking queued calls and wait conditions, which ThreadSanitizer cannot
// see (Qt is not instrumented); tests/tsan.supp names preview_window_call,
// which a report shows as the caller of the innermost instrumented function,
// preview_window_library_call.
enum class PreviewCall { Open, ShowAndWait };

[[gnu::noinline]] void preview_window_library_call(PreviewCall call, const cv::Mat* frame,
                                                   int wait_ms) {
    if (call == PreviewCall::Open) {
        cv::namedWindow(kPreviewWindow, cv::WINDOW_AUTOSIZE | cv::WINDOW_GUI_NORMAL);
    } else {
        cv::imshow(kPreviewWindow, *frame);
        cv::waitKey(wait_ms);  // the key is not used
    }
}

[[gnu::noinline]] void preview_window_call(PreviewCall call, const cv::Mat* frame,
                                           int wait_ms = kPacingMs) {
    try {
        preview_window_library_call(call, frame, wait_ms);
    } catch (const cv::Exception&) {
        // No preview is no reason to stop the conversion; keep the pacing.
        if (call == PreviewCall::ShowAndWait)
            std::this_thread::sleep_for(std::chrono::milliseconds(wait_ms));
    }
}

// The frame's motion map, and the preview's wait shortened by the time it
// took (at least 1 ms: waitKey(0) would wait for a key), so that the motion
// depth keeps the pace of the brightness depth.
cv::Mat motion_map(const cv::Mat& frame, int* wait_ms) {
    const auto start = std::chrono::steady_clock::now();
    const cv::Mat& map = g_motion.next(frame);
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    *wait_ms = std::max(1, kPacingMs - static_cast<int>(spent.count()));
    return map;
}

int32_t capture_size(cv::VideoCaptureProperties property) {
    if (!g_capture.isOpened()) return 0;
    const double v = g_capture.get(property);
    return v >= 0 && v < 1e6 ? static_cast<int32_t>(v) : 0;  // truncated toward zero
}

// The folder a video name is looked for in, for the message when it is not
// there.
std::string folder_looked_in(const char* name) {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::absolute(name, error);
    return error ? std::string(".") : path.parent_path().string();
}

}  // namespace

void silence_video_library() {
    // The library's FFmpeg back end reads this when it first starts, before
    // any video is opened; FFmpeg's own lines (a damaged frame) go with it.
    setenv("OPENCV_FFMPEG_LOGLEVEL", "-8", 0);
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
}

void set_depth_scale(int32_t scale) {
    g_depth_scale = scale;
}

void set_depth_source(DepthSource source) {
    g_depth_source = source;
}

const char* video_name() {
    return g_video_name;
}
void set_video_name(const char* name) {
    if (name && *name) g_video_name = name;
}
ProgramStats& program_stats() {
    return g_stats;
}

int ReleaseMediaPlayback() {
    return 1;
}

void program_init() {
    silence_video_library();
    KPL_OpenTextWindow(0, 672, 0, 152, 469);
    KPL_SetForeground(KPLMAINWINDOW);
    try {
        g_capture.open(plain_file_path(g_video_name), cv::CAP_FFMPEG);
    } catch (const cv::Exception&) {
    }
    if (g_capture.isOpened())
        KPL_Printf("Startをクリック.\n");
    else {
        KPL_Printf("[%s] : Can't load .\n", g_video_name);
        KPL_Printf("Looked in %s. Play another video with: kaplo-depth VIDEO\n",
                   folder_looked_in(g_video_name).c_str());
    }
}

void program_main() {
    preview_window_call(PreviewCall::Open, nullptr);
    int32_t width = capture_size(cv::CAP_PROP_FRAME_WIDTH);
    int32_t height = capture_size(cv::CAP_PROP_FRAME_HEIGHT);
    // Numbers already in use keep their windows (a second Start).
    request_frame_windows(width, height);

    PlayerStatus status;
    status.started(capture_size(cv::CAP_PROP_FRAME_COUNT));
    KPL_ProcessMessages();
    g_motion.reset();  // a second Start may come after frames were skipped
    cv::Mat frame, map;
    int32_t position = 0;
    while (!kpl_stop) {
        if (!next_frame(&frame, &position)) {
            rewind();
            status.idle();
            g_stats.idle_waits.fetch_add(1);
            std::this_thread::sleep_for(kIdleWait);
        } else {
            int wait_ms = kPacingMs;
            if (g_depth_source == DepthSource::Motion) map = motion_map(frame, &wait_ms);
            preview_window_call(PreviewCall::ShowAndWait, &frame, wait_ms);
            // The frame decides the sizes: the capture's properties can be
            // missing or differ from what the decoder delivers.
            width = frame.cols;
            height = frame.rows;
            if (!frame_slots_match(width, height)) {
                g_stats.recreated.fetch_add(1);
                const int failed = ensure_frame_windows(width, height);
                if (failed >= 0) {
                    KPL_Printf("[%s] : Can't make the \"%s\" window (%d x %d); stopped.\n",
                               g_video_name, kImageNames[failed],
                               failed == kConvImage ? 2 * width : width, height);
                    break;
                }
            }
            const BgrFrame f{frame.data, frame.step[0], width, height};
            const int32_t scale = g_depth_scale >= 0 ? g_depth_scale : depth_scale_for(width);
            const DepthMap given{map.data, map.empty() ? 0 : map.step[0]};
            if (convert_frame(f, scale, KPL_UpdateImage, map.empty() ? nullptr : &given)) {
                g_stats.last_position.store(position);
                g_stats.frames.fetch_add(1);
                status.frame_shown(position);
            }
        }
        KPL_ProcessMessages();
    }
    status.stopped();
    ReleaseMediaPlayback();
}

}  // namespace depth
