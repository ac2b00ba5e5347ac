// kaplo-depth's command line, read before the framework shows anything:
//   kaplo-depth [VIDEO]                  play VIDEO (default "test.avi")
//   kaplo-depth --export OUT.avi [VIDEO] convert every frame once, no window
//   kaplo-depth --help

#include <cstdio>
#include <cstring>

#include "depth_export.h"
#include "depth_program.h"

namespace depth {

namespace {

void usage(std::FILE* out) {
    std::fputs(
        "usage: kaplo-depth [VIDEO]\n"
        "       kaplo-depth --export OUT.avi [VIDEO]\n"
        "       kaplo-depth --help\n"
        "\n"
        "Plays VIDEO (default: test.avi in the current directory) in a loop and shows,\n"
        "for every frame, three windows: \"source\" (the frame), \"depth\" (a grey depth\n"
        "map: the brightest colour component of each pixel, brighter is nearer) and\n"
        "\"conv\" (twice as wide: on the left the frame with every pixel shifted left\n"
        "by its depth, up to about a 64th of the width; on the right the frame itself,\n"
        "so the two halves form a side-by-side stereo pair). Press S on the main window\n"
        "to start, C to stop, Esc to exit.\n"
        "\n"
        "--export OUT.avi converts every frame of VIDEO once, without any window, and\n"
        "writes the \"conv\" view (2W x H, Motion JPEG) to OUT.avi; progress goes to\n"
        "standard error. Exit code 0 when done, 1 when VIDEO cannot be read or OUT.avi\n"
        "cannot be written, 2 for a wrong command line.\n",
        out);
}

bool is(const char* arg, const char* option) {
    return std::strcmp(arg, option) == 0;
}

}  // namespace

int command_line(int argc, char** argv) {
    if (argc >= 2 && (is(argv[1], "--help") || is(argv[1], "-h"))) {
        usage(stdout);
        return 0;
    }
    if (argc >= 2 && is(argv[1], "--export")) {
        if (argc < 3 || argc > 4) {
            std::fputs("kaplo-depth: --export needs OUT.avi and at most one VIDEO (see --help)\n",
                       stderr);
            return 2;
        }
        return export_video(argv[2], argc == 4 ? argv[3] : "test.avi");
    }
    if (argc >= 2 && std::strncmp(argv[1], "--", 2) == 0) {
        std::fprintf(stderr, "kaplo-depth: unknown option %s (see --help)\n", argv[1]);
        return 2;
    }
    // Anything after VIDEO (Qt's own options such as -platform) is the
    // framework's.
    if (argc >= 2 && argv[1][0] != '-') set_video_name(argv[1]);
    return -1;
}

}  // namespace depth
