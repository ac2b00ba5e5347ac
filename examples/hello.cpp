// A small KAPLO program: counts runs, shows the count in the status line and
// reports each run on standard output.
#include <kaplo.h>

#include <cstdio>

namespace {
int runs = 0;
}

void UserInit() { KPL_SetStatusText("Press S to start"); }

void UserMain() {
    char text[64];
    std::snprintf(text, sizeof text, "Run %d: press C to stop", ++runs);
    KPL_SetStatusText(text);
    std::printf("started run %d\n", runs);
    std::fflush(stdout);
    while (!kpl_stop) KPL_ProcessMessages();
    KPL_SetStatusText("Stopped");
    std::printf("stopped run %d\n", runs);
    std::fflush(stdout);
}
