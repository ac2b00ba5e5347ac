// An image viewer and converter: shows the picture file named on the command
// line in an image window and, when a second name is given, saves a copy in
// the format that name's extension asks for. It reports in text window 0 and
// on standard output; Esc ends it.
//
//     kaplo-image-viewer photo.bmp              shows photo.bmp
//     kaplo-image-viewer photo.bmp photo.png    shows it and writes photo.png
#include <kaplo.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// One line to text window 0 and to standard output.
void report(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    KPL_Printf("%s\n", line);
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// KPL_SaveImage's format number for a file name's extension; -1 if unknown.
int format_of(const char* name) {
    const char* dot = std::strrchr(name, '.');
    const char* extensions[] = {".bmp", ".jpg", ".gif", ".png", ".tif"};
    for (int format = 0; dot && format < 5; ++format)
        if (strcasecmp(dot, extensions[format]) == 0) return format;
    return -1;
}

// KPL_LoadImage draws a picture at its own size into an image that must
// already exist, so the picture is first measured: it is loaded into two
// window-less images, one black and one white, and its pixels are where the
// two agree (fully transparent edges, which leave both as they were, do not
// count). Too small a buffer is tried again twice as large.
bool picture_size(const char* name, int* width, int* height) {
    for (int side = 1024; side <= 8192; side *= 2) {
        if (KPL_CreateImageBuffer(1, side, side, 32) != 0 ||  // black
            KPL_CreateImageBuffer(2, side, side, 32) != 0) {  // current, made white below
            KPL_DestroyImage(1);
            return false;
        }
        KPL_FillBox(0, 0, side - 1, side - 1, 0xFFFFFF, 0xFFFFFF);
        const bool loaded = KPL_LoadImage(name, 0, 0) == 0 && KPL_SelectImage(1) == 0 &&
                            KPL_LoadImage(name, 0, 0) == 0;
        const auto* black = static_cast<const uint32_t*>(KPL_GetImageBits(1));
        const auto* white = static_cast<const uint32_t*>(KPL_GetImageBits(2));
        *width = *height = 0;
        for (int y = 0; loaded && y < side; ++y)
            for (int x = 0; x < side; ++x)
                if (black[y * side + x] == white[y * side + x]) {
                    if (x >= *width) *width = x + 1;
                    *height = y + 1;
                }
        KPL_DestroyImage(1);
        KPL_DestroyImage(2);
        if (!loaded) return false;
        if (*width < side && *height < side) return *width > 0;
    }
    return false;  // over 8192 pixels on a side
}

}  // namespace

void UserInit() {
    KPL_OpenTextWindow(0, 0, 0, 480, 120);  // the report, above the picture
    if (KPL_ArgCount() < 2) {
        report("usage: kaplo-image-viewer <picture> [<copy>.bmp|.jpg|.gif|.png|.tif]");
        return;
    }
    const char* in = KPL_Arg(1);
    const char* out = KPL_Arg(2);  // nullptr when not given
    int width = 0, height = 0;
    if (!picture_size(in, &width, &height)) {
        report("%s: cannot read this picture", in);
        return;
    }
    // The window is zoomed to fit the screen; the image keeps the picture's size.
    if (KPL_CreateImage(0, in, 0, 160, width, height, 100) != 0) {
        report("%s: no window for %d x %d pixels", in, width, height);
        return;
    }
    KPL_LoadImage(in, 0, 0);
    KPL_UpdateImage(0);
    report("%s: %d x %d", in, width, height);
    if (!out) return;
    const int format = format_of(out);
    if (format < 0)
        report("%s: use .bmp, .jpg, .gif, .png or .tif", out);
    else if (KPL_SaveImage(format, out, width, height) != 0)
        report("%s: cannot write it", out);
    else
        report("saved %s", out);
}

void UserMain() {}  // Start has nothing to do: the work is done at start-up
