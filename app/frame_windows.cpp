#include "app/frame_windows.h"

#include "app/depth_frame.h"
#include "image/image_store.h"

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
        const kaplo::ImageWindowRecord& rec = kaplo::image_table[p.number];
        const int32_t want_width = p.width_factor * width;
        if (kaplo::image_live(p.number) && rec.bitDepth == 32 && rec.width == want_width &&
            rec.height == height)
            continue;
        if (kaplo::image_live(p.number)) KPL_DestroyImage(p.number);
        if (create(p, width, height) != 0) return p.number;
    }
    // Creation may have fitted a size differently than asked; trust only
    // what the slots now hold.
    return frame_slots_match(width, height) ? -1 : kSourceImage;
}

}  // namespace depth
