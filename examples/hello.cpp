// A small KAPLO program: greets the user in a text window, asks for a name on
// each Start, and reports each run on standard output.
#include <kaplo.h>

#include <cstdio>

namespace {
int runs = 0;
}

void UserInit() {
    KPL_OpenTextWindow(0, 0, 0, 400, 200);
    KPL_Printf("Hello from KAPLO. Press S to start.\n");
    KPL_SetStatusText("Press S to start");
}

void UserMain() {
    std::printf("started run %d\n", ++runs);
    std::fflush(stdout);
    KPL_Printf("Run %d. Your name? ", runs);
    char name[256];
    KPL_InputLine(name);
    std::printf("name [%s]\n", name);
    std::fflush(stdout);
    if (!kpl_stop) KPL_Printf("Nice to meet you, %s. Press C to stop.\n", name);
    // Until Stop; KPL_Wait keeps the windows alive without spinning a core.
    while (!KPL_Wait(1000)) {
    }
    std::printf("stopped run %d\n", runs);
    std::fflush(stdout);
}
