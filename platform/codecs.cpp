// Picture codecs over Qt's image reader and writer, with giflib for GIF.
//
// Sections:
//   1. Files (opening for reading, writing through a temporary file under a
//      file size limit)
//   2. GIF decoding (Qt's reader would expand GIFs to 32 bits, losing their
//      colour table)
//   3. Decoding
//   4. Colour reduction (exact palette, or variance-driven median cut)
//   5. GIF encoding
//   6. Encoding
//
// Threads: any thread. QImage, QImageReader and QImageWriter are reentrant,
// and every call works on its own objects.
//
// File names are handed to the system as the caller's bytes: Qt never maps
// them through its idea of the locale, so a name always reaches the file it
// names.

#include "platform/codecs.h"
#include "platform/dib.h"
#include "platform/internal.h"
#include "platform/nearest_colour.h"
#include "platform/picture_checks.h"

#include <fcntl.h>
#include <gif_lib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <random>
#include <unordered_map>

namespace kaplo::platform {

namespace {

// ---------------------------------------------------------------------------
// 1. Files

// A file descriptor closed on scope exit.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

// Opens a regular file for reading. Non-blocking open so that a FIFO or a
// device named by mistake cannot hang the caller; anything but a regular file
// is refused.
int open_regular_file(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool write_all(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The folder part of a path, with its slash; empty for a bare name.
std::string folder_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Where a chain of symbolic links at `path` leads (each link names its target
// relative to its own folder), or `path` itself when it is no link. The end
// need not exist. False for a chain of more than 40 links, as the system
// would refuse it.
bool follow_links(std::string path, std::string* out) {
    for (int hops = 0; hops <= 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            *out = path;
            return true;
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<size_t>(n) >= target.size()) return false;
        target.resize(static_cast<size_t>(n));
        path = target[0] == '/' ? target : folder_of(path) + target;
    }
    return false;
}

// A file size limit (`ulimit -f`) has the system send SIGXFSZ, whose default
// action ends the process, to the thread whose write goes past it. While the
// signal is blocked in the saving thread the write fails with EFBIG instead,
// and the save fails as any other. Only this thread's mask changes, so saves
// on several threads and whatever the program does with the signal elsewhere
// do not disturb each other; a signal left pending by the write is taken
// before the mask is put back, so it is never delivered afterwards.
class FileSizeSignalHeld {
  public:
    FileSizeSignalHeld() {
        sigemptyset(&signal_);
        sigaddset(&signal_, SIGXFSZ);
        held_ = pthread_sigmask(SIG_BLOCK, &signal_, &before_) == 0;
    }
    ~FileSizeSignalHeld() {
        if (!held_) return;
        if (!sigismember(&before_, SIGXFSZ)) {
            const timespec now{};
            while (sigtimedwait(&signal_, nullptr, &now) == SIGXFSZ) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &before_, nullptr);
    }
    FileSizeSignalHeld(const FileSizeSignalHeld&) = delete;
    FileSizeSignalHeld& operator=(const FileSizeSignalHeld&) = delete;

  private:
    sigset_t signal_{}, before_{};
    bool held_ = false;
};

// Writes `bytes` to the file `name` leads to (through symbolic links, which
// stay links) by way of a fresh temporary file in that file's folder, renamed
// over it once complete and flushed. The temporary name is short, so that a
// name of the longest a folder entry holds can still be saved. An existing
// file keeps its mode and, where the user may give it, its owner; one that is
// not a regular file or that the user may not write is refused untouched. On
// any failure the temporary file is removed and the target is as it was.
bool replace_file(const std::string& name, const QByteArray& bytes) {
    std::string path;
    if (!follow_links(name, &path)) return false;
    struct stat target {};
    const bool exists = ::stat(path.c_str(), &target) == 0;
    if (!exists && errno != ENOENT) return false;
    if (exists &&
        (!S_ISREG(target.st_mode) || ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0))
        return false;

    std::random_device seed;
    std::mt19937 gen(seed());
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        char temp_name[32];
        std::snprintf(temp_name, sizeof temp_name, ".kaplo-%08x.tmp", static_cast<unsigned>(gen()));
        temp = folder_of(path) + temp_name;
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    Fd file(fd);
    const FileSizeSignalHeld size_limit_fails_the_write;
    bool written = write_all(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
    if (written && exists) {
        // Only the superuser may give a file away; others may keep its group.
        if (::fchown(fd, target.st_uid, target.st_gid) != 0 &&
            ::fchown(fd, static_cast<uid_t>(-1), target.st_gid) != 0) {
        }
        written = ::fchmod(fd, target.st_mode & 07777) == 0;
    }
    written = written && ::fsync(fd) == 0 && ::close(file.release()) == 0;
    if (!written || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// 2. GIF decoding

int gif_read_from_device(GifFileType* gif, GifByteType* data, int size) {
    auto* device = static_cast<QIODevice*>(gif->UserData);
    const qint64 n = device->read(reinterpret_cast<char*>(data), size);
    return n < 0 ? 0 : static_cast<int>(n);
}

bool is_gif(QIODevice& device) {
    const QByteArray magic = device.peek(6);
    return magic == "GIF87a" || magic == "GIF89a";
}

// Closes a giflib decoder on scope exit.
struct GifReader {
    GifFileType* gif = nullptr;
    ~GifReader() {
        int error = 0;
        if (gif) DGifCloseFile(gif, &error);
    }
};

// The first frame of a GIF on its logical screen, as indexes with the frame's
// colour table. Screen parts the frame does not cover take the transparent
// index when the frame has one (so they leave a target untouched), otherwise
// the background colour.
DecodeStatus decode_gif(QIODevice& device, const DecodeLimits& limits, Picture* out) {
    int error = 0;
    GifReader reader;
    reader.gif = DGifOpen(&device, gif_read_from_device, &error);
    GifFileType* gif = reader.gif;
    if (!gif) return DecodeStatus::Unreadable;

    int transparent = -1;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) return DecodeStatus::Unreadable;
        if (type == TERMINATE_RECORD_TYPE) return DecodeStatus::Unreadable;  // no frame at all
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return DecodeStatus::Unreadable;
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4)
                transparent = (block[1] & 1) ? block[4] : -1;
            while (block)
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return DecodeStatus::Unreadable;
            continue;
        }
        if (type == IMAGE_DESC_RECORD_TYPE) break;
    }
    if (DGifGetImageDesc(gif) == GIF_ERROR) return DecodeStatus::Unreadable;
    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!map || frame.Width < 1 || frame.Height < 1) return DecodeStatus::Unreadable;

    // Sizes are checked before anything is allocated: the frame's, and the
    // screen's (grown to hold a frame that reaches past it).
    if (!within_limits(frame.Width, frame.Height, limits)) return DecodeStatus::TooLarge;
    const int64_t left = frame.Left, top = frame.Top;
    const int64_t width = std::max<int64_t>(gif->SWidth, left + frame.Width);
    const int64_t height = std::max<int64_t>(gif->SHeight, top + frame.Height);
    if (!within_limits(width, height, limits)) return DecodeStatus::TooLarge;

    out->width = static_cast<int32_t>(width);
    out->height = static_cast<int32_t>(height);
    out->indexed = true;
    const int count = std::min(map->ColorCount, 256);
    out->colours.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const GifColorType& c = map->Colors[i];
        out->colours[static_cast<size_t>(i)] = (i == transparent ? 0u : 0xFF000000u) |
                                               uint32_t{c.Red} << 16 | uint32_t{c.Green} << 8 |
                                               c.Blue;
    }
    const uint8_t fill =
        static_cast<uint8_t>(transparent >= 0 ? transparent : gif->SBackGroundColor & 255);
    out->indexes.assign(static_cast<size_t>(width * height), fill);

