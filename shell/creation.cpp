// Windows made from the main window without a user program: Paste, the
// image window, input box and button box dialogues, the next text window,
// dropped files, and the window information report's hand-over. Everything
// runs on the main thread and hands the work to the worker as requests; the
// image current before a creation is made current again by the worker as
// part of the request, since the selection belongs to the worker.

#include <cstdio>
#include <cstdlib>

#include "image/clipboard_pictures.h"
#include "image/image_store.h"
#include "kaplo.h"
#include "platform/codecs.h"
#include "shell/shell.h"
#include "text/text_window.h"

namespace kaplo {

namespace {

constexpr int32_t kImageNumbers = 256;
constexpr size_t kPathUnits = 260;  // the buffer a dropped name is read into

// Reads one line into `line`; false when Exit arrived meanwhile.
bool read_value(int32_t* value) {
    char line[256];
    KPL_InputLine(line);
    if (kpl_exit.load() != 0) return false;
    *value = std::atoi(line);
    return true;
}

}  // namespace

void paste_command() {
    if (kpl_running.load() != 0) return;
    KPL_ClipboardPicture* picture = clipboard_picture_for_paste();
    int width = 0, height = 0;
    if (!picture || KPL_GetClipboardBitmapSize(picture, &width, &height) != 0) return;
    for (int32_t k = 0; k < kImageNumbers; ++k) {
        char title[kTitleBytes];
        std::snprintf(title, sizeof title, "%03d", k);
        if (post_create_image_request(k, title, width, height, 32, true) == 0) {
            post_paste_bitmap_request(picture, k);  // the worker frees it
            post_refresh_image_request(k);
            return;
        }
    }
    KPL_FreeClipboardBitmap(picture);
}

void image_window_dialogue() {
    post_open_text_window_request(0);
    KPL_Printf("Creating ImageWindow...\n");
    KPL_Printf(" Width=");
    int32_t width = 0, height = 0, depth = 0;
    if (!read_value(&width)) return;
    KPL_Printf("Height=");
    if (!read_value(&height)) return;
    KPL_Printf("Bit[32 or 8]=");
    if (!read_value(&depth)) return;
    if (depth != 32 && depth != 8) return;
    // The lowest free number: a number in use answers 1, anything else ends
    // the search. The new image stays the current one.
    for (int32_t k = 0; k < kImageNumbers; ++k) {
        char title[kTitleBytes];
        std::snprintf(title, sizeof title, "%03d", k);
        if (post_create_image_request(k, title, width, height, depth) != 1) return;
    }
}

void input_box_dialogue() {
    post_open_text_window_request(0);
    KPL_Printf("Creating InpuxBox...\n");
    KPL_Printf("How many items? >");
    int32_t items = 0;
    if (!read_value(&items)) return;
    post_open_input_box_request(items);
}

void button_box_dialogue() {
    post_open_text_window_request(0);
    KPL_Printf("Creating ButtonBox...\n");
    KPL_Printf("Number[X]=>");
    int32_t columns = 0, rows = 0;
    if (!read_value(&columns)) return;
    KPL_Printf("Number[Y]=>");
    if (!read_value(&rows)) return;
    post_open_button_box_request(columns, rows);
}

void window_info_command() {
    // The report is printed by the current text window's procedure, on the
    // worker; text window 0 is opened first when no current window is open.
    if (!text_table[static_cast<size_t>(current_text_window.load())].used.load())
        post_open_text_window_request(0);
    // The window is found in the platform's records (under their lock), not
    // in the worker's text window table.
    const intptr_t data = current_text_window.load() + 1;
    for (const platform::WindowPlace& place : platform::window_places({"kpl_twi"})) {
        if (place.data == data) {
            platform::post_command(place.window, kWindowInfoCommand);
            return;
        }
    }
}

void open_next_text_window() {
    for (int32_t k = 0; k < kTextSlots; ++k) {
        if (!text_table[static_cast<size_t>(k)].used.load()) {
            post_open_text_window_request(k);
            return;
        }
    }
}

std::string drop_title(int32_t number, const std::string& name) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%03d ", number);
    const std::string head = prefix;
    if (head.size() >= kTitleBytes - 1) return head.substr(0, kTitleBytes - 1);
    return head + ansi_prefix(name.c_str(), kTitleBytes - 1 - head.size());
}

void drop_files(const std::vector<std::string>& paths) {
    int32_t n = 0;  // carried over from file to file
    for (const std::string& path : paths) {
        if (n >= kImageNumbers) break;
        // A path that does not fit the buffer it is read into is refused
        // rather than cut, since a cut path would name another file.
        if (platform::ansi_to_wide(path.c_str(), SIZE_MAX).size() >= kPathUnits) continue;
        const size_t slash = path.find_last_of('/');
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (name.empty()) continue;
        int32_t width = 0, height = 0;
        const platform::DecodeLimits limits{kMaxImageSide, kMaxImageBytes};
        if (!platform::picture_size(path, limits, &width, &height) || width == 0 || height == 0)
            continue;  // not a picture (or a folder): no number is used up
        while (n < kImageNumbers) {
            const std::string title = drop_title(n, name);
            const int32_t r = post_create_image_request(n, title.c_str(), width, height, 32, true);
            ++n;
            if (r == 0) {
                post_load_image_request(n - 1, path.c_str());
                post_refresh_image_request(n - 1);
                break;
            }
            if (r != 1) break;
        }
    }
}

}  // namespace kaplo
