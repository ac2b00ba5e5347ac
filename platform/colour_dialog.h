#pragma once
// The colour dialog: Qt's widget dialog (never the desktop's native one) on
// the modal facility of platform.h, shown on the GUI thread without a nested
// event loop and waited for only by the asking thread. Every other window
// keeps working; close_all_modal (Exit) closes it as cancelled.

#include <cstdint>
#include <functional>
#include <optional>

namespace kaplo::platform {

// Shows the dialog, opened in full, starting at `initial` (0x00RRGGBB), with
// the 16 custom colours of `custom` (0x00RRGGBB), and waits for it (any
// thread). `result` gets the chosen colour, or `initial` when the user
// cancelled, Exit closed the dialog or it could not be shown; `custom` gets
// the custom colours as the dialog left them (the user may add some before
// cancelling). True when a colour was chosen.
bool choose_colour(uint32_t initial, uint32_t custom[16], uint32_t* result);

// For tests: while a hook is set, choose_colour shows no dialog and takes the
// hook's answer instead (empty: cancelled). The hook runs on the asking
// thread and may change the custom colours, as the user may in the dialog.
// An empty function removes the hook.
using ColourDialogHook = std::function<std::optional<uint32_t>(uint32_t initial, uint32_t* custom)>;
void set_colour_dialog_hook(ColourDialogHook hook);

}  // namespace kaplo::platform
