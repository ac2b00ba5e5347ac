// Depth from motion scored on generated clips with known depth (rank
// correlation with the true inverse depth, pixel pairs in order), against
// the brightness depth on the same frames; its steadiness on a static
// camera, a pan read as far, a scene cut, and frames of any size.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "app/motion_depth.h"
#include "tests/app/motion_scenes.h"

namespace {

constexpr int kWarmUp = 5;  // frames before a map is scored

cv::Mat brightness(const cv::Mat& bgr) {
    std::vector<cv::Mat> p;
    cv::split(bgr, p);
    return cv::max(cv::max(p[0], p[1]), p[2]);
}

std::vector<cv::Mat> motion_maps(const scenes::Clip& clip) {
    depth::MotionDepth motion;
    std::vector<cv::Mat> maps;
    for (const cv::Mat& f : clip.frames) maps.push_back(motion.next(f).clone());
    return maps;
}

TEST(MotionDepth, ScoresOnGeneratedScenes) {
    for (const scenes::Clip& clip : scenes::all_clips()) {
        SCOPED_TRACE(clip.name);
        std::vector<cv::Mat> bright;
        for (const cv::Mat& f : clip.frames) bright.push_back(brightness(f));
        const std::vector<cv::Mat> maps = motion_maps(clip);
        const int first = clip.cut ? clip.cut + kWarmUp : kWarmUp;
        const scenes::Score b = scenes::score(clip, bright, first);
        const scenes::Score m = scenes::score(clip, maps, first);
        cv::Scalar mean, spread;
        cv::meanStdDev(maps.back(), mean, spread);
        std::printf(
            "%-11s bright %5.2f %4.2f   motion %5.2f %4.2f   last map mean %5.1f sd %5.1f"
            "  flicker %4.2f\n",
            clip.name.c_str(), b.rank_correlation, b.pairs_ordered, m.rank_correlation,
            m.pairs_ordered, mean[0], spread[0], scenes::flicker(maps, kWarmUp));
    }
}

}  // namespace
