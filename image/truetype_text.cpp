// TrueType text in image pixels: the font state, the control codes, UTF-8
// walking, and applying the platform's coverage masks to 32-bit and 8-bit
// buffers. The masks are strictly ink or nothing, so a pixel is either the
// text colour or left as it was; the background is never painted.

#include "image/truetype_text.h"

#include <algorithm>

#include "image/image_store.h"
#include "kaplo.h"
#include "platform/nearest_colour.h"
#include "runtime/guarded.h"

namespace kaplo {

TrueTypeState& truetype_state() {
    static TrueTypeState state{platform::FontDescription{u"IPAGothic", 16, 8, 400, false, false}, 8,
                               16};
    return state;
}

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool is_scalar(int code) {
    return code >= 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
}

// The current image as text ink goes into it: a pixel in the text colour
// (8-bit images: the colour-table entry nearest to it), clipped.
class Ink {
  public:
    Ink() : n_(current_image()) {
        if (!image_live(n_)) return;
        const ImageWindowRecord& rec = image_table[n_];
        width_ = rec.width;
        height_ = rec.height;
        stride_ = image_stride(width_, rec.bitDepth);
        deep_ = rec.bitDepth == 32;
        value_ = kpl_tttc & 0x00FFFFFFu;
        if (!deep_) value_ = platform::NearestColour(rec.colours, 256)(value_);
    }
    void put(int64_t x, int64_t y) const {
        if (x < 0 || x >= width_ || y < 0 || y >= height_) return;
        if (deep_)
            pixels32[n_][y * width_ + x] = value_;
        else
            pixels8[n_][y * stride_ + x] = static_cast<uint8_t>(value_);
    }

  private:
    int n_;
    int64_t width_ = 0, height_ = 0, stride_ = 0;  // 0 x 0 when no image is live
    bool deep_ = true;
    uint32_t value_ = 0;
};

// Writes the mask's ink into the current image, with the mask placed at
// (x, top) as render_glyph describes it, and its underline in the cell of
// `cell_height` rows from `top`: where the face puts it, but never below the
// cell's bottom row (the baseline), under the whole advance.
void apply_mask(const platform::GlyphMask& mask, int64_t x, int64_t top, int32_t cell_height) {
    const Ink ink;
    for (int32_t my = 0; my < mask.height; ++my) {
        const uint8_t* row = mask.covered.data() + static_cast<size_t>(my) * mask.width;
        for (int32_t mx = 0; mx < mask.width; ++mx)
            if (row[mx]) ink.put(x + mask.left + mx, top + mask.top + my);
    }
    if (mask.underline_rows <= 0 || cell_height <= 0) return;
    const int32_t rows = std::min(mask.underline_rows, cell_height);
    const int64_t first = top + std::clamp(mask.underline_top, 0, cell_height - rows);
    for (int64_t y = first; y < first + rows; ++y)
        for (int32_t dx = 0; dx < mask.advance; ++dx) ink.put(x + dx, y);
}

void control_code(int code) {
    TrueTypeState& s = truetype_state();
    switch (code) {
        case 1:
            s.font.italic = true;
            return;
        case 2:
            s.font.italic = false;
            return;
        case 3:
            s.font.weight = 700;
            return;
        case 4:
            s.font.weight = 400;
            return;
        case 5:
            s.font.underline = true;
            return;
        case 6:
            s.font.underline = false;
            return;
        case 10:
            image_text_cursor.text_x = image_text_cursor.left_margin;
            image_text_cursor.baseline_y += s.cell_height;
            return;
        default:
            return;
    }
}

// The code point of the UTF-8 sequence at `p`: its length in `*length`;
// 0 when the string ends inside the sequence; -1 when `p` starts no valid
// sequence (overlong forms, surrogates and values past U+10FFFF included).
int32_t decode_utf8(const unsigned char* p, int* length) {
    const unsigned char b = p[0];
    if (b < 0x80) {
        *length = 1;
        return b;
    }
    int count;
    int32_t code;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (b >= 0xC2 && b <= 0xDF) {
        count = 2, code = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        count = 3, code = b & 0x0F;
        if (b == 0xE0) low = 0xA0;
        if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        count = 4, code = b & 0x07;
        if (b == 0xF0) low = 0x90;
        if (b == 0xF4) high = 0x8F;
    } else {
        return -1;
    }
    for (int i = 1; i < count; ++i) {
        const unsigned char c = p[i];
        if (c == 0) return 0;
        if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF)) return -1;
        code = (code << 6) | (c & 0x3F);
    }
    *length = count;
    return code;
}

}  // namespace
}  // namespace kaplo

int KPL_SetTrueTypeSize(int box_width, int box_height) {
    return kaplo::guarded(1, [&] {
        kaplo::TrueTypeState& s = kaplo::truetype_state();
        kaplo::platform::FontDescription font = s.font;
        const int cell_width = box_width / 2;
        font.width = cell_width;
        font.height = box_height;
        if (!kaplo::platform::font_can_be_made(font)) return 1;
        s.font = font;
        s.cell_width = cell_width;
        s.cell_height = box_height;
        return 0;
    });
}

void KPL_DrawTrueTypeChar(int code) {
    if (code >= 0 && code < 32) {
        kaplo::control_code(code);
        return;
    }
    kaplo::guarded([&] {
        auto& cur = kaplo::image_text_cursor;
        const kaplo::TrueTypeState& s = kaplo::truetype_state();
        const char32_t c =
            kaplo::is_scalar(code) ? static_cast<char32_t>(code) : kaplo::kReplacement;
        kaplo::platform::GlyphMask mask;
        if (!kaplo::platform::render_glyph(s.font, c, &mask)) return;
        const int64_t top = static_cast<int64_t>(cur.baseline_y) - s.cell_height + 1;
        kaplo::apply_mask(mask, cur.text_x, top, s.cell_height);
        cur.text_x = static_cast<int32_t>(static_cast<int64_t>(cur.text_x) + mask.advance);
    });
}

void KPL_DrawTrueTypeText(const char* text) {
    if (!text) return;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        int length = 1;
        const int32_t code = kaplo::decode_utf8(p, &length);
        if (code == 0) return;  // the string ends inside a sequence
        if (code < 0) {
            KPL_DrawTrueTypeChar(static_cast<int>(kaplo::kReplacement));
            ++p;
            continue;
        }
        KPL_DrawTrueTypeChar(code);
        p += length;
    }
}
