// Batch export: the checks that keep every existing file safe, the frames
// through the three-thread pipeline (export_pipeline.cpp) into a temporary
// file beside the output, the container checked whole, the sound added by
// the ffmpeg program, and only then the output replaced.

#include "depth_export.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <opencv2/core/utility.hpp>
#include <opencv2/videoio.hpp>
#include <string>
#include <thread>

#include "container_check.h"
#include "depth_frame.h"
#include "depth_program.h"
#include "export_pipeline.h"
#include "export_progress.h"
#include "interrupt.h"
#include "output_file.h"
#include "sound_tool.h"
#include "video_probe.h"

namespace depth {

namespace {

int fail(const std::string& why) {
    std::fprintf(stderr, "kaplo-depth: %s\n", why.c_str());
    return kExportFailed;
}

int interrupted(const ExportRequest& r) {
    std::fprintf(stderr, "kaplo-depth: interrupted; %s left as it was\n", r.output);
    return 128 + interrupt_signal().load();
}

int fourcc_for(Container container) {
    return container == Container::Avi ? cv::VideoWriter::fourcc('M', 'J', 'P', 'G')
                                       : cv::VideoWriter::fourcc('m', 'p', '4', 'v');
}

// Frames and rate as the capture states them, with sane stand-ins.
void stated_count_and_rate(cv::VideoCapture& capture, int* total, double* fps) {
    const double count = capture.get(cv::CAP_PROP_FRAME_COUNT);
    *total = count > 0 && count < 1e9 ? static_cast<int>(count) : 0;
    *fps = capture.get(cv::CAP_PROP_FPS);
    if (!(*fps > 0 && *fps < 1000)) *fps = 24;
}

// The size the codec is given. Both codecs keep colour at half resolution
// and take only even sizes (the video library would drop an odd last row or
// column), and the library's colour conversion writes past the end of
// pictures narrower than a macroblock: at least 16 x 16. The picture is
// padded to it, its last column and row repeated (black would darken the
// colour the codec shares between the last real pixel and the next).
constexpr int kLeastSide = 16;
cv::Size coded_size(cv::Size s) {
    const auto side = [](int n) { return std::max(n + (n & 1), kLeastSide); };
    return {side(s.width), side(s.height)};
}
// MPEG-4 part 2 stores each side in 13 bits.
constexpr int kMostMpeg4Side = 8190;

// The input's sound, looked at by ffprobe on a thread of its own while the
// frames are converted: the probe costs a process start, which the export
// need not wait for.
class SoundProbe {
  public:
    SoundProbe(const char* input, Container container) : tools_(find_sound_tools()) {
        if (tools_.found())
            thread_ = std::thread([this, input, container] {
                result_ = plan_sound(tools_, input, container, &interrupt_signal(), &plan_, &why_);
            });
    }
    ~SoundProbe() { wait(); }
    SoundProbe(const SoundProbe&) = delete;
    SoundProbe& operator=(const SoundProbe&) = delete;

    void wait() {
        if (thread_.joinable()) thread_.join();
    }
    const SoundTools& tools() const { return tools_; }
    ToolResult result() const { return result_; }
    const SoundPlan& plan() const { return plan_; }
    const std::string& why() const { return why_; }

