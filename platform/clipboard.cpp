// Pictures on the clipboard through QClipboard.
//
// Sections:
//   1. Clipboard access (this process's own, or another program's)
//   2. Copy
//   3. Paste (pictures and text)
//
// Every QClipboard and QMimeData call runs on the GUI thread through
// detail::on_gui_blocking; what crosses threads is implicitly shared Qt data
// (QByteArray, QImage, QStringList), whose reference counts are atomic.
// Another program's clipboard is read without Qt (platform/x11_selection.h).

#include "platform/clipboard.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QStringList>
#include <algorithm>
#include <climits>
#include <memory>

#include "platform/dib.h"
#include "platform/internal.h"
#include "platform/platform.h"
#include "platform/x11.h"
#include "platform/x11_selection.h"

namespace kaplo::platform {

namespace {

constexpr char kBmpMimeType[] = "image/bmp";
constexpr char kPngMimeType[] = "image/png";
// What QMimeData calls a QImage; another Qt program may offer it encoded.
constexpr char kQtImageMimeType[] = "application/x-qt-image";

// ---------------------------------------------------------------------------
// 1. Clipboard access

// What a paste reads: this process's own clipboard (and any clipboard off
// X11) through QClipboard, which then holds the data itself; another
// program's through a SelectionReader of our own, so that an owner that
// answers slowly or never costs at most kClipboardReadMs and never the GUI
// thread's attention.
class Offer {
  public:
    explicit Offer(bool primary) : primary_(primary) {
        const QClipboard::Mode mode = primary ? QClipboard::Selection : QClipboard::Clipboard;
        bool ours = true;
        if (detail::x11_active())
            detail::on_gui_blocking([&] {
                QClipboard* c = QGuiApplication::clipboard();
                ours = primary ? c->ownsSelection() : c->ownsClipboard();
            });
        if (ours) {
            mode_ = mode;
            return;
        }
        detail::SelectionWait wait;
        wait.answer_ms = kClipboardAnswerMs;
        wait.total_ms = kClipboardReadMs;
        wait.cancelled = [] { return detail::modal_refused(); };
        // On the GUI thread (the main window's Paste, an edit's) every
        // window is served between the short waits.
        if (is_gui_thread()) wait.idle = [] { pump(); };
        reader_ = std::make_unique<detail::SelectionReader>(
            detail::display_name(), primary ? "PRIMARY" : "CLIPBOARD", std::move(wait));
    }

    bool local() const { return !reader_; }

    // The formats offered, as MIME types (another program's X targets are
    // named so already); false when the owner did not answer.
    bool formats(QStringList* out) {
        out->clear();
        if (local()) {
            detail::on_gui_blocking([&] {
                if (const QMimeData* data = QGuiApplication::clipboard()->mimeData(mode_))
                    *out = data->formats();
            });
            return true;
        }
        std::vector<std::string> names;
        const detail::SelectionStatus s = reader_->targets(&names);
        if (s == detail::SelectionStatus::NoAnswer) return false;
        for (const std::string& n : names)
            *out << QString::fromLatin1(n.data(), static_cast<int>(n.size()));
        return true;
    }

    // The bytes of one format (empty when it cannot be had): Ok, TooLarge
    // past `max_bytes`, or NoAnswer.
    detail::SelectionStatus bytes(const QString& format, size_t max_bytes, QByteArray* out) {
        *out = QByteArray();
        if (local()) {
            detail::on_gui_blocking([&] {
                if (const QMimeData* data = QGuiApplication::clipboard()->mimeData(mode_))
                    *out = data->data(format);
            });
            return static_cast<size_t>(out->size()) > max_bytes ? detail::SelectionStatus::TooLarge
                                                                : detail::SelectionStatus::Ok;
        }
        std::vector<uint8_t> v;
        const detail::SelectionStatus s = reader_->read(format.toStdString(), max_bytes, &v);
        if (s == detail::SelectionStatus::Ok && v.size() <= static_cast<size_t>(INT_MAX))
            *out = QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<int>(v.size()));
        return s == detail::SelectionStatus::Ok || s == detail::SelectionStatus::Empty ||
                       s == detail::SelectionStatus::Failed
                   ? detail::SelectionStatus::Ok
                   : s;
    }

