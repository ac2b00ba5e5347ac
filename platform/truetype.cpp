// TrueType glyphs as coverage masks, and the font dialog on the modal
// facility (modal.cpp).
//
// A font description maps onto a QFont: the height is the pixel size of the
// em; the width, when given, becomes Qt's stretch, chosen so that the face's
// average character width at that pixel size (at normal weight, upright)
// equals it; the weight goes through Qt's own weight scale. Every font is
// made with antialiasing off, and the rendered picture is thresholded as
// well, so a mask is strictly ink or nothing whatever the font engine does
// with bitmap strikes and hinting.
//
// A character's advance is QFontMetrics::horizontalAdvance: the left
// bearing, the ink's width and the right bearing together (A + B + C).
// The underline is not drawn into the mask: the face places it below its
// baseline, which for a cell as high as the em is below the cell; the
// caller draws it where it belongs in its cell.

#include "platform/truetype.h"

#include <QFont>
#include <QFontDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

#include "platform/internal.h"

namespace kaplo::platform {
namespace {

// The classic weight scale (100..900) against Qt 5's (0..99).
struct WeightPair {
    int32_t classic;
    int qt;
};
constexpr WeightPair kWeights[] = {{0, QFont::Thin},
                                   {100, QFont::Thin},
                                   {200, QFont::ExtraLight},
                                   {300, QFont::Light},
                                   {400, QFont::Normal},
                                   {500, QFont::Medium},
                                   {600, QFont::DemiBold},
                                   {700, QFont::Bold},
                                   {800, QFont::ExtraBold},
                                   {900, QFont::Black},
                                   {1000, 99}};

int qt_weight(int32_t classic) {
    for (size_t i = 1; i < std::size(kWeights); ++i)
        if (classic <= kWeights[i].classic) {
            const WeightPair a = kWeights[i - 1], b = kWeights[i];
            return a.qt + (b.qt - a.qt) * (classic - a.classic) / (b.classic - a.classic);
        }
    return 99;
}

int32_t classic_weight(int qt) {
    for (size_t i = 1; i < std::size(kWeights); ++i)
        if (qt <= kWeights[i].qt) {
            const WeightPair a = kWeights[i - 1], b = kWeights[i];
            if (b.qt == a.qt) return b.classic;
            return a.classic + (b.classic - a.classic) * (qt - a.qt) / (b.qt - a.qt);
        }
    return 1000;
}

QFont base_font(const FontDescription& d) {
    detail::require_started();
    QFont f;
    if (!d.face.empty()) f.setFamily(detail::to_qstring(d.face));
    f.setPixelSize(d.height);
    f.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::NoSubpixelAntialias));
    f.setKerning(false);
    return f;
}

QFont make_qfont(const FontDescription& d) {
    QFont f = base_font(d);
    if (d.width > 0) {
        const int natural = QFontMetrics(f).averageCharWidth();
        if (natural > 0) {
            const long stretch = std::lround(100.0 * d.width / natural);
            f.setStretch(static_cast<int>(std::clamp(stretch, 1L, 4000L)));
        }
    }
    f.setWeight(qt_weight(d.weight));
    f.setItalic(d.italic);
    f.setUnderline(d.underline);
    return f;
}

// QFont is implicitly shared but not safe to copy between threads, so each
// thread keeps the last font it drew with.
const QFont& font_for(const FontDescription& d) {
    struct Cached {
        bool made = false;
        FontDescription key;
        QFont font;
    };
    thread_local Cached cached;
    if (!cached.made || !(cached.key == d)) {
        cached.font = make_qfont(d);
        cached.font.setUnderline(false);  // the caller draws it in its cell
        cached.key = d;
        cached.made = true;
    }
    return cached.font;
}

std::mutex g_hook_mutex;
FontDialogHook g_hook;  // guarded by g_hook_mutex

FontDescription describe(const QFont& f) {
    FontDescription d;
    d.face = detail::from_qstring(f.family());
    const int pixels = f.pixelSize() > 0 ? f.pixelSize() : QFontInfo(f).pixelSize();
    d.height = std::clamp(pixels, 1, kMaxFontPixels);
    d.width = 0;
    d.weight = classic_weight(f.weight());
    d.italic = f.italic();
    d.underline = f.underline();
    return d;
}

}  // namespace

bool font_can_be_made(const FontDescription& font) {
    return font.height >= 1 && font.height <= kMaxFontPixels && font.width >= 0 &&
           font.width <= kMaxFontPixels && font.weight >= 0 && font.weight <= 1000;
}

bool render_glyph(const FontDescription& font, char32_t code, GlyphMask* out) {
    if (!out || !font_can_be_made(font)) return false;
    const QFont& f = font_for(font);
    const QFontMetrics fm(f);
    const QString text = QString::fromUcs4(&code, 1);
    const int advance = fm.horizontalAdvance(text);
    const QRect ink = fm.boundingRect(text);  // relative to the pen on the baseline
    const int ascent = fm.ascent();
    // Room for what the metrics leave out: synthetic slant and emboldening.
    const int pad = 2 + font.height / 3;
    const int x0 = std::min(0, ink.left()) - pad;
    const int x1 = std::max(advance, ink.right() + 1) + pad;
    const int y0 = std::min(0, ascent + ink.top()) - pad;
    const int y1 = std::max(font.height, ascent + ink.bottom() + 1) + pad;
    QImage picture(x1 - x0, y1 - y0, QImage::Format_RGB32);
    if (picture.isNull()) throw std::bad_alloc();
    picture.fill(Qt::black);
    {
        QPainter p(&picture);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QPoint(-x0, ascent - y0), text);
    }
    out->left = x0;
    out->top = y0;
    out->width = picture.width();
    out->height = picture.height();
    out->advance = advance;
    if (font.underline) {
        // Qt strokes the underline centred on the underline position.
        out->underline_rows = std::max(1, fm.lineWidth());
        out->underline_top = ascent + fm.underlinePos() - (out->underline_rows + 1) / 2;
    }
    out->covered.assign(static_cast<size_t>(out->width) * static_cast<size_t>(out->height), 0);
    for (int y = 0; y < out->height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        uint8_t* mask = out->covered.data() + static_cast<size_t>(y) * out->width;
        for (int x = 0; x < out->width; ++x) mask[x] = qGreen(row[x]) >= 128 ? 1 : 0;
    }
    return true;
}

void set_font_dialog_answer_hook(FontDialogHook hook) {
    std::lock_guard lock(g_hook_mutex);
    g_hook = std::move(hook);
}

std::optional<FontDescription> ask_font(const FontDescription& start) {
    FontDialogHook hook;
    {
        std::lock_guard lock(g_hook_mutex);
        hook = g_hook;
    }
    if (hook) {
        if (detail::modal_refused()) return std::nullopt;
        return hook(start);
    }
    // What the dialog chose (written on the GUI thread before it finishes;
    // read by the asking thread after it has been released).
    auto chosen = std::make_shared<std::optional<FontDescription>>();
    const FontDescription from = font_can_be_made(start) ? start : FontDescription{};
    const int result = detail::run_modal([from, chosen]() -> QDialog* {
        auto* dialog = new QFontDialog(make_qfont(from));
        dialog->setOption(QFontDialog::DontUseNativeDialog);
        dialog->setWindowTitle(QStringLiteral("Font"));
        QObject::connect(dialog, &QFontDialog::fontSelected,
                         [chosen](const QFont& f) { *chosen = describe(f); });
        return dialog;
    });
    if (result != QDialog::Accepted) return std::nullopt;
    return *chosen;
}

}  // namespace kaplo::platform
