// kaplo-depth's command line, read before the framework shows anything:
//   kaplo-depth [--depth-scale N] [VIDEO]            play VIDEO (default "test.avi")
//   kaplo-depth --export OUT [--layout L] [--depth-scale N] [VIDEO]
//                                                     convert every frame once, no window
//   kaplo-depth --help
// Options may come in any order, before or after VIDEO; "--name=value" works
// too. A single-dash argument ends the program's part: the rest (Qt's own
// options such as -platform) is the framework's.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "depth_export.h"
#include "depth_program.h"
#include "output_file.h"

namespace depth {

namespace {

constexpr int kUsageError = 2;
constexpr long kMaxDepthScale = 16384;  // the widest frame the image slots take

void usage(std::FILE* out) {
    std::fputs(
        "usage: kaplo-depth [--depth-scale N] [VIDEO]\n"
        "       kaplo-depth --export OUT [--layout LAYOUT] [--depth-scale N] [VIDEO]\n"
        "       kaplo-depth --help\n"
        "\n"
        "Plays VIDEO (default: test.avi in the current directory) in a loop and shows,\n"
        "for every frame, three windows: \"source\" (the frame), \"depth\" (a grey depth\n"
        "map: the brightest colour component of each pixel, brighter is nearer) and\n"
        "\"conv\" (twice as wide: on the left the frame with every pixel shifted left\n"
        "by its depth, up to about a 64th of the width; on the right the frame itself,\n"
        "so the two halves form a stereo pair for cross-eyed viewing). Press S on the\n"
        "main window to start, C to stop, Esc to exit.\n"
        "\n"
        "--export OUT converts every frame of VIDEO once, without any window, and\n"
        "writes OUT: a .avi (Motion JPEG) or a .mp4 (MPEG-4) file, with the sound of\n"
        "VIDEO when the ffmpeg program is installed. An existing OUT is replaced only\n"
        "once the export has succeeded. Progress goes to standard error.\n"
        "\n"
        "--layout LAYOUT  what OUT shows (W x H is the size of VIDEO):\n"
        "    cross     the \"conv\" view: shifted view | frame, 2W x H (the default)\n"
        "    sbs       frame | shifted view, 2W x H (parallel viewing, VR players)\n"
        "    half-sbs  the same squeezed to W x H (3D televisions)\n"
        "    tb        frame over shifted view, W x 2H\n"
        "    anaglyph  red from the frame, green and blue from the shifted view, W x H\n"
        "              (red-cyan glasses)\n"
        "    depth     the depth map, W x H\n"
        "--depth-scale N  the strength of the effect: the nearest pixels move N x 255 / 256\n"
        "    pixels (default W / 64; 0 gives two equal views)\n"
        "\n"
        "Exit codes: 0 done, 1 VIDEO cannot be read or OUT cannot be written, 2 a wrong\n"
        "command line, 128 + the signal's number when interrupted (130 for Ctrl+C).\n",
        out);
}

int refuse(const char* what, const char* value) {
    std::fprintf(stderr, "kaplo-depth: %s%s (see --help)\n", what, value);
    return kUsageError;
}

bool parse_depth_scale(const char* text, int32_t* scale) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < 0 || v > kMaxDepthScale) return false;
    *scale = static_cast<int32_t>(v);
    return true;
}

struct Parsed {
    ExportRequest request;
    bool exporting = false;
    bool layout_given = false;
    const char* video = nullptr;
};

// Reads the program's options and VIDEO into *p; an exit code when the
// command line is wrong or asked for help, otherwise -1.
int parse(int argc, char** argv, Parsed* p) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            usage(stdout);
            return 0;
        }
        if (arg[0] == '-' && arg[1] != '-') {
            if (p->exporting) return refuse("unknown option ", arg);
            return -1;  // the framework's from here on
        }
        if (arg[0] != '-') {
            if (p->video) return refuse("more than one video: ", arg);
            p->video = arg;
            continue;
        }
        // --name value, or --name=value
        std::string name = arg;
        const char* value = nullptr;
        if (const size_t eq = name.find('='); eq != std::string::npos) {
            value = arg + eq + 1;
            name.resize(eq);
        } else if (i + 1 < argc) {
            value = argv[++i];
        }
        if (name != "--export" && name != "--layout" && name != "--depth-scale")
            return refuse("unknown option ", arg);
        if (!value) return refuse(name.c_str(), " needs a value");
        if (name == "--export") {
            p->exporting = true;
            p->request.output = value;
        } else if (name == "--layout") {
            if (!parse_layout(value, &p->request.layout))
                return refuse("--layout takes cross, sbs, half-sbs, tb, anaglyph or depth, not ",
                              value);
            p->layout_given = true;
        } else if (!parse_depth_scale(value, &p->request.depth_scale)) {
            return refuse("--depth-scale takes a whole number from 0 to 16384, not ", value);
        }
    }
    return -1;
}

}  // namespace

int command_line(int argc, char** argv) {
    silence_video_library();
    Parsed p;
    if (const int code = parse(argc, argv, &p); code >= 0) return code;
    if (p.layout_given && !p.exporting) return refuse("--layout goes with --export", "");
    if (p.exporting) {
        // Refused before any file is touched, the input included.
        Container container;
        if (!container_for(p.request.output, &container))
            return refuse("the output must end in .avi or .mp4: ", p.request.output);
        if (p.video) p.request.input = p.video;
        return export_video(p.request);
    }
    if (p.video) set_video_name(p.video);
    set_depth_scale(p.request.depth_scale);
    return -1;
}

}  // namespace depth
