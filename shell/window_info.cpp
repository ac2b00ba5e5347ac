// The window information report: every open framework window with its
// place and size, printed in a text window, and source lines that re-create
// the layout, put on the clipboard as text for a program's init routine.

#include <cstdarg>
#include <cstdio>
#include <new>
#include <string>
#include <string_view>

#include "boxes/boxes.h"
#include "image/image_store.h"
#include "kaplo.h"
#include "runtime/services.h"
#include "text/text_window.h"

namespace kaplo {
namespace {

namespace pf = kaplo::platform;

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kYellow = 0xFFFF00;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kOrange = 0x0080FF;
constexpr uint32_t kMagenta = 0xFF00FF;
constexpr uint32_t kNavy = 0x000080;
constexpr int kLabelBytes = 256;  // labels and captions are read up to 255 bytes

// Output colours pushed for as long as the object lives, so an early return
// or an exception still leaves the window in the colours it had.
class Colours {
  public:
    Colours(uint32_t text, uint32_t back) { KPL_PushTextColor(text, back); }
    ~Colours() { KPL_PopTextColor(); }
    Colours(const Colours&) = delete;
    Colours& operator=(const Colours&) = delete;
};

void append(std::string& source, const char* format, ...) __attribute__((format(printf, 2, 3)));
void append(std::string& source, const char* format, ...) {
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (n > 0) {
        const size_t at = source.size();
        source.resize(at + static_cast<size_t>(n) + 1);
        std::vsnprintf(source.data() + at, static_cast<size_t>(n) + 1, format, again);
        source.resize(at + static_cast<size_t>(n));
    }
    va_end(again);
}

// `text` as the inside of a C++ string literal. A title, label or caption
// may hold quotes, backslashes and line breaks (a dropped file a"b.png); the
// generated source must compile and give back the same text.
std::string literal(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    char octal[8];  // three digits: the escape ends there whatever follows
                    std::snprintf(octal, sizeof octal, "\\%03o", byte);
                    out += octal;
                } else {
                    out += c;
                }
        }
    }
    return out;
}

std::string window_text(pf::WindowId window) {
    char text[kLabelBytes];
    get_window_text_ansi(window, text, kLabelBytes);
    return text;
}

pf::Rect outer_rect(pf::WindowId window) {
    pf::Rect r;
    if (!pf::window_rect(window, &r)) r = pf::Rect{};
    return r;
}

void section(const char* name, std::string& source) {
    {
        const Colours green(kGreen, kBlack);
        KPL_Printf("[%s]\n", name);
    }
    append(source, "\t// [%s]\n", name);
}

// Images without a window are left out: they are no part of the layout.
void report_images(std::string& source) {
    bool any = false;
    for (const ImageWindowRecord& r : image_table) any = any || (r.used && r.window);
    if (!any) return;
    section("Image Window", source);
    for (int k = 0; k < kImageSlots; ++k) {
        const ImageWindowRecord& r = image_table[static_cast<size_t>(k)];
        if (!r.used || !r.window) continue;
        const pf::Rect outer = outer_rect(static_cast<pf::WindowId>(r.window));
        const char* title = r.title ? r.title.get() : "";
        KPL_Printf(" %d ", k);
        {
            const Colours orange(kOrange, kBlack);
            KPL_Printf("%d ", r.bitDepth);
        }
        {
            const Colours magenta(kMagenta, kBlack);
            KPL_Printf("%d ", r.screenLimited);
        }
        KPL_Printf(" '%s' X:%d Y:%d W:%d H:%d ZM:%d%%\n", title, outer.left, outer.top, r.width,
                   r.height, r.zoomPercent);
        const char* call = r.bitDepth == 32
                               ? (r.screenLimited ? "KPL_CreateImage" : "KPL_CreateImageFL")
                               : (r.screenLimited ? "KPL_CreateImage8" : "KPL_CreateImage8FL");
        append(source, "\t%s(%d,\"%s\",%d,%d,%d,%d,%d);\n", call, k, literal(title).c_str(),
               outer.left, outer.top, r.width, r.height, r.zoomPercent);
    }
}

