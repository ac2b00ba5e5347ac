// Batch export. The frames go through window-less image slots 0, 1 and 2 and
// depth::convert_frame, the interactive program's own path; image 2's words
// (blue, green, red, 0 in memory) become the output frame.

#include "depth_export.h"

#include <kaplo.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "depth_frame.h"

namespace depth {

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// Progress on one line, redrawn at most five times a second on a terminal;
// elsewhere (a log file, a pipe) one line a second.
class Progress {
  public:
    explicit Progress(int total) : total_(total), tty_(isatty(2) != 0) {}
    void frame_done(int done) {
        if (seconds_since(last_) < (tty_ ? 0.2 : 1.0)) return;
        last_ = Clock::now();
        print(done, tty_ ? '\r' : '\n');
    }
    void finish(int done) { print(done, '\n'); }

  private:
    void print(int done, char end) {
        const double t = seconds_since(start_);
        const double fps = t > 0 ? done / t : 0.0;
        if (total_ > 0)
            std::fprintf(stderr, "kaplo-depth: %d of %d frames, %.1f fps%c", done, total_, fps,
                         end);
        else
            std::fprintf(stderr, "kaplo-depth: %d frames, %.1f fps%c", done, fps, end);
        std::fflush(stderr);
    }
    int total_;
    bool tty_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point last_ = start_;
};

bool to_bgr(const cv::Mat& in, cv::Mat* out) {
    if (in.depth() != CV_8U) return false;
    if (in.channels() == 3)
        *out = in;
    else if (in.channels() == 1)
        cv::cvtColor(in, *out, cv::COLOR_GRAY2BGR);
    else if (in.channels() == 4)
        cv::cvtColor(in, *out, cv::COLOR_BGRA2BGR);
    else
        return false;
    return true;
}

// The three images of the conversion, without windows, for as long as the
// export runs.
struct ConversionImages {
    bool made;
    ConversionImages(int width, int height)
        : made(KPL_CreateImageBuffer(kSourceImage, width, height, 32) == 0 &&
               KPL_CreateImageBuffer(kDepthImage, width, height, 32) == 0 &&
               KPL_CreateImageBuffer(kConvImage, 2 * width, height, 32) == 0) {}
    ~ConversionImages() {
        for (int number : {kSourceImage, kDepthImage, kConvImage}) KPL_DestroyImage(number);
    }
    ConversionImages(const ConversionImages&) = delete;
    ConversionImages& operator=(const ConversionImages&) = delete;
};

int fail(const char* what, const char* path) {
    std::fprintf(stderr, "kaplo-depth: %s: %s\n", what, path);
    return 1;
}

}  // namespace

int export_video(const char* output_path, const char* input_path) {
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    try {
        cv::VideoCapture capture(input_path);
        cv::Mat decoded, frame;
        if (!capture.isOpened() || !capture.read(decoded) || !to_bgr(decoded, &frame))
            return fail("cannot read a video frame from", input_path);
        const int width = frame.cols, height = frame.rows;
        const double count = capture.get(cv::CAP_PROP_FRAME_COUNT);
        const int total = count > 0 && count < 1e9 ? static_cast<int>(count) : 0;
        double fps = capture.get(cv::CAP_PROP_FPS);
        if (!(fps > 0 && fps < 1000)) fps = 24;

        const ConversionImages images(width, height);
        if (!images.made) return fail("frames too large to convert in", input_path);
        // The writer can report success for a path it will never manage to
        // write; a plain open of the file first makes that failure certain.
        if (std::FILE* probe = std::fopen(output_path, "wb")) {
            std::fclose(probe);
        } else {
            return fail("cannot write", output_path);
        }
        cv::VideoWriter writer(output_path, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), fps,
                               cv::Size(2 * width, height), true);
        if (!writer.isOpened()) {
            std::remove(output_path);  // the empty file the probe left
            return fail("cannot write", output_path);
        }

        const int32_t scale = depth_scale_for(width);
        Progress progress(total);
        cv::Mat conv_bgr;
        int done = 0;
        const char* ended_early = nullptr;
        for (;;) {
            const BgrFrame f{frame.data, frame.step[0], width, height};
            if (!convert_frame(f, scale, nullptr)) {
                ended_early = "a frame has another size than the first";
                break;
            }
            const cv::Mat conv(height, 2 * width, CV_8UC4, KPL_GetImageBits(kConvImage));
            cv::cvtColor(conv, conv_bgr, cv::COLOR_BGRA2BGR);
            writer.write(conv_bgr);
            progress.frame_done(++done);
            if (!capture.read(decoded) || decoded.empty()) break;
            if (!to_bgr(decoded, &frame)) {
                ended_early = "a frame has a pixel format that cannot be converted";
                break;
            }
        }
        writer.release();
        progress.finish(done);
        if (ended_early)
            std::fprintf(stderr, "kaplo-depth: stopped early, %s; wrote the %d frames before it\n",
                         ended_early, done);
        else if (total > 0 && done < total)
            std::fprintf(stderr,
                         "kaplo-depth: the video stopped decoding after %d of %d frames; wrote "
                         "those %d\n",
                         done, total, done);
        return 0;
    } catch (const cv::Exception& e) {
        std::fprintf(stderr, "kaplo-depth: video library error: %s\n", e.what());
        return 1;
    }
}

}  // namespace depth