    // A QImage that this process put on the clipboard. Only asked for when
    // no encoded picture is offered: for encoded data Qt would decode it here
    // without the size gate.
    QImage image() const {
        QImage image;
        if (!local()) return image;
        detail::on_gui_blocking([&] {
            const QMimeData* data = QGuiApplication::clipboard()->mimeData(mode_);
            if (data && data->hasImage()) image = qvariant_cast<QImage>(data->imageData());
        });
        return image;
    }

  private:
    bool primary_;
    QClipboard::Mode mode_ = QClipboard::Clipboard;
    std::unique_ptr<detail::SelectionReader> reader_;
};

// The most an offered picture may take before it is decoded: the image
// limit's bytes, with room for the headers and the overhead of an
// uncompressed encoding.
size_t most_picture_bytes(const DecodeLimits& limits) {
    const auto limit = static_cast<uint64_t>(std::max<int64_t>(limits.max_bytes, 0));
    return static_cast<size_t>(std::min<uint64_t>(limit + limit / 8 + (1u << 20), INT_MAX));
}

QByteArray to_qbytes(const std::vector<uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
}

// ---------------------------------------------------------------------------
// 2. Copy

bool encode_png(const Picture& pic, std::vector<uint8_t>* png) {
    EncodeSource src;
    src.width = pic.width;
    src.height = pic.height;
    std::vector<uint32_t> table;
    if (pic.indexed) {
        table = pic.colours;
        table.resize(256, 0);  // the encoder takes a full table
        src.indexes = pic.indexes.data();
        src.index_stride = pic.width;
        src.colours = table.data();
    } else {
        src.rgb = pic.argb.data();
    }
    return encode_picture_bytes(PictureFormat::Png, src, 100, png);
}

bool copy(std::vector<uint8_t> dib) {
    // Reading the bitmap back checks it and gives the pixels for the PNG.
    // Any size it holds is accepted: the writer made it from an image.
    const DecodeLimits any_size{INT32_MAX, INT64_MAX};
    Picture pic;
    if (read_dib(dib.data(), dib.size(), any_size, &pic) != DecodeStatus::Ok) return false;
    std::vector<uint8_t> bytes;
    if (!encode_png(pic, &bytes)) return false;
    pic = Picture{};
    const QByteArray png = to_qbytes(bytes);
    if (!bmp_file_from_dib(dib.data(), dib.size(), &bytes)) return false;
    const QByteArray bmp = to_qbytes(bytes);
    bytes = {};
    const QByteArray packed = to_qbytes(dib);
    dib = {};

    bool done = false;
    detail::on_gui_blocking([&] {
        try {
            auto* data = new QMimeData;
            data->setData(QString::fromLatin1(kDibMimeType), packed);
            data->setData(QString::fromLatin1(kBmpMimeType), bmp);
            data->setData(QString::fromLatin1(kPngMimeType), png);
            QGuiApplication::clipboard()->setMimeData(data);  // takes ownership
            done = true;
        } catch (...) {  // std::bad_alloc; nothing is thrown into the GUI loop
        }
    });
    return done;
}

// ---------------------------------------------------------------------------
// 3. Paste

using Reader = DecodeStatus (*)(const uint8_t*, size_t, const DecodeLimits&, Picture*);

bool is_picture_format(const QString& format) {
    return format.startsWith(QLatin1String("image/")) || format == QLatin1String(kQtImageMimeType);
}

DecodeStatus paste(const DecodeLimits& limits, Picture* out) {
    // Our own bitmap first (nothing lost), then the formats other programs
    // offer most, then any other encoded picture. The first that is read, or
    // refused for its size or for memory, is the answer.
    const struct {
        const char* format;
        Reader reader;
    } preferred[] = {{kDibMimeType, read_dib},
                     {kBmpMimeType, read_bmp_file},
                     {kPngMimeType, decode_picture_bytes}};
    Offer offer(false);
    QStringList offered;
    if (!offer.formats(&offered)) return DecodeStatus::NoAnswer;
    QStringList order;
    for (const auto& p : preferred)
        if (offered.contains(QLatin1String(p.format))) order << QLatin1String(p.format);
    for (const QString& format : offered)
        if (is_picture_format(format) && !order.contains(format)) order << format;

    bool encoded = false;
    for (const QString& format : order) {
        QByteArray bytes;
        const detail::SelectionStatus got = offer.bytes(format, most_picture_bytes(limits), &bytes);
        if (got == detail::SelectionStatus::NoAnswer) return DecodeStatus::NoAnswer;
        if (got == detail::SelectionStatus::TooLarge) return DecodeStatus::TooLarge;
        if (bytes.isEmpty()) continue;  // a QImage of this process reads as no bytes
        encoded = true;
        Reader reader = decode_picture_bytes;
        for (const auto& p : preferred)
            if (format == QLatin1String(p.format)) reader = p.reader;
        const DecodeStatus status = reader(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                           static_cast<size_t>(bytes.size()), limits, out);
        if (status != DecodeStatus::Unreadable) return status;
    }
    if (encoded) return DecodeStatus::Unreadable;
    return detail::decode_qimage(offer.image(), limits, out);
}

// Text targets of X programs, best first: UTF-8, then Latin-1.
constexpr const char* kUtf8Targets[] = {"UTF8_STRING", "text/plain;charset=utf-8", "text/plain"};
constexpr char kLatin1Target[] = "STRING";
// A line input takes one line; more than this is not read.
constexpr size_t kMostTextBytes = 4u << 20;

ClipboardRead read_text(bool primary, std::u16string* text) {
    Offer offer(primary);
    if (offer.local()) {
        bool found = false;
        detail::on_gui_blocking([&] {
            const QMimeData* data = QGuiApplication::clipboard()->mimeData(
                primary ? QClipboard::Selection : QClipboard::Clipboard);
            if (!data || !data->hasText()) return;
            *text = detail::from_qstring(data->text());
            found = true;
        });
        return found ? ClipboardRead::Found : ClipboardRead::Nothing;
    }
    QStringList offered;
    if (!offer.formats(&offered)) return ClipboardRead::NoAnswer;
    for (const char* format : kUtf8Targets) {
        const QString name = QLatin1String(format);
        if (!offered.contains(name)) continue;
        QByteArray bytes;
        if (offer.bytes(name, kMostTextBytes, &bytes) == detail::SelectionStatus::NoAnswer)
            return ClipboardRead::NoAnswer;
        if (bytes.isEmpty()) continue;
        *text = detail::from_qstring(QString::fromUtf8(bytes));
        return ClipboardRead::Found;
    }
    if (offered.contains(QLatin1String(kLatin1Target))) {
        QByteArray bytes;
        if (offer.bytes(QLatin1String(kLatin1Target), kMostTextBytes, &bytes) ==
            detail::SelectionStatus::NoAnswer)
            return ClipboardRead::NoAnswer;
        if (!bytes.isEmpty()) {
            *text = detail::from_qstring(QString::fromLatin1(bytes));
            return ClipboardRead::Found;
        }
    }
    return ClipboardRead::Nothing;
}

}  // namespace

bool set_clipboard_picture(std::vector<uint8_t> packed_dib) {
    try {
        return copy(std::move(packed_dib));
    } catch (...) {  // std::bad_alloc
        return false;
    }
}

bool clear_clipboard() {
    try {
        bool done = false;
        detail::on_gui_blocking([&] {
            QGuiApplication::clipboard()->clear();
            done = true;
        });
        return done;
    } catch (...) {  // std::bad_alloc
        return false;
    }
}

ClipboardRead clipboard_unicode_text(std::u16string* text, bool primary) {
    text->clear();
    const ClipboardRead r = read_text(primary, text);
    if (r != ClipboardRead::Found) text->clear();
    return r;
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

DecodeStatus clipboard_picture(const DecodeLimits& limits, Picture* out) {
    if (!out) return DecodeStatus::Unreadable;
    *out = Picture{};
    try {
        const DecodeStatus status = paste(limits, out);
        if (status != DecodeStatus::Ok) *out = Picture{};
        return status;
    } catch (...) {  // std::bad_alloc
        *out = Picture{};
        return DecodeStatus::NoMemory;
    }
}

}  // namespace kaplo::platform
