// The input box and the button box on the real framework (Qt offscreen):
// layouts, sizes set by the calls, renames through the line input, the
// menus; what real keys and the mouse do is the end-to-end tests'.
//
// Everything runs in UserMain on the worker thread, which owns the boxes:
// messages posted to them are handled when it pumps.
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <algorithm>

#include "boxes/boxes.h"
#include "platform/keys.h"
#include "platform/window_table.h"
#include "tests/driver.h"
#include "text/log_file.h"

namespace pf = kaplo::platform;

namespace {

template <class F>
bool pumped_until(F cond) {
    return eventually([&] {
        KPL_ProcessMessages();
        return cond();
    });
}

QWidget* widget_of(pf::WindowId id) {
    QWidget* w = nullptr;
    on_gui([&] {
        auto rec = pf::detail::find_record(id);
        w = rec ? rec->widget.data() : nullptr;
    });
    return w;
}

// The controls of a box in creation order: labels and edits alternate in the
// input box, buttons in the button box.
std::vector<pf::WindowId> controls(pf::WindowId box) {
    std::vector<pf::WindowId> out;
    on_gui([&] {
        for (QObject* o : widget_of(box)->findChildren<QWidget*>()) {
            for (pf::WindowId id = box + 1; id < box + 400; ++id) {
                auto rec = pf::detail::find_record(id);
                if (rec && rec->widget.data() == o) out.push_back(id);
            }
        }
    });
    std::sort(out.begin(), out.end());
    return out;
}

pf::Rect rect_of(pf::WindowId control) {
    pf::Rect r;
    pf::window_rect(control, &r);
    return r;
}

bool client_is(pf::WindowId w, int width, int height) {
    int cw = 0, ch = 0;
    return pf::client_size(w, &cw, &ch) && cw == width && ch == height;
}

// Right-clicks the box at (x, y), reads the menu shown ("|"-separated), and
// chooses `choose` if given.
std::string popup(pf::WindowId box, int x, int y, const std::string& choose = {}) {
    post_mouse(box, pf::MsgType::RightDown, x, y);
    std::string shown;
    pumped_until([&] {
        on_gui([&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            for (QAction* a : menu->actions()) {
                if (!shown.empty()) shown += '|';
                shown += a->text().toStdString();
                if (a->text().toStdString() == choose) a->trigger();
            }
            menu->close();
        });
        return !shown.empty();
    });
    return shown;
}

void input_scenario() {
    // Clamping, and one box at a time.
    KPL_OpenInputBox(0, 0, 0);
    pf::WindowId box = kaplo::input_box_window();
    CHECK(box != 0 && client_is(box, 162, 30));
    KPL_CloseInputBox();
    CHECK(kaplo::input_box_window() == 0 && !pf::is_window(box));
    KPL_OpenInputBox(10, 10, 45);
    CHECK(client_is(kaplo::input_box_window(), 162, 28 * 30 + 2));
    KPL_CloseInputBox();

    // A fresh box of three: labels, "0" everywhere, the layout.
    KPL_OpenInputBox(20, 20, 3);
    box = kaplo::input_box_window();
    CHECK(KPL_SetForeground(KPLINPUTBOX) == 0);
    const std::vector<pf::WindowId> c = controls(box);
    CHECK(c.size() == 6);
    if (c.size() != 6) return;
    const pf::WindowId label[3] = {c[0], c[2], c[4]}, edit[3] = {c[1], c[3], c[5]};
    CHECK(caption_of(label[1]) == "Item 1" && caption_of(edit[1]) == "0");
    CHECK(std::string(KPL_GetInputText(2)) == "0");
    CHECK((rect_of(label[1]) == pf::Rect{4, 35, 84, 59}));
    CHECK((rect_of(edit[2]) == pf::Rect{88, 60, 158, 84}));
    CHECK(std::string(KPL_GetInputText(3)).empty() && KPL_GetInputInt(-1) == 0);

    // Typing, its commits and resizes with the mouse are the end-to-end
    // test's (input_box.sh); here, the call.
    KPL_ResizeInputBox(110, 108);
    CHECK(pumped_until([&] { return client_is(box, 230, 86); }));
    CHECK((rect_of(edit[1]) == pf::Rect{118, 32, 226, 56}));
    // A rename by a double click; the call's renames are window_info's.
    KPL_OpenTextWindow(0, 400, 0, 300, 200);
    CHECK(KPL_StartLog(0) == 0);
    std::thread typist = answer(u"Width\r");
    post_mouse(box, pf::MsgType::LeftDoubleClick, 10, 60);
    CHECK(pumped_until([&] { return caption_of(label[2]) == "Width"; }));
    typist.join();
    CHECK(caption_of(label[0]) == "Item 0" && caption_of(label[2]) == "Width");
    KPL_StopLog(0);
    const std::string log = read_file(kaplo::log_file_name(0));
    CHECK(log.find("2 'Item 2' ->") != std::string::npos);

    // "Destroy" closes the box; the widths stay for the next one.
    KPL_ResizeInputBox(60, 90);
    CHECK(popup(box, 10, 10, "Destroy") == "Rename|Destroy");
    CHECK(pumped_until([] { return kaplo::input_box_window() == 0; }));
    CHECK(std::string(KPL_GetInputText(0)).empty() && KPL_GetInputDouble(0) == 0.0);
    CHECK(KPL_SetForeground(KPLINPUTBOX) == 1);
    KPL_OpenInputBox(0, 0, 1);
    CHECK(client_is(kaplo::input_box_window(), 162, 30));
    KPL_CloseInputBox();
    KPL_ResizeInputBox(80, 70);
}

void button_scenario() {
    KPL_OpenButtonBox(0, 0, 17, 16);
    CHECK(kaplo::button_box_window() == 0);
    KPL_OpenButtonBox(0, 0, 16, 16);
    CHECK(kaplo::button_box_window() != 0 && controls(kaplo::button_box_window()).size() == 256);
    KPL_CloseButtonBox();

    // A fresh 3 x 2 box.
    KPL_OpenButtonBox(30, 30, 3, 2);
    const pf::WindowId box = kaplo::button_box_window();
    CHECK(client_is(box, 310, 64) && KPL_SetForeground(KPLBUTTONBOX) == 0);
    const std::vector<pf::WindowId> b = controls(box);
    CHECK(b.size() == 6);
    if (b.size() != 6) return;
    for (int i = 0; i < 6; ++i) CHECK(caption_of(b[i]) == std::to_string(i));
    CHECK((rect_of(b[4]) == pf::Rect{106, 34, 204, 60}));

    // Clicks, keys, resizes with the mouse and Ctrl+Q are the end-to-end
    // test's (button_box.sh); here, a key of a button that does not exist
    // counts, one with Ctrl does not.
    QWidget* four = widget_of(b[4]);
    on_gui([&] { static_cast<QPushButton*>(four)->click(); });
    pf::post_key(box, '4', true);
    pf::post_key(box, '7');
    CHECK(pumped_until([] { return KPL_GetButtonCount(7) == 1; }));
    CHECK(KPL_GetButtonCount(4) == 1);
    KPL_ResetButtonCount(7);
    CHECK(KPL_GetButtonCount(7) == 0 && KPL_GetButtonCount(999) == 0);

    // Renames through the menu (which presses nothing).
    KPL_OpenTextWindow(0, 400, 0, 300, 200);
    std::thread typist = answer(u"two\\nlines\r");
    CHECK(popup(box, 300, 62, "Rename") == "Rename|&Destroy\tCtrl+Q");
    CHECK(pumped_until([&] { return caption_of(b[5]) == "two\nlines"; }));
    typist.join();
    CHECK(KPL_GetButtonCount(5) == 0 && KPL_GetButtonCount(4) == 1);

    // Resizing changes the buttons.
    KPL_CloseButtonBox();
    KPL_OpenButtonBox(0, 0, 2, 2);
    const pf::WindowId box2 = kaplo::button_box_window();
    KPL_ResizeButtonBox(200, 100);
    const std::vector<pf::WindowId> b2 = controls(box2);
    CHECK(b2.size() == 4 && (rect_of(b2[3]) == pf::Rect{102, 52, 196, 96}));
    KPL_CloseButtonBox();
    CHECK(KPL_GetButtonCount(4) == 1);  // the counters stay readable
    CHECK(KPL_SetForeground(KPLBUTTONBOX) == 1);
    KPL_OpenButtonBox(0, 0, 1, 1);
    CHECK(client_is(kaplo::button_box_window(), 102, 52));
    CHECK(popup(kaplo::button_box_window(), 1, 1, "&Destroy\tCtrl+Q").size() > 0);
    CHECK(pumped_until([] { return kaplo::button_box_window() == 0; }));
}

}  // namespace

void UserInit() {
    start_run();
}

void UserMain() {
    run_scenario({{"input", input_scenario}, {"buttons", button_scenario}});
}
