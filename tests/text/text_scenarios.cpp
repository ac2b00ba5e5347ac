// Text windows driven through real window messages, on the real framework
// (Qt offscreen). The driver thread types into text windows by posting key
// and character messages, as the window system would; the worker thread
// reads lines with KPL_InputLine. Printed text is checked through the log,
// which holds exactly what was printed and typed.
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <mutex>
#include <vector>

#include "platform/keys.h"
#include "platform/window_table.h"
#include "shell/shell.h"
#include "tests/driver.h"
#include "text/log_file.h"

namespace pf = kaplo::platform;
namespace key = kaplo::platform::key;

namespace {

// Lines read by the worker, in order.
std::mutex lines_mutex;
std::vector<std::string> lines;
std::atomic<bool> worker_done{false};

std::vector<std::string> lines_read() {
    std::lock_guard lock(lines_mutex);
    return lines;
}

using At = std::pair<int32_t, int32_t>;
At cursor_of(int slot) {
    return on_worker([slot] {
        const auto& c = kaplo::text_table[static_cast<size_t>(slot)].cursor;
        return At{c.x, c.y};
    });
}
int32_t cursor_x() {
    return cursor_of(0).first;
}

bool same_cells(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    const auto& surface = *kaplo::text_table[0].surface;
    for (int32_t j = 0; j < 16; ++j)
        for (int32_t i = 0; i < 8; ++i)
            if (surface.pixel(x1 + i, y1 + j) != surface.pixel(x2 + i, y2 + j)) return false;
    return true;
}

pf::WindowId window_of(int slot) {
    return kaplo::text_table[static_cast<size_t>(slot)].window;
}
void type(int slot, const std::u16string& units) {
    post_chars(window_of(slot), units);
}
void key(int slot, int vk, bool ctrl = false) {
    post_key_typed(window_of(slot), vk, ctrl);
}
bool input_waiting(int slot) {
    return kaplo::g_input_active.load() == slot + 1;
}

// Reads one line and waits for it to arrive.
std::string enter(int slot, const std::u16string& units) {
    const size_t before = lines_read().size();
    CHECK(eventually([&] { return input_waiting(kaplo::current_text_window.load()); }));
    type(slot, units);
    CHECK(eventually([&] { return lines_read().size() > before; }));
    return lines_read().at(before);
}

// Closes an open message box on the GUI thread and returns its text.
std::string dismiss_message_box() {
    std::string text;
    CHECK(eventually([&] {
        on_gui([&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    text = box->text().toStdString();
                    box->accept();
                    return;
                }
        });
        return !text.empty();
    }));
    return text;
}

// Right-clicks a window and reads the pop-up menu its procedure shows: the
// items (text before the shortcut) that are greyed, or with `checked` those
// checked. Then chooses the item `choose`, if any, and closes the menu.
std::string popup(pf::WindowId window, bool checked, const QString& choose = {}) {
    pf::Message click;
    click.type = pf::MsgType::RightDown;
    pf::post(window, click);
    std::string marked;
    bool shown = false;
    CHECK(eventually([&] {
        on_gui([&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            for (QAction* a : menu->actions()) {
                const QString text = a->text().section('\t', 0, 0);
                if (checked ? a->isChecked() : !a->isEnabled()) {
                    if (!marked.empty()) marked += '|';
                    marked += text.toStdString();
                }
                if (text == choose) a->trigger();
            }
            menu->close();
            shown = true;
        });
        return shown;
    }));
    return marked;
}

// A menu closes when another window is activated: before right-clicking,
// wait for text window 0, the last one brought to the front, to be active.
bool window_0_active() {
    bool active = false;
    on_gui([&] {
        auto rec = pf::detail::find_record(window_of(0));
        active = rec && QApplication::activeWindow() == rec->widget.data();
    });
    return active;
}

// Greyed on the main window while a run or a line input is under way; checked
// on a text window: Select on the current one, the log's state.
void menus_scenario() {
    const pf::WindowId main = kaplo::main_window();
    const std::string busy =
        "Paste|Start|Image Window|Text Window|Input Box|Button Box|&Window Info.";
    CHECK(eventually(window_0_active));
    CHECK(popup(main, false).empty());
    CHECK(popup(window_of(1), true).empty());
    CHECK(popup(window_of(0), true, "Start Log") == "&Select");
    CHECK(popup(window_of(0), true, "Stop Log") == "&Select|Start Log");
    CHECK(popup(window_of(0), true) == "&Select|Stop Log");
    key(0, key::kSpace);  // the console waits for a line while idle
    CHECK(eventually([] { return input_waiting(0); }) && eventually(window_0_active));
    CHECK(popup(main, false) == busy);
    type(0, u"\r");
    CHECK(eventually([] { return !input_waiting(0); }));
    start_run();
    CHECK(eventually([] { return kpl_running == 1; }));
    CHECK(popup(main, false, "Stop") == busy);
    CHECK(eventually([] { return kpl_running == 0; }));
}

