// Clipboard pictures on the real Qt platform.
//
//   clipboard_pictures offscreen    copy and paste within the process (Qt's
//                                   offscreen platform; copies from the
//                                   worker and pictures of other programs:
//                                   tests/image/clipboard_scenarios)
//   clipboard_pictures copy         copies a 7 x 5 picture, saves it as
//                                   expected.png, prints "copied" and keeps
//                                   the clipboard until standard input closes
//   clipboard_pictures paste FILE   saves the clipboard's picture as PNG (and
//                                   says whether read_bmp_file reads its BMP)
//
// The last two serve tests/e2e/clipboard_pictures.sh, where other programs
// (xclip) read and write the X11 clipboard.

#include <unistd.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/clipboard.h"
#include "platform/dib.h"
#include "platform/platform.h"
#include "tests/scenario.h"

namespace {

namespace pf = kaplo::platform;
using Bytes = std::vector<uint8_t>;

constexpr pf::DecodeLimits kLimits{4096, 1 << 26};
constexpr int kWidth = 7, kHeight = 5;

// A picture whose pixels all differ, 0x00RRGGBB.
std::vector<uint32_t> test_pixels(int width, int height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width * height));
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint32_t>(i * 0x2F1B07u + 0x103050u) & 0xFFFFFFu;
    return pixels;
}

Bytes rgb_dib(const std::vector<uint32_t>& pixels, int width, int height) {
    Bytes dib;
    CHECK(pf::write_dib_rgb(pixels.data(), width, height, width, &dib));
    return dib;
}

QByteArray offered(const char* format) {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data ? data->data(QString::fromLatin1(format)) : QByteArray();
}

bool same_bytes(const QByteArray& a, const Bytes& b) {
    return static_cast<size_t>(a.size()) == b.size() &&
           std::memcmp(a.constData(), b.data(), b.size()) == 0;
}

bool is_opaque(const pf::Picture& pic, const std::vector<uint32_t>& pixels) {
    if (pic.indexed || pic.argb.size() != pixels.size()) return false;
    for (size_t i = 0; i < pixels.size(); ++i)
        if (pic.argb[i] != (pixels[i] | 0xFF000000u)) return false;
    return true;
}

// A copy offers the bitmap as written (its BMP file and PNG are read by
// another program in the e2e test); a paste gives the pixels back.
void copy_and_paste_rgb() {
    const std::vector<uint32_t> pixels = test_pixels(kWidth, kHeight);
    const Bytes dib = rgb_dib(pixels, kWidth, kHeight);
    CHECK(pf::set_clipboard_picture(dib));
    CHECK(same_bytes(offered(pf::kDibMimeType), dib));
    pf::Picture pic;
    CHECK(pf::clipboard_picture(kLimits, &pic) == pf::DecodeStatus::Ok);
    CHECK(pic.width == kWidth && pic.height == kHeight && is_opaque(pic, pixels));
    CHECK(pf::clipboard_picture(pf::DecodeLimits{3, 1 << 20}, &pic) == pf::DecodeStatus::TooLarge);
    CHECK(pic.width == 0 && pic.argb.empty());
    CHECK(!pf::set_clipboard_picture(Bytes(60, 0x7f)));  // not a bitmap: nothing changes
    CHECK(same_bytes(offered(pf::kDibMimeType), dib));
}

int offscreen() {
    copy_and_paste_rgb();
    report_result();
    return failures == 0 ? 0 : 1;
}

// Keeps the clipboard (which on X11 lives in this process) until the test
// closes standard input.
int copy() {
    const std::vector<uint32_t> pixels = test_pixels(kWidth, kHeight);
    pf::EncodeSource src;
    src.width = kWidth;
    src.height = kHeight;
    src.rgb = pixels.data();
    if (!pf::encode_picture("expected.png", pf::PictureFormat::Png, src, 100) ||
        !pf::set_clipboard_picture(rgb_dib(pixels, kWidth, kHeight)))
        return 1;
    std::printf("copied\n");
    std::fflush(stdout);
    std::thread holder([] {
        char c;
        while (read(0, &c, 1) > 0) {
        }
        pf::quit_main_loop();
    });
    pf::run_main_loop();
    holder.join();
    return 0;
}

int paste(const char* file) {
    pf::Picture pic;
    const pf::DecodeStatus status = pf::clipboard_picture(kLimits, &pic);
    if (status != pf::DecodeStatus::Ok) {
        std::printf("no picture (status %d)\n", static_cast<int>(status));
        return 1;
    }
    pf::EncodeSource src;
    src.width = pic.width;
    src.height = pic.height;
    std::vector<uint32_t> table(256, 0);
    if (pic.indexed) {
        std::copy(pic.colours.begin(), pic.colours.end(), table.begin());
        src.indexes = pic.indexes.data();
        src.index_stride = pic.width;
        src.colours = table.data();
    } else {
        src.rgb = pic.argb.data();
    }
    std::printf("pasted %d x %d\n", pic.width, pic.height);
    // Qt's own BMP reader would stand in for ours: say whether ours read it.
    const QByteArray bmp = offered("image/bmp");
    pf::Picture ours;
    if (!bmp.isEmpty() &&
        pf::read_bmp_file(reinterpret_cast<const uint8_t*>(bmp.constData()),
                          static_cast<size_t>(bmp.size()), kLimits, &ours) == pf::DecodeStatus::Ok)
        std::printf("the BMP file was read by read_bmp_file\n");
    return pf::encode_picture(file, pf::PictureFormat::Png, src, 100) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    std::string why;
    if (!pf::init(argc, argv, "clipboard_pictures", &why)) {
        std::printf("%s\n", why.c_str());
        return 1;
    }
    int rc = 2;
    if (mode == "offscreen") rc = offscreen();
    if (mode == "copy") rc = copy();
    if (mode == "paste" && argc > 2) rc = paste(argv[2]);
    pf::shutdown();
    return rc;
}
