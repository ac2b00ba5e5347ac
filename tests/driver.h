#pragma once
// The one driver of the scenario programs. A scenario program is a user
// program run on Qt's offscreen platform: the first argument names the
// scenario, UserInit starts the run (`start_run`), UserMain runs the named
// scenario from a table on the worker (`run_scenario`), and driver threads
// post input to windows as the desktop does, wait for a state with
// `eventually`, read what only the worker writes with `on_worker`, and read
// pixels, captions, the status line and files with the readers below.

#include <kaplo.h>

#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

#include "image/image_store.h"
#include "runtime/services.h"
#include "tests/image/prompts.h"
#include "tests/image/stored_pixels.h"
#include "tests/scenario.h"
#include "text/text_window.h"

// The main window's menu commands.
enum MainCommand : int32_t { kStart = 1001, kExit = 1002, kStop = 1003 };

inline void main_command(int32_t id) {
    kaplo::platform::post_command(kaplo::main_window(), id);
}
inline void start_run() {
    main_command(kStart);
}
inline void exit_program() {
    main_command(kExit);
}

inline std::string scenario_name() {
    return KPL_ArgCount() > 1 ? KPL_Arg(1) : "";
}

// UserMain's part: runs the scenario the first argument names, prints the
// result line and ends the program, unless the scenario is one of `staying`
// (one a user or a script goes on with).
using Scenario = std::pair<const char*, void (*)()>;
inline void run_scenario(std::initializer_list<Scenario> table,
                         std::initializer_list<const char*> staying = {}) {
    const std::string name = scenario_name();
    bool found = false;
    for (const Scenario& s : table)
        if (name == s.first) {
            s.second();
            found = true;
        }
    CHECK(found);
    report_result();
    for (const char* s : staying)
        if (name == s) return;
    exit_program();
}

// ---------------------------------------------------------------------------
// Input as the desktop delivers it.

inline void post_chars(kaplo::platform::WindowId w, const std::u16string& units) {
    for (char16_t u : units) {
        kaplo::platform::Message m;
        m.type = kaplo::platform::MsgType::Char;
        m.key = u;
        kaplo::platform::post(w, m);
    }
}
// A key; with Ctrl a letter also types its control character, as a
// desktop types it.
inline void post_key_typed(kaplo::platform::WindowId w, int vk, bool ctrl = false) {
    kaplo::platform::post_key(w, vk, ctrl);
    if (!ctrl || vk < 'A' || vk > 'Z') return;
    kaplo::platform::Message m;
    m.type = kaplo::platform::MsgType::Char;
    m.key = static_cast<char16_t>(vk - 'A' + 1);
    m.ctrl = true;
    kaplo::platform::post(w, m);
}
inline void post_mouse(kaplo::platform::WindowId w, kaplo::platform::MsgType type, int x, int y) {
    kaplo::platform::Message m;
    m.type = type;
    m.x = x;
    m.y = y;
    kaplo::platform::post(w, m);
}
// A mouse message to image n's window at the client point its zoom turns
// into image point (x, y). Driver thread.
inline void image_mouse(int n, kaplo::platform::MsgType type, int x, int y) {
    const int zoom = on_worker([n] { return kaplo::image_table[n].zoomPercent; });
    post_mouse(kaplo::image_table[n].window, type, (x * zoom + 99) / 100, (y * zoom + 99) / 100);
}
inline void image_click(int n, int x, int y) {
    image_mouse(n, kaplo::platform::MsgType::MouseMove, x, y);
    image_mouse(n, kaplo::platform::MsgType::LeftDown, x, y);
}

// Types `units` into text window `slot` once a line input waits in it, from
// a thread of its own (the worker is inside the prompt). Join it.
inline std::thread answer(std::u16string units, int slot = 0) {
    return std::thread([units, slot] {
        if (!eventually([slot] { return kaplo::g_input_active.load() == slot + 1; })) return;
        post_chars(kaplo::text_table[static_cast<size_t>(slot)].window, units);
    });
}

// ---------------------------------------------------------------------------
// Readers.

inline std::string read_file(const std::string& path) {
    std::stringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}
inline std::string caption_of(kaplo::platform::WindowId w) {
    char text[kaplo::kTitleBytes];
    kaplo::get_window_text_ansi(w, text, sizeof text);
    return text;
}
inline std::string image_caption(int n) {
    return caption_of(kaplo::image_table[n].window);
}

// ---------------------------------------------------------------------------
// Qt's own dialogs, for programs that link Qt Widgets.
#ifdef QT_WIDGETS_LIB
#include <QApplication>

// Once a top-level Qt widget of type T (with this title, if one is given) is
// visible, runs `act` with it on the GUI thread; false if none comes within
// the limit. Driver thread.
template <class T, class F>
bool on_visible(F act, const QString& title = {}, int limit_ms = 20000) {
    return eventually(
        [&] {
            bool found = false;
            on_gui([&] {
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (auto* d = qobject_cast<T*>(w);
                        !found && d && d->isVisible() &&
                        (title.isEmpty() || d->windowTitle() == title)) {
                        found = true;
                        act(d);
                    }
            });
            return found;
        },
        limit_ms);
}
#endif
