// An 8-bit picture: every pixel is an index into a table of 256 colours, the
// picture's palette. A seaside is drawn with indexes; S sets the sea moving by
// rotating its part of the palette (the pixels themselves never change), and
// C stops it and saves the picture as seaside.gif, whose colour table is the
// palette at that moment.
#include <kaplo.h>

#include <cstdio>

namespace {

constexpr int kWidth = 320, kHeight = 240, kHorizon = 140, kBeach = 200;

// How the 256 indexes are used: a sky ramp, a band of sea colours that the
// animation rotates, and a few single colours.
constexpr int kSky = 0, kSkyCount = 64;
constexpr int kSea = 64, kSeaCount = 32;
constexpr int kSand = 96, kSun = 97, kHull = 98, kSail = 99;

void make_palette() {
    uint32_t colours[256] = {};  // unused entries stay black
    // The sky from deep blue at the top to pale at the horizon.
    for (int i = 0; i < kSkyCount; ++i) colours[kSky + i] = KPL_HsvToRgb(255, 200 - i * 2, 215);
    for (int i = 0; i < kSeaCount; ++i) {  // one bright crest and its fading trail
        const int light = i < 16 ? 80 + i * 8 : 200 - (i - 16) * 8;
        colours[kSea + i] = KPL_HsvToRgb(light, 220, 200);
    }
    colours[kSand] = 0xE8D090;
    colours[kSun] = 0xFFE040;
    colours[kHull] = 0x803010;
    colours[kSail] = 0xFFFFFF;
    KPL_SetPalette(colours, 256);  // the current image's palette
}

void draw_seaside() {
    for (int y = 0; y < kHorizon; ++y)  // a line per sky index
        KPL_DrawLine(kSky + y * kSkyCount / kHorizon, 0, y, kWidth - 1, y);
    // The sea: diagonal stripes of the 32 sea indexes. When the palette
    // rotates, the stripes seem to roll towards the beach.
    for (int y = kHorizon; y < kBeach; ++y)
        for (int x = 0; x < kWidth; ++x)
            KPL_SetPixelNoMove(x, y, kSea + (x / 8 + y * 2) % kSeaCount);
    KPL_FillBox(0, kBeach, kWidth - 1, kHeight - 1, kSand, kSand);
    kaplo::drawing_colour = kSun;  // discs take the drawing colour
    KPL_FillCircle(250, 50, 24);
    KPL_FillBox(60, 150, 120, 162, kHull, kHull);  // a boat
    KPL_DrawLine(kSail, 90, 148, 90, 100);
    for (int x = 91; x <= 112; ++x) KPL_DrawLine(kSail, x, 146, x, 100 + (x - 90) * 2);
}

}  // namespace

void UserInit() {
    KPL_CreateImage8(0, "seaside", -1, -1, kWidth, kHeight, 100);  // an 8-bit image, made current
    make_palette();
    draw_seaside();
    KPL_UpdateImage(0);
    KPL_SetStatusText("S: waves, C: stop and save");
    KPL_SetPixelReadout(1);  // the status line shows the index and colour under the pointer
}

void UserMain() {
    uint32_t colours[256];
    int turns = 0;
    for (; !kpl_stop; ++turns) {
        KPL_SelectImage(0);
        KPL_GetPalette(colours);  // rotate the sea entries by one
        const uint32_t last = colours[kSea + kSeaCount - 1];
        for (int i = kSea + kSeaCount - 1; i > kSea; --i) colours[i] = colours[i - 1];
        colours[kSea] = last;
        KPL_SetPalette(colours, 256);  // the window shows the new colours at once
        KPL_Wait(50);                  // keeps the windows alive without spinning a core
    }
    KPL_SelectImage(0);
    const int result = KPL_SaveImage(2, "seaside", kWidth, kHeight);  // GIF: seaside.gif
    std::printf("%d turns, %s\n", turns, result == 0 ? "saved seaside.gif" : "not saved");
    std::fflush(stdout);
}
