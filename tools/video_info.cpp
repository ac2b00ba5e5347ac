// Prints "FRAMES WIDTH HEIGHT" of a video as decoded frame by frame (not the
// header's claim); exit code 1 when it cannot be opened.
#include <cstdio>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/videoio.hpp>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: video_info VIDEO\n");
        return 2;
    }
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    cv::VideoCapture in(argv[1]);
    if (!in.isOpened()) {
        std::fprintf(stderr, "video_info: cannot open %s\n", argv[1]);
        return 1;
    }
    int frames = 0, width = 0, height = 0;
    cv::Mat f;
    while (in.read(f) && !f.empty()) {
        if (frames == 0) width = f.cols, height = f.rows;
        if (f.cols != width || f.rows != height) width = height = -1;  // sizes differ
        ++frames;
    }
    std::printf("%d %d %d\n", frames, width, height);
    return 0;
}
