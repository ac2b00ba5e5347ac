// Throughput of `kaplo-depth --export` against its floor, in one process on
// the same generated 768 x 576 video:
//   floor:  one thread decoding each frame and encoding a 1536 x 576
//           side-by-side frame (the frame twice) with the same library, codec
//           and container: what the export costs without the conversion;
//   export: depth::export_video, the whole command (checks, the three-thread
//           pipeline, the sound probe, the finished file put in place), with
//           the brightness depth;
//   motion: the same export with the motion depth (reported, not compared).
// Each is run several times in turns and the fastest run of each counts, so a
// moment of other work on the machine does not decide the figure; each round
// also says how many cores a run kept busy, since lasting work elsewhere
// takes the export's second core and the ratio with it. Then each stage of
// the export alone, one frame at a time on this thread with the video
// library on one thread: its processor time per frame. The last line is
// "export/floor throughput ratio: X.XX" (export frames per second over floor
// frames per second, both with the brightness depth).
//
//   kaplo_export_bench VIDEO [ROUNDS]

#include <kaplo.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/videoio.hpp>
#include <string>

#include "app/depth_export.h"
#include "app/depth_frame.h"
#include "app/depth_program.h"
#include "app/export_pipeline.h"
#include "app/media_output.h"
#include "app/motion_depth.h"
#include "app/stereo_layout.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// Processor time of the whole process (every thread), in seconds.
double cpu_seconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// One timed run: frames per second, and the cores it kept busy on average
// (2 at most here; less when other work on the machine takes a core).
struct Run {
    double fps = 0;
    double cores = 0;
};

template <class Body>
Run timed(int frames, Body body) {
    const double cpu = cpu_seconds();
    const auto start = Clock::now();
    if (!body()) return {};
    const double wall = seconds_since(start);
    return {frames / wall, (cpu_seconds() - cpu) / wall};
}

// Decoding and encoding alone, on this thread.
bool floor_run(const std::string& video, const std::string& out) {
    cv::VideoCapture capture(video);
    cv::Mat frame;
    if (!capture.isOpened() || !capture.read(frame)) return false;
    cv::VideoWriter writer(out, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'),
                           capture.get(cv::CAP_PROP_FPS), cv::Size(2 * frame.cols, frame.rows),
                           true);
    if (!writer.isOpened()) return false;
    cv::Mat pair(frame.rows, 2 * frame.cols, CV_8UC3);
    do {
        frame.copyTo(pair.colRange(0, frame.cols));
        frame.copyTo(pair.colRange(frame.cols, 2 * frame.cols));
        writer.write(pair);
    } while (capture.read(frame) && !frame.empty());
    writer.release();
    return true;
}

bool export_run(const std::string& video, const std::string& out, depth::DepthSource source) {
    depth::ExportRequest request;
    request.output = out.c_str();
    request.input = video.c_str();
    request.depth = source;
    request.progress = false;
    return depth::export_video(request) == depth::kExportDone;
}

// The encoding stage: the export's own writer (Motion JPEG in .avi at the
// default quality), on this thread alone so that the thread's processor time
// is all of it.
class StageEncoder {
  public:
    StageEncoder(const std::string& out, double fps, cv::Size size) {
        std::string why;
        const depth::MediaSettings settings{depth::Container::Avi,
                                            depth::Codec::Mjpeg,
                                            depth::default_quality(depth::Codec::Mjpeg),
                                            size,
                                            fps > 0 ? fps : 25,
                                            1};
        open_ = writer_.open(out, out, settings, nullptr, "", &why);
    }
    ~StageEncoder() {
        std::string why;
        if (open_) writer_.finish(&why);
    }
    StageEncoder(const StageEncoder&) = delete;
    StageEncoder& operator=(const StageEncoder&) = delete;
    bool is_open() const { return open_; }
    void write(const cv::Mat& picture) {
        std::string why;
        open_ = open_ && writer_.write_frame(picture, &why);
    }
    static const char* name() { return "Motion JPEG"; }

  private:
    depth::MediaOutput writer_;
    bool open_ = false;
};

// Processor time of this thread, in seconds.
double thread_cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Adds the processor time `body` takes on this thread to `*total`.
template <class Body>
void add_cpu(double* total, Body body) {
    const double start = thread_cpu_seconds();
    body();
    *total += thread_cpu_seconds() - start;
}

