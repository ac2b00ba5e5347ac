// Makes the bundled sample video: bright shapes moving in front of a darker
// textured background, so the depth map (brightness) tells near from far and
// the stereo pair shows the shapes standing out.
//
//   make_sample_video OUT.avi [WIDTH HEIGHT FRAMES]    (default 320 240 96)
//
// Motion JPEG in AVI at 24 frames per second. The file is read back after
// writing; the exit code is 1 when it cannot be written or read back whole.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

namespace {

constexpr double kFps = 24.0;

// A fixed texture: stones of a wall in dull colours, with fine grain, all
// below half brightness so the background reads as far away.
cv::Mat background(int width, int height) {
    cv::Mat bg(height, width, CV_8UC3);
    const int stone_w = std::max(8, width / 10), stone_h = std::max(6, height / 12);
    for (int y = 0; y < height; ++y) {
        const int row = y / stone_h;
        const int offset = (row % 2) * stone_w / 2;
        for (int x = 0; x < width; ++x) {
            const int col = (x + offset) / stone_w;
            const bool mortar = y % stone_h == 0 || (x + offset) % stone_w == 0;
            const uint32_t h =
                (static_cast<uint32_t>(row) * 7919u + static_cast<uint32_t>(col) * 104729u) *
                2654435761u;
            const int base = 40 + static_cast<int>((h >> 24) % 40);
            const uint32_t g =
                (static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u) *
                2246822519u;
            const int grain = static_cast<int>((g >> 28) % 12);
            const int v = mortar ? 22 : base + grain;
            // A light slope from top (farther, darker) to bottom.
            const int slope = 20 * y / std::max(1, height - 1);
            cv::Vec3b& p = bg.at<cv::Vec3b>(y, x);
            p[0] = static_cast<uint8_t>(v * 3 / 4 + slope / 2);  // blue
            p[1] = static_cast<uint8_t>(v * 9 / 10 + slope);     // green
            p[2] = static_cast<uint8_t>(v + slope);              // red
        }
    }
    return bg;
}

void draw_frame(const cv::Mat& bg, int i, int frames, cv::Mat* out) {
    bg.copyTo(*out);
    const int w = bg.cols, h = bg.rows;
    const double t = static_cast<double>(i) / frames * 2 * CV_PI;
    // A mid-distance box sliding left and right.
    const int bw = w / 5, bh = h / 4;
    const int bx = static_cast<int>((w - bw) * (0.5 + 0.45 * std::sin(t)));
    cv::rectangle(*out, cv::Rect(bx, h / 6, bw, bh), cv::Scalar(60, 150, 170), cv::FILLED);
    // A near ball moving on an ellipse, with a white highlight.
    const cv::Point c(static_cast<int>(w * (0.5 + 0.3 * std::cos(t))),
                      static_cast<int>(h * (0.55 + 0.2 * std::sin(2 * t))));
    const int r = std::max(4, h / 7);
    cv::circle(*out, c, r, cv::Scalar(60, 90, 240), cv::FILLED, cv::LINE_AA);
    cv::circle(*out, c - cv::Point(r / 3, r / 3), std::max(1, r / 4), cv::Scalar(255, 255, 255),
               cv::FILLED, cv::LINE_AA);
    // The nearest: a bright triangle rising and falling at the left.
    const int ty = static_cast<int>(h * (0.7 + 0.15 * std::sin(3 * t)));
    const int tx = w / 8;
    const cv::Point tri[3] = {
        {tx, ty - h / 6}, {tx - w / 12, ty + h / 12}, {tx + w / 12, ty + h / 12}};
    cv::fillConvexPoly(*out, tri, 3, cv::Scalar(200, 255, 230), cv::LINE_AA);
    // A dim bar in the distance, drifting the other way.
    const int bar_x = static_cast<int>((w - w / 3) * (0.5 - 0.4 * std::sin(t)));
    cv::rectangle(*out, cv::Rect(bar_x, h - h / 8, w / 3, h / 20), cv::Scalar(90, 110, 120),
                  cv::FILLED);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 5) {
        std::fprintf(stderr, "usage: make_sample_video OUT.avi [WIDTH HEIGHT FRAMES]\n");
        return 2;
    }
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_ERROR);
    const char* out = argv[1];
    const int width = argc == 5 ? std::atoi(argv[2]) : 320;
    const int height = argc == 5 ? std::atoi(argv[3]) : 240;
    const int frames = argc == 5 ? std::atoi(argv[4]) : 96;
    if (width < 2 || height < 2 || width > 4096 || height > 4096 || frames < 1 || frames > 10000) {
        std::fprintf(stderr, "make_sample_video: size or frame count out of range\n");
        return 2;
    }
    cv::VideoWriter writer(out, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), kFps,
                           cv::Size(width, height), true);
    if (!writer.isOpened()) {
        std::fprintf(stderr, "make_sample_video: cannot write %s\n", out);
        return 1;
    }
    const cv::Mat bg = background(width, height);
    cv::Mat frame;
    for (int i = 0; i < frames; ++i) {
        draw_frame(bg, i, frames, &frame);
        writer.write(frame);
    }
    writer.release();

    cv::VideoCapture check(out);
    int read = 0;
    cv::Mat f;
    while (check.isOpened() && check.read(f) && !f.empty()) {
        if (f.cols != width || f.rows != height) break;
        ++read;
    }
    if (read != frames) {
        std::fprintf(stderr, "make_sample_video: %s reads back %d of %d frames\n", out, read,
                     frames);
        return 1;
    }
    return 0;
}
