// The image window procedure: repaints, the two pop-up menus, keys, wheel
// zoom, dropped files, the zoom and resize prompts, and the routing of mouse
// messages to a running mouse tool.
//
// Threads: worker thread only (image windows belong to it). A mouse tool
// pumps the worker's messages in its own loop, so this procedure runs inside
// it too; the tool state is the only channel between the two.

#include "image/image_window_proc.h"

#include <cstdlib>
#include <memory>

#include "image/commands.h"
#include "image/file_commands.h"
#include "image/image_store.h"
#include "image/pixel_readout.h"
#include "image/tool_state.h"
#include "kaplo.h"
#include "platform/keys.h"
#include "runtime/guarded.h"
#include "runtime/misuse.h"
#include "runtime/services.h"
#include "text/window_edges.h"

namespace kaplo {

namespace pf = platform;
namespace key = platform::key;

namespace {

using namespace command;

// Zoom steps: in (Ctrl+keypad +, the wheel toward the user) and out.
int32_t zoomed_in(int32_t zoom) {
    return (10 * zoom + 4) / 9;
}
int32_t zoomed_out(int32_t zoom) {
    return (9 * zoom + 5) / 10;
}

// Image coordinates of a mouse message: each client coordinate taken as an
// unsigned 16-bit word, scaled by the zoom with truncating division.
int32_t image_coordinate(int32_t client, int32_t zoom) {
    const int64_t word = static_cast<uint16_t>(client);
    return zoom > 0 ? static_cast<int32_t>(word * 100 / zoom) : 0;
}

// ---------------------------------------------------------------------------
// Menus

// A menu destroyed when it goes out of scope (sub-menus go with it).
struct MenuHolder {
    pf::MenuId id = pf::create_menu();
    ~MenuHolder() { pf::destroy_menu(id); }
};

void add_items(pf::MenuId menu, std::initializer_list<std::pair<int32_t, const char*>> items) {
    int position = 0;
    for (const auto& [id, text] : items) {
        if (id == 0)
            insert_menu_separator_item(menu, position);
        else
            insert_menu_text(menu, position, 0, id, text);
        ++position;
    }
}

pf::MenuId make_sub_menu(std::initializer_list<std::pair<int32_t, const char*>> items) {
    const pf::MenuId sub = pf::create_menu();
    add_items(sub, items);
    return sub;
}

}  // namespace

pf::MenuId build_image_menu(pf::WindowId window) {
    const int n = KPL_FindImageByWindow(window);
    const int32_t zoom = n >= 0 ? image_table[n].zoomPercent : 0;
    const auto checked = [zoom](int32_t z) { return zoom == z ? pf::kMenuChecked : 0; };
    const pf::MenuId menu = pf::create_menu();
    add_items(menu, {{kCut, "Cut\tCtrl+X"},
                     {kCopy, "Copy\tCtrl+C"},
                     {kPaste, "Paste\tCtrl+V"},
                     {0, nullptr},
                     {kLoad, "&Load image file"},
                     {kSaveAs, "&Save as"},
                     {0, nullptr}});
    insert_menu_text(menu, 7, checked(50), kZoom50, "Zoom: 50%");
    insert_menu_text(menu, 8, checked(100), kZoom100, "Zoom:100%\tCtrl+0");
    insert_menu_text(menu, 9, checked(200), kZoom200, "Zoom:200%");
    insert_menu_text(menu, 10, 0, kZoomPrompt, "&Zoom...");
    insert_menu_separator_item(menu, 11);
    insert_menu_text(menu, 12, 0, kResizePrompt, "&Resize...");
    insert_menu_text(menu, 13, 0, kDestroy, "&Destroy\tCtrl+Q");
    return menu;
}

pf::MenuId build_process_menu(int number) {
    const pf::MenuId menu = pf::create_menu();
    const pf::MenuId process = make_sub_menu({{kInvert, "Invert"},
                                              {0, nullptr},
                                              {kRotateRight, "R. Rotate"},
                                              {kRotateLeft, "L. Rotate"},
                                              {0, nullptr},
                                              {kFlipHorz, "Horz. Flip"},
                                              {kFlipVert, "Vert. Flip"},
                                              {0, nullptr},
                                              {kSize50, "Size 50.0%"},
                                              {kSize71, "Size 70.7%"},
                                              {kSize141, "Size 141.4%"},
                                              {kSize200, "Size 200.0%"},
                                              {0, nullptr}});
    insert_menu_text(process, 13, pixel_readout_on() ? pf::kMenuChecked : 0, kPixelReadout,
                     "Pixel Readout");
    insert_sub_menu(menu, process, 0, "Process...");
    insert_menu_separator_item(menu, 1);
    const bool eight_bit = image_live(number) && image_table[number].bitDepth == 8;
    insert_sub_menu(menu,
                    eight_bit ? make_sub_menu({{kPixel, "Pixel"}, {kLineLumi, "Line(Lumi)"}})
                              : make_sub_menu({{kPixel, "Pixel"},
                                               {kLineRgb, "Line(RGB)"},
                                               {kLineHsv, "Line(HSV)"},
                                               {kLineYCrCb, "Line(YCrCb)"},
                                               {kLineCrCb, "Line(CrCb)"},
                                               {0, nullptr},
                                               {kAreaCrCb, "Area(CrCb)"}}),
                    2, "Information...");
    insert_menu_separator_item(menu, 3);
    insert_sub_menu(menu,
                    make_sub_menu({{kPatternRgb, "RGB"},
                                   {kPatternHsv, "HSV"},
                                   {kPatternYCrCb, "YCrCb"},
                                   {kPatternYuv, "Yuv"},
                                   {kPatternYiq, "YIQ"},
                                   {kPatternGrey, "Grey"}}),
                    4, "Test Pattern...");
    insert_menu_separator_item(menu, 5);
    insert_menu_text(menu, 6, 0, kClipping, "Clipping\tCtrl+R");
    insert_menu_separator_item(menu, 7);
    insert_sub_menu(menu, make_sub_menu({{kColorChange, "Change"}, {kColorPick, "Pick"}}), 8,
                    "Color...");
    insert_sub_menu(
        menu, make_sub_menu({{kDrawLine, "Normal"}, {kDrawHorz, "Horz."}, {kDrawVert, "Vert."}}), 9,
        "Draw Line...");
    insert_sub_menu(
        menu, make_sub_menu({{kDrawBox, "Normal"}, {kFillBox, "Fill"}, {kXorBox, "Fill XOR"}}), 10,
        "Draw Box...");
    insert_sub_menu(
        menu,
        make_sub_menu({{kDrawCircle, "Normal"}, {kFillCircle, "Fill"}, {kXorCircle, "Fill XOR"}}),
        11, "Draw Circle...");
    insert_sub_menu(menu, make_sub_menu({{kTrueTypeDraw, "Draw"}, {kFontChange, "Font Change"}}),
                    12, "TrueType...");
    insert_menu_text(menu, 13, 0, kDrawText, "Draw Text");
    insert_menu_text(menu, 14, 0, kPaint, "Paint");
    return menu;
}

namespace {

// ---------------------------------------------------------------------------
// Prompts in text window 0

int prompt_number(const char* format, int number) {
    KPL_Printf(format, number);
    char line[512] = {};
    KPL_InputLine(line);
    return std::atoi(line);
}

void zoom_prompt(int number) {
    KPL_OpenTextWindow(0, -1, -1, -1, -1);
    KPL_SetZoom(prompt_number("[%d] Zoom(%%)=", number), number);
}

void resize_prompt(int number) {
    KPL_OpenTextWindow(0, -1, -1, -1, -1);
    const int width = prompt_number("[%d] New x-size(pixel)=", number);
    const int height = prompt_number("[%d] New y-size(pixel)=", number);
    KPL_ResizeImage(number, width, height);
}

// ---------------------------------------------------------------------------
// Messages

void repaint_current() {
    const int n = current_image();
    if (image_live(n) && image_table[n].window) pf::invalidate(image_table[n].window);
}

void on_command(pf::WindowId window, int32_t id) {
    switch (id) {
        case kLoad:
            load_image_command(KPL_FindImageByWindow(window));
            return;
        case kDestroy:
            KPL_DestroyImage(KPL_FindImageByWindow(window));
            return;
        case kZoom50:
        case kZoom100:
        case kZoom200:
            KPL_SetZoom(id == kZoom50    ? 50
                        : id == kZoom100 ? 100
                                         : 200,
                        KPL_FindImageByWindow(window));
            return;
        case kSaveAs:
            save_image_command(KPL_SelectImageByWindow(window));
            return;
        case kCut: {
            const int n = KPL_FindImageByWindow(window);
            if (n < 0) return;
            KPL_CopyImageToClipboard(n);
            KPL_ClearImage(n);
            pf::invalidate(window);
            return;
        }
        case kCopy:
            KPL_CopyImageToClipboard(KPL_FindImageByWindow(window));
            return;
        case kPaste:
            KPL_PasteImageAt(KPL_FindImageByWindow(window), -1, -1);
            return;
        case kPasteOrigin:
            KPL_PasteImageAt(KPL_FindImageByWindow(window), 0, 0);
            return;
        case kZoomPrompt:
            zoom_prompt(KPL_FindImageByWindow(window));
            return;
        case kResizePrompt:
            resize_prompt(KPL_FindImageByWindow(window));
            return;
        case kPixelReadout:
            KPL_SetPixelReadout(!pixel_readout_on());
            return;
        default:
            // The process menu's commands; every other number is ignored.
            if (!measurement_command(window, id) && !image_command(window, id))
                text_command(window, id);
            return;
    }
}

void on_key(pf::WindowId window, const pf::Message& msg) {
    if (tool_state.active) return;  // a running tool takes no keys
    const int n = KPL_FindImageByWindow(window);
    if (msg.ctrl) {
        const int32_t zoom = n >= 0 ? image_table[n].zoomPercent : 100;
        switch (msg.key) {
            case 'X':
                pf::post_command(window, kCut);
                return;
            case 'C':
                pf::post_command(window, kCopy);
                return;
            case 'V':
                pf::post_command(window, kPasteOrigin);
                return;
            case 'Q':
                pf::post_command(window, kDestroy);
                return;
            case 'R':
                pf::post_command(window, kClipping);
                return;
            case key::kNumpad0:
                KPL_SetZoom(100, n);
                return;
            case key::kAdd:
                KPL_SetZoom(zoomed_in(zoom), n);
                return;
            case key::kSubtract:
                KPL_SetZoom(zoomed_out(zoom), n);
                return;
            default:
                break;
        }
    }
    switch (msg.key) {
        case key::kTab:
            KPL_SetStretchMode(
                KPL_GetStretchMode(n) == kStretchNearest ? kStretchSmooth : kStretchNearest, n);
            return;
        case key::kEscape:
        case 'X':
        case 'S':
        case 'C':
            // The main window's own keys: exit, start, stop.
            pf::post_key(main_window(), msg.key);
            return;
        default:
            return;
    }
}

// Mouse messages feed a running tool when they come from its window.
bool from_tool_window(pf::WindowId window) {
    return tool_state.active && image_live(tool_state.toolSlot) &&
           image_table[tool_state.toolSlot].window == window;
}

void on_mouse(pf::WindowId window, const pf::Message& msg) {
    const int n = KPL_FindImageByWindow(window);
    const int32_t zoom = n >= 0 ? image_table[n].zoomPercent : 100;
    const int32_t x = image_coordinate(msg.x, zoom), y = image_coordinate(msg.y, zoom);
    switch (msg.type) {
        case pf::MsgType::MouseMove:
            if (!from_tool_window(window)) return readout_pointer_at(window, n, x, y);
            tool_state.moved = 1;
            tool_state.mouseX = x;
            tool_state.mouseY = y;
            return;
        case pf::MsgType::LeftDown:
            if (!from_tool_window(window)) return;
            tool_state.clicked = 1;
            tool_state.clickX = x;
            tool_state.clickY = y;
            return;
        default:  // right and middle button
            if (tool_state.active) {
                if (from_tool_window(window)) tool_state.cancelled = 1;
                return;  // no menu while a tool runs
            }
            if (g_input_active.load() != 0) return;  // nor while a line input waits
            const bool process = msg.type == pf::MsgType::MiddleDown || msg.ctrl;
            const pf::MenuId menu = process ? build_process_menu(n) : build_image_menu(window);
            // The choice arrives later as a Command message to this window.
            pf::track_popup_menu(menu, window);
            pf::destroy_menu(menu);
            return;
    }
}

void on_wheel(pf::WindowId window, const pf::Message& msg) {
    if (!msg.ctrl || msg.key == 0) return;
    const int n = KPL_FindImageByWindow(window);
    if (n < 0) return;
    const int32_t zoom = image_table[n].zoomPercent;
    KPL_SetZoom(msg.key < 0 ? zoomed_in(zoom) : zoomed_out(zoom), n);
}

// The first dropped file is loaded at (0, 0); the current image is kept.
void on_drop(pf::WindowId window, const pf::Message& msg) {
    if (!msg.files || msg.files->empty()) return;
    const int n = KPL_SelectImageByWindow(window);
    // A path that does not fit the 256-unit buffer the drop is read into is
    // refused rather than cut, since a cut path would name another file.
    const std::string& path = msg.files->front();
    if (n >= 0 && pf::ansi_to_wide(path.c_str(), SIZE_MAX).size() <= 255) {
        KPL_LoadImage(path.c_str(), 0, 0);
        repaint_current();
    }
    if (n >= 0) KPL_SelectPreviousImage();
    pf::bring_to_front(window);
}

}  // namespace

intptr_t image_window_proc(pf::WindowId window, pf::Message& msg) {
    // The window's own menus, keys and drops act on its image: a window
    // closed meanwhile is not the user program's mistake.
    const QuietMisuse quiet;
    switch (msg.type) {
        case pf::MsgType::Create:
            return 0;
        case pf::MsgType::Moved:
        case pf::MsgType::Moving:
            follow_window_edges(window, msg);
            return 0;
        case pf::MsgType::Destroy: {
            // A window closed by the user frees its slot like KPL_DestroyImage;
            // a slot already freed by KPL_DestroyImage no longer names it.
            const int n = KPL_FindImageByWindow(window);
            if (n >= 0) release_image_slot(n);
            readout_pointer_gone(window);
            return 0;
        }
        case pf::MsgType::Sizing:
            // Image windows are not resized by their border: the proposed
            // rectangle becomes the current one.
            pf::window_rect(window, &msg.rect);
            return 0;
        case pf::MsgType::Paint: {
            const int n = KPL_FindImageByWindow(window);
            if (n >= 0) KPL_UpdateImage(n);
            return 0;
        }
        case pf::MsgType::Close:
            KPL_DestroyImage(KPL_FindImageByWindow(window));
            return 0;
        case pf::MsgType::KeyDown:
            on_key(window, msg);
            return 0;
        case pf::MsgType::Command:
            guarded([&] { on_command(window, msg.key); });
            return 0;
        case pf::MsgType::MouseMove:
        case pf::MsgType::LeftDown:
        case pf::MsgType::RightDown:
        case pf::MsgType::MiddleDown:
            guarded([&] { on_mouse(window, msg); });
            return 0;
        case pf::MsgType::MouseLeave:
            readout_pointer_gone(window);
            return 0;
        case pf::MsgType::Wheel:
            on_wheel(window, msg);
            return 0;
        case pf::MsgType::DropFiles:
            guarded([&] { on_drop(window, msg); });
            return 0;
        default:
            return pf::default_proc(window, msg);
    }
}

}  // namespace kaplo

int KPL_FindImageByWindow(kaplo::platform::WindowId window) {
    // Each window carries its slot number + 1, so no scan is needed.
    const intptr_t slot = window ? kaplo::platform::window_data(window) - 1 : -1;
    if (slot < 0 || slot >= kaplo::kImageSlots) return -1;
    const kaplo::ImageWindowRecord& rec = kaplo::image_table[slot];
    return rec.used == 1 && rec.window == window ? static_cast<int>(slot) : -1;
}

int KPL_SelectImageByWindow(kaplo::platform::WindowId window) {
    const int n = KPL_FindImageByWindow(window);
    if (n >= 0) KPL_SelectImage(n);
    return n;
}
