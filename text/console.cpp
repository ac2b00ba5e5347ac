// The one-line command console of the text windows.

#include <chrono>
#include <cstring>
#include <thread>

#include "kaplo.h"
#include "platform/keys.h"
#include "runtime/misuse.h"
#include "runtime/services.h"
#include "text/text_window.h"

using namespace kaplo::platform;

namespace kaplo {
int run_console() {
    const QuietMisuse quiet;  // the console's output is the framework's own
    char line[256];
    KPL_Printf("Cmd>");
    line[0] = '\0';
    KPL_InputLine(line);
    if (std::strcmp(line, "exit") == 0) {
        post_key(main_window(), key::kEscape);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } else if (std::strcmp(line, "start") == 0) {
        post_key(main_window(), 'S');
    } else if (std::strcmp(line, "help") == 0) {
        KPL_Printf("Command list:exit help start ver color\n");
    } else if (std::strcmp(line, "ver") == 0) {
        const int slot = current_text_window.load();
        if (slot >= 0 && slot < kTextSlots)
            post_command(text_table[static_cast<size_t>(slot)].window, 1020);
    } else if (std::strcmp(line, "color") == 0) {
        const auto c = static_cast<uint32_t>(drawing_colour);
        KPL_Printf("Red  :%3d\n", static_cast<int>((c >> 16) & 255));
        KPL_Printf("Green:%3d\n", static_cast<int>((c >> 8) & 255));
        KPL_Printf("Blue :%3d\n", static_cast<int>(c & 255));
        KPL_Printf("kpl_tttc=%06x\n", static_cast<unsigned>(kpl_tttc));
        KPL_Printf("kpl_tc=%06x\n", static_cast<unsigned>(kpl_tc));
    } else {
        KPL_Printf("Invalid command\n");
        return 1;
    }
    return 0;
}

}  // namespace kaplo
