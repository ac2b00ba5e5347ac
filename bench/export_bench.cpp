// Throughput of `kaplo-depth --export` against its floor, in one process on
// the same generated 768 x 576 video:
//   floor:  one thread decoding each frame and encoding a 1536 x 576
//           side-by-side frame (the frame twice) with the same library, codec
//           and container: what the export costs without the conversion;
//   export: depth::export_video, the whole command (checks, the three-thread
//           pipeline, the sound probe, the finished file put in place).
// Each is run several times in turns and the fastest run of each counts, so a
// moment of other work on the machine does not decide the figure. The last
// line is "export/floor throughput ratio: X.XX" (export frames per second
// over floor frames per second).
//
//   kaplo_export_bench VIDEO [ROUNDS]

#include <kaplo.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/videoio.hpp>
#include <string>

#include "app/depth_export.h"
#include "app/depth_program.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// Frames per second of decoding and encoding alone, or 0 on failure.
double floor_fps(const std::string& video, const std::string& out) {
    const auto start = Clock::now();
    cv::VideoCapture capture(video);
    cv::Mat frame;
    if (!capture.isOpened() || !capture.read(frame)) return 0;
    cv::VideoWriter writer(out, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'),
                           capture.get(cv::CAP_PROP_FPS), cv::Size(2 * frame.cols, frame.rows),
                           true);
    if (!writer.isOpened()) return 0;
    cv::Mat pair(frame.rows, 2 * frame.cols, CV_8UC3);
    int frames = 0;
    do {
        frame.copyTo(pair.colRange(0, frame.cols));
        frame.copyTo(pair.colRange(frame.cols, 2 * frame.cols));
        writer.write(pair);
        ++frames;
    } while (capture.read(frame) && !frame.empty());
    writer.release();
    return frames / seconds_since(start);
}

double export_fps(const std::string& video, const std::string& out, int frames) {
    depth::ExportRequest request;
    request.output = out.c_str();
    request.input = video.c_str();
    request.progress = false;
    const auto start = Clock::now();
    if (depth::export_video(request) != depth::kExportDone) return 0;
    return frames / seconds_since(start);
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
    double best_floor = 0, best_export = 0;
    for (int r = 0; r < rounds; ++r) {
        const double f = floor_fps(video, floor_out);
        const double e = export_fps(video, export_out, frames);
        std::printf("round %d: floor %.1f fps, export %.1f fps\n", r + 1, f, e);
        std::fflush(stdout);
        best_floor = std::max(best_floor, f);
        best_export = std::max(best_export, e);
    }
    std::filesystem::remove_all(folder);
    if (best_floor <= 0 || best_export <= 0) {
        std::printf("export/floor throughput ratio: n/a\n");
        return 1;
    }
    std::printf("%d frames of %s; best of %d: floor %.1f fps, export %.1f fps\n", frames,
                video.c_str(), rounds, best_floor, best_export);
    std::printf("export/floor throughput ratio: %.2f\n", best_export / best_floor);
    return 0;
}
