// Text surfaces and the clipboard's text.

#include <QClipboard>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <cstring>
#include <mutex>

#include "platform/internal.h"

namespace kaplo::platform {
namespace {

// The cell font. QFont objects are implicitly shared but not thread-safe to
// copy concurrently, so each thread keeps its own copy.
const QFont& cell_font() {
    thread_local const QFont font = [] {
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
        if (u > 0x20 && !(u >= 0xD800 && u <= 0xDFFF))
            p.drawText(QPoint(x, y + m.ascent), QString(QChar(u)));
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

// ---------------------------------------------------------------------------
// Clipboard

bool clipboard_unicode_text(std::u16string* text) {
    bool found = false;
    detail::on_gui_blocking([&] {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        if (!data || !data->hasText()) return;
        *text = detail::from_qstring(data->text());
        found = true;
    });
    return found;
}

bool set_clipboard_ansi_text(const std::string& text) {
    bool done = false;
    detail::on_gui_blocking([&] {
        QGuiApplication::clipboard()->setText(
            QString::fromUtf8(text.data(), static_cast<int>(text.size())));
        done = true;
    });
    return done;
}

}  // namespace kaplo::platform
