// The two-point tools: a first click fixes a point P, then a line, box or
// circle from P to the mouse follows it until a second click takes the
// second point Q. A cancel after the first click goes back to it; one before
// it ends the tool.
//
// Threads: worker thread only (see MouseTool::run).

#include <algorithm>
#include <cmath>

#include "image/image_store.h"
#include "image/tool_state.h"
#include "kaplo.h"

namespace kaplo {
namespace {

enum class Shape { kLine, kBox, kCircle };

class TwoPointTool final : public MouseTool {
  public:
    TwoPointTool(int number, Shape shape) : MouseTool(number), shape_(shape) {}

    int32_t px = 0, py = 0, qx = 0, qy = 0;

    // The circle's radius: the distance from P to Q, rounded.
    int32_t radius() const {
        const double dx = qx - px, dy = qy - py;
        return static_cast<int32_t>(std::sqrt(dx * dx + dy * dy) + 0.5);
    }

  private:
    enum State { kFirst, kSecond };

    // In one pass a click goes before a cancel, and a move counts only in a
    // pass without a cancel.
    int react() override {
        if (tool_state.clicked) {
            tool_state.clicked = 0;
            busy_ = true;
            if (state_ == kFirst) {
                px = qx = tool_state.clickX;
                py = qy = tool_state.clickY;
                show_band();
                repaint();
                set_prompt("Click the second point", kBackHint);
                state_ = kSecond;
            } else {
                hide_band();
                repaint();
                qx = tool_state.clickX;
                qy = tool_state.clickY;
                return 0;
            }
        }
        if (tool_state.cancelled) {
            tool_state.cancelled = 0;
            busy_ = true;
            if (state_ == kFirst) return 1;
            hide_band();
            repaint();
            set_prompt("Click the first point");
            state_ = kFirst;
        } else if (tool_state.moved && state_ == kSecond) {
            // Before the first point a move waits: the band starts at the click.
            tool_state.moved = 0;
            busy_ = true;
            hide_band();
            qx = tool_state.mouseX;
            qy = tool_state.mouseY;
            show_band();
            repaint();
        }
        return kRunning;
    }

    void invert_band() const override {
        switch (shape_) {
            case Shape::kLine:
                KPL_InvertLine(px, py, qx, qy);
                return;
            case Shape::kBox:
                KPL_InvertBox(px, py, qx, qy);
                return;
            case Shape::kCircle:
                KPL_InvertCircle(px, py, radius());
                return;
        }
    }

    Shape shape_;
    State state_ = kFirst;
};

// Runs the tool with every output set to 0 first; null outputs are skipped.
template <size_t N, class Take>
int pick_two_points(int number, Shape shape, int* const (&outputs)[N], Take take) {
    if (!image_live(number)) return 2;
    for (int* out : outputs)
        if (out) *out = 0;
    TwoPointTool tool(number, shape);
    const int code = tool.run("Click the first point");
    if (code == 0) take(tool);
    return code;
}

void put(int* out, int32_t value) {
    if (out) *out = value;
}

}  // namespace
}  // namespace kaplo

int KPL_PickLine(int number, int* x1, int* y1, int* x2, int* y2) {
    using namespace kaplo;
    return pick_two_points(number, Shape::kLine, {x1, y1, x2, y2}, [&](const TwoPointTool& t) {
        put(x1, t.px);
        put(y1, t.py);
        put(x2, t.qx);
        put(y2, t.qy);
    });
}

int KPL_PickBox(int number, int* left, int* top, int* right, int* bottom) {
    using namespace kaplo;
    return pick_two_points(number, Shape::kBox, {left, top, right, bottom},
                           [&](const TwoPointTool& t) {
                               put(left, std::min(t.px, t.qx));
                               put(right, std::max(t.px, t.qx));
                               put(top, std::min(t.py, t.qy));
                               put(bottom, std::max(t.py, t.qy));
                           });
}

int KPL_PickCircle(int number, int* x, int* y, int* radius) {
    using namespace kaplo;
    return pick_two_points(number, Shape::kCircle, {x, y, radius}, [&](const TwoPointTool& t) {
        put(x, t.px);
        put(y, t.py);
        put(radius, t.radius());
    });
}
