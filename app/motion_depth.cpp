#include "motion_depth.h"

#include <opencv2/imgproc.hpp>

namespace depth {

// Placeholder until the motion estimate lands: the brightness depth.
struct MotionDepth::State {
    cv::Mat map;
};

MotionDepth::MotionDepth() : s_(std::make_unique<State>()) {}
MotionDepth::~MotionDepth() = default;

const cv::Mat& MotionDepth::next(const cv::Mat& bgr) {
    std::vector<cv::Mat> planes;
    cv::split(bgr, planes);
    s_->map = cv::max(cv::max(planes[0], planes[1]), planes[2]);
    return s_->map;
}

void MotionDepth::reset() {}

}  // namespace depth
