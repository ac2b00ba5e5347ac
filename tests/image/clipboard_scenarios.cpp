// Clipboard pictures of image windows and the placement tool on the real
// framework.
//
//   clipboard_scenarios pictures    (Qt offscreen) the bytes a copy puts on
//                                   the clipboard, bitmaps of other programs
//                                   read through KPL_GetClipboardBitmap,
//                                   pastes, the main window's paste request
//   clipboard_scenarios placement   (Qt offscreen) the placement tool driven
//                                   by mouse messages: its band, its result
//                                   codes, Stop, and pastes placed with it
//   clipboard_scenarios serve       (Xvfb, tests/e2e/clipboard_paste.sh) a
//                                   source and a target image window; lines
//                                   on standard input: "copy" copies the
//                                   source, "save N FILE" saves image N as a
//                                   PNG, "get" reads the clipboard's picture
//                                   as a user routine does; the end of input
//                                   ends the program
#include <kaplo.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <algorithm>
#include <atomic>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "image/image_store.h"
#include "image/tool_state.h"
#include "platform/clipboard.h"
#include "platform/dib.h"
#include "shell/shell.h"
#include "tests/driver.h"
#include "tests/image/bitmap_bytes.h"

namespace pf = kaplo::platform;

namespace {

using bitmap_bytes::append;
using bitmap_bytes::Bytes;
using bitmap_bytes::header;
using bitmap_bytes::put32;

std::atomic<int> tool_step{0};  // which placement UserMain runs (placement)

// ---------------------------------------------------------------------------
// The clipboard's raw bytes

// Offers `dib` as our packed-bitmap format alone, as another program might.
void offer_dib(const Bytes& dib) {
    on_gui([&] {
        auto* data = new QMimeData;
        data->setData(
            QString::fromLatin1(pf::kDibMimeType),
            QByteArray(reinterpret_cast<const char*>(dib.data()), static_cast<int>(dib.size())));
        QGuiApplication::clipboard()->setMimeData(data);
    });
}

Bytes offered_dib() {
    Bytes out;
    on_gui([&] {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        if (!data) return;
        const QByteArray bytes = data->data(QString::fromLatin1(pf::kDibMimeType));
        out.assign(bytes.begin(), bytes.end());
    });
    return out;
}

// ---------------------------------------------------------------------------
// Images

void fill(int n, uint32_t colour) {
    KPL_SelectImage(n);
    KPL_FillBox(0, 0, 10000, 10000, static_cast<int32_t>(colour), static_cast<int32_t>(colour));
    KPL_SelectPreviousImage();
}

// A picture whose pixels all differ.
uint32_t pattern(int x, int y) {
    return static_cast<uint32_t>((x * 37 + y * 91) * 0x010307 + 0x102030) & 0xFFFFFFu;
}
void draw_pattern(int n) {
    KPL_SelectImage(n);
    const kaplo::ImageWindowRecord& rec = kaplo::image_table[n];
    for (int y = 0; y < rec.height; ++y)
        for (int x = 0; x < rec.width; ++x)
            KPL_SetPixel(x, y,
                         static_cast<int32_t>(pattern(x, y) & (rec.bitDepth == 8 ? 255 : ~0u)));
    KPL_SelectPreviousImage();
}

// ---------------------------------------------------------------------------
// pictures

// A copy of an 8-bit image reads back as its table and indexes (the bytes
// themselves are the bitmap writer's, tested with it); bitmaps of others:
// the table as their count says, and a damaged one refused, pasting nothing.
void copies_and_bitmaps() {
    CHECK(KPL_CreateImage8(1, "indexed", 0, 0, 5, 2, 100) == 0);
    uint32_t table[256], colours[256] = {};
    for (uint32_t i = 0; i < 256; ++i) table[i] = (i * 0x030507u + 0x0A0B0C) & 0xFFFFFF;
    KPL_SetPalette(table, 256);
    draw_pattern(1);
    KPL_CopyImageToClipboard(1);
    KPL_CopyImageToClipboard(256);  // nothing to copy: the clipboard keeps what it held
    int count = -1;
    KPL_FreeClipboardBitmap(KPL_GetClipboardBitmap(colours, &count));
    CHECK(count == 256 && std::equal(table, table + 256, colours));
    CHECK(KPL_CreateImage(2, "reader", 0, 0, 5, 2, 100) == 0);
    KPL_PasteImageAt(2, 0, 0);
    const std::vector<uint32_t> pasted = pixels_of(2);
    for (int i = 0; i < 10; ++i) CHECK(pasted[i] == table[pattern(i % 5, i / 5) & 255]);
    CHECK(KPL_CreateImageBuffer(9, 3, 1, 32) == 0);  // a window-less image has pixels too
    KPL_CopyImageToClipboard(9);
    CHECK(offered_dib().size() == 40 + 12);
    KPL_DestroyImage(9);

    Bytes eight = header(1, 1, 8, 0, 5);
    for (uint32_t i = 0; i < 5; ++i) put32(&eight, i * 0x010101u);
    append(&eight, {4, 0, 0, 0});
    offer_dib(eight);
    KPL_ClipboardPicture* pic = KPL_GetClipboardBitmap(colours, &count);
    int width = 0;
    CHECK(KPL_GetClipboardBitmapSize(pic, &width, nullptr) == 0 && width == 1 && count == 5);
    KPL_FreeClipboardBitmap(pic);
    fill(2, 0x123456);
    offer_dib(header(2, 2, 24));
    CHECK(KPL_GetClipboardBitmap(nullptr, &count) == nullptr && count == 0);
    KPL_PasteImageAt(2, 0, 0);
    CHECK(pixels_of(2) == std::vector<uint32_t>(10, 0x123456));
}

void pastes() {
    // A copy pasted back, clipped at every edge; the current image stays.
    CHECK(KPL_CreateImage(3, "same", 0, 0, 9, 7, 100) == 0);
    draw_pattern(3);
    KPL_CopyImageToClipboard(3);
    KPL_SelectImage(2);
    fill(3, 0);
    KPL_PasteImageAt(3, -4, 5);
    CHECK(kaplo::current_image() == 2);
    std::vector<uint32_t> after = pixels_of(3);
    CHECK(after[5 * 9 + 0] == pattern(4, 0) && after[6 * 9 + 4] == pattern(8, 1));
    CHECK(after[5 * 9 + 5] == 0 && after[4 * 9 + 0] == 0);
    KPL_PasteImageAt(-1, 0, 0);  // a bad number does nothing

    // A 16-colour picture into an 8-bit image: its table first, then its indexes.
    CHECK(KPL_CreateImage8(4, "sixteen", 0, 0, 6, 2, 100) == 0);
    Bytes sixteen = header(4, 1, 4);
    for (uint32_t i = 0; i < 16; ++i) put32(&sixteen, 0x800000u + i * 0x0801u);
    append(&sixteen, {0xF0, 0x7A, 0, 0});
    offer_dib(sixteen);
    KPL_PasteImageAt(4, 1, 1);
    uint32_t table[256];
    KPL_SelectImage(4);
    CHECK(KPL_GetPalette(table) == 0);
    KPL_SelectPreviousImage();
    for (uint32_t i = 0; i < 256; ++i)
        CHECK(table[i] == (i < 16 ? 0x800000u + i * 0x0801u : i * 0x010101u));  // grey ramp after
    CHECK(pixels_of(4) == (std::vector<uint32_t>{0, 0, 0, 0, 0, 0, 0, 15, 0, 7, 10, 0}));
    // A true-colour picture goes to the nearest entries.
    Bytes colour = header(2, 1, 24);
    append(&colour, {0x01, 0x08, 0x81, 0xF0, 0xF0, 0xF0, 0, 0});  // near entry 1, pale grey
    offer_dib(colour);
    KPL_PasteImageAt(4, 0, 0);
    const std::vector<uint32_t> p = pixels_of(4);
    CHECK(p[0] == 1 && p[1] == 0xF0);

    // A clipboard with text only pastes nothing.
    fill(3, 0x00AA00);
    on_gui([] { QGuiApplication::clipboard()->setText(QStringLiteral("words")); });
    KPL_PasteImageAt(3, 0, 0);
    CHECK(pixels_of(3) == std::vector<uint32_t>(63, 0x00AA00));
    CHECK(KPL_GetClipboardBitmapSize(nullptr, nullptr, nullptr) == 1);
}

// Request 9004 from the main thread: a picture read there is drawn at (0, 0)
// of the image the creation request before it has made.
void paste_request() {
    std::vector<uint32_t> words(6 * 4);
    for (int i = 0; i < 24; ++i) words[static_cast<size_t>(i)] = pattern(i % 6, i / 6);
    Bytes dib;
    CHECK(pf::write_dib_rgb(words.data(), 6, 4, 6, &dib) && pf::set_clipboard_picture(dib));
    std::atomic<int> created{-1};
    std::atomic<bool> done{false};
    pf::run_on_gui_thread([&] {
        KPL_ClipboardPicture* pic = KPL_GetClipboardBitmap(nullptr, nullptr);
        int w = 0, h = 0;
        KPL_GetClipboardBitmapSize(pic, &w, &h);
        created = kaplo::post_create_image_request(7, "pasted", w, h, 32);
        kaplo::post_paste_bitmap_request(pic);
        done = true;
    });
    CHECK(eventually([&] { return done.load(); }));
    CHECK(created == 0 && kaplo::image_table[7].width == 6 && kaplo::image_table[7].height == 4);
    CHECK(pixels_of(7) == words);
}

// ---------------------------------------------------------------------------
// placement

constexpr int kToolImage = 5;

// The band over black: the box's outline, and from 9 x 9 on its diagonals
// one pixel inside, inverted. Drawn in a window-less scratch image the size
// of the tool's; the selection is left as it was.
constexpr int kScratch = 200;
std::vector<uint32_t> band(int w, int h, int cx, int cy) {
    const kaplo::detail::Selection saved = kaplo::detail::selection;
    CHECK(KPL_CreateImageBuffer(kScratch, 160, 100, 32) == 0);
    const int left = cx - w / 2, top = cy - h / 2, right = left + w - 1, bottom = top + h - 1;
    KPL_InvertBox(left, top, right, bottom);
    if (w >= 9 && h >= 9) {
        KPL_InvertLine(left + 1, top + 1, right - 1, bottom - 1);
        KPL_InvertLine(right - 1, top + 1, left + 1, bottom - 1);
    }
    std::vector<uint32_t> out = pixels_of(kScratch);
    KPL_DestroyImage(kScratch);
    kaplo::detail::selection = saved;
    return out;
}

// Waits (driver thread) until the placement of step `step` runs in image n.
bool tool_running(int step, int n) {
    return eventually([&] {
        return tool_step.load() == step && on_worker([n] {
                   return kaplo::tool_state.active == 1 && kaplo::tool_state.toolSlot == n;
               });
    });
}

// The pointer moved to (x, y) shows the band of w x h there, and nothing else.
bool band_follows(int x, int y, int w, int h) {
    image_mouse(kToolImage, pf::MsgType::MouseMove, x, y);
    return eventually(
        [&] { return on_worker([&] { return pixels_of(kToolImage) == band(w, h, x, y); }); });
}

// The driver's half: the mouse as a user would move and click it.
void drive_placements() {
    const int n = kToolImage;
    // 1: the band follows the mouse; a left click takes the point.
    CHECK(tool_running(1, n) && says("Click a point"));
    CHECK(band_follows(20, 15, 11, 9) && band_follows(40, 25, 11, 9));
    image_mouse(n, pf::MsgType::LeftDown, 41, 26);
    // 2: a box under 9 high has no diagonals; Stop ends the tool as a
    // cancel does, the band erased.
    CHECK(tool_running(2, n) && band_follows(10, 10, 12, 4));
    main_command(kStop);
    // 3: a paste placed by a click at (10, 10), at zoom 100.
    CHECK(tool_running(3, 6));
    image_click(6, 10, 10);
}

void placements() {
    std::thread(drive_placements).detach();
    const int n = kToolImage;
    CHECK(KPL_CreateImage(n, "tool", 0, 0, 160, 100, 200) == 0);
    CHECK(KPL_CreateImage(6, "paste", 200, 0, 80, 60, 100) == 0);
    char depth[32];
    std::snprintf(depth, sizeof depth, "%d-bit color", kaplo::display_depth());
    const std::string idle = prompt(depth);

    int x = -9, y = -9;
    CHECK(KPL_PickPlacement(9, 5, 5, &x, &y) == 2 && x == -9 && y == -9);

    // Steps 1, 2 (box w x h): the point taken, Stop; each ends idle, the
    // band erased, the tool's image current.
    const int steps[2][5] = {{11, 9, 0, 41, 26}, {12, 4, 1, 0, 0}};
    for (int i = 0; i < 2; ++i) {
        KPL_SelectImage(6);
        tool_step = i + 1;
        CHECK(KPL_PickPlacement(n, steps[i][0], steps[i][1], &x, &y) == steps[i][2] &&
              x == steps[i][3] && y == steps[i][4]);
        CHECK(pixels_of(n) == std::vector<uint32_t>(160 * 100, 0) && kaplo::current_image() == n);
        CHECK(status_text() == idle && kaplo::tool_state.active == 0 &&
              kaplo::tool_state.toolSlot == -1);
    }

    // A 100 x 50 picture placed at (10, 10) has its corner at (-40, -15).
    std::vector<uint32_t> words(100 * 50);
    for (int i = 0; i < 5000; ++i) words[static_cast<size_t>(i)] = pattern(i % 100, i / 100);
    Bytes dib;
    CHECK(pf::write_dib_rgb(words.data(), 100, 50, 100, &dib) && pf::set_clipboard_picture(dib));
    fill(6, 0x0000FF);
    tool_step = 3;
    KPL_PasteImageAt(6, -1, 10);
    std::vector<uint32_t> expected(80 * 60, 0x0000FF);
    for (int yy = 0; yy < 35; ++yy)
        for (int xx = 0; xx < 60; ++xx)
            expected[static_cast<size_t>(yy * 80 + xx)] = pattern(xx + 40, yy + 15);
    CHECK(pixels_of(6) == expected);
}

// ---------------------------------------------------------------------------
// serve

void serve_commands() {
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line == "copy") {
            on_worker([] { return KPL_CopyImageToClipboard(0), 0; });
            std::printf("copied\n");
        } else if (line == "get") {
            const uint32_t t0 = pf::millis();
            const bool got = on_worker([] {
                KPL_ClipboardPicture* p = KPL_GetClipboardBitmap(nullptr, nullptr);
                KPL_FreeClipboardBitmap(p);
                return p != nullptr;
            });
            std::printf("got %s after %u ms\n", got ? "a picture" : "none", pf::millis() - t0);
        } else if (line.rfind("save ", 0) == 0) {
            const int n = line[5] - '0';
            const std::string file = line.substr(7);
            const int code = on_worker([&] {
                KPL_SelectImage(n);
                return KPL_SaveImage(3, file.c_str(), kaplo::image_table[n].width,
                                     kaplo::image_table[n].height);
            });
            std::printf("saved %s %d\n", file.c_str(), code);
        }
        std::fflush(stdout);
    }
    exit_program();
}

void serve() {
    // The source: colours that survive every format; the target: black.
    CHECK(KPL_CreateImage(0, "source", 0, 0, 7, 5, 100) == 0);
    draw_pattern(0);
    KPL_UpdateImage(0);
    CHECK(KPL_CreateImage(1, "target", 100, 100, 200, 150, 100) == 0);
    KPL_UpdateImage(1);
    std::printf("ready\n");
    std::fflush(stdout);
    std::thread(serve_commands).detach();
}

void pictures() {
    copies_and_bitmaps();
    pastes();
}

}  // namespace

void UserInit() {
    make_probe_window();
    const std::string name = scenario_name();
    if (name == "serve") return serve();
    std::thread([name] {
        if (name == "pictures") paste_request();  // before the run: requests wait for idle
        start_run();
    }).detach();
}

void UserMain() {
    run_scenario({{"pictures", pictures}, {"placement", placements}});
}
