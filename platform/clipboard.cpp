// Pictures on the clipboard through QClipboard.
//
// Sections:
//   1. Clipboard access (GUI thread)
//   2. Copy
//   3. Paste
//
// Every QClipboard and QMimeData call runs on the GUI thread through
// detail::on_gui_blocking; what crosses threads is implicitly shared Qt data
// (QByteArray, QImage, QStringList), whose reference counts are atomic.

#include "platform/clipboard.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QStringList>
#include <climits>

#include "platform/dib.h"
#include "platform/internal.h"

namespace kaplo::platform {

namespace {

constexpr char kBmpMimeType[] = "image/bmp";
constexpr char kPngMimeType[] = "image/png";
// What QMimeData calls a QImage; another Qt program may offer it encoded.
constexpr char kQtImageMimeType[] = "application/x-qt-image";

// ---------------------------------------------------------------------------
// 1. Clipboard access

QStringList offered_formats() {
    QStringList formats;
    detail::on_gui_blocking([&] {
        if (const QMimeData* data = QGuiApplication::clipboard()->mimeData())
            formats = data->formats();
    });
    return formats;
}

QByteArray offered_bytes(const QString& format) {
    QByteArray bytes;
    detail::on_gui_blocking([&] {
        if (const QMimeData* data = QGuiApplication::clipboard()->mimeData())
            bytes = data->data(format);
    });
    return bytes;
}

// A QImage that this process put on the clipboard. Only asked for when no
// encoded picture is offered: for encoded data Qt would decode it here
// without the size gate.
QImage offered_image() {
    QImage image;
    detail::on_gui_blocking([&] {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        if (data && data->hasImage()) image = qvariant_cast<QImage>(data->imageData());
    });
    return image;
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
    const QStringList offered = offered_formats();
    QStringList order;
    for (const auto& p : preferred)
        if (offered.contains(QLatin1String(p.format))) order << QLatin1String(p.format);
    for (const QString& format : offered)
        if (is_picture_format(format) && !order.contains(format)) order << format;

    bool encoded = false;
    for (const QString& format : order) {
        const QByteArray bytes = offered_bytes(format);
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
    return detail::decode_qimage(offered_image(), limits, out);
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
