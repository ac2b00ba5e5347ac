#include "motion_depth.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <opencv2/video/tracking.hpp>
#include <vector>

namespace depth {
namespace {

// The flow runs on a grey copy at most this wide: its cost stays the same
// whatever the video's size.
constexpr int kFlowWidth = 256;
// Below this side the flow's patches and pyramid do not fit: the map is the
// fallback alone.
constexpr int kMinFlowSide = 32;
// A scene cut: the mean grey difference of 32 x 24 thumbnails of consecutive
// frames above this (a tracking shot's frames differ by a few levels at that
// size, two scenes by tens).
constexpr double kCutDifference = 20;
// The spread of the relative motion (flow pixels) below which it is taken as
// the flow's own noise, and the extra spread at which it is trusted fully.
constexpr float kNoiseSpread = 0.25f, kFullSpread = 0.75f;
// Per frame: how much a trusted estimate moves the carried map, how fast the
// map fades to uniformly far in a pan and to the fallback on a still camera.
constexpr float kBlend = 0.35f, kPanFade = 0.12f, kStillFade = 0.03f;
// A global motion (flow pixels per frame) above which a frame without
// parallax is a pan rather than a still camera.
constexpr float kPanMotion = 0.3f;

// The p-th quantile (0..1) of v (reordered).
float quantile(std::vector<float>& v, float p) {
    const size_t k = std::min(v.size() - 1, size_t(p * (v.size() - 1) + 0.5f));
    std::nth_element(v.begin(), v.begin() + k, v.end());
    return v[k];
}

float correlation(const std::vector<float>& a, const std::vector<float>& b) {
    double ma = 0, mb = 0, ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < a.size(); ++i) ma += a[i], mb += b[i];
    ma /= a.size();
    mb /= b.size();
    for (size_t i = 0; i < a.size(); ++i) {
        ab += (a[i] - ma) * (b[i] - mb);
        aa += (a[i] - ma) * (a[i] - ma);
        bb += (b[i] - mb) * (b[i] - mb);
    }
    return aa > 0 && bb > 0 ? float(ab / std::sqrt(aa * bb)) : 0.f;
}

// The guided filter's per-pixel coefficients (output = a x guide + b) of
// `map` under `guide`, averaged over windows of radius 4: the output follows
// the guide's edges where the guide changes, and is the map smoothed
// elsewhere.
void guided_coefficients(const cv::Mat& guide, const cv::Mat& map, cv::Mat* a, cv::Mat* b) {
    const cv::Size box(9, 9);
    constexpr double kEpsilon = 2e-3;  // the guide's variance below which its edges are ignored
    cv::Mat mi, mp, mip, mii;
    cv::boxFilter(guide, mi, CV_32F, box);
    cv::boxFilter(map, mp, CV_32F, box);
    cv::boxFilter(guide.mul(map), mip, CV_32F, box);
    cv::boxFilter(guide.mul(guide), mii, CV_32F, box);
    *a = (mip - mi.mul(mp)) / (mii - mi.mul(mi) + kEpsilon);
    *b = mp - a->mul(mi);
    cv::boxFilter(*a, *a, CV_32F, box);
    cv::boxFilter(*b, *b, CV_32F, box);
}

cv::Ptr<cv::DISOpticalFlow> make_flow() {
    auto flow = cv::DISOpticalFlow::create(cv::DISOpticalFlow::PRESET_FAST);
    // Down to the flow picture's own resolution: the coarser finest level
    // rounds the outlines of small near objects off (rank correlation on the
    // generated tracking shots 0.71 against 0.74).
    flow->setFinestScale(0);
    return flow;
}

}  // namespace

struct MotionDepth::State {
    cv::Ptr<cv::DISOpticalFlow> flow;  // made with the first pair of frames
    cv::Size size;             // of the frames seen
    cv::Mat grey, thumb;       // the last frame, grey at flow size and as a thumbnail
    cv::Mat map;               // CV_32F at flow size, 0 = far, 1 = nearest
    bool from_motion = false;  // the map holds an estimate from parallax
    float lo = 0, hi = 0;      // the smoothed range of the relative motion
    cv::Mat out;

