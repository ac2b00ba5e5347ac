// Cheap walks over PNG chunks and JPEG marker segments, made before a
// decoder sees the file.
//
// Sections:
//   1. Buffered reading
//   2. PNG
//   3. JPEG
//   4. XBM
//   5. Entry point

#include "platform/picture_checks.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace kaplo::platform {

namespace {

// ---------------------------------------------------------------------------
// 1. Buffered reading

// A source read through a buffer, so that the JPEG walk may look at every
// byte of the compressed data without a call for each.
class Reader {
  public:
    explicit Reader(ByteSource& source) : source_(source) {}

    // Up to `size` of the next bytes, without reading them (at the start of
    // the source only, where the buffer is filled from its beginning).
    size_t peek(const uint8_t** out, size_t size) {
        if (at_ == end_) {
            end_ = source_.read(buffer_, sizeof buffer_);
            at_ = 0;
        }
        *out = buffer_ + at_;
        return std::min(size, end_ - at_);
    }

    // The next byte, or -1 at the end.
    int next() {
        if (at_ == end_) {
            end_ = source_.read(buffer_, sizeof buffer_);
            at_ = 0;
            if (end_ == 0) return -1;
        }
        return buffer_[at_++];
    }

    // False when fewer than `size` bytes are left.
    bool read(uint8_t* out, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            const int b = next();
            if (b < 0) return false;
            out[i] = static_cast<uint8_t>(b);
        }
        return true;
    }

    bool skip(uint64_t count) {
        const size_t held = end_ - at_;
        if (count <= held) {
            at_ += static_cast<size_t>(count);
            return true;
        }
        at_ = end_;
        return source_.skip(count - held);
    }

  private:
    ByteSource& source_;
    uint8_t buffer_[16384];
    size_t at_ = 0, end_ = 0;
};

uint32_t be16(const uint8_t* p) {
    return uint32_t{p[0]} << 8 | p[1];
}
uint32_t be32(const uint8_t* p) {
    return be16(p) << 16 | be16(p + 2);
}

// Sides of 0 are a damaged header; sizes past the limits are refused as such.
DecodeStatus check_size(uint32_t width, uint32_t height, const DecodeLimits& limits) {
    if (width == 0 || height == 0) return DecodeStatus::Unreadable;
    return within_limits(width, height, limits) ? DecodeStatus::Ok : DecodeStatus::TooLarge;
}

// ---------------------------------------------------------------------------
// 2. PNG

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint32_t kMaxPngChunk = 0x7FFFFFFF;

// After the signature: chunks of a 4-byte length, a 4-byte type, the data
// and a 4-byte CRC, from IHDR to IEND.
DecodeStatus check_png(Reader& in, const DecodeLimits& limits) {
    bool image_data = false;
    for (bool first = true;; first = false) {
        uint8_t head[8];
        if (!in.read(head, sizeof head)) return DecodeStatus::Unreadable;
        const uint32_t length = be32(head);
        const uint8_t* type = head + 4;
        if (length > kMaxPngChunk) return DecodeStatus::Unreadable;
        if (first != (std::memcmp(type, "IHDR", 4) == 0)) return DecodeStatus::Unreadable;
        if (first) {
            uint8_t size[8];
            if (length != 13 || !in.read(size, sizeof size)) return DecodeStatus::Unreadable;
            const DecodeStatus status = check_size(be32(size), be32(size + 4), limits);
            if (status != DecodeStatus::Ok) return status;
            if (!in.skip(13 - sizeof size + 4)) return DecodeStatus::Unreadable;
            continue;
        }
        if (!in.skip(uint64_t{length} + 4)) return DecodeStatus::Unreadable;
        if (std::memcmp(type, "IDAT", 4) == 0) image_data = true;
        if (std::memcmp(type, "IEND", 4) == 0)
            return image_data ? DecodeStatus::Ok : DecodeStatus::Unreadable;
    }
}

// ---------------------------------------------------------------------------
// 3. JPEG

constexpr int kEndOfImage = 0xD9;
constexpr int kStartOfImage = 0xD8;
constexpr int kStartOfScan = 0xDA;
constexpr int kTemporary = 0x01;

