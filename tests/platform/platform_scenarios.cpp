// The platform layer on the real framework: controls and dialog navigation,
// the moving and sizing hooks, pop-up menus, message boxes that block only
// their caller, key translation and input methods. Qt events are sent to the
// real widgets on the GUI thread, so the path from Qt to the procedures is
// the one the window system uses. Offscreen scenarios check messages and
// state; "wm", "printing" and "pause" are programs the end-to-end tests drive
// (a box that blocks only its caller is modal_and_loss.sh's, typing as people
// do with an input method is keyboard.sh's).
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <algorithm>
#include <vector>

#include "platform/keys.h"
#include "platform/window_table.h"
#include "shell/shell.h"
#include "tests/driver.h"

namespace pf = kaplo::platform;

namespace {

bool for_a_script() {
    const std::string name = scenario_name();
    return name == "wm" || name == "printing" || name == "pause";
}

// Everything the test window's procedure saw, one line per message.
std::mutex events_mutex;
std::vector<std::string> events;
void note(const std::string& line) {
    std::lock_guard lock(events_mutex);
    events.push_back(line);
    // The end-to-end scripts read them (and show them when they fail).
    if (for_a_script()) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
}
// Whether a line starting with `prefix` was seen.
bool seen(const std::string& prefix) {
    std::lock_guard lock(events_mutex);
    return std::any_of(events.begin(), events.end(),
                       [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
}
void clear_events() {
    std::lock_guard lock(events_mutex);
    events.clear();
}
// The key and character messages seen, in order.
std::vector<std::string> typing() {
    std::lock_guard lock(events_mutex);
    std::vector<std::string> out;
    for (const auto& e : events)
        if (e.rfind("KeyDown", 0) == 0 || e.rfind("Char", 0) == 0) out.push_back(e);
    return out;
}

std::string rect_text(const pf::Rect& r) {
    char text[64];
    std::snprintf(text, sizeof text, "%d %d %d %d", r.left, r.top, r.right, r.bottom);
    return text;
}

// How the test window answers the hooks: with Ctrl held, snap the left edge
// to a multiple of 50 when it comes within 7 pixels of one; keep the height
// when asked to.
std::atomic<bool> keep_height{false};

std::atomic<pf::WindowId> plain{0}, dialog{0}, sizable{0}, fixed{0};
std::atomic<pf::WindowId> edit0{0}, edit1{0}, button{0};

// The framework's view of the windows the end-to-end script compares with
// what the window manager drew.
void print_rects() {
    const std::pair<const char*, pf::WindowId> windows[] = {{"sizable", sizable},
                                                            {"text", kaplo::text_table[3].window},
                                                            {"image", kaplo::image_table[4].window},
                                                            {"main", kaplo::main_window()}};
    for (const auto& [name, id] : windows) {
        pf::Rect r;
        pf::window_rect(id, &r);
        std::printf("rect %s %s\n", name, rect_text(r).c_str());
    }
    std::fflush(stdout);
}

intptr_t test_proc(pf::WindowId window, pf::Message& msg) {
    pf::Rect own;
    pf::window_rect(window, &own);
    char line[256];
    switch (msg.type) {
        case pf::MsgType::Moving:
        case pf::MsgType::Sizing: {
            const bool sizing = msg.type == pf::MsgType::Sizing;
            std::snprintf(line, sizeof line, "%s %s edge %d own %s ctrl %d",
                          sizing ? "Sizing" : "Moving", rect_text(msg.rect).c_str(), msg.notify,
                          rect_text(own).c_str(), msg.ctrl ? 1 : 0);
            note(line);
            const int32_t grid = (msg.rect.left + 25) / 50 * 50;
            if (!sizing && msg.ctrl && std::abs(msg.rect.left - grid) <= 7) {
                msg.rect.right += grid - msg.rect.left;
                msg.rect.left = grid;
            }
            if (sizing && keep_height) {
                msg.rect.top = own.top;
                msg.rect.bottom = own.bottom;
            }
            return 0;
        }
        case pf::MsgType::Moved:
            std::snprintf(line, sizeof line, "Moved %d %d own %s", msg.x, msg.y,
                          rect_text(own).c_str());
            break;
        case pf::MsgType::Size:
            std::snprintf(line, sizeof line, "Size %d %d", msg.x, msg.y);
            break;
        case pf::MsgType::KeyDown:
            std::snprintf(line, sizeof line, "KeyDown %d ctrl %d", msg.key, msg.ctrl ? 1 : 0);
            if (msg.key == 'R' && scenario_name() == "wm") print_rects();
            break;
        case pf::MsgType::Char:
            std::snprintf(line, sizeof line, "Char %d", msg.key);
            break;
        case pf::MsgType::Command:
            std::snprintf(line, sizeof line, "Command %d control %d", msg.key, msg.control);
            break;
        case pf::MsgType::FocusGained:
        case pf::MsgType::FocusLost:
            std::snprintf(line, sizeof line, "Focus%s %d",
                          msg.type == pf::MsgType::FocusGained ? "Gained" : "Lost", msg.control);
            break;
        case pf::MsgType::LeftDown:
        case pf::MsgType::LeftDoubleClick:
            std::snprintf(line, sizeof line, "%s %d %d",
                          msg.type == pf::MsgType::LeftDown ? "LeftDown" : "LeftDoubleClick", msg.x,
                          msg.y);
            break;
        case pf::MsgType::Activate:
            std::snprintf(line, sizeof line, "Activate %d", msg.key);
            break;
        default:
            return pf::default_proc(window, msg);
    }
    note(line);
    return 0;
}

// A window's widget, read on the GUI thread that owns it (from any thread).
QWidget* widget_of(pf::WindowId id) {
    QWidget* w = nullptr;
    const auto read = [&] {
        auto rec = pf::detail::find_record(id);
        w = rec ? rec->widget.data() : nullptr;
    };
    pf::is_gui_thread() ? read() : on_gui(read);
    return w;
}

void send_key(pf::WindowId target, int key, Qt::KeyboardModifiers mods, const QString& text) {
    on_gui([&] {
        QKeyEvent press(QEvent::KeyPress, key, mods, text);
        QApplication::sendEvent(widget_of(target), &press);
    });
}

pf::WindowId make_window(const char* title, int32_t x, int32_t y, int32_t w, int32_t h,
                         uint32_t style, bool is_dialog) {
    const pf::Rect outer = pf::adjust_window_rect(pf::Rect{0, 0, w, h}, style, false);
    pf::CreateParams p;
    // Dialogs take double clicks, as the boxes do; the others do not.
    p.kind = is_dialog ? "test_dialog" : "test_window";
    p.title = pf::ansi_to_wide(title, 256);
    p.x = x;
    p.y = y;
    p.width = outer.width();
    p.height = outer.height();
    p.style = style;
    p.dialog = is_dialog;
    return pf::create_window(p);
}

// ---------------------------------------------------------------------------
// Scenarios

void controls_scenario() {
    const pf::WindowId d = dialog, e0 = edit0, e1 = edit1;
    const std::string s0 = std::to_string(e0), s1 = std::to_string(e1);
    CHECK(eventually([&] { return widget_of(e0) != nullptr && widget_of(button) != nullptr; }));
    CHECK(pf::set_window_data(d, 42) && pf::window_data(d) == 42 && pf::window_data(e0) == 0);

    // Typing reaches the control's text at once.
    CHECK(pf::set_focus(e0));
    CHECK(eventually([&] { return seen("FocusGained " + s0); }));
    for (const char* c : {"a", "b", "c"}) send_key(e0, Qt::Key_A + (c[0] - 'a'), {}, c);
    CHECK(eventually([&] { return pf::title(e0) == u"abc"; }));

    // Tab and Shift+Tab move between the edits; Enter is the window's OK.
    send_key(e0, Qt::Key_Tab, {}, "\t");
    CHECK(eventually([&] { return seen("FocusLost " + s0) && seen("FocusGained " + s1); }));
    send_key(e1, Qt::Key_Return, {}, "\r");
    CHECK(eventually([&] { return seen("Command 1 control 0"); }));
    clear_events();
    send_key(e1, Qt::Key_Backtab, Qt::ShiftModifier, "");
    CHECK(eventually([&] { return seen("FocusGained " + s0); }));

    // Selection of an edit's text.
    CHECK(pf::set_edit_selection(e0, 1, 2) && !pf::set_edit_selection(button, 0, 1));
    CHECK(eventually([&] {
        QString selected;
        on_gui([&] { selected = static_cast<QLineEdit*>(widget_of(e0))->selectedText(); });
        return selected == "b";
    }));

    // A button reports its id and itself.
    on_gui([&] { static_cast<QPushButton*>(widget_of(button))->click(); });
    CHECK(eventually([&] { return seen("Command 3007 control " + std::to_string(button)); }));

    // A double click in the client area, outside the controls; in a window
    // whose kind takes no double clicks the second press is a press.
    const auto double_click = [](pf::WindowId window, int x, int y) {
        on_gui([&] {
            QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(x, y), Qt::LeftButton,
                            Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(pf::detail::find_record(window)->client.data(), &dbl);
        });
    };
    double_click(d, 30, 100);
    CHECK(eventually([&] { return seen("LeftDoubleClick 30 100"); }));
    double_click(plain, 31, 50);
    CHECK(eventually([&] { return seen("LeftDown 31 50"); }));
    CHECK(!seen("LeftDoubleClick 31 50"));

    // Activation changes reach the window both ways.
    pf::set_focus(plain);
    pf::set_focus(d);
    CHECK(eventually([&] { return seen("Activate 1"); }));
    pf::set_focus(plain);
    CHECK(eventually([&] { return seen("Activate 0"); }));
}

void keys_scenario() {
    const pf::WindowId w = plain;
    CHECK(eventually([&] { return widget_of(w) != nullptr; }));
    // What a key sends: its code (the keypad's own codes, the punctuation
    // keys') and the character a desktop makes of it; keys that type nothing
    // are keyboard.sh's.
    send_key(w, Qt::Key_0, Qt::KeypadModifier, "0");
    send_key(w, Qt::Key_Minus, {}, "-");
    send_key(w, Qt::Key_A, Qt::ControlModifier, QString(QChar(1)));
    const std::vector<std::string> sent{"KeyDown 96 ctrl 0",  "Char 48",
                                        "KeyDown 189 ctrl 0", "Char 45",
                                        "KeyDown 65 ctrl 1",  "Char 1"};
    CHECK(eventually([&] { return typing() == sent; }));
}

// Moves and drags with a window manager are the end-to-end test's
// (window_manager.sh); here, what it cannot show.
void hooks_scenario() {
    const pf::WindowId w = sizable;
    CHECK(eventually([&] { return widget_of(w) != nullptr; }));
    pf::Rect start;
    CHECK(pf::window_rect(w, &start));
    clear_events();

    // A resize from outside to the right: Sizing with the right edge, then Size.
    int32_t cw = 0, ch = 0;
    on_gui([&] { widget_of(w)->resize(340, 200); });
    CHECK(eventually([&] { return seen("Size 340 200"); }));
    const pf::Rect wider{start.left, start.top, start.right + 40, start.bottom};
    CHECK(seen("Sizing " + rect_text(wider) + " edge 2 own " + rect_text(start) + " ctrl 0"));
    CHECK(!seen("Moving") && !seen("Moved"));

    // A hook that refuses the height: the window keeps it.
    keep_height = true;
    clear_events();
    on_gui([&] { widget_of(w)->resize(360, 260); });
    CHECK(eventually([&] { return seen("Size 360 200"); }));
    CHECK(pf::client_size(w, &cw, &ch) && cw == 360 && ch == 200);
    keep_height = false;

    // A move through the platform: Moved, no hook.
    clear_events();
    CHECK(pf::move_window(w, 200, 210));
    CHECK(eventually([] { return seen("Moved 200 210"); }));
    CHECK(!seen("Moving") && !seen("Sizing"));

    // Size limits are the window manager's hints; a fixed window's are its
    // size (window_manager.sh reads them) and stay.
    CHECK(pf::set_client_size_limits(w, 100, 50, 500, 0));
    QSize min, max;
    CHECK(eventually([&] {
        on_gui([&] {
            min = widget_of(w)->minimumSize();
            max = widget_of(w)->maximumSize();
        });
        return min == QSize(100, 50) && max == QSize(500, QWIDGETSIZE_MAX);
    }));
    CHECK(!pf::set_client_size_limits(fixed, 1, 1, 0, 0));
}

void menus_scenario() {
    const pf::WindowId w = plain;
    CHECK(eventually([&] { return widget_of(w) != nullptr; }));
    // The menu is copied when shown: the caller destroys it at once.
    const pf::MenuId menu = pf::create_menu(), sub = pf::create_menu();
    pf::insert_menu_item(sub, 0, pf::kMenuChecked, 1063, u"&Gray");
    pf::insert_menu_item(sub, 0, 0, 1064, u"&RGB");  // inserted before &Gray
    pf::insert_menu_item(menu, 0, 0, 1001, u"&Copy\tCtrl+C");
    pf::insert_menu_separator(menu, 1);
    pf::insert_menu_item(menu, 2, pf::kMenuGrayed, 1002, u"Greyed");
    pf::insert_submenu(menu, sub, 9, u"&Information");  // past the end: appended
    pf::track_popup_menu(menu, w);
    pf::destroy_menu(menu);
    QMenu* shown = nullptr;
    CHECK(eventually([&] {
        on_gui([&] { shown = qobject_cast<QMenu*>(QApplication::activePopupWidget()); });
        return shown != nullptr;
    }));
    QStringList texts;
    on_gui([&] {
        for (QAction* a : shown->actions()) {
            QString t = a->isSeparator() ? "-" : a->text();
            if (!a->isEnabled()) t += "[grey]";
            if (a->menu()) {
                t += "{";
                for (QAction* s : a->menu()->actions())
                    t += s->text() + (s->isChecked() ? "[x]" : "") + ";";
                t += "}";
            }
            texts << t;
        }
    });
    CHECK(texts.join("|") == "&Copy\tCtrl+C|-|Greyed[grey]|&Information{&RGB;&Gray[x];}");
    // A sub-menu's item chosen: the command reaches the owner later.
    on_gui([&] { shown->actions().at(3)->menu()->actions().at(0)->trigger(); });
    CHECK(eventually([] { return seen("Command 1064 control 0"); }));
}

void driver() {
    if (for_a_script()) return;  // an end-to-end script drives these
    run_scenario({{"controls", controls_scenario},
                  {"keys", keys_scenario},
                  {"hooks", hooks_scenario},
                  {"menus", menus_scenario}});
}

}  // namespace

void UserInit() {
    pf::register_window_kind("test_window", test_proc);
    pf::register_window_kind("test_dialog", test_proc, pf::kKindDoubleClicks);
    constexpr uint32_t kSizable = pf::kStyleCaption | pf::kStyleSysMenu;
    plain = make_window("plain", 420, 300, 160, 100, kSizable, false);
    sizable = make_window("sizable", 100, 100, 300, 200, kSizable, false);
    fixed = make_window("fixed", 600, 100, 120, 80, kSizable | pf::kStyleFixedSize, false);
    const pf::WindowId d = make_window("dialog", 20, 400, 200, 120, kSizable, true);
    dialog = d;
    pf::create_control(pf::ControlKind::Static, d, u"Item 0", 4, 7, 80, 24, 0);
    edit0 = pf::create_control(pf::ControlKind::Edit, d, u"", 88, 4, 70, 24, 0);
    edit1 = pf::create_control(pf::ControlKind::Edit, d, u"0", 88, 32, 70, 24, 0);
    button = pf::create_control(pf::ControlKind::Button, d, u"7", 4, 60, 60, 26, 3007);
    if (scenario_name() == "wm") {
        // Where the end-to-end script expects them: a text window and an
        // image window at fixed places.
        KPL_OpenTextWindow(3, 700, 500, 200, 100);
        KPL_CreateImage(4, "placed", 100, 650, 160, 120, 100);
    }
    std::printf("ready\n");
    std::fflush(stdout);
    std::thread(driver).detach();
}

void UserMain() {
    std::printf("started\n");
    std::fflush(stdout);
    const std::string name = scenario_name();
    if (name == "printing") {
        // Prints into a logged text window until stopped.
        KPL_OpenTextWindow(0, 0, 0, 400, 300);
        KPL_StartLog(0);
        for (int i = 0; !kpl_stop; ++i) KPL_Printf("line %d\n", i);
        return;
    }
    if (name == "pause") {
        KPL_OpenTextWindow(0, 0, 0, 400, 300);
        KPL_StartLog(0);
        KPL_Printf("before pause\n");
        KPL_Pause("waiting");
        // Exit has begun: a box asked for now returns at once, unseen.
        KPL_Pause("too late");
        KPL_Printf("after pause\n");
        while (!kpl_stop) KPL_ProcessMessages();
        KPL_Printf("stopped\n");
    }
}
