// Windows made from the main window with the real framework (Qt offscreen):
// the image window and text window dialogues answered through the line
// input, Paste, and files dropped on the main window. Image 9, made at
// start, is the current image throughout: no creation may change that.
#include <vector>

#include "boxes/boxes.h"
#include "platform/clipboard.h"
#include "platform/dib.h"
#include "shell/shell.h"
#include "tests/driver.h"

namespace pf = kaplo::platform;

namespace {

constexpr int kKept = 9;  // the current image

struct Image {
    bool used = false;
    int width = 0, height = 0, depth = 0, current = -1;
    std::string title;  // as shown, without the zoom that follows it
    std::vector<uint32_t> pixels;
};

Image image(int n) {
    return on_worker([n] {
        Image r;
        const kaplo::ImageWindowRecord& rec = kaplo::image_table[n];
        r.current = kaplo::current_image();
        r.used = rec.used != 0 && pf::is_window(rec.window);
        if (!r.used) return r;
        r.width = rec.width;
        r.height = rec.height;
        r.depth = rec.bitDepth;
        r.title = caption_of(rec.window);
        r.title.erase(r.title.rfind('('));
        if (rec.bitDepth == 32)
            r.pixels.assign(kaplo::pixels32[n], kaplo::pixels32[n] + rec.width * rec.height);
        return r;
    });
}

// Answers the line input waiting in text window 0 and waits until the line
// has been taken (Enter moves the cursor to the next row): an answer typed
// ahead could reach the window between two prompts, where no input takes it.
void answer_line(const std::u16string& line) {
    // The dialogues read on the GUI thread, which writes the cursor.
    const auto row = [] {
        int32_t y = 0;
        on_gui([&] { y = kaplo::text_table[0].cursor.y; });
        return y;
    };
    CHECK(eventually([] { return kaplo::g_input_active.load() == 1; }));
    const int32_t before = row();
    post_chars(kaplo::text_table[0].window, line + u"\r");
    CHECK(eventually([&] { return row() > before; }));
}

void dialogues() {
    main_command(1027);  // opens text window 0 and asks there
    for (const char16_t* line : {u"120", u"80", u"32"}) answer_line(line);
    CHECK(eventually([] { return image(0).used; }));
    const Image made = image(0);
    // The new image becomes the current one.
    CHECK(made.width == 120 && made.height == 80 && made.depth == 32 && made.title == "000" &&
          made.current == 0);
    main_command(1028);  // the next text window: 1
    CHECK(eventually([] { return kaplo::text_table[1].used.load(); }));
}

// The box dialogues ask in text window 0 and hand the answers on (the
// input box's asks one number the same way).
void box_dialogues() {
    main_command(1051);
    for (const char16_t* line : {u"2", u"3"}) answer_line(line);
    CHECK(eventually([] {
        return on_worker([] {
                   int columns = 0, rows = 0;
                   kaplo::button_box_grid(&columns, &rows);
                   return columns * 10 + rows;
               }) == 23;
    }));
}

// What a drop loads and how many windows it makes are file_drops.sh's; that
// a new image leaves the current one, paste's. Here, a long name's cut.
void drops() {
    // A long name is cut at a whole character: 127 two-byte characters
    // leave room for 125 after "003 ".
    std::string long_name;
    for (int i = 0; i < 127; ++i) long_name += "\xC3\xA9";
    std::string cut = "003 ";
    for (int i = 0; i < 125; ++i) cut += "\xC3\xA9";
    CHECK(kaplo::drop_title(3, long_name) == cut);
}

void paste() {
    std::vector<uint32_t> words(100 * 50);
    for (size_t i = 0; i < words.size(); ++i) words[i] = (0x70707u + i * 37) & 0xFFFFFF;
    std::vector<uint8_t> dib;
    CHECK(pf::write_dib_rgb(words.data(), 100, 50, 100, &dib) &&
          pf::set_clipboard_picture(std::move(dib)));
    main_command(1026);
    CHECK(eventually([&] { return image(0).pixels == words; }));
    const Image got = image(0);
    CHECK(got.width == 100 && got.height == 50 && got.title == "000" && got.current == kKept);
}

void driver() {
    CHECK(eventually([] { return probe_window.load() != 0 && image(kKept).current == kKept; }));
    run_scenario({{"dialogues", dialogues},
                  {"box_dialogues", box_dialogues},
                  {"drops", drops},
                  {"paste", paste}});
}

}  // namespace

void UserInit() {
    make_probe_window();
    KPL_CreateImageWindow(kKept, "kept", 600, 0, 40, 30, 100, 32);
    std::thread(driver).detach();
}

void UserMain() {}