// Frame headers: SOF0..SOF15 but for DHT (C4), JPG (C8) and DAC (CC).
bool is_frame(int marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// The code of the next marker: 0xFF, any number of 0xFF fill bytes, then the
// code. Bytes before it are skipped, as the decoder skips them: within a
// scan they are its compressed data, where 0xFF 0x00 stands for 0xFF and the
// restart markers (D0..D7) belong to the data. -1 at the end of the file.
int next_marker(Reader& in) {
    for (;;) {
        int b = in.next();
        if (b != 0xFF) {
            if (b < 0) return -1;
            continue;
        }
        do b = in.next();
        while (b == 0xFF);
        if (b < 0) return -1;
        if (b != 0 && !(b >= 0xD0 && b <= 0xD7)) return b;
    }
}

// After the start-of-image marker: segments of a marker, a 2-byte length
// (counting itself) and data; each scan's compressed data follows its
// segment.
DecodeStatus check_jpeg(Reader& in, const DecodeLimits& limits) {
    bool frame = false;
    int scans = 0;
    for (;;) {
        const int marker = next_marker(in);
        if (marker < 0 || marker == kStartOfImage) return DecodeStatus::Unreadable;
        if (marker == kEndOfImage) return scans > 0 ? DecodeStatus::Ok : DecodeStatus::Unreadable;
        if (marker == kTemporary) continue;  // no segment
        uint8_t length[2];
        if (!in.read(length, sizeof length) || be16(length) < 2) return DecodeStatus::Unreadable;
        uint64_t rest = be16(length) - 2;
        if (is_frame(marker)) {
            uint8_t head[5];  // precision, height, width
            if (frame || rest < 6 || !in.read(head, sizeof head)) return DecodeStatus::Unreadable;
            const DecodeStatus status = check_size(be16(head + 3), be16(head + 1), limits);
            if (status != DecodeStatus::Ok) return status;
            frame = true;
            rest -= sizeof head;
        }
        if (!in.skip(rest)) return DecodeStatus::Unreadable;
        if (marker == kStartOfScan) {
            if (!frame) return DecodeStatus::Unreadable;
            if (++scans > kMaxJpegScans) return DecodeStatus::TooLarge;
        }
    }
}

// ---------------------------------------------------------------------------
// 4. XBM

// The number ending a line "#define <name> <number>"; -1 for any other line.
int64_t define_value(Reader& in) {
    std::string line;
    for (int b = in.next(); b >= 0 && b != '\n' && line.size() < 300; b = in.next())
        line.push_back(static_cast<char>(b));
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    const size_t space = line.find_last_of(" \t");
    if (line.rfind("#define", 0) != 0 || space < 7 || line.size() - space < 2 ||
        line.size() - space > 10)
        return -1;
    int64_t value = 0;
    for (size_t i = space + 1; i < line.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(line[i]))) return -1;
        value = value * 10 + (line[i] - '0');
    }
    return value;
}

// C source: "#define <name>_width <width>", the same for the height, then the
// pixels as hex bytes "0x..", (width + 7) / 8 to a row. Qt's reader takes the
// first so many "0x" of the rest of the file, whatever follows them, and
// fills what it does not find with white: all must be there, each with its
// two digits.
DecodeStatus check_xbm(Reader& in, const DecodeLimits& limits) {
    const int64_t width = define_value(in), height = define_value(in);
    if (width < 0 || height < 0) return DecodeStatus::Unreadable;
    const DecodeStatus status =
        check_size(static_cast<uint32_t>(width), static_cast<uint32_t>(height), limits);
    if (status != DecodeStatus::Ok) return status;
    uint64_t missing = static_cast<uint64_t>((width + 7) / 8 * height);
    for (char last[4] = {}; missing > 0;) {  // the last four characters read
        const int b = in.next();
        if (b < 0) return DecodeStatus::Unreadable;
        std::memmove(last, last + 1, 3);
        last[3] = static_cast<char>(b);
        if (last[0] == '0' && last[1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(last[2])) &&
            std::isxdigit(static_cast<unsigned char>(last[3])))
            --missing;
    }
    return DecodeStatus::Ok;
}

}  // namespace

// ---------------------------------------------------------------------------
// 5. Entry point

DecodeStatus check_picture(ByteSource& source, const DecodeLimits& limits) {
    Reader in(source);
    const uint8_t* head = nullptr;
    const size_t size = in.peek(&head, sizeof kPngSignature);
    const auto starts = [&](const void* magic, size_t length) {
        return size >= length && std::memcmp(head, magic, length) == 0;
    };
    if (starts("\xFF\xD8", 2))
        return in.skip(2) ? check_jpeg(in, limits) : DecodeStatus::Unreadable;
    if (starts(kPngSignature, sizeof kPngSignature))
        return in.skip(sizeof kPngSignature) ? check_png(in, limits) : DecodeStatus::Unreadable;
    if (starts("#define", 7)) return check_xbm(in, limits);
    return DecodeStatus::Ok;  // for the decoders to judge
}

}  // namespace kaplo::platform