    // Interlaced frames send rows in four passes.
    static constexpr int kStart[] = {0, 4, 2, 1};
    static constexpr int kStep[] = {8, 8, 4, 2};
    const int passes = frame.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = frame.Interlace ? kStart[pass] : 0;
        const int step = frame.Interlace ? kStep[pass] : 1;
        for (int row = start; row < frame.Height; row += step) {
            GifPixelType* line = out->indexes.data() + (top + row) * width + left;
            if (DGifGetLine(gif, line, frame.Width) == GIF_ERROR) return DecodeStatus::Unreadable;
        }
    }
    return DecodeStatus::Ok;
}

// ---------------------------------------------------------------------------
// 3. Decoding

std::vector<uint32_t> grey_ramp() {
    std::vector<uint32_t> colours(256);
    for (uint32_t i = 0; i < 256; ++i) colours[i] = 0xFF000000u | i * 0x010101u;
    return colours;
}

// Copies the rows of an 8-bit QImage (stride padded by Qt) into packed rows.
void copy_bytes(const QImage& img, std::vector<uint8_t>* out) {
    const size_t w = static_cast<size_t>(img.width());
    out->resize(w * static_cast<size_t>(img.height()));
    for (int y = 0; y < img.height(); ++y)
        std::memcpy(out->data() + static_cast<size_t>(y) * w, img.constScanLine(y), w);
}

