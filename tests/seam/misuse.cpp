// Mistakes a user program makes, each repeated as in a loop, followed by the
// same calls made right. With KAPLO_DEBUG=1 each mistake is reported once.
#include <kaplo.h>

#include <cstdio>

void UserInit() {
    for (int i = 0; i < 3; ++i) {
        KPL_Printf("no text window is open yet\n");
        KPL_UpdateImage(5);
        KPL_SetPixel(1, 1, 0xFFFFFF);  // per-pixel calls stay silent
    }
    KPL_UpdateImage(6);
    KPL_DestroyImage(300);
    KPL_SaveImage(3, "nothing", 4, 4);
    KPL_SelectTextWindow(2);
    KPL_StartLog(2);
    KPL_SetForeground(KPLIMAGEWINDOW + 3);

    // Right: nothing more is reported.
    KPL_OpenTextWindow(0, -1, -1, -1, -1);
    KPL_Printf("text window 0 is open\n");
    KPL_CreateImageBuffer(5, 4, 4, 32);
    KPL_UpdateImage(5);
    KPL_SaveImage(3, "picture", 4, 4);
    KPL_StartLog(0);
    std::printf("misuse done\n");
    std::fflush(stdout);
}

void UserMain() {}
