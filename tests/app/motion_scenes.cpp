#include "motion_scenes.h"

#include <algorithm>
#include <numeric>
#include <opencv2/imgproc.hpp>
#include <random>

namespace scenes {
namespace {

constexpr int kWidth = 192, kHeight = 144, kFrames = 40;
constexpr int kMargin = 160;  // a layer's texture reaches this far beyond the view
// Every layer's mean brightness where brightness says nothing of depth: the
// brightness varies within each layer (its texture's blobs), not with depth.
constexpr double kGrey = 128;

// A plane parallel to the picture, textured over its mask.
struct Layer {
    cv::Mat texture;  // CV_8UC3, (kWidth + 2 kMargin) x (kHeight + 2 kMargin)
    cv::Mat mask;     // CV_8U, same size
    float inv_depth = 0;
};

// Noise at two scales around `brightness`, tinted: blobs and grain, plenty for
// a flow to hold on to.
cv::Mat texture(cv::RNG& rng, double brightness) {
    const cv::Size size(kWidth + 2 * kMargin, kHeight + 2 * kMargin);
    cv::Mat coarse(size.height / 8, size.width / 8, CV_32FC3), fine(size, CV_32FC3), out;
    rng.fill(coarse, cv::RNG::UNIFORM, -1, 1);
    rng.fill(fine, cv::RNG::UNIFORM, -1, 1);
    cv::resize(coarse, coarse, size, 0, 0, cv::INTER_CUBIC);
    cv::GaussianBlur(fine, fine, cv::Size(), 0.8);
    const cv::Scalar tint(rng.uniform(0.7, 1.0), rng.uniform(0.7, 1.0), rng.uniform(0.7, 1.0));
    cv::Mat sum = coarse * 70 + fine * 50 + cv::Scalar::all(brightness);
    cv::multiply(sum, tint, sum);
    sum.convertTo(out, CV_8UC3);
    return out;
}

// Boxes and ellipses scattered along the layer so some pass through the view.
Layer objects(cv::RNG& rng, float inv_depth, double brightness, int count) {
    Layer l;
    l.texture = texture(rng, brightness);
    l.mask = cv::Mat::zeros(l.texture.size(), CV_8U);
    l.inv_depth = inv_depth;
    for (int i = 0; i < count; ++i) {
        const cv::Point c(rng.uniform(kMargin / 2, kWidth + kMargin * 3 / 2),
                          kMargin + rng.uniform(kHeight / 5, kHeight * 4 / 5));
        const cv::Size half(rng.uniform(12, 30), rng.uniform(12, 30));
        if (rng.uniform(0, 2))
            cv::rectangle(l.mask, c - cv::Point(half), c + cv::Point(half), 255, cv::FILLED);
        else
            cv::ellipse(l.mask, c, half, 0, 0, 360, 255, cv::FILLED);
    }
    return l;
}

// A layer over the whole view.
Layer backdrop(cv::RNG& rng, float inv_depth, double brightness) {
    Layer l = objects(rng, inv_depth, brightness, 0);
    l.mask.setTo(255);
    return l;
}

// Renders the layers (far to near) with the camera shifted by `camera` per
// frame at inverse depth 1 and turned by `pan` per frame.
void render(const std::vector<Layer>& layers, cv::Point2f camera, cv::Point2f pan, int frames,
            Clip* clip) {
    cv::Mat mx(kHeight, kWidth, CV_32F), my(kHeight, kWidth, CV_32F), tex, mask;
    for (int t = 0; t < frames; ++t) {
        cv::Mat frame(kHeight, kWidth, CV_8UC3, cv::Scalar::all(0));
        cv::Mat inv(kHeight, kWidth, CV_32F, cv::Scalar(0));
        for (const Layer& l : layers) {
            const cv::Point2f shift = (camera * l.inv_depth + pan) * float(t);
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x) {
                    mx.at<float>(y, x) = x + kMargin + shift.x;
                    my.at<float>(y, x) = y + kMargin + shift.y;
                }
            cv::remap(l.texture, tex, mx, my, cv::INTER_LINEAR, cv::BORDER_REFLECT);
            cv::remap(l.mask, mask, mx, my, cv::INTER_NEAREST, cv::BORDER_CONSTANT);
            tex.copyTo(frame, mask);
            inv.setTo(l.inv_depth, mask);
        }
        clip->frames.push_back(frame);
        clip->inv_depth.push_back(inv);
    }
}

// A tracking shot's layers: a far backdrop, objects at three depths; all of
// the same mean brightness, or opposite to depth (near dark, far bright).
std::vector<Layer> layered(cv::RNG& rng, bool dark_near) {
    auto bright = [&](double when_opposite) { return dark_near ? when_opposite : kGrey; };
    std::vector<Layer> layers{backdrop(rng, 0.1f, bright(210))};
    layers.push_back(objects(rng, 0.35f, bright(160), 5));
    layers.push_back(objects(rng, 0.65f, bright(110), 4));
    layers.push_back(objects(rng, 1.0f, bright(60), 3));
    return layers;
}

Clip make(const std::string& name, uint64_t seed) {
    cv::RNG rng(seed);
    Clip clip;
    clip.name = name;
    const cv::Point2f side(-3, 0), none(0, 0);
    const std::vector<Layer> layers = layered(rng, name == "dark_near");
    const cv::Point2f camera = name == "pan" || name == "static" ? none : side;
    if (name == "cut") {  // two tracking shots back to back
        render(layers, side, none, kFrames / 2, &clip);
        render(layered(rng, true), cv::Point2f(3, 0), none, kFrames / 2, &clip);
        clip.cut = kFrames / 2;
    } else {
        render(layers, camera, name == "pan" ? cv::Point2f(-2, 0) : none, kFrames, &clip);
    }
    return clip;
}

// Ranks of v with ties sharing their mean rank.
std::vector<double> ranks(const std::vector<float>& v) {
    std::vector<int> order(v.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return v[a] < v[b]; });
    std::vector<double> r(v.size());
    for (size_t i = 0; i < order.size();) {
        size_t j = i;
        while (j < order.size() && v[order[j]] == v[order[i]]) ++j;
        for (size_t k = i; k < j; ++k) r[order[k]] = (i + j - 1) / 2.0;
        i = j;
    }
    return r;
}

