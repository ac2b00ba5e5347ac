// Depth from motion scored on generated clips with known depth (rank
// correlation with the true inverse depth, pixel pairs in order); its
// steadiness on a static camera, a pan read as far, a scene cut, and frames
// of any size.

#include <gtest/gtest.h>

#include <cstdio>

#include "app/motion_depth.h"
#include "tests/app/motion_scenes.h"

namespace {

constexpr int kWarmUp = 5;  // frames before a map is scored

std::vector<cv::Mat> motion_maps(const scenes::Clip& clip) {
    depth::MotionDepth motion;
    std::vector<cv::Mat> maps;
    for (const cv::Mat& f : clip.frames) maps.push_back(motion.next(f).clone());
    return maps;
}

// Each scene's lowest accepted scores: the measured ones less 0.1 (rank
// correlation, pairs in order). The pan is scored apart (uniformly far).
struct Expected {
    const char* name;
    double correlation, pairs;
};
constexpr Expected kExpected[] = {
    {"tracking", 0.64, 0.87},
    {"dark_near", 0.71, 0.89},
    {"static", 0.09, 0.51},
    {"cut", 0.69, 0.85},
};

// Prints each scene's scores.
TEST(MotionDepth, ScoresOnGeneratedScenes) {
    for (const scenes::Clip& clip : scenes::all_clips()) {
        SCOPED_TRACE(clip.name);
        const std::vector<cv::Mat> maps = motion_maps(clip);
        // After a cut, only the frames once the map has restarted.
        const scenes::Score m = scenes::score(clip, maps, clip.cut ? clip.cut + kWarmUp : kWarmUp);
        std::printf("%-11s motion %5.2f %4.2f\n", clip.name.c_str(), m.rank_correlation,
                    m.pairs_ordered);
        if (clip.name == "pan") {  // uniformly far from a few frames on
            for (size_t t = 10; t < maps.size(); ++t) {
                cv::Scalar mean, spread;
                cv::meanStdDev(maps[t], mean, spread);
                EXPECT_LT(mean[0], 40) << t;
                EXPECT_LT(spread[0], 15) << t;
            }
            continue;
        }
        if (clip.name == "static") {
            EXPECT_LT(scenes::flicker(maps, 1), 0.5);
        }
        for (const Expected& e : kExpected)
            if (clip.name == e.name) {
                EXPECT_GT(m.rank_correlation, e.correlation);
                EXPECT_GT(m.pairs_ordered, e.pairs);
            }
    }
}

// Frames of any size, tiny ones included, and sizes changing between calls.
TEST(MotionDepth, AnySizeGivesAMapOfThatSize) {
    depth::MotionDepth motion;
    cv::RNG rng(1);
    for (cv::Size size : {cv::Size(1, 1), cv::Size(2, 3), cv::Size(40, 31), cv::Size(40, 31),
                          cv::Size(33, 70), cv::Size(700, 20), cv::Size(700, 20)}) {
        cv::Mat f(size, CV_8UC3);
        rng.fill(f, cv::RNG::UNIFORM, 0, 256);
        const cv::Mat& map = motion.next(f);
        EXPECT_EQ(map.size(), size);
        EXPECT_EQ(map.type(), CV_8UC1);
    }
}

}  // namespace
