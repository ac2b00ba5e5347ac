// A small paint program: open a picture with a file dialog, draw on it with
// the mouse, save it with a file dialog. After Start (S), the buttons:
//   "Open..."     the dialog "Load image file"; the canvas takes the
//                 picture's size and shows it;
//   "Save as..."  the dialog "Save as"; the name's extension (.bmp, .jpg,
//                 .gif, .png, .tif) chooses the format, BMP without one;
//   "Line", "Box", "Circle"  click two points: a line, a box's corners, a
//                 circle's centre and a point on it;
//   "Fill"        click a point: its area of one colour is filled.
// Drawing uses the colour typed into the input box, in hex (0 is black).
// A right click cancels a tool; C stops. The dialogs remember their folder.
#include <kaplo.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kCanvas = 0;
enum Button { kOpen, kSave, kLine, kBox, kCircle, kFill, kButtons };

void say(const char* text, const char* name = "") {
    KPL_Printf("%s%s\n", text, name);
    std::printf("%s%s\n", text, name);
    std::fflush(stdout);
}

void open_picture() {
    char path[260];
    if (KPL_AskLoadFileName(path) != 0) return;  // cancelled
    int width = 0, height = 0;
    if (KPL_GetImageFileSize(path, &width, &height) != 0) {
        KPL_Pause("That file is not a picture this program can read.");
        return;
    }
    // A canvas of the picture's size (the new canvas starts black).
    int canvas_width = 0, canvas_height = 0;
    KPL_GetImageInfo(kCanvas, &canvas_width, &canvas_height, nullptr);
    if ((width != canvas_width || height != canvas_height) &&
        KPL_ResizeImage(kCanvas, width, height) != 0) {
        say("The screen is too small for ", path);
        return;
    }
    KPL_SelectImage(kCanvas);
    KPL_LoadImage(path, 0, 0);
    KPL_UpdateImage(kCanvas);
    say("opened ", path);
}

void save_picture() {
    char path[260];
    if (KPL_AskSaveFileName(path) != 0) return;
    // The format of KPL_SaveImage: 0 BMP, 1 JPEG, 2 GIF, 3 PNG, 4 TIFF.
    const char* dot = std::strrchr(path, '.');
    int format = 0;
    if (dot && strcasecmp(dot, ".jpg") == 0) format = 1;
    if (dot && strcasecmp(dot, ".gif") == 0) format = 2;
    if (dot && strcasecmp(dot, ".png") == 0) format = 3;
    if (dot && strcasecmp(dot, ".tif") == 0) format = 4;
    int width = 0, height = 0;
    KPL_GetImageInfo(kCanvas, &width, &height, nullptr);
    KPL_SelectImage(kCanvas);
    say(KPL_SaveImage(format, path, width, height) == 0 ? "saved " : "could not save ", path);
}

// One drawing with the mouse, in the colour of the input box.
void draw(Button tool) {
    const auto colour = static_cast<int32_t>(std::strtol(KPL_GetInputText(0), nullptr, 16));
    kaplo::drawing_colour = colour;  // boxes and fills take the drawing colour
    int x1, y1, x2, y2, radius;
    if (tool == kLine && KPL_PickLine(kCanvas, &x1, &y1, &x2, &y2) == 0)
        KPL_DrawLine(colour, x1, y1, x2, y2);
    else if (tool == kBox && KPL_PickBox(kCanvas, &x1, &y1, &x2, &y2) == 0)
        KPL_DrawBox(x1, y1, x2, y2);
    else if (tool == kCircle && KPL_PickCircle(kCanvas, &x1, &y1, &radius) == 0)
        KPL_DrawCircle(colour, x1, y1, radius);
    else if (tool == kFill && KPL_PickPoint(kCanvas, &x1, &y1) == 0)
        KPL_Paint(x1, y1);
    else
        return;  // cancelled
    KPL_UpdateImage(kCanvas);
    say("drawn");
}

}  // namespace

void UserInit() {
    KPL_SetProgramTitle("Sketch: a small paint program");  // instead of the framework's banner
    KPL_CreateImage(kCanvas, "sketch", 0, 0, 400, 300, 100);
    KPL_FillBox(0, 0, 399, 299, 0xFFFFFF, 0xFFFFFF);  // white paper
    KPL_UpdateImage(kCanvas);
    KPL_OpenTextWindow(0, 420, 0, 320, 120);
    KPL_OpenInputBox(420, 160, 1);
    KPL_SetInputBoxTitle(0, "Colour (hex)");
    KPL_SetInputText(0, "000000");  // black until another colour is typed
    KPL_OpenButtonBox(420, 240, 3, 2);
    const char* captions[kButtons] = {"Open...", "Save as...", "Line", "Box", "Circle", "Fill"};
    for (int i = 0; i < kButtons; ++i) KPL_SetButtonBoxTitle(i, captions[i]);
    KPL_SetForeground(KPLMAINWINDOW);
    KPL_SetStatusText("S, then a button");
}

void UserMain() {
    for (int i = 0; i < kButtons; ++i) KPL_ResetButtonCount(i);
    say("Choose a button.");
    while (!kpl_stop) {
        for (int i = 0; i < kButtons; ++i) {
            if (KPL_GetButtonCount(i) == 0) continue;
            KPL_ResetButtonCount(i);
            if (i == kOpen) open_picture();
            if (i == kSave) save_picture();
            if (i >= kLine) {
                say("Click in the sketch.");
                draw(static_cast<Button>(i));
            }
        }
        KPL_Wait(10);  // keeps the windows alive without spinning a core
    }
}
