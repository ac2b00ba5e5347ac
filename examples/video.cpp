// A video player: the frames of a video file, read with OpenCV's
// cv::VideoCapture, shown at their own pace in an image window twice their
// size, smoothly scaled, with the frame number in a corner. S plays from
// the beginning; the run ends at the end of the video or when C stops it.
// Standard output says how many frames were shown.
//
//     kaplo-video [video]        (default: test.avi in the current folder)
//
// The build makes a sample video, build/data/test.avi:
//     cd build/data && ../examples/kaplo-video
#include <kaplo.h>

#include <chrono>
#include <cstdio>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

namespace {

cv::VideoCapture video;
int frame_count = 0;
std::chrono::duration<double> frame_time{1.0 / 25};  // from the video's frame rate

// Copies an OpenCV frame (blue, green, red bytes) into image 0 without a
// copy in between: the image's buffer seen as a cv::Mat of blue, green, red
// and a fourth byte, which must stay 0 in a 0x00RRGGBB pixel.
void show(const cv::Mat& frame) {
    int width = 0, height = 0;
    KPL_GetImageInfo(0, &width, &height, nullptr);
    cv::Mat pixels(height, width, CV_8UC4, KPL_GetImageBits(0));
    cv::Mat sized = frame;  // a frame of another size is scaled to the image
    if (frame.cols != width || frame.rows != height) cv::resize(frame, sized, pixels.size());
    const int from_to[] = {0, 0, 1, 1, 2, 2, -1, 3};  // B, G, R, and 0 for the fourth byte
    cv::mixChannels(&sized, 1, &pixels, 1, from_to, 4);
}

}  // namespace

void UserInit() {
    const char* name = KPL_ArgCount() > 1 ? KPL_Arg(1) : "test.avi";
    if (!video.open(name)) {
        KPL_OpenTextWindow(0, -1, -1, 480, 80);
        KPL_Printf("Cannot open the video %s.\nUsage: kaplo-video [video]\n", name);
        std::printf("no video\n");
        std::fflush(stdout);
        return;
    }
    const int width = static_cast<int>(video.get(cv::CAP_PROP_FRAME_WIDTH));
    const int height = static_cast<int>(video.get(cv::CAP_PROP_FRAME_HEIGHT));
    frame_count = static_cast<int>(video.get(cv::CAP_PROP_FRAME_COUNT));
    if (const double fps = video.get(cv::CAP_PROP_FPS); fps > 0)
        frame_time = std::chrono::duration<double>(1.0 / fps);
    // Twice the frame's size, or the largest zoom the screen allows (FL).
    KPL_CreateImageFL(0, "video", -1, -1, width, height, 200);
    KPL_SetStretchMode(4, 0);  // smooth scaling instead of square pixels
    KPL_SetStatusText("S plays the video, C stops");
}

void UserMain() {
    if (!video.isOpened()) return;
    video.set(cv::CAP_PROP_POS_FRAMES, 0);  // from the beginning
    cv::Mat frame;
    int shown = 0;
    auto next = std::chrono::steady_clock::now();
    while (!kpl_stop) {
        if (!video.read(frame) || frame.empty()) {
            std::printf("end of the video after %d frames\n", shown);
            std::fflush(stdout);
            return;
        }
        KPL_SelectImage(0);
        show(frame);
        ++shown;
        kpl_tc = 0xFFFF00;  // yellow bitmap text in the top-left corner
        kaplo::image_text_cursor = {4, 4, 20};
        KPL_DrawTextf("%d/%d", shown, frame_count);
        KPL_UpdateImage(0);

        // Keeps the windows alive until the next frame is due.
        next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(frame_time);
        while (!kpl_stop && std::chrono::steady_clock::now() < next) {
            KPL_Wait(2);
        }
    }
    std::printf("stopped after %d frames\n", shown);
    std::fflush(stdout);
}