DecodeStatus convert_picture(QImage img, Picture* out) {
    out->width = img.width();
    out->height = img.height();
    switch (img.format()) {
        case QImage::Format_Mono:
        case QImage::Format_MonoLSB:
            img = img.convertToFormat(QImage::Format_Indexed8);
            if (img.isNull()) return DecodeStatus::NoMemory;
            [[fallthrough]];
        case QImage::Format_Indexed8: {
            out->indexed = true;
            const QVector<QRgb> table = img.colorTable();
            const int n = table.size() < 256 ? table.size() : 256;
            if (n == 0) {
                out->colours = grey_ramp();
            } else {
                out->colours.assign(table.begin(), table.begin() + n);
            }
            copy_bytes(img, &out->indexes);
            return DecodeStatus::Ok;
        }
        case QImage::Format_Grayscale8:
            // An 8-bit grey picture is an indexed one over the grey ramp.
            out->indexed = true;
            out->colours = grey_ramp();
            copy_bytes(img, &out->indexes);
            return DecodeStatus::Ok;
        default:
            break;
    }
    if (img.format() != QImage::Format_ARGB32) {
        img = img.convertToFormat(QImage::Format_ARGB32);
        if (img.isNull()) return DecodeStatus::NoMemory;
    }
    const size_t w = static_cast<size_t>(img.width());
    out->argb.resize(w * static_cast<size_t>(img.height()));
    for (int y = 0; y < img.height(); ++y)
        std::memcpy(out->argb.data() + static_cast<size_t>(y) * w, img.constScanLine(y), w * 4);
    return DecodeStatus::Ok;
}

// A device's bytes for the checks of picture_checks.h.
class DeviceSource : public ByteSource {
  public:
    explicit DeviceSource(QIODevice& device) : device_(device) {}
    size_t read(uint8_t* out, size_t size) override {
        const qint64 n = device_.read(reinterpret_cast<char*>(out), static_cast<qint64>(size));
        return n > 0 ? static_cast<size_t>(n) : 0;
    }
    bool seek(uint64_t offset) override {
        return offset <= size() && device_.seek(static_cast<qint64>(offset));
    }
    uint64_t size() override { return static_cast<uint64_t>(std::max<qint64>(device_.size(), 0)); }

  private:
    QIODevice& device_;
};

// The stretches of a device that the checks kept, read as one device of their
// own (a PNG without its ancillary chunks). Reads go to the device beneath
// as they come, so nothing is copied.
class PartsDevice : public QIODevice {
  public:
    PartsDevice(QIODevice& base, std::vector<ByteRange> parts)
        : base_(base), parts_(std::move(parts)) {
        starts_.reserve(parts_.size());
        for (const ByteRange& part : parts_) {
            starts_.push_back(size_);
            size_ += static_cast<qint64>(part.size);
        }
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return size_; }