  private:
    const SoundTools tools_;
    std::thread thread_;
    ToolResult result_ = ToolResult::Failed;
    SoundPlan plan_;
    std::string why_;
};

// The finished picture file `pictures`, with the input's sound when it has
// any, becomes the output. The exit code.
int finish_output(const ExportRequest& r, Container container, OutputFile& out,
                  const std::string& pictures, SoundProbe& probe) {
    const std::atomic<int>* stop = &interrupt_signal();
    std::string why, result = pictures;
    probe.wait();
    if (!probe.tools().found()) {
        std::fprintf(stderr,
                     "kaplo-depth: any sound of %s was left out: the ffmpeg program is not "
                     "installed\n",
                     r.input);
    } else {
        ToolResult step = probe.result();
        why = probe.why();
        if (step == ToolResult::Done && probe.plan().has_sound) {
            result = out.new_temp(&why);
            if (result.empty()) return fail(why);
            step = add_sound(probe.tools(), probe.plan(), pictures, r.input, result, container,
                             stop, &why);
            if (step == ToolResult::Done && !container_is_whole(result, container)) {
                why = "cannot write " + std::string(r.output) + ": the file was cut short";
                step = ToolResult::Failed;
            }
        }
        if (step == ToolResult::Interrupted) return interrupted(r);
        if (step == ToolResult::Failed) return fail(why);
    }
    if (stop->load() != 0) return interrupted(r);
    if (!out.commit(result, &why)) return fail(why);
    if (result != pictures) out.discard(pictures);
    return kExportDone;
}

int run_export(const ExportRequest& r) {
    Container container;
    if (!r.output || !container_for(r.output, &container)) {
        std::fprintf(stderr, "kaplo-depth: the output must be a .avi or .mp4 file, not %s\n",
                     r.output ? r.output : "nothing");
        return kExportRefused;
    }
    OutputFile out;
    std::string why;
    if (!out.open(r.output, r.input, &why)) return fail(why);

    const std::string input = plain_file_path(r.input);
    cv::VideoCapture capture(input, cv::CAP_FFMPEG);
    cv::Mat first;
    if (!capture.isOpened() || !capture.read(first) || !as_bgr(&first))
        return fail(std::string("cannot read a video frame from ") + r.input);
    int total = 0;
    double fps = 0;
    stated_count_and_rate(capture, &total, &fps);

    const std::string pictures = out.new_temp(&why);
    if (pictures.empty()) return fail(why);
    const cv::Size size = layout_size(r.layout, first.cols, first.rows);
    const cv::Size coded = coded_size(size);
    if (container == Container::Mp4 &&
        (coded.width > kMostMpeg4Side || coded.height > kMostMpeg4Side))
        return fail("cannot write " + std::string(r.output) + ": a .mp4 takes pictures up to " +
                    std::to_string(kMostMpeg4Side) + " x " + std::to_string(kMostMpeg4Side) +
                    ", and these are " + std::to_string(size.width) + " x " +
                    std::to_string(size.height) + " (write a .avi, or another layout)");
    cv::VideoWriter writer(plain_file_path(pictures), fourcc_for(container), fps, coded, true);
    if (!writer.isOpened())
        return fail(std::string("cannot write ") + r.output + ": the video library refused " +
                    std::to_string(coded.width) + " x " + std::to_string(coded.height) +
                    " pictures");
    if (coded != size)
        std::fprintf(stderr,
                     "kaplo-depth: the codec takes even sizes of at least %d x %d: the %d x %d "
                     "pictures are written as %d x %d, their last %s repeated\n",
                     kLeastSide, kLeastSide, size.width, size.height, coded.width, coded.height,
                     coded.width != size.width && coded.height != size.height ? "column and row"
                     : coded.width != size.width                              ? "column"
                                                                              : "row");

    SoundProbe probe(r.input, container);
    const int32_t scale = r.depth_scale >= 0 ? r.depth_scale : depth_scale_for(first.cols);
    ExportProgress progress(total, isatty(2) != 0);
    const PipelineOutcome outcome = run_export_pipeline(capture, first, writer, coded, r.layout,
                                                        scale, &interrupt_signal(), [&](int done) {
                                                            if (r.frame_done)
                                                                r.frame_done(done, total);
                                                            else if (r.progress)
                                                                progress.frame_done(done);
                                                        });
    writer.release();
    if (r.progress && !r.frame_done) progress.finish(outcome.frames);
    if (outcome.interrupted) return interrupted(r);
    if (!outcome.failure.empty()) return fail(outcome.failure);
    // The writer reports no failed write: a full disk or a size limit shows
    // only as a file whose parts do not reach their stated ends.
    if (!container_is_whole(pictures, container))
        return fail("cannot write " + std::string(r.output) +
                    ": the file was cut short (is the disk full?)");

    const int code = finish_output(r, container, out, pictures, probe);
    if (code != kExportDone) return code;
    if (outcome.stopped_early)
        std::fprintf(stderr, "kaplo-depth: stopped early, %s; wrote the %d frames before it\n",
                     outcome.stopped_early, outcome.frames);
    else if (const int64_t stated = stated_frame_count(input); outcome.frames + 1 < stated)
        // One frame short is no loss: AVI files made with sound state one
        // frame more than they hold.
        std::fprintf(stderr,
                     "kaplo-depth: the video stopped decoding after %d of %lld frames; wrote "
                     "those %d\n",
                     outcome.frames, static_cast<long long>(stated), outcome.frames);
    return kExportDone;
}

// The export keeps both cores busy with its own three threads; the video
// library's pool splitting a colour conversion across them as well would
// only add hand-overs between threads that are busy anyway.
class OneLibraryThread {
  public:
    OneLibraryThread() : saved_(cv::getNumThreads()) { cv::setNumThreads(1); }
    ~OneLibraryThread() { cv::setNumThreads(saved_); }
    OneLibraryThread(const OneLibraryThread&) = delete;
    OneLibraryThread& operator=(const OneLibraryThread&) = delete;

  private:
    int saved_;
};

}  // namespace

int export_video(const ExportRequest& request) {
    silence_video_library();
    const InterruptGuard guard;
    const OneLibraryThread library_threads;
    try {
        return run_export(request);
    } catch (const std::exception& e) {  // the video library's, or no memory
        return fail(std::string("export failed: ") + e.what());
    }
}

}  // namespace depth
