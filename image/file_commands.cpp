// The file dialogs of image windows (KPL_AskLoadFileName, KPL_AskSaveFileName)
// with their memory for the run, and the load and save commands built on
// them.
//
// Each dialog remembers, on its own, the folder of the file last chosen in
// it and the filter last used; only a confirmed dialog changes that memory.
// The save dialog's replace question is asked about the file KPL_SaveImage
// will really write (saved_file_name), not about the name as typed.
//
// Threads: worker thread only.

#include "image/file_commands.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <kaplo_image.h>

#include "image/image_files.h"
#include "image/image_store.h"
#include "platform/file_dialogs.h"
#include "platform/platform.h"
#include "runtime/guarded.h"
#include "runtime/misuse.h"
#include "runtime/services.h"

namespace kaplo {
namespace {

namespace pf = platform;

// The open dialog's filters; the save dialog offers the first six (the
// formats KPL_SaveImage writes, "All Files" saving as BMP).
const pf::FileFilter kOpenFilters[] = {
    {u"All Files (*.*)", u"*.*"},
    {u"BMP (*.BMP;*.RLE;*.DIB)", u"*.BMP;*.RLE;*.DIB"},
    {u"JPEG (*.JPG;*.JPEG;*.JPE)", u"*.JPG;*.JPEG;*.JPE"},
    {u"CompuServe GIF (*.GIF)", u"*.GIF"},
    {u"PNG (*.PNG)", u"*.PNG"},
    {u"TIFF (*.TIF;*.TIFF)", u"*.TIF;*.TIFF"},
    {u"WMF (*.WMF)", u"*.WMF"},
    {u"EMF (*.EMF)", u"*.EMF"},
    {u"ICO (*.ICO)", u"*.ICO"},
};
constexpr size_t kSaveFilterCount = 6;

// KPL_SaveImage format numbers of save filters 1..6.
constexpr int kSaveFormats[kSaveFilterCount] = {0, 0, 1, 2, 3, 4};

int g_load_filter = 2;
int g_save_filter = 2;

std::u16string wide(const std::string& text) {
    return pf::ansi_to_wide(text.c_str(), SIZE_MAX);
}

// The folder that holds `path` (a full path).
std::string folder_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return path;
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// A confirmed dialog's choice: the path in UTF-8 and the filter.
struct Choice {
    std::string path;
    int filter_index;
};

// Shows the dialog. A path longer than the caller's 260 bytes (or 259 UTF-16
// units) is refused like a cancel, never cut.
std::optional<Choice> ask(const pf::FileDialogRequest& request) {
    std::optional<pf::FileDialogAnswer> answer = pf::ask_file_name(request);
    if (!answer || answer->path.empty() || answer->path.size() > kMaxPathUnits) return std::nullopt;
    Choice choice{pf::wide_to_ansi(answer->path, SIZE_MAX), answer->filter_index};
    if (choice.path.size() > kMaxPathUnits) return std::nullopt;
    return choice;
}

// Hands a choice to the caller and remembers its folder and filter; nothing
// here can fail once the folder is made, so the buffer and the memory change
// together.
void take(const Choice& choice, char* buffer, void (*set_directory)(std::string),
          int* filter_memory) {
    std::string folder = folder_of(choice.path);
    std::memcpy(buffer, choice.path.c_str(), choice.path.size() + 1);
    set_directory(std::move(folder));
    *filter_memory = choice.filter_index;
}

int ask_load_file_name(char* buffer) {
    if (!buffer) return 1;
    pf::FileDialogRequest request;
    request.title = u"Load image file";
    request.folder = wide(load_directory());
    request.filters.assign(std::begin(kOpenFilters), std::end(kOpenFilters));
    request.filter_index = g_load_filter;
    if (g_load_filter >= 1 && g_load_filter <= static_cast<int>(request.filters.size()))
        request.initial_name = request.filters[static_cast<size_t>(g_load_filter) - 1].pattern;
    const std::optional<Choice> choice = ask(request);
    if (!choice) return 1;
    take(*choice, buffer, set_load_directory, &g_load_filter);
    return 0;
}

int ask_save_file_name(char* buffer) {
    if (!buffer) return 1;
    pf::FileDialogRequest request;
    request.save = true;
    request.title = u"Save as";
    request.folder = wide(save_directory());
    request.filters.assign(std::begin(kOpenFilters), std::begin(kOpenFilters) + kSaveFilterCount);
    request.filter_index = g_save_filter;
    request.initial_name = u"noname";
    // Runs on the GUI thread: saved_file_name and the conversions touch no
    // state.
    request.written_name = [](const std::u16string& path, int filter_index) -> std::u16string {
        const int format = save_format_of_filter(filter_index);
        std::string written;
        if (format < 0 ||
            !saved_file_name(format, pf::wide_to_ansi(path, SIZE_MAX).c_str(), &written))
            return {};
        return wide(written);
    };
    const std::optional<Choice> choice = ask(request);
    if (!choice) return 1;
    take(*choice, buffer, set_save_directory, &g_save_filter);
    return 0;
}

}  // namespace

int load_filter_index() {
    return g_load_filter;
}

int save_filter_index() {
    return g_save_filter;
}

int save_format_of_filter(int filter_index) {
    if (filter_index < 1 || filter_index > static_cast<int>(kSaveFilterCount)) return -1;
    return kSaveFormats[filter_index - 1];
}

void load_image_command(int number) {
    const QuietMisuse quiet;
    if (KPL_SelectImage(number) != 0) return;
    char path[kMaxPathUnits + 1];
    if (KPL_AskLoadFileName(path) != 0) return;
    KPL_LoadImage(path, 0, 0);
    KPL_UpdateImage(number);
}

void save_image_command(int number) {
    const QuietMisuse quiet;
    if (KPL_SelectImage(number) != 0) return;
    char path[kMaxPathUnits + 1];
    if (KPL_AskSaveFileName(path) != 0) return;
    const int format = save_format_of_filter(g_save_filter);
    int width = 0, height = 0;
    if (format < 0 || KPL_GetImageInfo(number, &width, &height, nullptr) != 0) return;
    // A save from the menu is always at full JPEG quality; the program's own
    // setting is put back for its own saves.
    const int32_t quality = jpeg_quality;
    if (format == 1) jpeg_quality = 100;
    KPL_SaveImage(format, path, width, height);
    jpeg_quality = quality;
}

}  // namespace kaplo

int KPL_AskLoadFileName(char* buffer) {
    return kaplo::guarded(1, [buffer] { return kaplo::ask_load_file_name(buffer); });
}

int KPL_AskSaveFileName(char* buffer) {
    return kaplo::guarded(1, [buffer] { return kaplo::ask_save_file_name(buffer); });
}
