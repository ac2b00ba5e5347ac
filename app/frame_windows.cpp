#include "frame_windows.h"

#include <kaplo.h>

#include "depth_frame.h"

namespace depth {

namespace {

struct WindowPlace {
    int number;
    const char* title;
    int x, y;
    int width_factor;  // conv is twice as wide as the frame
};

constexpr WindowPlace kPlaces[3] = {{kSourceImage, "source", 0, 0, 1},
                                    {kDepthImage, "depth", 0, 300, 1},
                                    {kConvImage, "conv", 0, 400, 2}};

int create(const WindowPlace& p, int32_t width, int32_t height) {
    return KPL_CreateImageWindow(p.number, p.title, p.x, p.y, p.width_factor * width, height, 100,
                                 32);
}

}  // namespace

void request_frame_windows(int32_t width, int32_t height) {
    for (const WindowPlace& p : kPlaces) create(p, width, height);
}

int ensure_frame_windows(int32_t width, int32_t height) {
    if (width < 1 || height < 1) return kSourceImage;
    for (const WindowPlace& p : kPlaces) {
        int w = 0, h = 0, depth = 0;
        const bool live = KPL_GetImageInfo(p.number, &w, &h, &depth) == 0;
        if (live && depth == 32 && w == p.width_factor * width && h == height) continue;
        if (live) KPL_DestroyImage(p.number);
        if (create(p, width, height) != 0) return p.number;
    }
    // Creation may have fitted a size differently than asked; trust only
    // what the slots now hold.
    return frame_slots_match(width, height) ? -1 : kSourceImage;
}

}  // namespace depth
