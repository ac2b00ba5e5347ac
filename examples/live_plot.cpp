// A live plot: a signal that changes from frame to frame, drawn as a graph
// with axes in an image window and redrawn about 50 times a second until
// Stop. Standard output says when a run starts and how many frames it drew.
#include <kaplo.h>

#include <cmath>
#include <cstdio>
#include <random>

namespace {

constexpr int kWidth = 480, kHeight = 240;  // the image window
constexpr int kLeft = 40, kRight = 469;     // the plot area inside it
constexpr int kTop = 10, kBottom = 210;     // (the x axis is halfway down)
constexpr int32_t kBackground = 0x101828, kGrid = 0x303848, kAxis = 0xC0C0C0, kCurve = 0x40FF40;

std::minstd_rand noise_source;
std::uniform_real_distribution<double> noise(-0.05, 0.05);

// The signal at sample x of a frame: two sines drifting at their own speeds,
// plus a little noise; it stays within -1 .. 1.
double signal_at(int x, int frame) {
    const double a = 0.6 * std::sin(x * 0.05 - frame * 0.10);
    const double b = 0.3 * std::sin(x * 0.13 + frame * 0.07);
    return a + b + noise(noise_source);
}

// -1 .. 1 onto the plot area's rows, +1 at the top.
int row_of(double value) {
    return kTop + static_cast<int>(std::lround((1 - value) / 2 * (kBottom - kTop)));
}

void label(int x, int y, const char* text) {  // bitmap text, y the row just below it
    kaplo::image_text_cursor = {x, x, y};
    KPL_DrawString(text);
}

}  // namespace

void UserInit() {
    KPL_CreateImage(0, "plot", -1, -1, kWidth, kHeight, 100);
    KPL_SetStatusText("S starts the plot, C stops it");
}

void UserMain() {
    std::printf("plot started\n");
    std::fflush(stdout);
    kpl_tc = kAxis;  // colour of bitmap text
    int frame = 0;
    for (; !kpl_stop; ++frame) {
        KPL_FillBox(0, 0, kWidth - 1, kHeight - 1, kBackground, kBackground);
        for (double v = -1; v <= 1; v += 0.5)
            KPL_DrawLine(kGrid, kLeft, row_of(v), kRight, row_of(v));
        KPL_DrawLine(kAxis, kLeft, kTop, kLeft, kBottom);          // y axis
        KPL_DrawLine(kAxis, kLeft, row_of(0), kRight, row_of(0));  // x axis
        label(8, row_of(1) + 7, "+1");
        label(16, row_of(0) + 7, "0");
        label(8, row_of(-1) + 7, "-1");
        char caption[32];
        std::snprintf(caption, sizeof caption, "frame %d", frame);
        label(kLeft, kHeight - 8, caption);

        // The graph: a line from each sample to the next.
        int last = row_of(signal_at(0, frame));
        for (int x = 1; kLeft + x <= kRight; ++x) {
            const int row = row_of(signal_at(x, frame));
            KPL_DrawLine(kCurve, kLeft + x - 1, last, kLeft + x, row);
            last = row;
        }

        KPL_UpdateImage(0);  // show the new frame
        KPL_Wait(20);        // keeps the windows alive without spinning a core
    }
    std::printf("plot stopped after %d frames\n", frame);
    std::fflush(stdout);
}
