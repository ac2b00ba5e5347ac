// Drawing into an image window: a rainbow that scrolls sideways until Stop,
// crossed by a white diagonal, saved as rainbow.png when the run ends.
// The code below this comment is the README's second example, line for line.
#include <kaplo.h>

void UserInit() {
    KPL_CreateImage(0, "rainbow", -1, -1, 320, 240, 100);  // image 0, 320 x 240, zoom 100 %
}

void UserMain() {
    for (int shift = 0; !kpl_stop; shift = (shift + 4) % 360) {
        for (int y = 0; y < 240; ++y)  // hue across, brightness down
            for (int x = 0; x < 320; ++x)
                KPL_SetPixel(x, y, KPL_HsvToRgb(255 - y / 2, 255, (x + shift) % 360));
        KPL_DrawLine(0xFFFFFF, 0, 0, 319, 239);  // colour, from, to
        KPL_UpdateImage(0);
        KPL_ProcessMessages();
    }
    KPL_SaveImage(3, "rainbow", 320, 240);  // writes rainbow.png
}
