// Batch export: the checks that keep every existing file safe, the frames
// through the three-thread pipeline (export_pipeline.cpp) and the input's
// sound written in one pass into a temporary file beside the output
// (media_output.cpp), and only a complete file put in the output's place.

#include "depth_export.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <opencv2/core/utility.hpp>
#include <opencv2/videoio.hpp>
#include <string>

#include "depth_frame.h"
#include "depth_program.h"
#include "export_pipeline.h"
#include "export_progress.h"
#include "interrupt.h"
#include "media_output.h"
#include "output_file.h"
#include "sound.h"
#include "video_probe.h"

namespace depth {

namespace {

// One line for the user: to the request's own receiver, or standard error.
void say(const ExportRequest& r, const std::string& line) {
    if (r.message)
        r.message(line);
    else
        std::fprintf(stderr, "kaplo-depth: %s\n", line.c_str());
}

int fail(const ExportRequest& r, const std::string& why) {
    say(r, why);
    return kExportFailed;
}

int interrupted(const ExportRequest& r) {
    say(r, std::string("interrupted; ") + r.output + " left as it was");
    return 128 + interrupt_signal().load();
}

// Frames and rate as the capture states them, with sane stand-ins.
void stated_count_and_rate(cv::VideoCapture& capture, int* total, double* fps) {
    const double count = capture.get(cv::CAP_PROP_FRAME_COUNT);
    *total = count > 0 && count < 1e9 ? static_cast<int>(count) : 0;
    *fps = capture.get(cv::CAP_PROP_FPS);
    if (!(*fps > 0 && *fps < 1000)) *fps = 24;
}

// The size the codec is given. Every codec keeps colour at half resolution
// (4:2:0) and takes only even sizes, and pictures of at least one 16 x 16
// block. The picture is
// padded to it, its last column and row repeated (black would darken the
// colour the codec shares between the last real pixel and the next).
constexpr int kLeastSide = 16;
cv::Size coded_size(cv::Size s) {
    const auto side = [](int n) { return std::max(n + (n & 1), kLeastSide); };
    return {side(s.width), side(s.height)};
}
// Refuses (kExportRefused, one line) a request that cannot be met and
// picks the codec; an exit code, or -1 to go on. The command line refuses
// the same before touching any file; batches and the benchmark come here
// directly.
int check_request(const ExportRequest& r, Container* container, Codec* codec) {
    std::string why, note;
    if (!r.output || !container_for(r.output, container))
        why = std::string("the output must be a .avi, .mp4, .mkv or .mov file, not ") +
              (r.output ? r.output : "nothing");
    else if (r.quality > 100)
        why = "the quality goes from 0 to 100, not " + std::to_string(r.quality);
    else if (container_takes(*container, r.codec, &why)) {
        // No encoder for a codec asked by name: an error before any file.
        if (!choose_codec(*container, r.codec, codec, &why, &note)) return fail(r, why);
        if (!note.empty()) say(r, note);
        return -1;
    }
    say(r, why);
    return kExportRefused;
}

int run_export(const ExportRequest& r) {
    Container container;
    Codec codec;
    if (const int code = check_request(r, &container, &codec); code >= 0) return code;
    OutputFile out;
    std::string why;
    if (!out.open(r.output, r.input, &why)) return fail(r, why);

    const std::string input = plain_file_path(r.input);
    cv::VideoCapture capture(input, cv::CAP_FFMPEG);
    cv::Mat first;
    if (!capture.isOpened() || !capture.read(first) || !as_bgr(&first))
        return fail(r, std::string("cannot read a video frame from ") + r.input);
    int total = 0;
    double fps = 0;
    stated_count_and_rate(capture, &total, &fps);

    const std::string temp = out.new_temp(&why);
    if (temp.empty()) return fail(r, why);
    const cv::Size size = layout_size(r.layout, first.cols, first.rows);
    const cv::Size coded = coded_size(size);
    SoundTrack sound;
    MediaOutput writer;
    const MediaSettings settings{container, codec,
                                 r.quality >= 0 ? r.quality : default_quality(codec), coded, fps};
    if (!writer.open(plain_file_path(temp), r.output, settings, &sound, input, &why))
        return fail(r, why);
    if (coded != size) {
        const auto sides = [](cv::Size s) {
            return std::to_string(s.width) + " x " + std::to_string(s.height);
        };
        say(r, "the codec takes even sizes of at least " + sides({kLeastSide, kLeastSide}) +
                   ": the " + sides(size) + " pictures are written as " + sides(coded) +
                   ", their last " +
                   (coded.width != size.width && coded.height != size.height ? "column and row"
                    : coded.width != size.width                              ? "column"
                                                                             : "row") +
                   " repeated");
    }

    const int32_t scale = r.depth_scale >= 0 ? r.depth_scale : depth_scale_for(first.cols);
    ExportProgress progress(total, isatty(2) != 0);
    const PipelineOutcome outcome =
        run_export_pipeline(capture, first, writer, coded, r.layout, scale, r.depth,
                            &interrupt_signal(), [&](int done) {
                                if (r.frame_done)
                                    r.frame_done(done, total);
                                else if (r.progress)
                                    progress.frame_done(done);
                            });
    if (r.progress && !r.frame_done) progress.finish(outcome.frames);
    if (outcome.interrupted) return interrupted(r);
    if (!outcome.failure.empty()) return fail(r, outcome.failure);
    if (!writer.finish(&why)) return fail(r, why);
    if (interrupt_signal().load() != 0) return interrupted(r);
    if (!out.commit(temp, &why)) return fail(r, why);

    const std::string frames = std::to_string(outcome.frames);
    if (outcome.stopped_early)
        say(r, std::string("stopped early, ") + outcome.stopped_early + "; wrote the " + frames +
                   " frames before it");
    else if (const int64_t stated = stated_frame_count(input); outcome.frames + 1 < stated)
        // One frame short is no loss: AVI files made with sound state one
        // frame more than they hold.
        say(r, "the video stopped decoding after " + frames + " of " + std::to_string(stated) +
                   " frames; wrote those " + frames);
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
        return fail(request, std::string("export failed: ") + e.what());
    }
}

}  // namespace depth
