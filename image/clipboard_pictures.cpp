// Clipboard pictures of image windows: copying an image as a packed bitmap,
// reading the clipboard's picture, and drawing it into an image.
//
// Sections:
//   1. Helpers
//   2. Copy
//   3. Pictures read from the clipboard
//   4. Paste
//
// Threads: copy and paste on the worker thread, like every call on the image
// store; a picture may be read (and freed) on any thread, so that the main
// window can read one and hand it to the worker with a request.

#include <memory>
#include <utility>
#include <vector>

#include "image/clipboard_pictures.h"
#include "image/image_files.h"
#include "image/image_store.h"
#include "kaplo.h"
#include "platform/clipboard.h"
#include "platform/dib.h"
#include "platform/platform.h"
#include "runtime/guarded.h"

namespace pf = kaplo::platform;

// The decoded picture: indexed pictures keep their indexes and colour table.
struct KPL_ClipboardPicture {
    pf::Picture picture;
};

namespace kaplo {
namespace {

// ---------------------------------------------------------------------------
// 1. Helpers

// The image as a packed bitmap; false (with `dib` empty) when memory runs out.
bool write_image_dib(int number, std::vector<uint8_t>* dib) {
    const ImageWindowRecord& rec = image_table[number];
    if (rec.bitDepth == 32)
        return pf::write_dib_rgb(pixels32[number], rec.width, rec.height, rec.width, dib);
    return pf::write_dib_indexed(pixels8[number], rec.width, rec.height, image_stride(rec.width, 8),
                                 rec.colours, dib);
}

// Draws `pic` into image `number` with its top-left corner at (x, y) and
// repaints its window; the current image is left as it was.
void draw_into(int number, const pf::Picture& pic, int x, int y) {
    if (!image_live(number)) return;
    const detail::Selection saved = detail::selection;
    detail::selection.view = &detail::image_views[number];
    guarded([&] { load_picture(pic, x, y); });
    detail::selection = saved;
    if (image_table[number].window)
        guarded([number] { pf::invalidate(image_table[number].window); });
}

struct PictureFree {
    void operator()(KPL_ClipboardPicture* p) const { KPL_FreeClipboardBitmap(p); }
};
using PictureHolder = std::unique_ptr<KPL_ClipboardPicture, PictureFree>;

}  // namespace
}  // namespace kaplo

// ---------------------------------------------------------------------------
// 2. Copy

void KPL_CopyImageToClipboard(int number) {
    using namespace kaplo;
    if (!image_live(number)) return;
    std::vector<uint8_t> dib;
    if (guarded(false, [&] { return write_image_dib(number, &dib); }) &&
        pf::set_clipboard_picture(std::move(dib)))
        return;
    // What the clipboard held before is not this image: it goes, so that a
    // paste cannot take it for the copy.
    pf::clear_clipboard();
    KPL_Pause("No enough memory for copy");
}

// ---------------------------------------------------------------------------
// 3. Pictures read from the clipboard

namespace kaplo {
namespace {

KPL_ClipboardPicture* read_clipboard(uint32_t* colours, int* count, pf::DecodeStatus* status) {
    if (count) *count = 0;
    *status = pf::DecodeStatus::NoMemory;
    return guarded<KPL_ClipboardPicture*>(nullptr, [&]() -> KPL_ClipboardPicture* {
        auto pic = std::make_unique<KPL_ClipboardPicture>();
        const pf::DecodeLimits limits{kMaxImageSide, kMaxImageBytes};
        *status = pf::clipboard_picture(limits, &pic->picture);
        if (*status != pf::DecodeStatus::Ok) return nullptr;
        // Only pictures of 8 bits or fewer come back with a table.
        const std::vector<uint32_t>& table = pic->picture.colours;
        const size_t entries = table.size() < 256 ? table.size() : 256;
        if (colours)
            for (size_t i = 0; i < entries; ++i) colours[i] = table[i] & 0x00FFFFFFu;
        if (count) *count = static_cast<int>(entries);
        return pic.release();
    });
}

}  // namespace

KPL_ClipboardPicture* clipboard_picture_for_paste() {
    pf::DecodeStatus status;
    KPL_ClipboardPicture* picture = read_clipboard(nullptr, nullptr, &status);
    if (status == pf::DecodeStatus::NoAnswer) KPL_Pause(pf::kClipboardNoAnswer);
    return picture;
}

}  // namespace kaplo

KPL_ClipboardPicture* KPL_GetClipboardBitmap(uint32_t* colours, int* count) {
    pf::DecodeStatus status;
    return kaplo::read_clipboard(colours, count, &status);
}

int KPL_GetClipboardBitmapSize(const KPL_ClipboardPicture* picture, int* width, int* height) {
    if (!picture) return 1;
    if (width) *width = picture->picture.width;
    if (height) *height = picture->picture.height;
    return 0;
}

void KPL_FreeClipboardBitmap(KPL_ClipboardPicture* picture) {
    delete picture;
}

void KPL_BlitPendingBitmap(KPL_ClipboardPicture* picture) {
    const kaplo::PictureHolder held(picture);
    if (held) kaplo::draw_into(kaplo::current_image(), held->picture, 0, 0);
}

// ---------------------------------------------------------------------------
// 4. Paste

void KPL_PasteImageAt(int number, int x, int y) {
    using namespace kaplo;
    if (!image_live(number)) return;
    guarded([&] {
        const PictureHolder held(clipboard_picture_for_paste());
        if (!held) return;
        const int32_t w = held->picture.width, h = held->picture.height;
        if (x == -1 || y == -1) {
            int px = 0, py = 0;
            if (KPL_PickPlacement(number, w, h, &px, &py) != 0) return;
            x = px - w / 2;
            y = py - h / 2;
        }
        draw_into(number, held->picture, x, y);
    });
}
