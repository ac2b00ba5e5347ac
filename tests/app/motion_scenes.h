#pragma once
// Generated clips with the true inverse depth of every pixel of every frame,
// to score a depth estimate: textured layers at known depths seen by a
// camera that moves (each layer shifts in proportion to its inverse depth),
// turns (every layer shifts alike), stands still, or cuts to another scene.
// The same seed makes the same clip on every machine (cv::RNG).

#include <opencv2/core.hpp>
#include <string>
#include <vector>

namespace scenes {

struct Clip {
    std::string name;
    std::vector<cv::Mat> frames;     // CV_8UC3, blue, green, red
    std::vector<cv::Mat> inv_depth;  // CV_32F, larger = nearer
    int cut = 0;                     // first frame after a scene cut (0: none)
};

// The fixed set: "tracking", "dark_near" (near layers dark, far ones bright),
// "pan", "static", "cut".
std::vector<Clip> all_clips();

struct Score {
    double rank_correlation;  // Spearman's, averaged over the frames scored
    double pairs_ordered;     // share of pixel pairs at clearly different depths in order
};

// Scores maps[t] (CV_8UC1, 255 = nearest) against clip.inv_depth[t] over the
// frames from `first` on.
Score score(const Clip& clip, const std::vector<cv::Mat>& maps, int first);

// The mean absolute change of the maps from one frame to the next, from
// frame `first` on, in grey levels.
double flicker(const std::vector<cv::Mat>& maps, int first);

}  // namespace scenes
