// Pictures through the clipboard: a pin board that takes pictures copied in
// other programs (a screenshot tool, an image editor, a web browser) and
// gives the whole board back. After Start (S), the buttons:
//   "Paste on board"  a box of the picture's size follows the mouse over
//                     the board; a left click pins the picture there, a
//                     right click cancels;
//   "Paste in window" opens the picture in a window of its own;
//   "Copy board"      puts the board on the clipboard, for other programs.
// C stops. What happens is reported in the main window's status line and on
// standard output.
#include <kaplo.h>

#include <cstdio>

namespace {

constexpr int kBoard = 0, kWidth = 480, kHeight = 320;
enum Button { kPasteOnBoard, kPasteInWindow, kCopyBoard, kButtons };
int next_window = 1;  // image number of the next picture pasted in a window

// A short message (at most 63 bytes) in the main window's status line, and
// on standard output.
template <class... Args>
void report(const char* format, Args... args) {
    char line[64];
    std::snprintf(line, sizeof line, format, args...);
    KPL_SetStatusText(line);
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// The clipboard's picture, or nullptr after saying that there is none.
KPL_ClipboardPicture* clipboard_picture(int* width, int* height) {
    KPL_ClipboardPicture* picture = KPL_GetClipboardBitmap(nullptr, nullptr);
    if (!picture) {
        report("The clipboard holds no picture.");
        return nullptr;
    }
    KPL_GetClipboardBitmapSize(picture, width, height);
    return picture;
}

void paste_on_board() {
    int width = 0, height = 0;
    KPL_ClipboardPicture* picture = clipboard_picture(&width, &height);
    if (!picture) return;
    KPL_FreeClipboardBitmap(picture);  // only its size was needed
    report("Place the %d x %d picture on the board.", width, height);
    int x = 0, y = 0;
    if (KPL_PickPlacement(kBoard, width, height, &x, &y) != 0) {
        report("not pinned");
        return;
    }
    // The box was centred on the click; the picture goes where the box was.
    const int left = x - width / 2, top = y - height / 2;
    KPL_PasteImageAt(kBoard, left, top);  // draws it and repaints the board
    report("pinned at (%d,%d)", left, top);
}

void paste_in_window() {
    int width = 0, height = 0;
    KPL_ClipboardPicture* picture = clipboard_picture(&width, &height);
    if (!picture) return;
    char title[32];
    std::snprintf(title, sizeof title, "pasted %d", next_window);
    if (KPL_CreateImage(next_window, title, -1, -1, width, height, 100) != 0) {
        KPL_FreeClipboardBitmap(picture);
        report("No window for a %d x %d picture.", width, height);
        return;
    }
    KPL_BlitPendingBitmap(picture);  // draws it into the new (current) image, and frees it
    KPL_UpdateImage(next_window);
    report("%s: %d x %d", title, width, height);
    next_window = next_window % 255 + 1;  // numbers 1..255, then again from 1
}

}  // namespace

void UserInit() {
    KPL_CreateImage(kBoard, "board", 0, 0, kWidth, kHeight, 100);
    KPL_FillBox(0, 0, kWidth - 1, kHeight - 1, 0x604020, 0xB08850);  // cork
    kpl_tc = 0x402010;
    kaplo::image_text_cursor = {8, 8, 24};
    KPL_DrawString("Copy a picture in another program, then \"Paste\".");
    KPL_UpdateImage(kBoard);
    KPL_OpenButtonBox(0, 350, kButtons, 1);
    KPL_ResizeButtonBox(kButtons * 150, 30);
    KPL_SetButtonBoxTitle(kPasteOnBoard, "Paste on board");
    KPL_SetButtonBoxTitle(kPasteInWindow, "Paste in window");
    KPL_SetButtonBoxTitle(kCopyBoard, "Copy board");
    KPL_SetForeground(KPLMAINWINDOW);
    KPL_SetStatusText("S, then a button");
}

void UserMain() {
    for (int i = 0; i < kButtons; ++i) KPL_ResetButtonCount(i);
    report("Choose a button.");
    while (!kpl_stop) {
        if (KPL_GetButtonCount(kPasteOnBoard) > 0) {
            KPL_ResetButtonCount(kPasteOnBoard);
            paste_on_board();
        }
        if (KPL_GetButtonCount(kPasteInWindow) > 0) {
            KPL_ResetButtonCount(kPasteInWindow);
            paste_in_window();
        }
        if (KPL_GetButtonCount(kCopyBoard) > 0) {
            KPL_ResetButtonCount(kCopyBoard);
            KPL_CopyImageToClipboard(kBoard);  // other programs can paste it while this one runs
            report("board copied");
        }
        KPL_Wait(10);  // keeps the windows alive without spinning a core
    }
}
