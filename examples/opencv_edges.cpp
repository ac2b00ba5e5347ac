// Edges with OpenCV: the pixels of image windows handed to OpenCV as cv::Mat
// objects that share the windows' buffers, so nothing is copied. Each Start
// (S) blurs the picture a little more, finds its edges (Canny) straight into
// the 8-bit "edges" window, and paints them red over the picture. The
// picture is the file named on the command line, or a drawn scene.
//
//     kaplo-opencv-edges [picture]
#include <kaplo.h>

#include <cstdio>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace {

constexpr int kPicture = 0, kEdges = 1;
cv::Mat original;  // the picture as it was before any edges were painted on it
int runs = 0;

// An image's pixels as a cv::Mat over the image's own buffer: what OpenCV
// writes into it is in the image. A 32-bit pixel is a 0x00RRGGBB word, that
// is the bytes blue, green, red, 0 in memory: OpenCV's BGRA layout, with
// the fourth byte kept 0. Rows of an 8-bit image are padded to a multiple of
// 4 bytes, so its row step is given.
cv::Mat wrap(int number) {
    int width = 0, height = 0, depth = 0;
    if (KPL_GetImageInfo(number, &width, &height, &depth) != 0) return {};
    void* bits = KPL_GetImageBits(number);
    if (depth == 32) return cv::Mat(height, width, CV_8UC4, bits);
    return cv::Mat(height, width, CV_8UC1, bits, static_cast<size_t>(width + 3) / 4 * 4);
}

// Something with edges to find: hues across, a box, discs and text.
void draw_scene(int width, int height) {
    KPL_TestPatternHsv();
    KPL_FillBox(40, 40, 160, 150, 0xFFFFFF, 0x204080);
    kaplo::drawing_colour = 0xFFE000;
    KPL_FillCircle(width - 110, height / 2, 70);
    kaplo::drawing_colour = 0x000000;
    KPL_FillCircle(width - 110, height / 2, 30);
    kpl_tc = 0xFFFFFF;
    kaplo::image_text_cursor = {50, 50, 100};
    KPL_DrawString("KAPLO\n+ OpenCV");
}

}  // namespace

void UserInit() {
    int width = 480, height = 320;
    const char* file = KPL_ArgCount() > 1 ? KPL_Arg(1) : nullptr;
    if (file && KPL_GetImageFileSize(file, &width, &height) != 0) {
        std::printf("%s: not a picture\n", file);
        return;
    }
    KPL_CreateImage(kPicture, "picture", 0, 0, width, height, 100);
    if (file)
        KPL_LoadImage(file, 0, 0);
    else
        draw_scene(width, height);
    KPL_UpdateImage(kPicture);

    // The edges: an 8-bit image whose colour table is a grey ramp, so the
    // 0 and 255 that Canny writes show as black and white.
    KPL_CreateImage8(kEdges, "edges", 0, height + 40, width, height, 100);
    uint32_t grey[256];
    for (uint32_t i = 0; i < 256; ++i) grey[i] = i * 0x010101;
    KPL_SetPalette(grey, 256);
    KPL_UpdateImage(kEdges);
    KPL_SetStatusText("S finds the edges");
}

void UserMain() {
    cv::Mat picture = wrap(kPicture), edges = wrap(kEdges);
    if (picture.empty()) return;  // no picture was loaded
    // The picture as it was, kept in a copy of our own at the first Start and
    // copied back into the image (same size and type) at each one.
    if (original.empty()) original = picture.clone();
    original.copyTo(picture);

    const double blur = 0.5 + ++runs;
    cv::Mat grey;
    cv::cvtColor(picture, grey, cv::COLOR_BGRA2GRAY);
    cv::GaussianBlur(grey, grey, cv::Size(), blur);
    // Canny writes into the Mat it is given when size and type fit, as they
    // do here: the edges land in image 1's buffer.
    cv::Canny(grey, edges, 50, 150);
    picture.setTo(cv::Scalar(0, 0, 255, 0), edges);  // blue 0, green 0, red 255

    KPL_UpdateImage(kPicture);
    KPL_UpdateImage(kEdges);
    std::printf("blur %.1f: %d edge pixels\n", blur, cv::countNonZero(edges));
    std::fflush(stdout);
}
