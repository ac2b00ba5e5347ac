#include "export_pipeline.h"

#include <kaplo.h>

#include <memory>
#include <opencv2/imgproc.hpp>
#include <thread>

#include "depth_frame.h"
#include "frame_ring.h"
#include "motion_depth.h"

namespace depth {

namespace {

// Small: enough to ride over a slow frame in one stage, few enough that the
// pictures in flight stay a few megabytes.
constexpr size_t kRingSlots = 3;

// The three images of the conversion, without windows, made and freed on the
// conversion thread.
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

struct Stages {
    FrameRing decoded;
    FrameRing composed;
    const char* decode_note = nullptr;   // written by the decoding thread
    const char* convert_note = nullptr;  // written by the conversion thread
    std::string convert_failure;         // written by the conversion thread
    Stages(const std::atomic<int>* stop) : decoded(kRingSlots, stop), composed(kRingSlots, stop) {}
};

void decode(cv::VideoCapture& capture, const cv::Mat& first, Stages& s) {
    try {
        for (bool is_first = true;; is_first = false) {
            cv::Mat* slot = s.decoded.free_slot();
            if (!slot) break;
            if (is_first) {
                first.copyTo(*slot);
            } else {
                if (!capture.read(*slot) || slot->empty()) break;  // the end, or undecodable
                if (!as_bgr(slot)) {
                    s.decode_note = "a frame has a pixel format that cannot be converted";
                    break;
                }
            }
            s.decoded.publish();
        }
    } catch (const std::exception&) {
        // The decoder gave up: what came before is written, as at the end.
    }
    s.decoded.finish();
}

void convert(Layout layout, int32_t depth_scale, DepthSource depth, int width, int height,
             Stages& s) {
    try {
        const ConversionImages images(width, height);
        if (!images.made) {
            s.convert_failure = "cannot make the conversion's images (frames too large?)";
            s.decoded.abandon();
            s.composed.abandon();
            return;
        }
        const auto* depth_words = static_cast<const uint32_t*>(KPL_GetImageBits(kDepthImage));
        const auto* conv_words = static_cast<const uint32_t*>(KPL_GetImageBits(kConvImage));
        cv::Mat scratch;
        // Made only when asked for: it keeps the previous frames it follows.
        const auto motion =
            depth == DepthSource::Motion ? std::make_unique<MotionDepth>() : nullptr;
        while (cv::Mat* frame = s.decoded.next()) {
            const BgrFrame f{frame->data, frame->step[0], frame->cols, frame->rows};
            const bool same_size = frame->cols == width && frame->rows == height;
            DepthMap given{};
            if (motion && same_size) {
                const cv::Mat& map = motion->next(*frame);
                given = {map.data, map.step[0]};
            }
            if (!same_size || !convert_frame_by_rows(f, depth_scale, motion ? &given : nullptr)) {
                s.convert_note = "a frame has another size than the first";
                s.decoded.abandon();  // the decoding thread stops at its next frame
                break;
            }
            s.decoded.release();
            cv::Mat* out = s.composed.free_slot();
            if (!out) break;
            compose_layout(layout, depth_words, conv_words, width, height, &scratch, out);
            s.composed.publish();
        }
    } catch (const std::exception& e) {
        s.convert_failure = std::string("conversion failed: ") + e.what();
        s.decoded.abandon();
        s.composed.abandon();
        return;
    }
    s.composed.finish();
}

}  // namespace

bool as_bgr(cv::Mat* frame) {
    if (frame->depth() != CV_8U) return false;
    if (frame->channels() == 1)
        cv::cvtColor(*frame, *frame, cv::COLOR_GRAY2BGR);
    else if (frame->channels() == 4)
        cv::cvtColor(*frame, *frame, cv::COLOR_BGRA2BGR);
    return frame->channels() == 3;
}

PipelineOutcome run_export_pipeline(cv::VideoCapture& capture, const cv::Mat& first,
                                    MediaOutput& writer, cv::Size coded, Layout layout,
                                    int32_t depth_scale, DepthSource depth,
                                    const std::atomic<int>* stop,
                                    const std::function<void(int)>& frame_written) {
    Stages s(stop);
    PipelineOutcome outcome;
    std::thread decoding([&] { decode(capture, first, s); });
    std::thread converting([&] { convert(layout, depth_scale, depth, first.cols, first.rows, s); });
    try {
        cv::Mat padded;
        while (const cv::Mat* picture = s.composed.next()) {
            if (picture->size() != coded)
                cv::copyMakeBorder(*picture, padded, 0, coded.height - picture->rows, 0,
                                   coded.width - picture->cols, cv::BORDER_REPLICATE);
            if (!writer.write_frame(picture->size() == coded ? *picture : padded,
                                    &outcome.failure)) {
                s.decoded.abandon();
                s.composed.abandon();
                break;
            }
            s.composed.release();
            frame_written(++outcome.frames);
        }
    } catch (const std::exception& e) {
        outcome.failure = std::string("encoding failed: ") + e.what();
        s.decoded.abandon();
        s.composed.abandon();
    }
    converting.join();
    decoding.join();
    if (outcome.failure.empty()) outcome.failure = s.convert_failure;
    outcome.stopped_early = s.convert_note ? s.convert_note : s.decode_note;
    outcome.interrupted = stop && stop->load() != 0;
    return outcome;
}

}  // namespace depth
