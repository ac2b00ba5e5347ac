// A measuring bench: a test picture, and buttons that measure it with the
// mouse tools. After Start (S):
//   "Row"     click a row: its red, green and blue go to the "profile" graph,
//             and its path across the Cr-Cb plane to the "Cr-Cb" window;
//   "Column"  click a column: its profile, the same way;
//   "Point"   click a pixel: its values are reported;
//   "Box"     click two corners: the box's colours go to the "Cr-Cb" window;
//   "Picture" shows the next test picture.
// The row, column or box last measured stays marked (inverted) in the
// picture. A right click cancels a tool; C stops. Each measurement is
// reported in text window 0, whose log keeps the record of a session in
// KAPLO00.LOG (in the folder the program was started from).
#include <kaplo.h>

#include <iterator>
#include <vector>

namespace {

constexpr int kPicture = 0, kProfile = 1, kCrCb = 2;  // image numbers
constexpr int kSize = 256;                            // the picture is kSize x kSize
enum Button { kRow, kColumn, kPoint, kBox, kNextPicture, kButtons };

// The test pictures, in the order "Picture" shows them.
struct TestPicture {
    const char* name;
    void (*draw)();
};
constexpr TestPicture kPictures[] = {
    {"HSV", KPL_TestPatternHsv},       {"RGB", KPL_TestPatternRgb},   {"grey", KPL_TestPatternGrey},
    {"Y,Cr,Cb", KPL_TestPatternYCrCb}, {"Y,u,v", KPL_TestPatternYuv}, {"Y,I,Q", KPL_TestPatternYiq},
};
int picture = 0;

// The mark of the last measurement. Inverting twice gives the pixels back,
// so drawing the same mark again removes it.
struct Mark {
    Button kind = kButtons;  // kButtons: none
    int a = 0, b = 0, c = 0, d = 0;
} mark;

void invert_mark() {
    KPL_SelectImage(kPicture);
    if (mark.kind == kRow) KPL_InvertLine(0, mark.a, kSize - 1, mark.a);
    if (mark.kind == kColumn) KPL_InvertLine(mark.a, 0, mark.a, kSize - 1);
    if (mark.kind == kBox) KPL_InvertBox(mark.a, mark.b, mark.c, mark.d);
    KPL_SelectPreviousImage();  // back to the image current before
    KPL_UpdateImage(kPicture);
}

void set_mark(Mark m) {
    invert_mark();  // the old one off
    mark = m;
    invert_mark();  // the new one on
}

// The red, green and blue of kSize pixels as three curves in the profile graph.
void plot_profile(const uint32_t* pixels) {
    KPL_SelectImage(kProfile);
    KPL_ClearImage(kProfile);
    KPL_PlotProfile(pixels, 0, kSize, 0x01 | 0x80, 0xFF0000);  // red, as a line
    KPL_PlotProfile(pixels, 0, kSize, 0x02 | 0x80, 0x00FF00);  // green
    KPL_PlotProfile(pixels, 0, kSize, 0x04 | 0x80, 0x0000FF);  // blue
    KPL_UpdateImage(kProfile);
}

void measure(Button button) {
    int x = 0, y = 0, right = 0, bottom = 0;
    std::vector<uint32_t> pixels(kSize * kSize);
    set_mark({});  // the old mark off: the tools show the picture as it is
    switch (button) {
        case kRow:
            KPL_Printf("Click a row.\n");
            if (KPL_PickRow(kPicture, &x, &y) != 0) return;  // cancelled
            KPL_GetImageRow(pixels.data(), y, kSize);
            plot_profile(pixels.data());
            KPL_SelectImage(kCrCb);
            KPL_ClearImage(kCrCb);
            KPL_PlotCrCbRow(pixels.data(), kSize);
            KPL_UpdateImage(kCrCb);
            set_mark({kRow, y});
            KPL_Printf("row %d\n", y);
            break;
        case kColumn:
            KPL_Printf("Click a column.\n");
            if (KPL_PickColumn(kPicture, &x, &y) != 0) return;
            KPL_GetImageBlock(pixels.data(), x, 0, 1, kSize);  // a block one pixel wide
            plot_profile(pixels.data());
            set_mark({kColumn, x});
            KPL_Printf("column %d\n", x);
            break;
        case kPoint: {
            KPL_Printf("Click a point.\n");
            if (KPL_PickPoint(kPicture, &x, &y) != 0) return;
            const int32_t pixel = KPL_ProbePixel(x, y);  // the picked image is current
            int32_t r, g, b;
            KPL_SplitRgb(pixel, &r, &g, &b);
            KPL_Printf("(%d,%d) R,G,B %d,%d,%d  H,S,V %d,%d,%d\n", x, y, r, g, b, KPL_GetHue(pixel),
                       KPL_GetSaturation(pixel), KPL_GetBrightness(pixel));
            break;
        }
        case kBox: {
            KPL_Printf("Click two corners of a box.\n");
            if (KPL_PickBox(kPicture, &x, &y, &right, &bottom) != 0) return;
            const int columns = right - x + 1, rows = bottom - y + 1;
            KPL_GetImageBlock(pixels.data(), x, y, columns, rows);
            KPL_SelectImage(kCrCb);
            KPL_ClearImage(kCrCb);
            KPL_PlotCrCbArea(pixels.data(), rows, columns);
            KPL_UpdateImage(kCrCb);
            set_mark({kBox, x, y, right, bottom});
            KPL_Printf("box (%d,%d)-(%d,%d)\n", x, y, right, bottom);
            break;
        }
        default:  // kNextPicture
            picture = (picture + 1) % static_cast<int>(std::size(kPictures));
            KPL_SelectImage(kPicture);
            kPictures[picture].draw();
            KPL_UpdateImage(kPicture);
            KPL_Printf("picture %s\n", kPictures[picture].name);
            break;
    }
}

}  // namespace

void UserInit() {
    KPL_SetToolHints(1);  // a crosshair, and how to cancel, while a pick waits for clicks
    KPL_CreateImage(kPicture, "picture", 0, 0, kSize, kSize, 100);
    kPictures[picture].draw();
    KPL_UpdateImage(kPicture);
    // The graphs: a profile is 128 pixels high; the Cr-Cb plane is 256 x 256.
    KPL_CreateImageWindow(kProfile, "profile", 290, 0, kSize, 128, 100, 32);
    KPL_CreateImageWindow(kCrCb, "Cr-Cb", 580, 0, 256, 256, 100, 32);
    KPL_OpenTextWindow(0, 0, 380, 560, 160);
    KPL_StartLog(0);
    KPL_OpenButtonBox(0, 300, kButtons, 1);
    KPL_ResizeButtonBox(5 * 90, 30);
    const char* captions[kButtons] = {"Row", "Column", "Point", "Box", "Picture"};
    for (int i = 0; i < kButtons; ++i) KPL_SetButtonBoxTitle(i, captions[i]);
    KPL_SetForeground(KPLMAINWINDOW);
    KPL_SetStatusText("S, then a button");
}

void UserMain() {
    for (int i = 0; i < kButtons; ++i) KPL_ResetButtonCount(i);
    KPL_Printf("Choose a measurement.\n");
    while (!kpl_stop) {
        for (int i = 0; i < kButtons; ++i)
            if (KPL_GetButtonCount(i) > 0) {
                KPL_ResetButtonCount(i);
                measure(static_cast<Button>(i));
            }
        KPL_Wait(10);  // keeps the windows alive without spinning a core
    }
}