// Each stage of the export on its own, frame after frame on this thread:
// decoding, the motion depth, the conversion both ways, the default layout
// and encoding.
// Prints milliseconds of processor time per frame; false when the video or
// the conversion's images cannot be had.
bool print_stage_times(const std::string& video, const std::string& out) {
    const int library_threads = cv::getNumThreads();
    cv::setNumThreads(1);  // as the export runs the library
    cv::VideoCapture capture(video);
    cv::Mat frame;
    if (!capture.isOpened() || !capture.read(frame) || !depth::as_bgr(&frame)) return false;
    const int w = frame.cols, h = frame.rows;
    const depth::Layout layout = depth::ExportRequest{}.layout;
    StageEncoder encoder(out, capture.get(cv::CAP_PROP_FPS), depth::layout_size(layout, w, h));
    const bool made = KPL_CreateImageBuffer(depth::kSourceImage, w, h, 32) == 0 &&
                      KPL_CreateImageBuffer(depth::kDepthImage, w, h, 32) == 0 &&
                      KPL_CreateImageBuffer(depth::kConvImage, 2 * w, h, 32) == 0;
    const auto* depth_words = static_cast<const uint32_t*>(KPL_GetImageBits(depth::kDepthImage));
    const auto* conv_words = static_cast<const uint32_t*>(KPL_GetImageBits(depth::kConvImage));
    const int32_t scale = depth::depth_scale_for(w);
    double decode = 0, motion_time = 0, per_pixel = 0, rows = 0, compose = 0, encode = 0;
    depth::MotionDepth motion;
    int frames = 0;
    cv::Mat scratch, picture;
    bool read = made && encoder.is_open();
    while (read && frame.cols == w && frame.rows == h && depth::as_bgr(&frame)) {
        const depth::BgrFrame f{frame.data, frame.step[0], w, h};
        add_cpu(&motion_time, [&] { motion.next(frame); });
        add_cpu(&per_pixel, [&] { depth::convert_frame(f, scale, nullptr); });
        add_cpu(&rows, [&] { depth::convert_frame_by_rows(f, scale); });
        add_cpu(&compose, [&] {
            depth::compose_layout(layout, depth_words, conv_words, w, h, &scratch, &picture);
        });
        add_cpu(&encode, [&] { encoder.write(picture); });
        ++frames;
        add_cpu(&decode, [&] { read = capture.read(frame) && !frame.empty(); });
    }
    for (int number : {depth::kSourceImage, depth::kDepthImage, depth::kConvImage})
        KPL_DestroyImage(number);
    cv::setNumThreads(library_threads);
    if (frames == 0) return false;
    const cv::Size size = depth::layout_size(layout, w, h);
    const auto line = [frames](const std::string& stage, double seconds) {
        std::printf("  %-42s %6.2f ms\n", stage.c_str(), seconds * 1e3 / frames);
    };
    std::printf("processor time per frame of each stage alone (%d frames, one thread):\n", frames);
    line("decode (OpenCV capture)", decode);
    line("motion depth (MotionDepth::next)", motion_time);
    line("conversion, per-pixel calls (player's)", per_pixel);
    line("conversion, row loops (export's)", rows);
    line(std::string("layout (") + depth::layout_name(layout) + ")", compose);
    line(std::string("encode (") + StageEncoder::name() + ", " + std::to_string(size.width) + "x" +
             std::to_string(size.height) + ")",
         encode);
    return true;
}

int count_frames(const std::string& video) {
    cv::VideoCapture capture(video);
    cv::Mat frame;
    int frames = 0;
    while (capture.read(frame) && !frame.empty()) ++frames;
    return frames;
}

}  // namespace

// The framework library asks for a user program's two routines; the export
// never starts the framework, so they never run.
void UserInit() {}
void UserMain() {}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kaplo_export_bench VIDEO [ROUNDS]\n");
        return 2;
    }
    depth::silence_video_library();
    const std::string video = argv[1];
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kaplo-export-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string floor_out = folder / "floor.avi", export_out = folder / "export.avi";

    const int frames = count_frames(video);  // also brings the file into the page cache
    if (frames <= 0) {
        std::fprintf(stderr, "kaplo_export_bench: cannot read %s\n", video.c_str());
        return 1;
    }
    double load = 0;
    if (getloadavg(&load, 1) == 1 && load > 0.5)
        std::printf("other work on the machine: load average %.1f (the export needs both cores)\n",
                    load);
    Run best_floor, best_export, best_motion;
    using depth::DepthSource;
    for (int r = 0; r < rounds; ++r) {
        const Run f = timed(frames, [&] { return floor_run(video, floor_out); });
        const Run e =
            timed(frames, [&] { return export_run(video, export_out, DepthSource::Bright); });
        const Run m =
            timed(frames, [&] { return export_run(video, export_out, DepthSource::Motion); });
        std::printf(
            "round %d: floor %.1f fps (%.2f cores), export %.1f fps (%.2f cores), "
            "motion %.1f fps (%.2f cores)\n",
            r + 1, f.fps, f.cores, e.fps, e.cores, m.fps, m.cores);
        std::fflush(stdout);
        if (f.fps > best_floor.fps) best_floor = f;
        if (e.fps > best_export.fps) best_export = e;
        if (m.fps > best_motion.fps) best_motion = m;
    }
    if (!print_stage_times(video, floor_out))
        std::printf("stage times: cannot read %s or make the conversion's images\n", video.c_str());
    std::filesystem::remove_all(folder);
    if (best_floor.fps <= 0 || best_export.fps <= 0) {
        std::printf("export/floor throughput ratio: n/a\n");
        return 1;
    }
    std::printf("%d frames of %s; best of %d: floor %.1f fps, export %.1f fps\n", frames,
                video.c_str(), rounds, best_floor.fps, best_export.fps);
    std::printf("motion depth export: %.1f fps (%.2f of the brightness depth's)\n", best_motion.fps,
                best_motion.fps / best_export.fps);
    std::printf("export/floor throughput ratio: %.2f\n", best_export.fps / best_floor.fps);
    return 0;
}