void input_scenario() {
    start_run();  // the worker reads lines in UserMain
    CHECK(eventually([] { return input_waiting(0); }));
    CHECK(eventually(
        [] { return caption_of(kaplo::status_line()) == std::string(13, ' ') + "Input text"; }));
    CHECK(enter(0, u"a\tb\r") == "a b");
    CHECK(enter(0, u"abc\bd\r") == "abd");
    // Escape and other control characters are kept as typed.
    CHECK(enter(0, u"e\x1B\r") == "e\x1B");
    // Up appends the previous line to what is typed.
    CHECK(eventually([] { return input_waiting(0); }));
    type(0, u"x");
    key(0, key::kUp);
    // The recalled units arrive as typed characters: wait until they are in.
    CHECK(eventually([&] { return cursor_x() == 3 * 8; }));
    CHECK(enter(0, u"\r") == "xe\x1B");
    // Ctrl+V pastes up to the first line end.
    CHECK(pf::set_clipboard_ansi_text("pasted\nsecond line"));
    CHECK(eventually([] { return input_waiting(0); }));
    key(0, 'V', true);
    CHECK(eventually([&] { return cursor_x() == 6 * 8; }));
    CHECK(enter(0, u"!\r") == "pasted!");
    // Typing into another text window feeds the same input.
    CHECK(enter(1, u"from one\r") == "from one");

    // A line comes back in the caller's 256 bytes exactly as it was echoed:
    // of 90 pasted characters of three bytes, 85 are taken (and Backspace
    // takes back the last one echoed).
    std::string a90;
    for (int i = 0; i < 90; ++i) a90 += "\xE3\x81\x82";  // "あ"
    CHECK(pf::set_clipboard_ansi_text(a90));
    CHECK(eventually([] { return input_waiting(0); }));
    const At before = cursor_of(0);
    key(0, 'V', true);
    CHECK(eventually([&] { return cursor_of(0) != before; }));
    CHECK(enter(0, u"\b\r") == a90.substr(0, 84 * 3));

    // A line read on the main thread while the worker owns the windows.
    CHECK(eventually([] { return worker_done.load(); }));
    std::atomic<bool> got{false};
    std::string main_line;
    pf::run_on_gui_thread([&] {
        char buffer[256];
        KPL_SelectTextWindow(0);
        KPL_InputLine(buffer);
        main_line = buffer;
        got = true;
    });
    CHECK(eventually([] { return input_waiting(0); }));
    type(0, u"main\r");
    CHECK(eventually([&] { return got.load(); }));
    CHECK(main_line == "main");
    CHECK(eventually(
        [] { return caption_of(kaplo::status_line()).find("-bit color") != std::string::npos; }));
}

// The echo stays on the surface: after a prompt that fills its line, and
// after a resize while a line is typed.
void echo_scenario() {
    start_run();
    CHECK(eventually([] { return input_waiting(0); }));
    CHECK((cursor_of(0) == At{0, 16}));
    CHECK(enter(0, u"Q\r") == "Q");
    CHECK(eventually([] { return input_waiting(0); }));  // after "name? "
    type(0, u"abcdefghijklmnopqrstuvwxyz0123");
    CHECK(eventually([] { return cursor_x() == 36 * 8; }));
    pf::Rect r;
    CHECK(pf::window_rect(window_of(0), &r));
    CHECK(pf::resize_window(window_of(0), r.width() - 200, r.height()));
    // Drawn again from the top-left: 25 cells a line leave room for the
    // cursor, so "z0123" is on the second line.
    CHECK(eventually([] {
        return on_worker([] { return kaplo::text_table[0].cursor.width == 200; }) &&
               cursor_of(0) == At{40, 16};
    }));
    type(0, u"\b\b\b\b\b\b");  // across the new wrap, onto "y"
    CHECK(eventually([] { return cursor_of(0) == At{192, 0}; }));
    CHECK(enter(0, u"Z\r") == "abcdefghijklmnopqrstuvwxZ");
    CHECK((cursor_of(0) == At{0, 32}));
}

