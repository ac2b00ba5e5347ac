// kaplo-depth: plays a video as a depth map and a side-by-side stereo pair.
#include <kaplo.h>

#include "depth_program.h"

int UserCommandLine(int argc, char** argv) {
    return depth::command_line(argc, argv);
}

void UserInit() {
    depth::program_init();
}

void UserMain() {
    depth::program_main();
}
