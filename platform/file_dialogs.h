#pragma once
// File dialogs: asking the user for a file to open or a name to save under.
// Built on the modal facility of platform.h: the dialog is shown on the GUI
// thread without a nested event loop and only the asking thread waits for it;
// every other window keeps working, and close_all_modal (Exit) closes it as
// cancelled.
//
// The dialog is Qt's own widget dialog, never the desktop's native one, so it
// behaves alike on every desktop. Filter patterns match without regard to
// case ("*.BMP" lists "a.bmp"), and each filter shows exactly its text.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kaplo::platform {

struct FileFilter {
    std::u16string text;     // what the filter list shows, e.g. u"PNG (*.PNG)"
    std::u16string pattern;  // patterns separated by ';', e.g. u"*.TIF;*.TIFF"
};

struct FileDialogRequest {
    bool save = false;  // save: any name; open: the file must exist
    std::u16string title;
    std::u16string folder;  // where the dialog starts
    std::vector<FileFilter> filters;
    int filter_index = 1;         // 1-based; the filter selected at the start
    std::u16string initial_name;  // what the file-name field starts with
    // Save dialogs: the file a confirmed choice (full path, 1-based filter
    // index) will really be written to; empty when nothing will be written.
    // The user is asked before that file is replaced, never about the name
    // as typed. Runs on the GUI thread; must not touch the caller's state.
    std::function<std::u16string(const std::u16string& path, int filter_index)> written_name;
};

struct FileDialogAnswer {
    std::u16string path;   // full path of the chosen file
    int filter_index = 1;  // 1-based; the filter selected when the user confirmed
};

// Shows the dialog and waits for it (any thread). Empty when the user
// cancelled, when the dialog could not be shown, or when Exit closed it.
// A save dialog whose written file exists asks whether to replace it; "No"
// returns to the dialog.
std::optional<FileDialogAnswer> ask_file_name(const FileDialogRequest& request);

// For tests: while a hook is set, ask_file_name shows no file dialog and
// takes the hook's answer instead (empty: cancelled). The hook runs on the
// asking thread. The replace question is still asked, as a message box; "No"
// calls the hook again, as the dialog would come back. An empty function
// removes the hook.
using FileDialogHook = std::function<std::optional<FileDialogAnswer>(const FileDialogRequest&)>;
void set_file_dialog_answer_hook(FileDialogHook hook);

}  // namespace kaplo::platform
