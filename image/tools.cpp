// The frame every mouse tool shares: its start and end, and the state the
// image window procedure fills in for it.

#include <atomic>

#include "image/image_store.h"
#include "image/tool_state.h"
#include "kaplo.h"
#include "platform/platform.h"
#include "shell/guarded.h"
#include "shell/services.h"

namespace kaplo {

ToolState tool_state;

bool begin_tool(int number, const char* prompt) {
    if (!image_live(number)) return false;
    KPL_SetStatusText(prompt);
    // Files dropped on the main window would create windows under the tool.
    guarded([] { platform::accept_drops(main_window(), false); });
    KPL_SelectImage(number);
    tool_state.toolSlot = number;
    tool_state.clicked = 0;
    kpl_stop.store(0);
    tool_state.active = 1;
    g_tool_active.store(1);
    return true;
}

int end_tool(int code) {
    show_idle_status();
    tool_state.active = 0;
    tool_state.toolSlot = -1;
    g_tool_active.store(0);
    guarded([] { platform::accept_drops(main_window(), true); });
    return code;
}

}  // namespace kaplo