void console_scenario() {
    CHECK(KPL_StartLog(0) == 0);  // the driver may call it: the worker is idle
    // Each command's answer is in the log (flushed as it is written) before
    // the next Space is pressed: a Space handled while the answer is being
    // printed would start a console nested inside that output.
    std::string expected;
    auto command = [&](const std::u16string& text, const std::string& answer) {
        key(0, key::kSpace);
        CHECK(eventually([] { return input_waiting(0); }));
        type(0, text);
        expected += "Cmd>" + pf::wide_to_ansi(text.substr(0, text.size() - 1), 255) + "\n" + answer;
        CHECK(eventually([&] { return read_file(kaplo::log_file_name(0)) == expected; }));
    };
    command(u"help\r", "Command list:exit help start ver color\n");
    command(u"exit \r", "Invalid command\n");
    char colours[128];
    std::snprintf(colours, sizeof colours,
                  "Red  :255\nGreen:128\nBlue :  0\nkpl_tttc=ffffff\nkpl_tc=%06x\n",
                  static_cast<unsigned>(kpl_tc));
    command(u"color\r", colours);
    command(u"ver\r", std::string(kaplo::banner()) + "\n");
    KPL_StopLog(0);
}

// Checked by the worker as it goes (UserMain). The log scenario's copy of a missing log shows a
// message box.
void worker_scenario() {
    start_run();
    if (scenario_name() == "logs") CHECK(dismiss_message_box() == "Can't open LOG file!");
    CHECK(eventually([] { return worker_done.load(); }));
}