    void restart() {
        grey.release();
        thumb.release();
        map.release();
        from_motion = false;
    }
};

MotionDepth::MotionDepth() : s_(std::make_unique<State>()) {}
MotionDepth::~MotionDepth() = default;

void MotionDepth::reset() {
    s_->restart();
}

const cv::Mat& MotionDepth::next(const cv::Mat& frame) {
    State& s = *s_;
    if (frame.empty()) {
        s.restart();
        s.out.release();
        return s.out;
    }
    if (frame.size() != s.size) s.restart();
    s.size = frame.size();

    cv::Mat bgr = frame, grey_full;
    if (frame.channels() == 4) cv::cvtColor(frame, bgr, cv::COLOR_BGRA2BGR);
    if (frame.channels() == 1) cv::cvtColor(frame, bgr, cv::COLOR_GRAY2BGR);
    cv::cvtColor(bgr, grey_full, cv::COLOR_BGR2GRAY);
    const double f = std::min(1.0, double(kFlowWidth) / frame.cols);
    const cv::Size small(std::max(1, int(std::lround(frame.cols * f))),
                         std::max(1, int(std::lround(frame.rows * f))));
    cv::Mat grey, small_bgr, thumb;
    cv::resize(grey_full, grey, small, 0, 0, cv::INTER_AREA);
    cv::resize(bgr, small_bgr, small, 0, 0, cv::INTER_AREA);
    cv::resize(grey, thumb, cv::Size(32, 24), 0, 0, cv::INTER_AREA);

    // The fallback: half brightness (the brightest of red, green and blue),
    // half a ramp from far at the top to near at the bottom.
    cv::Mat fallback(small, CV_32F);
    for (int y = 0; y < small.height; ++y) {
        const float ramp = small.height > 1 ? float(y) / (small.height - 1) : 0.5f;
        const cv::Vec3b* p = small_bgr.ptr<cv::Vec3b>(y);
        float* o = fallback.ptr<float>(y);
        for (int x = 0; x < small.width; ++x)
            o[x] = 0.5f * std::max({p[x][0], p[x][1], p[x][2]}) / 255.f + 0.5f * ramp;
    }

    const bool cut =
        !s.thumb.empty() && cv::norm(thumb, s.thumb, cv::NORM_L1) / thumb.total() > kCutDifference;
    const bool flow_fits = std::min(small.width, small.height) >= kMinFlowSide;
    if (s.map.empty() || cut || !flow_fits) {
        s.map = fallback;
        s.from_motion = false;
    } else {
        // From this frame to the last: this frame's pixel p was at p + flow.
        cv::Mat flow, mx(small, CV_32F), my(small, CV_32F), carried;
        if (!s.flow) s.flow = make_flow();
        s.flow->calc(grey, s.grey, flow);
        for (int y = 0; y < small.height; ++y)
            for (int x = 0; x < small.width; ++x) {
                const cv::Point2f d = flow.at<cv::Point2f>(y, x);
                mx.at<float>(y, x) = x + d.x;
                my.at<float>(y, x) = y + d.y;
            }
        cv::remap(s.map, carried, mx, my, cv::INTER_LINEAR, cv::BORDER_REPLICATE);

        // The background's motion: the median flow of a grid of samples.
        const int step = std::max(2, std::min(small.width, small.height) / 40);
        std::vector<float> fx, fy, row, old;
        for (int y = step / 2; y < small.height; y += step)
            for (int x = step / 2; x < small.width; x += step) {
                const cv::Point2f d = flow.at<cv::Point2f>(y, x);
                fx.push_back(d.x);
                fy.push_back(d.y);
                row.push_back(float(y));
                old.push_back(carried.at<float>(y, x));
            }
        std::vector<float> tmp = fx;
        const float bx = quantile(tmp, 0.5f);
        tmp = fy;
        const float by = quantile(tmp, 0.5f);
        // The main axis of the motion relative to the background.
        double sxx = 0, sxy = 0, syy = 0;
        for (size_t i = 0; i < fx.size(); ++i) {
            const double rx = fx[i] - bx, ry = fy[i] - by;
            sxx += rx * rx, sxy += rx * ry, syy += ry * ry;
        }
        const double angle = 0.5 * std::atan2(2 * sxy, sxx - syy);
        float ax = float(std::cos(angle)), ay = float(std::sin(angle));
        std::vector<float> p(fx.size());
        for (size_t i = 0; i < p.size(); ++i) p[i] = (fx[i] - bx) * ax + (fy[i] - by) * ay;
        tmp = p;
        float lo = quantile(tmp, 0.02f), mid = quantile(tmp, 0.5f), hi = quantile(tmp, 0.98f);
        const float spread = hi - lo;
        // Which end is near: the background (the median) lies at the far end,
        // so the longer tail is near; the map carried so far, and the
        // top-far, bottom-near prior, break ties.
        float vote = ((hi - mid) - (mid - lo)) / std::max(spread, 1e-3f) +
                     0.3f * correlation(p, row) + (s.from_motion ? correlation(p, old) : 0.f);
        if (vote < 0) {
            ax = -ax, ay = -ay;
            std::swap(lo, hi);
            lo = -lo, hi = -hi;
        }
        const float trust = std::clamp((spread - kNoiseSpread) / kFullSpread, 0.f, 1.f);
        if (trust > 0) {
            if (!s.from_motion) s.lo = lo, s.hi = hi;
            s.lo += 0.2f * (lo - s.lo);
            s.hi += 0.2f * (hi - s.hi);
            cv::Mat estimate(small, CV_32F);
            const float scale = 1.f / std::max(s.hi - s.lo, 1e-3f);
            for (int y = 0; y < small.height; ++y)
                for (int x = 0; x < small.width; ++x) {
                    const cv::Point2f d = flow.at<cv::Point2f>(y, x);
                    const float q = (d.x - bx) * ax + (d.y - by) * ay;
                    estimate.at<float>(y, x) = std::clamp((q - s.lo) * scale, 0.f, 1.f);
                }
            const float w = s.from_motion ? kBlend * trust : trust;
            cv::addWeighted(carried, 1 - w, estimate, w, 0, s.map);
            s.from_motion = true;
        } else {
            s.map = carried;
        }
        // What the parallax does not say: a pan fades to uniformly far, a still
        // camera to the fallback.
        const float untrusted = 1 - trust;
        if (std::hypot(bx, by) > kPanMotion)
            s.map *= 1 - kPanFade * untrusted;
        else
            cv::addWeighted(s.map, 1 - kStillFade * untrusted, fallback, kStillFade * untrusted, 0,
                            s.map);
    }
    s.grey = grey;
    s.thumb = thumb;

    // Edges that follow the picture: a guided filter with the frame as the
    // guide, its coefficients found at flow size and applied at the frame's
    // (the fast guided filter), so the outlines are the frame's own.
    if (flow_fits) {
        cv::Mat guide, a, b, ab;
        grey.convertTo(guide, CV_32F, 1 / 255.0);
        guided_coefficients(guide, s.map, &a, &b);
        s.map = a.mul(guide) + b;
        cv::merge(std::vector<cv::Mat>{a, b * 255}, ab);  // b on grey levels
        cv::resize(ab, ab, frame.size(), 0, 0, cv::INTER_LINEAR);
        s.out.create(frame.size(), CV_8U);
        for (int y = 0; y < frame.rows; ++y) {
            const cv::Vec2f* c = ab.ptr<cv::Vec2f>(y);
            const uint8_t* g = grey_full.ptr<uint8_t>(y);
            uint8_t* o = s.out.ptr<uint8_t>(y);
            for (int x = 0; x < frame.cols; ++x)
                o[x] = cv::saturate_cast<uint8_t>(c[x][0] * g[x] + c[x][1]);
        }
    } else {
        cv::Mat up;
        cv::resize(s.map, up, frame.size(), 0, 0, cv::INTER_LINEAR);
        up.convertTo(s.out, CV_8U, 255);
    }
    return s.out;
}

}  // namespace depth