  protected:
    qint64 readData(char* data, qint64 max) override {
        qint64 done = 0;
        for (qint64 at = pos(); done < max && at < size_;) {
            // The part that holds `at`, and how far into it.
            const size_t i = static_cast<size_t>(
                std::upper_bound(starts_.begin(), starts_.end(), at) - starts_.begin() - 1);
            const qint64 into = at - starts_[i];
            const qint64 n =
                std::min<qint64>(max - done, static_cast<qint64>(parts_[i].size) - into);
            if (!base_.seek(static_cast<qint64>(parts_[i].offset) + into)) return done ? done : -1;
            const qint64 got = base_.read(data + done, n);
            if (got <= 0) return done ? done : -1;
            done += got;
            at += got;
        }
        return done;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    QIODevice& base_;
    const std::vector<ByteRange> parts_;
    std::vector<qint64> starts_;  // where each part starts in this device
    qint64 size_ = 0;
};

bool is_bmp(QIODevice& device) {
    return device.peek(2) == "BM";
}

// BMP files are read by the bitmap reader of dib.cpp rather than Qt's, which
// fills rows a file does not hold with whatever its buffer held before. A BMP
// within the limits holds at most max_bytes of rows (never more than 4 bytes
// a pixel) after its headers, colour table and any gap: nothing past that
// and a megabyte more is read.
DecodeStatus decode_bmp(QIODevice& device, const DecodeLimits& limits, Picture* out) {
    constexpr qint64 kHeadersAndGap = qint64{1} << 20;
    const qint64 size =
        std::min(device.size(), std::min<qint64>(limits.max_bytes, INT32_MAX) + kHeadersAndGap);
    std::vector<uint8_t> bytes(static_cast<size_t>(std::max<qint64>(size, 0)));
    const qint64 got = device.read(reinterpret_cast<char*>(bytes.data()), size);
    if (got < 0) return DecodeStatus::Unreadable;
    return read_bmp_file(bytes.data(), static_cast<size_t>(got), limits, out);
}

// A Qt reader over a checked picture, with the device it reads when that is
// not the file itself (declared first, so that it outlives the reader).
struct CheckedReader {
    std::unique_ptr<PartsDevice> parts;
    QImageReader reader;
};

// Hands the device to a Qt reader once the checks have passed (only the
// parts they kept, and as the format they found), and checks the size the
// reader announces from the header, before any pixel is allocated. A reader
// that cannot tell the size in advance could allocate whatever the file asks
// for, so such a picture is refused.
DecodeStatus open_reader(QIODevice& device, const DecodeLimits& limits, CheckedReader* checked) {
    DeviceSource source(device);
    CheckedPicture found;
    const DecodeStatus status = check_picture(source, limits, &found);
    if (status != DecodeStatus::Ok) return status;
    if (!device.seek(0)) return DecodeStatus::Unreadable;
    QImageReader* reader = &checked->reader;
    if (found.parts.empty()) {
        reader->setDevice(&device);
    } else {
        checked->parts = std::make_unique<PartsDevice>(device, std::move(found.parts));
        reader->setDevice(checked->parts.get());
    }
    if (found.format) {
        reader->setFormat(found.format);
        reader->setAutoDetectImageFormat(false);
    }
    reader->setAutoTransform(false);
    if (!reader->canRead()) return DecodeStatus::Unreadable;
    // Qt's XBM reader fills whatever a file lacks with white. The checks see
    // XBM files that start with their first #define, as writers make them;
    // others are not read.
    if (reader->format() == "xbm" && !device.peek(7).startsWith("#define"))
        return DecodeStatus::Unreadable;
    const QSize announced = reader->size();
    if (!announced.isValid()) return DecodeStatus::Unreadable;
    if (!within_limits(announced.width(), announced.height(), limits))
        return DecodeStatus::TooLarge;
    return DecodeStatus::Ok;
}

DecodeStatus decode(QIODevice& device, const DecodeLimits& limits, Picture* out) {
    if (is_gif(device)) return decode_gif(device, limits, out);
    if (is_bmp(device)) return decode_bmp(device, limits, out);
    CheckedReader checked;
    const DecodeStatus status = open_reader(device, limits, &checked);
    if (status != DecodeStatus::Ok) return status;
    QImage img;
    if (!checked.reader.read(&img) || img.isNull()) return DecodeStatus::Unreadable;
    if (!within_limits(img.width(), img.height(), limits)) return DecodeStatus::TooLarge;
    return convert_picture(std::move(img), out);
}

DecodeStatus decode_file(const std::string& path, const DecodeLimits& limits, Picture* out) {
    Fd fd(open_regular_file(path));
    if (fd.get() < 0) return DecodeStatus::Unreadable;
    QFile file;
    if (!file.open(fd.get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return DecodeStatus::Unreadable;
    return decode(file, limits, out);
}

bool file_picture_size(const std::string& path, const DecodeLimits& limits, int32_t* width,
                       int32_t* height) {
    Fd fd(open_regular_file(path));
    if (fd.get() < 0) return false;
    QFile file;
    if (!file.open(fd.get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) return false;
    if (is_gif(file) || is_bmp(file)) {
        // Read whole: a GIF is small, and a BMP's pixels are what shows that
        // the file is not cut short.
        Picture pic;
        if (decode(file, limits, &pic) != DecodeStatus::Ok) return false;
        *width = pic.width;
        *height = pic.height;
        return true;
    }
    CheckedReader checked;
    if (open_reader(file, limits, &checked) != DecodeStatus::Ok) return false;
    *width = checked.reader.size().width();
    *height = checked.reader.size().height();
    return true;
}

DecodeStatus decode_bytes(const uint8_t* data, size_t size, const DecodeLimits& limits,
                          Picture* out) {
    if (size > static_cast<size_t>(INT32_MAX)) return DecodeStatus::TooLarge;
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<int>(size));
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return DecodeStatus::Unreadable;
    return decode(buffer, limits, out);
}

// Runs a decoder with the picture cleared on every failure and nothing thrown.
template <typename Decoder>
DecodeStatus guarded(Picture* out, Decoder&& decoder) {
    *out = Picture{};
    try {
        const DecodeStatus status = decoder();
        if (status != DecodeStatus::Ok) *out = Picture{};
        return status;
    } catch (const std::bad_alloc&) {
        *out = Picture{};
        return DecodeStatus::NoMemory;
    } catch (...) {
        *out = Picture{};
        return DecodeStatus::Unreadable;
    }
}

// ---------------------------------------------------------------------------
// 4. Colour reduction

constexpr int kGifColours = 256;

struct ColourCount {
    uint32_t rgb;  // 0x00RRGGBB
    uint32_t count;
};

int channel(uint32_t rgb, int c) {
    return static_cast<int>((rgb >> (16 - 8 * c)) & 255u);
}

// A box of the colour histogram: a range of its entries.
struct Box {
    size_t begin, end;
    double error;  // sum over its pixels of the squared distance to its mean
    int axis;      // channel (0 red, 1 green, 2 blue) of largest spread
};

Box make_box(const std::vector<ColourCount>& colours, size_t begin, size_t end) {
    double n = 0, sum[3] = {}, squares[3] = {};
    for (size_t i = begin; i < end; ++i) {
        const double w = colours[i].count;
        n += w;
        for (int c = 0; c < 3; ++c) {
            const double v = channel(colours[i].rgb, c);
            sum[c] += w * v;
            squares[c] += w * v * v;
        }
    }
    Box box{begin, end, 0.0, 0};
    double widest = -1;
    for (int c = 0; c < 3; ++c) {
        const double spread = squares[c] - sum[c] * sum[c] / n;
        box.error += spread;
        if (spread > widest) widest = spread, box.axis = c;
    }
    return box;
}

// Median cut over the picture's colour histogram: the box with the largest
// squared error is split at the pixel median of its widest channel until
// there are `kGifColours` boxes; each box's pixel-weighted mean becomes a
// palette colour. Pixels then take their nearest palette colour, so none is
// further from its own colour than the palette allows.
std::vector<uint32_t> median_cut_palette(const uint32_t* pixels, size_t count) {
    std::vector<uint32_t> sorted(count);
    for (size_t i = 0; i < count; ++i) sorted[i] = pixels[i] & 0x00FFFFFFu;
    std::sort(sorted.begin(), sorted.end());
    std::vector<ColourCount> colours;
    for (size_t i = 0; i < count;) {
        size_t j = i;
        while (j < count && sorted[j] == sorted[i]) ++j;
        colours.push_back(ColourCount{sorted[i], static_cast<uint32_t>(j - i)});
        i = j;
    }
    sorted = {};

    std::vector<Box> boxes{make_box(colours, 0, colours.size())};
    while (boxes.size() < kGifColours) {
        size_t worst = boxes.size();
        for (size_t b = 0; b < boxes.size(); ++b)
            if (boxes[b].end - boxes[b].begin > 1 &&
                (worst == boxes.size() || boxes[b].error > boxes[worst].error))
                worst = b;
        if (worst == boxes.size()) break;  // every box holds one colour
        const Box box = boxes[worst];
        const int axis = box.axis;
        std::sort(colours.begin() + static_cast<ptrdiff_t>(box.begin),
                  colours.begin() + static_cast<ptrdiff_t>(box.end),
                  [axis](const ColourCount& a, const ColourCount& b) {
                      return channel(a.rgb, axis) < channel(b.rgb, axis);
                  });
        uint64_t total = 0, running = 0;
        for (size_t i = box.begin; i < box.end; ++i) total += colours[i].count;
        size_t cut = box.begin + 1;
        for (size_t i = box.begin; i < box.end - 1; ++i) {
            running += colours[i].count;
            cut = i + 1;
            if (running * 2 >= total) break;
        }
        boxes[worst] = make_box(colours, box.begin, cut);
        boxes.push_back(make_box(colours, cut, box.end));
    }

    std::vector<uint32_t> palette;
    for (const Box& box : boxes) {
        double n = 0, sum[3] = {};
        for (size_t i = box.begin; i < box.end; ++i) {
            n += colours[i].count;
            for (int c = 0; c < 3; ++c)
                sum[c] += static_cast<double>(colours[i].count) * channel(colours[i].rgb, c);
        }
        uint32_t rgb = 0;
        for (int c = 0; c < 3; ++c)
            rgb |= static_cast<uint32_t>(std::lround(sum[c] / n)) << (16 - 8 * c);
        palette.push_back(rgb);
    }
    return palette;
}

// Indexes and colour map for a 32-bit picture: its own colours when it has at
// most 256 (no loss at all), otherwise a median-cut palette.
void reduce_colours(const EncodeSource& src, std::vector<uint8_t>* indexes,
                    std::vector<uint32_t>* colours) {
    const size_t count = static_cast<size_t>(src.width) * static_cast<size_t>(src.height);
    indexes->resize(count);
    colours->clear();

    std::unordered_map<uint32_t, uint8_t> seen;
    seen.reserve(512);
    bool exact = true;
    for (size_t i = 0; i < count && exact; ++i) {
        const uint32_t c = src.rgb[i] & 0x00FFFFFFu;
        auto it = seen.find(c);
        if (it == seen.end()) {
            exact = seen.size() < kGifColours;
            if (!exact) break;
            it = seen.emplace(c, static_cast<uint8_t>(seen.size())).first;
            colours->push_back(c);
        }
        (*indexes)[i] = it->second;
    }
    if (exact) return;

    *colours = median_cut_palette(src.rgb, count);
    auto nearest = std::make_unique<NearestColour>(colours->data(), colours->size());
    for (size_t i = 0; i < count; ++i) (*indexes)[i] = (*nearest)(src.rgb[i] & 0x00FFFFFFu);
}

// ---------------------------------------------------------------------------
// 5. GIF encoding

int gif_write_to_buffer(GifFileType* gif, const GifByteType* data, int size) {
    auto* bytes = static_cast<QByteArray*>(gif->UserData);
    bytes->append(reinterpret_cast<const char*>(data), size);
    return size;
}

// The smallest power of two (at least 2) holding `count` colours, as GIF
// colour maps require.
int gif_map_size(int count) {
    int size = 2;
    while (size < count) size *= 2;
    return size;
}

bool encode_gif(const EncodeSource& src, QByteArray* bytes) {
    std::vector<uint8_t> reduced;
    std::vector<uint32_t> colours;
    const uint8_t* rows = src.indexes;
    int64_t stride = src.index_stride;
    if (src.rgb) {
        reduce_colours(src, &reduced, &colours);
        rows = reduced.data();
        stride = src.width;
    } else {
        colours.assign(src.colours, src.colours + kGifColours);
    }

    const int map_size = gif_map_size(static_cast<int>(colours.size()));
    std::vector<GifColorType> entries(static_cast<size_t>(map_size), GifColorType{0, 0, 0});
    for (size_t i = 0; i < colours.size(); ++i)
        entries[i] = GifColorType{static_cast<GifByteType>(colours[i] >> 16),
                                  static_cast<GifByteType>(colours[i] >> 8),
                                  static_cast<GifByteType>(colours[i])};
    ColorMapObject* map = GifMakeMapObject(map_size, entries.data());
    if (!map) return false;

    int error = 0;
    GifFileType* gif = EGifOpen(bytes, gif_write_to_buffer, &error);
    if (!gif) {
        GifFreeMapObject(map);
        return false;
    }
    // giflib masks each line in place to the map's bit depth, so lines go
    // through a scratch row rather than the caller's pixels.
    std::vector<GifPixelType> line(static_cast<size_t>(src.width));
    bool ok = EGifPutScreenDesc(gif, src.width, src.height, 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, src.width, src.height, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < src.height; ++y) {
        std::memcpy(line.data(), rows + y * stride, line.size());
        ok = EGifPutLine(gif, line.data(), src.width) == GIF_OK;
    }
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;  // closes (and frees) in every case
    GifFreeMapObject(map);
    return ok;
}

// ---------------------------------------------------------------------------
// 6. Encoding

QImage pixels_to_qimage(const EncodeSource& src) {
    if (src.rgb) {
        // RGB32 has no alpha channel, so every writer stores 24-bit colour.
        QImage img(src.width, src.height, QImage::Format_RGB32);
        if (img.isNull()) return img;
        for (int y = 0; y < src.height; ++y) {
            const uint32_t* in = src.rgb + static_cast<size_t>(y) * static_cast<size_t>(src.width);
            auto* out = reinterpret_cast<uint32_t*>(img.scanLine(y));
            for (int x = 0; x < src.width; ++x) out[x] = in[x] | 0xFF000000u;
        }
        return img;
    }
    QImage img(src.width, src.height, QImage::Format_Indexed8);
    if (img.isNull()) return img;
    QVector<QRgb> table(256);
    for (int i = 0; i < 256; ++i) table[i] = src.colours[i] | 0xFF000000u;
    img.setColorTable(table);
    for (int y = 0; y < src.height; ++y)
        std::memcpy(img.scanLine(y), src.indexes + y * src.index_stride,
                    static_cast<size_t>(src.width));
    return img;
}

QImage to_qimage(const EncodeSource& src) {
    QImage img = pixels_to_qimage(src);
    if (!img.isNull() && src.dots_per_metre > 0) {
        img.setDotsPerMeterX(src.dots_per_metre);
        img.setDotsPerMeterY(src.dots_per_metre);
    }
    return img;
}

const char* qt_format_name(PictureFormat format) {
    switch (format) {
        case PictureFormat::Bmp:
            return "bmp";
        case PictureFormat::Jpeg:
            return "jpeg";
        case PictureFormat::Png:
            return "png";
        case PictureFormat::Tiff:
            return "tiff";
        case PictureFormat::Gif:
            break;
    }
    return nullptr;
}

bool encode(PictureFormat format, const EncodeSource& src, int quality, QByteArray* bytes) {
    if (format == PictureFormat::Gif) return encode_gif(src, bytes);
    const char* name = qt_format_name(format);
    if (!name) return false;
    const QImage img = to_qimage(src);
    if (img.isNull()) return false;
    QBuffer buffer(bytes);
    if (!buffer.open(QIODevice::WriteOnly)) return false;
    QImageWriter writer(&buffer, name);
    if (format == PictureFormat::Jpeg)
        writer.setQuality(quality < 0 ? 0 : quality > 100 ? 100 : quality);
    if (!writer.write(img)) return false;
    buffer.close();
    return true;
}

bool valid_source(const EncodeSource& source) {
    if (source.width < 1 || source.height < 1) return false;
    return source.rgb != nullptr || (source.indexes != nullptr && source.colours != nullptr &&
                                     source.index_stride >= source.width);
}

}  // namespace

DecodeStatus detail::decode_qimage(const QImage& image, const DecodeLimits& limits, Picture* out) {
    return guarded(out, [&] {
        if (image.isNull()) return DecodeStatus::Unreadable;
        if (!within_limits(image.width(), image.height(), limits)) return DecodeStatus::TooLarge;
        return convert_picture(image, out);
    });
}

DecodeStatus decode_picture(const std::string& path, const DecodeLimits& limits, Picture* out) {
    return guarded(out, [&] { return decode_file(path, limits, out); });
}

DecodeStatus decode_picture_bytes(const uint8_t* data, size_t size, const DecodeLimits& limits,
                                  Picture* out) {
    return guarded(out, [&] { return decode_bytes(data, size, limits, out); });
}

bool picture_size(const std::string& path, const DecodeLimits& limits, int32_t* width,
                  int32_t* height) {
    *width = 0;
    *height = 0;
    try {
        if (file_picture_size(path, limits, width, height)) return true;
    } catch (...) {
    }
    *width = 0;
    *height = 0;
    return false;
}

bool encode_picture(const std::string& path, PictureFormat format, const EncodeSource& source,
                    int quality) {
    if (!valid_source(source)) return false;
    try {
        QByteArray bytes;
        return encode(format, source, quality, &bytes) && replace_file(path, bytes);
    } catch (...) {
        return false;
    }
}

bool encode_picture_bytes(PictureFormat format, const EncodeSource& source, int quality,
                          std::vector<uint8_t>* out) {
    out->clear();
    if (!valid_source(source)) return false;
    try {
        QByteArray bytes;
        if (!encode(format, source, quality, &bytes)) return false;
        out->assign(bytes.constBegin(), bytes.constEnd());
        return true;
    } catch (...) {
        out->clear();
        return false;
    }
}

}  // namespace kaplo::platform
