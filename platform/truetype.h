#pragma once
// TrueType text for image pixels: glyphs rendered by the platform's font
// engine as two-level coverage masks (never antialiased), which the image
// code applies to its own buffers, and the font dialog.
//
// Rendering may run on any thread (the worker draws into its images); each
// thread keeps its own copy of the fonts it uses.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kaplo::platform {

struct FontDescription {
    std::u16string face;   // empty: the platform's choice
    int32_t height = 16;   // pixel size of the em, at least 1
    int32_t width = 0;     // average character width in pixels; 0: the face's own
    int32_t weight = 400;  // 100 (thin) .. 900 (black); 400 normal, 700 bold
    bool italic = false;
    bool underline = false;

    bool operator==(const FontDescription&) const = default;
};

inline constexpr int32_t kMaxFontPixels = 2048;

// True when `font` can be made: height 1..kMaxFontPixels, width
// 0..kMaxFontPixels, weight 0..1000.
bool font_can_be_made(const FontDescription& font);

// One character's ink. The mask is a rectangle placed relative to the pen:
// its top-left pixel lies `left` pixels right of the pen's x and `top` rows
// below the top row of the character cell (either may be negative: italic
// overhang, accents above the cell). The cell is `font.height` rows high.
//
// An underlined font's underline is not in the mask: the face puts it
// below its baseline, often below the cell, so the caller draws it within
// its own cell, under the whole advance.
struct GlyphMask {
    int32_t left = 0, top = 0;
    int32_t width = 0, height = 0;
    int32_t advance = 0;           // where the pen moves: the character's A + B + C widths
    std::vector<uint8_t> covered;  // width x height, row by row; 1 ink, 0 none
    // Where the face puts the underline: its top row, below the top row of
    // the cell, and its thickness (0: the font is not underlined).
    int32_t underline_top = 0, underline_rows = 0;
};

// Renders `code` (a Unicode scalar value) in `font`. False when the font
// cannot be made.
bool render_glyph(const FontDescription& font, char32_t code, GlyphMask* out);

// Shows the font dialog, starting from `start`, and waits for it (any
// thread). The chosen font, with width 0; empty when the user cancelled,
// when the dialog could not be shown, or when Exit closed it.
std::optional<FontDescription> ask_font(const FontDescription& start);

// For tests: while a hook is set, ask_font shows no dialog and takes the
// hook's answer instead (empty: cancelled). The hook runs on the asking
// thread. An empty function removes the hook.
using FontDialogHook = std::function<std::optional<FontDescription>(const FontDescription&)>;
void set_font_dialog_answer_hook(FontDialogHook hook);

}  // namespace kaplo::platform
