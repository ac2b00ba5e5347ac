// The window information report with the real framework (Qt offscreen):
// what it prints, what it puts on the clipboard, and the colours it leaves.
// The "layout" scenario also leaves generated.inc (the clipboard's source
// lines) and layout.txt (the layout they must re-create) in its folder for
// the round-trip test, which builds a program from them.
#include <kaplo_boxes.h>

#include "tests/driver.h"
#include "tests/shell/layout_dump.h"

namespace pf = kaplo::platform;

namespace {

std::string clipboard_text() {
    std::u16string text;
    if (pf::clipboard_unicode_text(&text) != pf::ClipboardRead::Found) return "";
    return pf::wide_to_ansi(text, SIZE_MAX);
}

// Asks for the report through `ask` and waits for its source on the clipboard.
template <class Ask>
std::string report_source(Ask ask) {
    CHECK(pf::set_clipboard_ansi_text("nothing yet"));
    ask();
    CHECK(eventually([] { return clipboard_text().rfind("\t// KAPLO", 0) == 0; }));
    return clipboard_text();
}

std::string log_of(int window) {
    return read_file("KAPLO" + std::to_string(kaplo::instance_number()) + std::to_string(window) +
                     ".LOG");
}

// Compares whole texts and shows the one received when they differ.
void same(const std::string& got, const std::string& expected, int line) {
    if (got == expected) return;
    std::printf("FAIL line %d: got\n%s\nexpected\n%s\n", line, got.c_str(), expected.c_str());
    failures++;
}

constexpr const char* kStars = "**********************************\n";
constexpr const char* kSaved = "クリップボードにレイアウト作成ソースリストを保存しました．\n";

// Text window 0 alone (a window-less image is no part of the layout), the
// report asked for with Ctrl+W in the text window itself.
void alone() {
    // The source's and the log's lines are the layout scenario's; here, the
    // window-less image is left out.
    const std::string source = report_source(
        [] { pf::post_key(on_worker([] { return kaplo::text_table[0].window; }), 'W', true); });
    CHECK(source.find("Image") == std::string::npos);
    // Output goes on in the colours the window had before the report (the
    // worker may still be finishing it: printing pumps messages).
    CHECK(eventually([] {
        return on_worker([] {
            const kaplo::TextWindowRecord& r = kaplo::text_table[0];
            return r.text_color == 0x123456 && r.back_color == 0x654321;
        });
    }));
}

void layout() {
    const std::string before = on_worker([] { return window_layout(); });
    const std::string source =
        report_source([] { pf::post_command(kaplo::main_window(), kaplo::kWindowInfoCommand); });
    same(source,
         "\t// KAPLO --- Automatic Source Generator\n"
         "\t// [Image Window]\n"
         "\tKPL_CreateImage(0,\"plain\",10,20,200,150,100);\n"
         "\tKPL_CreateImageFL(2,\"a\\\"b\\\\c.png\",100,40,80,60,200);\n"
         "\tKPL_CreateImage8(5,\"eight\",300,50,160,120,100);\n"
         "\tKPL_CreateImage8FL(7,\"eight FL\",400,60,40,20,150);\n"
         "\t// [Text Window]\n"
         "\tKPL_OpenTextWindow(0,500,300,200,100);\n"
         "\tKPL_OpenTextWindow(3,530,440,160,120);\n"
         "\t// [Input Box]\n"
         "\tKPL_OpenInputBox(20,400,3);\n"
         "\tKPL_ResizeInputBox(100,60);\n"
         "\tKPL_SetInputBoxTitle(0,\"say \\\"hi\\\"\");\n"
         "\tKPL_SetInputBoxTitle(1,\"C:\\\\dir\\\\\");\n"
         "\tKPL_SetInputBoxTitle(2,\"Item 2\");\n"
         "\t// [Button Box]\n"
         "\tKPL_OpenButtonBox(250,400,2,2);\n"
         "\tKPL_ResizeButtonBox(200,100);\n"
         "\tKPL_SetButtonBoxTitle(0,\"0\");\n"
         "\tKPL_SetButtonBoxTitle(1,\"Go\\nNow\");\n"
         "\tKPL_SetButtonBoxTitle(2,\"\\\"q\\\"\");\n"
         "\tKPL_SetButtonBoxTitle(3,\"3\");\n"
         "\tKPL_SetForeground(KPLMAINWINDOW);\n",
         __LINE__);
    CHECK(eventually([] { return log_of(0).find(kSaved) != std::string::npos; }));
    same(log_of(0),
         std::string("******* Window information *******\n") +
             "[Image Window]\n"
             " 0 32 1  'plain' X:10 Y:20 W:200 H:150 ZM:100%\n"
             " 2 32 0  'a\"b\\c.png' X:100 Y:40 W:80 H:60 ZM:200%\n"
             " 5 8 1  'eight' X:300 Y:50 W:160 H:120 ZM:100%\n"
             " 7 8 0  'eight FL' X:400 Y:60 W:40 H:20 ZM:150%\n"
             "[Text Window]\n"
             " 0 X:500 Y:300 W:200 H:100\n"
             " 3 X:530 Y:440 W:160 H:120\n"
             "[Input Box]\n"
             " X:20 Y:400 ITEM:3 ISIZE:100 ESIZE:60\n"
             "[Button Box]\n"
             " X:250 Y:400 NX:2 NY:2 SIZE:200x100\n" +
             kStars + kSaved,
         __LINE__);
    std::ofstream("generated.inc") << source;
    std::ofstream("layout.txt") << before;
}

void driver() {
    CHECK(eventually([] { return probe_window.load() != 0; }));
    run_scenario({{"alone", alone}, {"layout", layout}});
}

}  // namespace

void UserInit() {
    make_probe_window();
    if (scenario_name() == "alone") {
        KPL_OpenTextWindow(0, 672, 0, 152, 469);
        KPL_CreateImageBuffer(3, 10, 10, 32);
        KPL_StartLog(0);
        KPL_Printf("before\n");
        KPL_PushTextColor(0x123456, 0x654321);
    } else {
        KPL_CreateImage(0, "plain", 10, 20, 200, 150, 100);
        KPL_CreateImageFL(2, "a\"b\\c.png", 100, 40, 80, 60, 200);
        KPL_CreateImage8(5, "eight", 300, 50, 160, 120, 100);
        KPL_CreateImage8FL(7, "eight FL", 400, 60, 40, 20, 150);
        KPL_OpenTextWindow(0, 500, 300, 200, 100);
        KPL_OpenTextWindow(3, 520, 420, 160, 120);
        KPL_OpenInputBox(20, 400, 3);
        KPL_ResizeInputBox(100, 60);
        KPL_SetInputBoxTitle(0, "say \"hi\"");
        KPL_SetInputBoxTitle(1, "C:\\dir\\");
        KPL_OpenButtonBox(250, 400, 2, 2);
        KPL_SetButtonBoxTitle(1, "Go\nNow");
        KPL_SetButtonBoxTitle(2, "\"q\"");
        KPL_ResizeButtonBox(200, 100);
        // Moved by hand after it was made: the report gives where it is now.
        pf::Rect r;
        pf::window_rect(kaplo::text_table[3].window, &r);
        pf::set_window_rect(kaplo::text_table[3].window,
                            pf::Rect{530, 440, 530 + r.width(), 440 + r.height()});
        KPL_SelectTextWindow(0);
        KPL_StartLog(0);
    }
    std::thread(driver).detach();
}

void UserMain() {}
