// A user program built outside the framework's tree: it sees only the
// installed or exported headers and reports what it did on standard output.
#include <kaplo.h>

#include <cstdio>

void UserInit() {
    KPL_OpenTextWindow(0, -1, -1, -1, -1);
    KPL_Printf("built outside the tree\n");
    KPL_CreateImageBuffer(0, 8, 8, 32);
    KPL_SetPixel(3, 4, 0x123456);
    int width = 0, height = 0, depth = 0;
    KPL_GetImageInfo(0, &width, &height, &depth);
    std::printf("consumer ready: %dx%dx%d pixel %06x\n", width, height, depth,
                static_cast<unsigned>(KPL_GetPixel(3, 4)));
    std::fflush(stdout);
}

void UserMain() {
    while (!kpl_stop) KPL_ProcessMessages();
}