double pearson(const std::vector<double>& a, const std::vector<double>& b) {
    const double n = a.size();
    const double ma = std::accumulate(a.begin(), a.end(), 0.0) / n;
    const double mb = std::accumulate(b.begin(), b.end(), 0.0) / n;
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        ab += (a[i] - ma) * (b[i] - mb);
        aa += (a[i] - ma) * (a[i] - ma);
        bb += (b[i] - mb) * (b[i] - mb);
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

}  // namespace

std::vector<Clip> all_clips() {
    std::vector<Clip> clips;
    for (const auto& [name, seed] : {std::pair<const char*, uint64_t>{"tracking", 27},
                                     {"dark_near", 28},
                                     {"pan", 33},
                                     {"static", 34},
                                     {"cut", 35}})
        clips.push_back(make(name, seed));
    return clips;
}

Score score(const Clip& clip, const std::vector<cv::Mat>& maps, int first) {
    std::mt19937 rng(5);
    double correlation = 0, ordered = 0;
    int frames = 0, pairs = 0;
    for (size_t t = first; t < maps.size(); ++t, ++frames) {
        const cv::Mat truth = clip.inv_depth[t];
        cv::Mat map;
        maps[t].convertTo(map, CV_32F);
        const std::vector<float> m(map.begin<float>(), map.end<float>()),
            d(truth.begin<float>(), truth.end<float>());
        correlation += pearson(ranks(m), ranks(d));
        std::uniform_int_distribution<size_t> pick(0, m.size() - 1);
        for (int i = 0; i < 2000; ++i) {
            const size_t a = pick(rng), b = pick(rng);
            if (std::abs(d[a] - d[b]) < 0.15f) continue;  // not clearly apart
            ++pairs;
            const float agree = (m[a] - m[b]) * (d[a] - d[b]);
            ordered += agree > 0 ? 1 : agree == 0 ? 0.5 : 0;
        }
    }
    return {frames ? correlation / frames : 0, pairs ? ordered / pairs : 0};
}

double flicker(const std::vector<cv::Mat>& maps, int first) {
    double sum = 0;
    int n = 0;
    for (size_t t = std::max(first, 1); t < maps.size(); ++t, ++n)
        sum += cv::norm(maps[t], maps[t - 1], cv::NORM_L1) / maps[t].total();
    return n ? sum / n : 0;
}

}  // namespace scenes
