// Image windows on the real framework: captions, client sizes for zooms, the
// screen copy after a refresh (plain, nearest, smooth), re-creation. Run on
// Qt offscreen ("windows"), and on Xvfb for a screenshot ("show").
#include <kaplo.h>

#include <string>
#include <vector>

#include "image/image_store.h"
#include "tests/driver.h"

namespace pf = kaplo::platform;

namespace {

bool screen_copy(int n, std::vector<uint32_t>* pixels, int32_t* w, int32_t* h) {
    return pf::read_screen_copy(kaplo::image_table[n].window, pixels, w, h);
}

void windows_scenario() {
    // Zoom 50: a 640 x 480 image gets a 320 x 240 client area.
    CHECK(KPL_CreateImage(0, "abc", 10, 10, 640, 480, 50) == 0);
    CHECK(image_caption(0) == "abc(50%)");
    int32_t cw = 0, ch = 0;
    CHECK(pf::client_size(kaplo::image_table[0].window, &cw, &ch) && cw == 320 && ch == 240);

    // Nearest: each screen pixel is the image pixel at twice its position.
    KPL_TestPatternRgb();
    KPL_DrawLine(0x00FF00, 0, 1, 639, 1);
    CHECK(KPL_UpdateImage(0) == 0);
    std::vector<uint32_t> screen;
    int32_t sw = 0, sh = 0;
    CHECK(screen_copy(0, &screen, &sw, &sh) && sw == 320 && sh == 240);
    bool nearest = true;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            nearest = nearest && screen[static_cast<size_t>(y) * 320 + x] ==
                                     (static_cast<uint32_t>(KPL_GetPixel(2 * x, 2 * y)) & 0xFFFFFF);
    CHECK(nearest);

    // At 100 % the screen copy is the buffer itself.
    CHECK(KPL_CreateImage(2, "plain", 400, 10, 300, 200, 100) == 0);
    KPL_TestPatternHsv();
    kaplo::drawing_colour = 0xFFFFFF;
    KPL_FillCircle(150, 100, 40);
    KPL_UpdateImage(2);
    CHECK(screen_copy(2, &screen, &sw, &sh) && sw == 300 && sh == 200);
    CHECK(std::equal(screen.begin(), screen.end(), kaplo::pixels32[2]));

    // 8-bit: caption, colour table, and re-creation keeping corner, title,
    // zoom request, depth, stretch mode and colour table; the picture is black.
    CHECK(KPL_CreateImage8(1, "abc", 40, 300, 200, 100, 100) == 0);
    CHECK(image_caption(1) == "abc(100%)[8bit]");
    uint32_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = 0x010203u * static_cast<uint32_t>(i) & 0xFFFFFF;
    table[5] = 0x123456;
    CHECK(KPL_SetPalette(table, 256) == 0);
    KPL_SetPixel(3, 3, 5);
    KPL_UpdateImage(1);
    CHECK(screen_copy(1, &screen, &sw, &sh) && screen[3 * 200 + 3] == 0x123456);
    KPL_SetStretchMode(4, 1);
    pf::Rect before, after;
    CHECK(pf::window_rect(kaplo::image_table[1].window, &before));
    CHECK(KPL_ResizeImage(1, 300, 150) == 0);
    CHECK(pf::window_rect(kaplo::image_table[1].window, &after));
    CHECK(after.left == before.left && after.top == before.top);
    CHECK(image_caption(1) == "abc(100%)[8bit]*");
    CHECK(pf::client_size(kaplo::image_table[1].window, &cw, &ch) && cw == 300 && ch == 150);
    KPL_SelectImage(1);
    uint32_t kept[256];
    CHECK(KPL_GetPalette(kept) == 0 && kept[5] == 0x123456);
    CHECK(KPL_GetPixel(3, 3) == 0);

    // A size that cannot be made changes nothing: window, picture, caption
    // and slot stay.
    const pf::WindowId window = kaplo::image_table[1].window;
    KPL_SetPixel(7, 7, 5);
    const int code = KPL_CreateImage8(9, "", 0, 0, 10, 16385, 100);  // what creation says
    CHECK(code != 0 && KPL_ResizeImage(1, 10, 16385) == code);
    CHECK(kaplo::image_table[1].window == window && kaplo::image_live(1));
    CHECK(KPL_GetPixel(7, 7) == 5 && image_caption(1) == "abc(100%)[8bit]*");
    CHECK(pf::client_size(window, &cw, &ch) && cw == 300 && ch == 150);

    // Window-less images: pixels without a window, through every re-creation.
    CHECK(KPL_CreateImageBuffer(5, 64, 32, 32) == 0 && kaplo::current_image() == 5);
    CHECK(KPL_CreateImageBuffer(5, 64, 32, 32) == 1 && KPL_CreateImageBuffer(6, 1, 1, 16) == 3);
    int w = 0, h = 0, depth = 0;
    CHECK(KPL_GetImageInfo(5, &w, &h, &depth) == 0 && w == 64 && h == 32 && depth == 32);
    KPL_SetPixel(63, 31, 0x123456);
    CHECK(static_cast<uint32_t*>(KPL_GetImageBits(5))[31 * 64 + 63] == 0x123456);
    CHECK(KPL_UpdateImage(5) == 0 && KPL_SetForeground(KPLIMAGEWINDOW + 5) == 1);
    CHECK(KPL_ResizeImage(5, 10, 0) == 0 && kaplo::image_table[5].window == 0);
    CHECK(KPL_GetImageInfo(5, &w, &h, &depth) == 0 && w == 10 && h == 1);
    CHECK(KPL_DestroyImage(5) == 0 && !kaplo::image_live(5) && KPL_GetImageBits(5) == nullptr);
    CHECK(KPL_SetForeground(KPLIMAGEWINDOW + 1) == 0);
}

// Draws a known picture for the end-to-end test to compare with a screenshot.
void show_scenario() {
    CHECK(KPL_CreateImage(0, "shown", 100, 100, 256, 160, 100) == 0);
    KPL_TestPatternYCrCb();
    kaplo::drawing_colour = 0xFFFF00;
    KPL_FillCircle(60, 80, 30);
    KPL_DrawLine(0xFF00FF, 0, 0, 255, 159);
    kpl_tc = 0xFFFFFF;
    kaplo::image_text_cursor = {120, 120, 150};
    KPL_DrawString("KAPLO 42");
    KPL_UpdateImage(0);
    CHECK(KPL_SaveImage(3, "expected.png", 256, 160) == 0);
}

}  // namespace

void UserInit() {
    start_run();
}

void UserMain() {
    run_scenario({{"windows", windows_scenario}, {"show", show_scenario}}, {"show"});
    // The test takes its screenshot, then exits.
    while (scenario_name() == "show" && !kpl_stop) KPL_ProcessMessages();
}
