// kaplo-depth's command line, read before the framework shows anything:
//   kaplo-depth [--depth D] [--depth-scale N] [VIDEO] play VIDEO (default "test.avi")
//   kaplo-depth --export OUT [options] [VIDEO]        convert every frame once, no window
//   kaplo-depth --export-dir DIR [--ext E] [--overwrite] [options] VIDEO...
//                                                     convert each VIDEO into DIR
//   kaplo-depth --help
// Options may come in any order, before or after VIDEO; "--name=value" works
// too. A single-dash argument ends the program's part: the rest (Qt's own
// options such as -platform) is the framework's.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "depth_export.h"
#include "depth_program.h"
#include "export_batch.h"
#include "output_file.h"

namespace depth {

namespace {

constexpr int kUsageError = 2;
constexpr long kMaxDepthScale = 16384;  // the widest frame the image slots take

void usage(std::FILE* out) {
    std::fputs(
        "usage: kaplo-depth [--depth bright|motion] [--depth-scale N] [VIDEO]\n"
        "       kaplo-depth --export OUT [EXPORT OPTIONS] [VIDEO]\n"
        "       kaplo-depth --export-dir DIR [--ext EXT] [--overwrite] [EXPORT OPTIONS] VIDEO...\n"
        "       kaplo-depth --help\n"
        "\n"
        "Plays VIDEO (default: test.avi in the current directory) in a loop and shows,\n"
        "for every frame, three windows: \"source\" (the frame), \"depth\" (a grey depth\n"
        "map, brighter is nearer; see --depth) and\n"
        "\"conv\" (twice as wide: on the left the frame with every pixel shifted left\n"
        "by its depth, up to about a 64th of the width; on the right the frame itself,\n"
        "so the two halves form a stereo pair for cross-eyed viewing). Press S on the\n"
        "main window to start, C to stop, Esc to exit.\n"
        "\n"
        "--depth bright|motion  where the depth comes from, when playing and exporting:\n"
        "    bright  the brightest colour component (right when near things are lit and\n"
        "            the background is dark); the default when playing\n"
        "    motion  how far each pixel moves against the background between frames\n"
        "            (right when the camera moves sideways; a pan reads as far); slower;\n"
        "            the default of --export and --export-dir\n"
        "\n"
        "--export OUT converts every frame of VIDEO once, without any window, and\n"
        "writes OUT, a .avi, .mp4, .mkv or .mov file, with the sound of VIDEO. An\n"
        "existing OUT is replaced only once the export has succeeded. Progress goes\n"
        "to standard error.\n"
        "\n"
        "--export-dir DIR converts each VIDEO into DIR/NAME-3d.mp4 (NAME: the video's\n"
        "name without its extension); a file that fails is reported and the rest go\n"
        "on. --ext avi|mkv|mov writes another container. An existing output is left\n"
        "alone unless --overwrite is given.\n"
        "\n"
        "Export options:\n"
        "--codec CODEC  mjpeg, mpeg4, h264 or h265 (default: mjpeg in .avi, h264 in\n"
        "    .mp4, .mkv and .mov); .avi takes all but h265, .mp4 all but mjpeg\n"
        "--quality N  0 (smallest file) to 100 (best picture); see the manual page\n"
        "    for each codec's scale\n"
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
        "Exit codes: 0 done, 1 VIDEO cannot be read or OUT cannot be written (in a\n"
        "batch: any file failed or was left alone), 2 a wrong command line, 128 + the\n"
        "signal's number when interrupted (130 for Ctrl+C).\n",
        out);
}

int refuse(const char* what, const char* value) {
    std::fprintf(stderr, "kaplo-depth: %s%s (see --help)\n", what, value);
    return kUsageError;
}

bool parse_depth_source(const char* text, DepthSource* source) {
    if (std::strcmp(text, "bright") == 0)
        *source = DepthSource::Bright;
    else if (std::strcmp(text, "motion") == 0)
        *source = DepthSource::Motion;
    else
        return false;
    return true;
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
    BatchRequest batch;
    bool exporting = false;
    bool batching = false;
    DepthSource player_depth = DepthSource::Bright;  // the export's is in `request`
    const char* export_only = nullptr;               // the first option that needs an export
    const char* batch_only = nullptr;                // the first option that needs --export-dir
    std::vector<const char*> videos;
};

bool parse_quality(const char* text, int* quality) {
    int32_t v = 0;
    if (!parse_depth_scale(text, &v) || v > 100) return false;
    *quality = v;
    return true;
}

// Reads one "--name value" option into *p; an exit code when it is wrong,
// otherwise -1.
int take_option(const std::string& name, const char* value, Parsed* p) {
    if (name == "--export") {
        p->exporting = true;
        p->request.output = value;
    } else if (name == "--export-dir") {
        p->batching = true;
        p->batch.folder = value;
    } else if (name == "--ext") {
        Container c;
        if (!container_for((std::string(".") + value).c_str(), &c) || value[0] == '.')
            return refuse("--ext takes avi, mp4, mkv or mov, not ", value);
        p->batch.extension = value;
        if (!p->batch_only) p->batch_only = "--ext";
    } else if (name == "--layout") {
        if (!parse_layout(value, &p->request.layout))
            return refuse("--layout takes cross, sbs, half-sbs, tb, anaglyph or depth, not ",
                          value);
        if (!p->export_only) p->export_only = "--layout";
    } else if (name == "--codec") {
        if (!parse_codec(value, &p->request.codec))
            return refuse("--codec takes mjpeg, mpeg4, h264 or h265, not ", value);
        if (!p->export_only) p->export_only = "--codec";
    } else if (name == "--quality") {
        if (!parse_quality(value, &p->request.quality))
            return refuse("--quality takes a whole number from 0 to 100, not ", value);
        if (!p->export_only) p->export_only = "--quality";
    } else if (name == "--depth") {
        if (!parse_depth_source(value, &p->request.depth))
            return refuse("--depth takes bright or motion, not ", value);
        p->player_depth = p->request.depth;
    } else if (!parse_depth_scale(value, &p->request.depth_scale)) {
        return refuse("--depth-scale takes a whole number from 0 to 16384, not ", value);
    }
    return -1;
}

// Reads the program's options and VIDEOs into *p; an exit code when the
// command line is wrong or asked for help, otherwise -1.
int parse(int argc, char** argv, Parsed* p) {
    static const char* const kValued[] = {"--export", "--export-dir", "--ext",   "--layout",
                                          "--codec",  "--quality",    "--depth", "--depth-scale"};
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            usage(stdout);
            return 0;
        }
        if (arg[0] == '-' && arg[1] != '-') {
            if (p->exporting || p->batching) return refuse("unknown option ", arg);
            return -1;  // the framework's from here on
        }
        if (arg[0] != '-') {
            p->videos.push_back(arg);
            continue;
        }
        if (std::strcmp(arg, "--overwrite") == 0) {
            p->batch.overwrite = true;
            if (!p->batch_only) p->batch_only = "--overwrite";
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
        if (std::find(std::begin(kValued), std::end(kValued), name) == std::end(kValued))
            return refuse("unknown option ", arg);
        if (!value) return refuse(name.c_str(), " needs a value");
        if (const int code = take_option(name, value, p); code >= 0) return code;
    }
    return -1;
}

// Checks what the options ask of each other, before any file is touched;
// an exit code when they do not fit, otherwise -1.
int check(Parsed* p) {
    if (p->exporting && p->batching)
        return refuse("--export and --export-dir exclude each other", "");
    if (p->batch_only && !p->batching) return refuse(p->batch_only, " goes with --export-dir");
    if (p->export_only && !p->exporting && !p->batching)
        return refuse(p->export_only, " goes with --export or --export-dir");
    if (p->videos.size() > 1 && !p->batching)
        return refuse("more than one video (use --export-dir for a batch): ", p->videos[1]);
    if (p->batching && p->videos.empty())
        return refuse("--export-dir needs at least one video", "");
    Container container;
    const std::string batch_name = "." + p->batch.extension;
    const char* output = p->batching ? batch_name.c_str() : p->request.output;
    if (p->exporting && !container_for(output, &container))
        return refuse("the output must end in .avi, .mp4, .mkv or .mov: ", output);
    if (p->exporting || p->batching) {
        container_for(output, &container);
        std::string why;
        if (!container_takes(container, p->request.codec, &why)) return refuse(why.c_str(), "");
    }
    return -1;
}

}  // namespace

int command_line(int argc, char** argv) {
    silence_video_library();
    Parsed p;
    if (const int code = parse(argc, argv, &p); code >= 0) return code;
    if (const int code = check(&p); code >= 0) return code;
    if (p.batching) {
        p.batch.options = p.request;
        p.batch.inputs.assign(p.videos.begin(), p.videos.end());
        return export_batch(p.batch);
    }
    if (p.exporting) {
        if (!p.videos.empty()) p.request.input = p.videos[0];
        return export_video(p.request);
    }
    if (!p.videos.empty()) set_video_name(p.videos[0]);
    set_depth_scale(p.request.depth_scale);
    set_depth_source(p.player_depth);
    return -1;
}

}  // namespace depth
