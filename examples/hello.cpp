// A small KAPLO program: counts runs and shows the count in the status line.
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
    while (!kpl_stop) KPL_ProcessMessages();
    KPL_SetStatusText("Stopped");
}
