// An image viewer and converter: shows the picture file named on the command
// line in an image window and, when a second name is given, saves a copy in
// the format that name's extension asks for. It reports in text window 0 and
// on standard output; Esc ends it.
//
//     kaplo-image-viewer photo.bmp              shows photo.bmp
//     kaplo-image-viewer photo.bmp photo.png    shows it and writes photo.png
#include <kaplo.h>

#include <cstdarg>
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

}  // namespace

void UserInit() {
    KPL_OpenTextWindow(0, 0, 0, 480, 120);  // the report, above the picture
    if (KPL_ArgCount() < 2) {
        report("usage: kaplo-image-viewer <picture> [<copy>.bmp|.jpg|.gif|.png|.tif]");
        return;
    }
    const char* in = KPL_Arg(1);
    const char* out = KPL_Arg(2);  // nullptr when not given
    // The picture's size, from the file's header, for an image to load it into.
    int width = 0, height = 0;
    if (KPL_GetImageFileSize(in, &width, &height) != 0) {
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
