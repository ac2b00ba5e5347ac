// Circles: a layout made by hand and pasted back as source. The windows were
// arranged with the mouse, "Window Info." (Ctrl+W in a text window) put the
// lines between the clang-format markers on the clipboard, and they were
// pasted into UserInit unchanged. After Start (S), each click on "Draw" draws
// a circle with the radius and colour typed into the input box; "Clear"
// clears the picture. C stops.
#include <kaplo.h>
#include <kaplo_boxes.h>
#include <kaplo_image.h>

#include <cstdio>
#include <cstdlib>

void UserInit() {
    // clang-format off
	// KAPLO --- Automatic Source Generator
	// [Image Window]
	KPL_CreateImage(0,"circles",0,0,400,300,100);
	// [Text Window]
	KPL_OpenTextWindow(0,420,0,400,240);
	// [Input Box]
	KPL_OpenInputBox(420,280,2);
	KPL_ResizeInputBox(90,70);
	KPL_SetInputBoxTitle(0,"Radius");
	KPL_SetInputBoxTitle(1,"Colour (hex)");
	// [Button Box]
	KPL_OpenButtonBox(420,380,2,1);
	KPL_ResizeButtonBox(208,34);
	KPL_SetButtonBoxTitle(0,"Draw");
	KPL_SetButtonBoxTitle(1,"Clear");
	KPL_SetForeground(KPLMAINWINDOW);
    // clang-format on
    KPL_SetInputText(0, "50");  // defaults: a field left alone draws these
    KPL_SetInputText(1, "FFFFFF");
    KPL_Printf("Press S, type a radius and a colour, and click Draw.\n");
}

void UserMain() {
    KPL_ResetButtonCount(0);
    KPL_ResetButtonCount(1);
    int draws = 0, clears = 0;
    while (!KPL_Wait(10)) {  // keeps the windows alive without spinning a core
        if (KPL_GetButtonCount(1) != clears) {
            clears = KPL_GetButtonCount(1);
            KPL_ClearImage(0);
            KPL_UpdateImage(0);
            std::printf("cleared\n");
        }
        if (KPL_GetButtonCount(0) != draws) {
            draws = KPL_GetButtonCount(0);
            const int radius = KPL_GetInputInt(0);
            const auto colour = static_cast<int32_t>(std::strtol(KPL_GetInputText(1), nullptr, 16));
            KPL_SelectImage(0);
            KPL_DrawCircle(colour, 200, 150, radius);
            KPL_UpdateImage(0);
            KPL_Printf("circle of radius %d in %06X\n", radius, static_cast<unsigned>(colour));
            std::printf("circle %d %06x\n", radius, static_cast<unsigned>(colour));
        }
        std::fflush(stdout);
    }
}