void report_text_windows(std::string& source) {
    section("Text Window", source);
    for (int k = 0; k < kTextSlots; ++k) {
        const TextWindowRecord& r = text_table[static_cast<size_t>(k)];
        if (!r.used.load()) continue;
        const pf::Rect outer = outer_rect(r.window);
        KPL_Printf(" %d X:%d Y:%d W:%d H:%d\n", k, outer.left, outer.top, r.cursor.width,
                   r.cursor.height);
        append(source, "\tKPL_OpenTextWindow(%d,%d,%d,%d,%d);\n", k, outer.left, outer.top,
               r.cursor.width, r.cursor.height);
    }
}

void report_input_box(std::string& source) {
    const pf::WindowId box = input_box_window();
    if (!box) return;
    section("Input Box", source);
    const pf::Rect outer = outer_rect(box);
    const int items = input_box_items();
    int label_width = 0, edit_width = 0;
    KPL_GetInputBoxWidths(&label_width, &edit_width);
    KPL_Printf(" X:%d Y:%d ITEM:%d ", outer.left, outer.top, items);
    append(source, "\tKPL_OpenInputBox(%d,%d,%d);\n", outer.left, outer.top, items);
    KPL_Printf("ISIZE:%d ESIZE:%d\n", label_width, edit_width);
    append(source, "\tKPL_ResizeInputBox(%d,%d);\n", label_width, edit_width);
    for (int i = 0; i < items; ++i) {
        append(source, "\tKPL_SetInputBoxTitle(%d,\"%s\");\n", i,
               literal(window_text(input_box_label(i))).c_str());
    }
}

void report_button_box(std::string& source) {
    const pf::WindowId box = button_box_window();
    if (!box) return;
    section("Button Box", source);
    const pf::Rect outer = outer_rect(box);
    int columns = 0, rows = 0;
    button_box_grid(&columns, &rows);
    KPL_Printf(" X:%d Y:%d NX:%d NY:%d ", outer.left, outer.top, columns, rows);
    append(source, "\tKPL_OpenButtonBox(%d,%d,%d,%d);\n", outer.left, outer.top, columns, rows);
    int32_t width = 0, height = 0;
    pf::client_size(box, &width, &height);
    KPL_Printf("SIZE:%dx%d\n", width, height);
    append(source, "\tKPL_ResizeButtonBox(%d,%d);\n", width, height);
    for (int i = 0; i < columns * rows; ++i) {
        append(source, "\tKPL_SetButtonBoxTitle(%d,\"%s\");\n", i,
               literal(window_text(button_box_button(i))).c_str());
    }
}

}  // namespace

void window_info_report(int slot) {
    KPL_SelectTextWindow(slot);
    const Colours before(kWhite, kBlack);  // popped last: the window's own colours return
    try {
        std::string source;
        {
            const Colours yellow(kYellow, kBlack);
            KPL_Printf("******* Window information *******\n");
            source = "\t// KAPLO --- Automatic Source Generator\n";
        }
        report_images(source);
        report_text_windows(source);
        report_input_box(source);
        report_button_box(source);
        {
            const Colours yellow(kYellow, kBlack);
            KPL_Printf("**********************************\n");
            source += "\tKPL_SetForeground(KPLMAINWINDOW);\n";
        }
        // A clipboard that cannot be written gets nothing, and no message.
        if (pf::set_clipboard_ansi_text(source)) {
            const Colours notice(kYellow, kNavy);
            KPL_Printf("クリップボードにレイアウト作成ソースリストを保存しました．\n");
        }
    } catch (const std::bad_alloc&) {
        KPL_Pause("GlobalAlloc() failed. (ID_INFO)");
    }
}

}  // namespace kaplo
