// Text surfaces and the clipboard's text.

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <array>
#include <cstring>
#include <mutex>

#include "platform/internal.h"

namespace kaplo::platform {
namespace {

// The cell font. QFont objects are implicitly shared but not thread-safe to
// copy concurrently, so each thread keeps its own copy.
const QFont& cell_font() {
    thread_local const QFont font = [] {
        detail::require_started();
        QFont f(QStringLiteral("Unifont"));
        f.setPixelSize(16);
        f.setStyleHint(QFont::TypeWriter);
        f.setStyleStrategy(QFont::NoAntialias);
        f.setHintingPreference(QFont::PreferFullHinting);
        return f;
    }();
    return font;
}

struct CellMetrics {
    int32_t width, height, ascent;
};

const CellMetrics& metrics_of_cells() {
    static const CellMetrics m = [] {
        const QFontMetrics fm(cell_font());
        // Unifont's average width reports the wide cell; the advance of 'A'
        // is the narrow cell that layout counts in.
        const int w = fm.horizontalAdvance(QLatin1Char('A'));
        return CellMetrics{w > 0 ? w : 8, fm.height() > 0 ? fm.height() : 16, fm.ascent()};
    }();
    return m;
}

// The pictures the classic OEM code page (CP437) gives the control units, so
// that carriage return, tab, Escape and the rest printed or typed show as
// something instead of a blank cell: ☺☻♥♦♣♠•◘○◙♂♀♪♫☼►◄↕‼¶§▬↨↑↓→←∟↔▲▼ for
// 0x01-0x1F and ⌂ for 0x7F. NUL stays blank, as in that code page.
constexpr std::array<char16_t, 32> kControlPictures = {
    0,      0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9,
    0x2642, 0x2640, 0x266A, 0x266B, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7,
    0x25AC, 0x21A8, 0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC};
constexpr char16_t kDeletePicture = 0x2302;

bool is_control_unit(char16_t u) {
    return (u > 0 && u < 0x20) || u == 0x7F;
}
bool is_high_surrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool is_low_surrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// A control unit takes one cell, as the layout counts it, whatever its
// picture's advance: a picture wider than the cell is squeezed into it, and
// nothing is drawn outside it.
void draw_control_picture(QPainter& p, const QRect& cell, const QPoint& baseline, char16_t u) {
    const QChar picture(u == 0x7F ? kDeletePicture : kControlPictures[u]);
    const int advance = QFontMetrics(p.font()).horizontalAdvance(picture);
    p.save();
    p.setClipRect(cell);
    p.translate(baseline);
    if (advance > cell.width()) p.scale(static_cast<qreal>(cell.width()) / advance, 1.0);
    p.drawText(QPoint(0, 0), QString(picture));
    p.restore();
}

}  // namespace

struct TextSurface::Impl {
    mutable std::mutex mutex;
    QImage image;
};

TextSurface::TextSurface(int32_t width, int32_t height)
    : impl_(std::make_unique<Impl>()), width_(std::max(0, width)), height_(std::max(0, height)) {
    impl_->image = QImage(std::max(1, width_), std::max(1, height_), QImage::Format_RGB32);
    impl_->image.fill(Qt::black);
}

TextSurface::~TextSurface() = default;

int32_t TextSurface::cell_width() {
    return metrics_of_cells().width;
}
int32_t TextSurface::cell_height() {
    return metrics_of_cells().height;
}

void TextSurface::draw_units(int32_t x, int32_t y, const char16_t* units, size_t count,
                             uint32_t text, uint32_t back) {
    if (!units || count == 0) return;
    const CellMetrics& m = metrics_of_cells();
    std::lock_guard lock(impl_->mutex);
    QPainter p(&impl_->image);
    p.setFont(cell_font());
    p.setPen(QColor::fromRgb(text & 0xFFFFFFu));
    const QColor back_colour = QColor::fromRgb(back & 0xFFFFFFu);
    // Each unit is placed in its own cells, so the picture follows the
    // layout's cell count even where the font's advance differs.
    for (size_t i = 0; i < count; ++i) {
        const char16_t u = units[i];
        const int cells = u < 0x80 ? 1 : 2;
        const QRect cell(x, y, cells * m.width, m.height);
        p.fillRect(cell, back_colour);
        const QPoint baseline(x, y + m.ascent);
        if (is_control_unit(u)) {
            draw_control_picture(p, cell, baseline, u);
        } else if (is_high_surrogate(u) && i + 1 < count && is_low_surrogate(units[i + 1])) {
            // A character outside the BMP, drawn over the cells of its pair.
            p.fillRect(cell.translated(cell.width(), 0), back_colour);
            p.drawText(baseline,
                       QString(std::array<QChar, 2>{QChar(u), QChar(units[i + 1])}.data(), 2));
            x += cells * m.width;
            ++i;
        } else if (u > 0x20 && !(u >= 0xD800 && u <= 0xDFFF)) {
            p.drawText(baseline, QString(QChar(u)));
        }
        x += cells * m.width;
    }
}

void TextSurface::copy_rows(int32_t src_y, int32_t dst_y, int32_t rows) {
    std::lock_guard lock(impl_->mutex);
    QImage& img = impl_->image;
    const int32_t h = std::min({rows, height_ - src_y, height_ - dst_y});
    if (h <= 0 || src_y < 0 || dst_y < 0 || src_y == dst_y) return;
    const qsizetype bpl = img.bytesPerLine();
    uchar* bits = img.bits();
    std::memmove(bits + dst_y * bpl, bits + src_y * bpl, static_cast<size_t>(h) * bpl);
}

void TextSurface::fill_black(int32_t y, int32_t rows) {
    std::lock_guard lock(impl_->mutex);
    QImage& img = impl_->image;
    const int32_t y0 = std::max(0, y), y1 = std::min(height_, y + rows);
    for (int32_t r = y0; r < y1; ++r)
        std::memset(img.scanLine(r), 0, static_cast<size_t>(img.bytesPerLine()));
}

bool TextSurface::present_to(WindowId window, const Rect& rect) const {
    std::lock_guard lock(impl_->mutex);
    const int32_t x0 = std::max(0, rect.left), y0 = std::max(0, rect.top);
    const int32_t x1 = std::min(width_, rect.right), y1 = std::min(height_, rect.bottom);
    if (x1 <= x0 || y1 <= y0) return false;
    const QImage& img = impl_->image;
    const int32_t stride = static_cast<int32_t>(img.bytesPerLine() / 4);
    const auto* base = reinterpret_cast<const uint32_t*>(img.constBits());
    return present(window, base + static_cast<size_t>(y0) * stride + x0, x1 - x0, y1 - y0, stride,
                   x0, y0, x1 - x0, y1 - y0);
}

uint32_t TextSurface::pixel(int32_t x, int32_t y) const {
    std::lock_guard lock(impl_->mutex);
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    return impl_->image.pixel(x, y) & 0x00FFFFFFu;
}

}  // namespace kaplo::platform