// Started and ended within the run, which logs without end and ignores Stop:
// Exit ends the process.
void log_exit_scenario() {
    start_run();
    CHECK(eventually([] { return kpl_running == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

void driver() {
    run_scenario({{"input", input_scenario},
                  {"echo", echo_scenario},
                  {"windows", worker_scenario},
                  {"menus", menus_scenario},
                  {"logs", worker_scenario},
                  {"console", console_scenario},
                  {"log_exit", log_exit_scenario}},
                 {"console"});
    if (scenario_name() != "console") return;
    // The console's "exit" ends the program through the main window.
    key(0, key::kSpace);
    CHECK(eventually([] { return input_waiting(0); }));
    type(0, u"exit\r");
}

void read_line() {
    char buffer[256];
    KPL_InputLine(buffer);
    std::lock_guard lock(lines_mutex);
    lines.push_back(buffer);
}

}  // namespace

void UserInit() {
    make_probe_window();
    KPL_OpenTextWindow(1, 420, 0, 200, 100);
    KPL_OpenTextWindow(2, 0, 320, 84, 100);
    KPL_OpenTextWindow(5, 420, 200, 200, 100);
    KPL_OpenTextWindow(0, 0, 0, 400, 300);
    kaplo::drawing_colour = 0xFF8000;
    std::thread(driver).detach();
}

void UserMain() {
    const std::string name = scenario_name();
    if (name == "input") {
        for (int i = 0; i < 7; ++i) read_line();
        worker_done = true;
    } else if (name == "echo") {
        KPL_Printf("%s", std::string(50, 'p').c_str());  // ends exactly at the right edge
        read_line();
        KPL_Printf("name? ");
        read_line();
    } else if (name == "windows") {
        auto& tw0 = kaplo::text_table[0];
        // Colour stacks: popping past the bottom keeps the oldest pair.
        KPL_PushTextColor(0x112233, 0x445566);
        for (int i = 0; i < 12; ++i) KPL_PopTextColor();
        CHECK(tw0.text_color == 0xFFFFFF && tw0.back_color == 0x000000);
        // About: the banner in green on grey; the cell behind the text is grey.
        kaplo::print_about(0);
        CHECK(tw0.surface->pixel(1, 1) == 0x505050 && tw0.text_color == 0xFFFFFF);
        // Selection, closing the current window, reopening.
        CHECK(KPL_SelectTextWindow(3) == 1);
        CHECK(KPL_SelectTextWindow(5) == 0 && kaplo::current_text_window == 5);
        CHECK(KPL_CloseTextWindow(5) == 0 && kaplo::current_text_window == 0);
        CHECK(KPL_OpenTextWindow(1, -1, -1, -1, -1) == 1 && kaplo::current_text_window == 1);
        for (int n : {1, 2, 0}) KPL_CloseTextWindow(n);
        CHECK(kaplo::current_text_window == 0);  // none open: the number stays
        CHECK(KPL_OpenTextWindow(0, -1, -1, -1, -1) == 0);
        CHECK(tw0.cursor.width == 400 && tw0.cursor.height == 300);
        // No side beyond twice the screen's, at opening and at a resize.
        const pf::Metrics m = pf::metrics();
        auto& tw3 = kaplo::text_table[3];
        CHECK(KPL_OpenTextWindow(3, 0, 0, 30000, 30000) == 0);
        CHECK(tw3.cursor.width == 2 * m.screen_width && tw3.cursor.height == 2 * m.screen_height);
        KPL_CloseTextWindow(3);
        // Control units show their pictures, one cell each: 0x01 is U+263A's,
        // 0x7F U+2302's.
        std::string controls;
        for (char u = 1; u < 0x20; ++u)
            if (u != '\n') controls += u;
        controls += '\x7F';
        KPL_Printf("%s\n\xE2\x98\xBA\xE2\x86\x90\xE2\x8C\x82\n", controls.c_str());
        CHECK(same_cells(0, 0, 0, 16));        // 0x01, U+263A
        CHECK(same_cells(8 * 30, 0, 32, 16));  // 0x7F, U+2302
        // Output past 4095 bytes is cut, not overrun; a NUL ends the text
        // in the log as on the screen.
        CHECK(KPL_StartLog(0) == 0);
        const std::string big(5000, 'x');
        KPL_Printf("%s", big.c_str());
        KPL_Printf("%s\n", std::string(4094, 'y').append("\xE6\x97\xA5").c_str());
        KPL_Printf("a%cb", 0);
        KPL_Printf("c\n");
        KPL_StopLog(0);
        const std::string log = read_file(kaplo::log_file_name(0));
        CHECK(log == std::string(4095, 'x') + std::string(4094, 'y') + "ac\n");
        worker_done = true;
    } else if (name == "logs") {
        const std::string name = kaplo::log_file_name(0);
        std::remove(name.c_str());
        CHECK(KPL_StartLog(0) == 0);
        CHECK(KPL_StartLog(0) == 1);
        KPL_Printf("a\n");
        CHECK(KPL_StopLog(0) == 0);
        KPL_Printf("b\n");
        CHECK(KPL_StartLog(0) == 0);
        KPL_Printf("c\n");
        // A typed line is logged after the text of its prompt.
        std::thread typist = answer(u"answer\r");
        KPL_Printf("q? ");
        read_line();
        typist.join();
        KPL_StopLog(0);
        // Copy while logging: everything so far reaches the clipboard, and
        // logging goes on into the same file.
        KPL_StartLog(0);
        KPL_Printf("d\n");
        CHECK(KPL_CopyLog(0) == 0);
        std::u16string clip;
        CHECK(pf::clipboard_unicode_text(&clip) == pf::ClipboardRead::Found &&
              clip == u"a\nc\nq? answer\nd\n");
        KPL_Printf("e\n");
        KPL_StopLog(0);
        CHECK(read_file(name) == "a\nc\nq? answer\nd\ne\n");
        // No log and no file: the message (the driver presses OK), and the
        // clipboard keeps what it had.
        std::remove(kaplo::log_file_name(5).c_str());
        CHECK(KPL_CopyLog(5) == 2);
        CHECK(pf::clipboard_unicode_text(&clip) == pf::ClipboardRead::Found &&
              clip == u"a\nc\nq? answer\nd\n");
        // A reopened window starts its log anew: the file is truncated.
        KPL_CloseTextWindow(0);
        KPL_OpenTextWindow(0, 0, 0, 400, 300);
        CHECK(KPL_StartLog(0) == 0);
        KPL_Printf("fresh\n");
        KPL_StopLog(0);
        KPL_Printf("gone\n");
        KPL_StartLog(0);
        KPL_Printf("more\n");
        KPL_StopLog(0);
        CHECK(read_file(name) == "fresh\nmore\n");
        worker_done = true;
    } else if (name == "log_exit") {
        KPL_StartLog(0);
        for (int i = 0;; ++i) KPL_Printf("line %d\n", i);
    }
    while (!kpl_stop) KPL_ProcessMessages();
}
