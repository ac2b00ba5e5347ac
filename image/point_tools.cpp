// The one-point tools: a click takes a point. The placement tool shows a
// box the size of what is to be placed around the mouse, the row and column
// tools a line across the image through it, the point tool nothing.
//
// Threads: worker thread only. The shared loop (MouseTool::run) pumps the
// worker's messages; the image window procedure records the mouse in
// tool_state.

#include "image/image_store.h"
#include "image/tool_state.h"
#include "kaplo.h"

namespace kaplo {
namespace {

enum class Band { kNone, kRow, kColumn, kPlacement };

class PointTool final : public MouseTool {
  public:
    PointTool(int number, Band band, int32_t width, int32_t height, int* x, int* y)
        : MouseTool(number), band_(band), width_(width), height_(height), out_x_(x), out_y_(y) {}

  private:
    void start() override {
        if (band_ == Band::kNone) return;
        x_ = tool_state.mouseX;
        y_ = tool_state.mouseY;
        show_band();
        repaint();
    }

    int react() override {
        if (tool_state.moved && band_ != Band::kNone) {
            tool_state.moved = 0;
            hide_band();
            x_ = tool_state.mouseX;
            y_ = tool_state.mouseY;
            show_band();
            repaint();
            busy_ = true;
        }
        if (tool_state.clicked) {
            tool_state.clicked = 0;
            hide_band();
            repaint();
            *out_x_ = tool_state.clickX;
            *out_y_ = tool_state.clickY;
            ending_ = 0;  // after one more pump
            busy_ = true;
        }
        if (tool_state.cancelled && ending_ == kRunning) {
            tool_state.cancelled = 0;
            hide_band();
            repaint();
            return 1;
        }
        return kRunning;
    }

    // Placement: the box centred on the point, its top-left corner at the
    // point minus half the size; from 9 x 9 on its two diagonals one pixel
    // inside the outline too.
    void invert_band() const override {
        const ImageWindowRecord& image = image_table[number_];
        switch (band_) {
            case Band::kNone:
                return;
            case Band::kRow:
                KPL_InvertLine(0, y_, image.width - 1, y_);
                return;
            case Band::kColumn:
                KPL_InvertLine(x_, 0, x_, image.height - 1);
                return;
            case Band::kPlacement: {
                const int32_t left = x_ - width_ / 2, top = y_ - height_ / 2;
                const int32_t right = left + width_ - 1, bottom = top + height_ - 1;
                KPL_InvertBox(left, top, right, bottom);
                if (width_ >= 9 && height_ >= 9) {
                    KPL_InvertLine(left + 1, top + 1, right - 1, bottom - 1);
                    KPL_InvertLine(right - 1, top + 1, left + 1, bottom - 1);
                }
                return;
            }
        }
    }

    Band band_;
    int32_t width_, height_;  // of the placement box
    int32_t x_ = 0, y_ = 0;   // the band's point
    int* out_x_;
    int* out_y_;
};

int pick_one_point(int number, Band band, int32_t width, int32_t height, int* x, int* y) {
    if (!image_live(number)) return 2;
    int ignored_x = 0, ignored_y = 0;
    if (!x) x = &ignored_x;
    if (!y) y = &ignored_y;
    *x = 0;
    *y = 0;
    PointTool tool(number, band, width, height, x, y);
    return tool.run("Click a point");
}

}  // namespace
}  // namespace kaplo

int KPL_PickPlacement(int number, int width, int height, int* x, int* y) {
    return kaplo::pick_one_point(number, kaplo::Band::kPlacement, width, height, x, y);
}

int KPL_PickPoint(int number, int* x, int* y) {
    return kaplo::pick_one_point(number, kaplo::Band::kNone, 0, 0, x, y);
}

int KPL_PickRow(int number, int* x, int* y) {
    return kaplo::pick_one_point(number, kaplo::Band::kRow, 0, 0, x, y);
}

int KPL_PickColumn(int number, int* x, int* y) {
    return kaplo::pick_one_point(number, kaplo::Band::kColumn, 0, 0, x, y);
}
