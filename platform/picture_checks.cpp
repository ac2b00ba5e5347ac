// Cheap walks over PNG chunks, JPEG marker segments, TIFF directories and
// icon entries, made before a decoder sees the file.
//
// Sections:
//   1. Reading
//   2. Sizes
//   3. PNG
//   4. JPEG
//   5. TIFF
//   6. XBM
//   7. TGA and icons
//   8. Entry point

#include "platform/picture_checks.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace kaplo::platform {

namespace {

// ---------------------------------------------------------------------------
// 1. Reading

// A source read through a buffer, so that the JPEG walk may look at every
// byte of the compressed data without a call for each. It knows where it is,
// so that the PNG walk can name the stretches it keeps.
class Reader {
  public:
    explicit Reader(ByteSource& source) : source_(source), size_(source.size()) {}

    uint64_t size() const { return size_; }
    uint64_t position() const { return start_ + at_; }

    // Up to `size` of the next bytes, without reading them (at the start of
    // the source only, where the buffer is filled from its beginning).
    size_t peek(const uint8_t** out, size_t size) {
        if (at_ == end_) fill();
        *out = buffer_ + at_;
        return std::min(size, end_ - at_);
    }

    // The next byte, or -1 at the end.
    int next() {
        if (at_ == end_ && !fill()) return -1;
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

    // False, anywhere, when fewer than `count` bytes are left.
    bool skip(uint64_t count) {
        if (count <= end_ - at_) {
            at_ += static_cast<size_t>(count);
            return true;
        }
        return count <= size_ - position() && seek(position() + count);
    }

    bool seek(uint64_t offset) {
        if (offset > size_ || !source_.seek(offset)) return false;
        start_ = offset;
        at_ = end_ = 0;
        return true;
    }

    // `size` bytes from `offset`.
    bool read_at(uint64_t offset, uint8_t* out, size_t size) {
        return seek(offset) && read(out, size);
    }

  private:
    bool fill() {
        start_ += end_;
        at_ = 0;
        end_ = source_.read(buffer_, sizeof buffer_);
        return end_ > 0;
    }

    ByteSource& source_;
    const uint64_t size_;
    uint8_t buffer_[16384];
    uint64_t start_ = 0;  // where buffer_[0] lies in the source
    size_t at_ = 0, end_ = 0;
};

uint32_t be16(const uint8_t* p) {
    return uint32_t{p[0]} << 8 | p[1];
}
uint32_t be32(const uint8_t* p) {
    return be16(p) << 16 | be16(p + 2);
}
uint32_t le16(const uint8_t* p) {
    return uint32_t{p[1]} << 8 | p[0];
}
uint32_t le32(const uint8_t* p) {
    return le16(p + 2) << 16 | le16(p);
}

// Whether `size` bytes from `offset` lie in a file of `file_size` bytes.
bool inside(uint64_t offset, uint64_t size, uint64_t file_size) {
    return size <= file_size && offset <= file_size - size;
}

// a x b, or UINT64_MAX when that does not fit.
uint64_t times(uint64_t a, uint64_t b) {
    uint64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? UINT64_MAX : product;
}

uint64_t round_up_div(uint64_t a, uint64_t b) {
    return a / b + (a % b != 0);
}

// ---------------------------------------------------------------------------
// 2. Sizes

// Sides of 0 are a damaged header; sizes past the limits are refused as such.
// A decoder that works at `bytes_per_pixel` (more than the 4 of the image it
// is drawn into) must also keep its own picture within the limits' bytes.
DecodeStatus check_size(uint64_t width, uint64_t height, const DecodeLimits& limits,
                        uint64_t bytes_per_pixel = 4) {
    if (width == 0 || height == 0) return DecodeStatus::Unreadable;
    if (!within_limits(static_cast<int64_t>(std::min<uint64_t>(width, INT64_MAX)),
                       static_cast<int64_t>(std::min<uint64_t>(height, INT64_MAX)), limits))
        return DecodeStatus::TooLarge;
    return width * height <= static_cast<uint64_t>(limits.max_bytes) / bytes_per_pixel
               ? DecodeStatus::Ok
               : DecodeStatus::TooLarge;
}

// Qt decodes 16-bit colour into 64-bit pixels (QImage's RGBA64 formats).
constexpr uint64_t kWidePixelBytes = 8;

// ---------------------------------------------------------------------------
// 3. PNG

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint32_t kMaxPngChunk = 0x7FFFFFFF;

// Critical chunks (an upper-case first letter) and tRNS are what the pixels
// are made of; the decoder is never given any other chunk.
bool png_chunk_kept(const uint8_t* type) {
    return (type[0] & 0x20) == 0 || std::memcmp(type, "tRNS", 4) == 0;
}

// Appends a stretch, joined to the last one when it follows it.
bool keep(uint64_t offset, uint64_t size, std::vector<ByteRange>* parts) {
    if (!parts->empty() && parts->back().offset + parts->back().size == offset) {
        parts->back().size += size;
        return true;
    }
    if (parts->size() == kMaxPngParts) return false;
    parts->push_back(ByteRange{offset, size});
    return true;
}

// After the signature: chunks of a 4-byte length, a 4-byte type, the data
// and a 4-byte CRC, from IHDR to IEND.
DecodeStatus check_png(Reader& in, const DecodeLimits& limits, std::vector<ByteRange>* parts) {
    uint8_t header[13];
    bool image_data = false, transparency = false;
    keep(0, sizeof kPngSignature, parts);
    for (bool first = true;; first = false) {
        const uint64_t at = in.position();
        uint8_t head[8];
        if (!in.read(head, sizeof head)) return DecodeStatus::Unreadable;
        const uint32_t length = be32(head);
        const uint8_t* type = head + 4;
        if (length > kMaxPngChunk) return DecodeStatus::Unreadable;
        if (first != (std::memcmp(type, "IHDR", 4) == 0)) return DecodeStatus::Unreadable;
        if (first) {
            if (length != sizeof header || !in.read(header, sizeof header))
                return DecodeStatus::Unreadable;
            const DecodeStatus status = check_size(be32(header), be32(header + 4), limits);
            if (status != DecodeStatus::Ok) return status;
            if (!in.skip(4)) return DecodeStatus::Unreadable;
        } else if (!in.skip(uint64_t{length} + 4)) {
            return DecodeStatus::Unreadable;
        }
        if (png_chunk_kept(type) && !keep(at, uint64_t{length} + 12, parts))
            return DecodeStatus::Unreadable;
        if (std::memcmp(type, "IDAT", 4) == 0) image_data = true;
        if (std::memcmp(type, "tRNS", 4) == 0) transparency = true;
        if (std::memcmp(type, "IEND", 4) == 0) break;
    }
    if (!image_data) return DecodeStatus::Unreadable;
    // 16 bits a sample: 64-bit pixels, but for grey without transparency,
    // which Qt keeps in 16 bits.
    const uint8_t depth = header[8], colour_type = header[9];
    const bool wide = depth == 16 && (colour_type != 0 || transparency);
    return check_size(be32(header), be32(header + 4), limits, wide ? kWidePixelBytes : 4);
}

// ---------------------------------------------------------------------------
// 4. JPEG

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
// restart markers (D0..D7) belong to the data. `skipped` counts them. -1 at
// the end of the file.
int next_marker(Reader& in, uint64_t* skipped) {
    *skipped = 0;
    for (;;) {
        int b = in.next();
        if (b != 0xFF) {
            if (b < 0) return -1;
            ++*skipped;
            continue;
        }
        uint64_t fill = 0;
        do b = in.next(), ++fill;
        while (b == 0xFF);
        if (b < 0) return -1;
        if (b != 0 && !(b >= 0xD0 && b <= 0xD7)) return b;
        *skipped += fill + 1;
    }
}

bool progressive(int frame_marker) {
    return frame_marker == 0xC2 || frame_marker == 0xC6 || frame_marker == 0xCA ||
           frame_marker == 0xCE;
}

struct JpegComponent {
    uint8_t id, h, v;  // sampling factors 1..4
    bool dc_coded;     // some scan holds its DC coefficients
};

struct JpegFrame {
    int marker = 0;  // 0: no frame yet
    uint32_t width = 0, height = 0;
    uint32_t max_h = 1, max_v = 1;
    std::vector<JpegComponent> components;
};

// Precision, height, width, the component count and 3 bytes a component (id,
// sampling factors, quantisation table).
DecodeStatus read_frame(Reader& in, int marker, uint64_t rest, const DecodeLimits& limits,
                        JpegFrame* frame) {
    uint8_t head[6];
    if (frame->marker != 0 || rest < sizeof head || !in.read(head, sizeof head))
        return DecodeStatus::Unreadable;
    const DecodeStatus status = check_size(be16(head + 3), be16(head + 1), limits);
    if (status != DecodeStatus::Ok) return status;
    const uint32_t count = head[5];
    if (count == 0 || rest != sizeof head + 3 * count) return DecodeStatus::Unreadable;
    frame->marker = marker;
    frame->width = be16(head + 3);
    frame->height = be16(head + 1);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t c[3];
        if (!in.read(c, sizeof c)) return DecodeStatus::Unreadable;
        const uint8_t h = c[1] >> 4, v = c[1] & 15;
        if (h < 1 || h > 4 || v < 1 || v > 4) return DecodeStatus::Unreadable;
        frame->components.push_back(JpegComponent{c[0], h, v, false});
        frame->max_h = std::max<uint32_t>(frame->max_h, h);
        frame->max_v = std::max<uint32_t>(frame->max_v, v);
    }
    return DecodeStatus::Ok;
}

// The fewest bits an encoder spends on an 8 x 8 block in a scan. Sequential
// Huffman coding spends at least a 1-bit code on the DC difference and one on
// the end of block (or the first AC coefficient); a progressive DC scan at
// least a code or, refining, a bit. Progressive AC scans cover thousands of
// empty blocks with one end-of-band run, and arithmetic coding may spend far
// less than a bit on a block: no floor there. (Lossless frames code every
// sample in a bit at least, more than this.)
uint64_t least_bits_per_block(int frame_marker, int spectral_start) {
    switch (frame_marker) {
        case 0xC0:
        case 0xC1:
        case 0xC3:
            return 2;
        case 0xC2:
            return spectral_start == 0 ? 1 : 0;
        default:
            return 0;
    }
}

// The component count, then a component id and table choice each, the
// spectral selection and the successive approximation. Marks the components
// whose DC coefficients it carries and answers the fewest bits of
// compressed data it can have.
DecodeStatus read_scan(Reader& in, uint64_t rest, JpegFrame* frame, uint64_t* least_bits) {
    uint8_t count = 0;
    if (frame->marker == 0 || rest < 1 || !in.read(&count, 1)) return DecodeStatus::Unreadable;
    uint8_t scan[4 * 2 + 3];
    if (count < 1 || count > 4 || rest != 1 + 2u * count + 3 || !in.read(scan, 2u * count + 3))
        return DecodeStatus::Unreadable;
    // A progressive scan holds the DC coefficients when its spectral band
    // starts at 0 and it is no refinement; any other scan holds them all.
    const uint8_t spectral_start = scan[2 * count], approximation_high = scan[2 * count + 2] >> 4;
    const bool dc = !progressive(frame->marker) || (spectral_start == 0 && approximation_high == 0);
    // One component: its own blocks; several: whole units of the largest
    // sampling factors, each with h x v blocks of each component.
    const uint64_t units = round_up_div(frame->width, 8 * frame->max_h) *
                           round_up_div(frame->height, 8 * frame->max_v);
    uint64_t blocks = 0;
    for (int i = 0; i < count; ++i) {
        auto c = std::find_if(frame->components.begin(), frame->components.end(),
                              [&](const JpegComponent& k) { return k.id == scan[2 * i]; });
        if (c == frame->components.end()) return DecodeStatus::Unreadable;
        c->dc_coded = c->dc_coded || dc;
        blocks +=
            count > 1
                ? units * c->h * c->v
                : round_up_div(round_up_div(uint64_t{frame->width} * c->h, frame->max_h), 8) *
                      round_up_div(round_up_div(uint64_t{frame->height} * c->v, frame->max_v), 8);
    }
    *least_bits = blocks * least_bits_per_block(frame->marker, spectral_start);
    return DecodeStatus::Ok;
}

// After the start-of-image marker: segments of a marker, a 2-byte length
// (counting itself) and data; each scan's compressed data follows its
// segment.
DecodeStatus check_jpeg(Reader& in, const DecodeLimits& limits) {
    JpegFrame frame;
    int scans = 0;
    uint64_t least_scan_bits = 0;  // of the scan whose data comes next
    for (;;) {
        uint64_t data = 0;
        const int marker = next_marker(in, &data);
        if (marker < 0 || marker == kStartOfImage) return DecodeStatus::Unreadable;
        if (data < least_scan_bits / 8 + (least_scan_bits % 8 != 0))
            return DecodeStatus::Unreadable;
        least_scan_bits = 0;
        if (marker == kEndOfImage) {
            const bool whole = std::all_of(frame.components.begin(), frame.components.end(),
                                           [](const JpegComponent& c) { return c.dc_coded; });
            return scans > 0 && whole ? DecodeStatus::Ok : DecodeStatus::Unreadable;
        }
        if (marker == kTemporary) continue;  // no segment
        uint8_t length[2];
        if (!in.read(length, sizeof length) || be16(length) < 2) return DecodeStatus::Unreadable;
        const uint64_t rest = be16(length) - 2;
        DecodeStatus status = DecodeStatus::Ok;
        if (is_frame(marker)) {
            status = read_frame(in, marker, rest, limits, &frame);
        } else if (marker == kStartOfScan) {
            if (++scans > kMaxJpegScans) return DecodeStatus::TooLarge;
            status = read_scan(in, rest, &frame, &least_scan_bits);
        } else if (!in.skip(rest)) {
            status = DecodeStatus::Unreadable;
        }
        if (status != DecodeStatus::Ok) return status;
    }
}

// ---------------------------------------------------------------------------
// 5. TIFF

enum TiffTag : uint16_t {
    kImageWidth = 256,
    kImageLength = 257,
    kBitsPerSample = 258,
    kPhotometric = 262,
    kStripOffsets = 273,
    kSamplesPerPixel = 277,
    kRowsPerStrip = 278,
    kStripByteCounts = 279,
    kPlanarConfig = 284,
    kColorMap = 320,
    kTileWidth = 322,
    kTileLength = 323,
    kTileOffsets = 324,
    kTileByteCounts = 325,
};
constexpr TiffTag kTiffTags[] = {
    kImageWidth,      kImageLength,  kBitsPerSample,   kPhotometric,    kStripOffsets,
    kSamplesPerPixel, kRowsPerStrip, kStripByteCounts, kPlanarConfig,   kColorMap,
    kTileWidth,       kTileLength,   kTileOffsets,     kTileByteCounts,
};
constexpr uint64_t kPhotometricRgb = 2, kPhotometricPalette = 3;

// An entry's values: `count` of `type`, at `offset` in the file.
struct TiffValues {
    uint16_t type = 0;
    uint64_t count = 0;
    uint64_t offset = 0;
};

// Bytes a value of each entry type takes; 0 for types libtiff does not know,
// whose entries it leaves aside.
uint64_t tiff_type_size(uint16_t type) {
    switch (type) {
        case 1:
        case 2:
        case 6:
        case 7:  // BYTE, ASCII, SBYTE, UNDEFINED
            return 1;
        case 3:
        case 8:  // SHORT, SSHORT
            return 2;
        case 4:
        case 9:
        case 11:
        case 13:  // LONG, SLONG, FLOAT, IFD
            return 4;
        case 5:
        case 10:
        case 12:
        case 16:
        case 17:
        case 18:  // RATIONALs, DOUBLE, LONG8s, IFD8
            return 8;
        default:
            return 0;
    }
}

bool tiff_integer(uint16_t type) {
    return type == 1 || type == 3 || type == 4 || type == 16;
}

// The first directory of a TIFF file: its entries for the tags the pixels
// depend on, read a value at a time or a block at a time.
class TiffFile {
  public:
    explicit TiffFile(Reader& in) : in_(in) {}

    // The header, then the first directory: its entries, each with its
    // values wholly in the file.
    bool read_directory() {
        uint8_t head[16];
        if (!in_.read_at(0, head, 8)) return false;
        little_ = head[0] == 'I';
        big_ = number(head + 2, 2) == 43;
        uint64_t directory = number(head + 4, 4);
        if (big_) {
            if (number(head + 4, 2) != 8 || !in_.read_at(8, head + 8, 8)) return false;
            directory = number(head + 8, 8);
        }
        const uint64_t count_size = big_ ? 8 : 2, entry_size = big_ ? 20 : 12;
        uint8_t count_bytes[8];
        if (directory < 8 || !in_.read_at(directory, count_bytes, count_size)) return false;
        // The entries, then where the next directory lies (a field's size).
        const uint64_t count = number(count_bytes, count_size);
        const uint64_t field = big_ ? 8 : 4;
        if (count == 0 || count > 0xFFFF ||
            !inside(directory, count_size + count * entry_size + field, in_.size()))
            return false;
        for (uint64_t i = 0; i < count; ++i) {
            uint8_t e[20];
            const uint64_t at = directory + count_size + i * entry_size;
            if (!in_.read(e, entry_size)) return false;
            TiffValues values{static_cast<uint16_t>(number(e + 2, 2)), 0, 0};
            values.count = number(e + 4, field);
            const uint64_t value_size = tiff_type_size(values.type);
            if (value_size == 0) continue;
            // Values that fit the entry's last field are in it.
            const uint64_t bytes = times(values.count, value_size);
            values.offset =
                bytes <= field ? at + entry_size - field : number(e + entry_size - field, field);
            if (!inside(values.offset, bytes, in_.size())) return false;
            const uint16_t tag = static_cast<uint16_t>(number(e, 2));
            for (size_t t = 0; t < std::size(kTiffTags); ++t)
                if (kTiffTags[t] == tag && entries_[t].count == 0) entries_[t] = values;
        }
        return true;
    }

    const TiffValues& entry(TiffTag tag) const {
        for (size_t t = 0; t < std::size(kTiffTags); ++t)
            if (kTiffTags[t] == tag) return entries_[t];
        return entries_[0];
    }
    bool has(TiffTag tag) const { return entry(tag).count > 0; }

    // The first value of an integer entry; `fallback` when there is none.
    bool first(TiffTag tag, uint64_t fallback, uint64_t* out) {
        const TiffValues& e = entry(tag);
        if (e.count == 0) {
            *out = fallback;
            return true;
        }
        uint8_t bytes[8];
        const uint64_t size = tiff_type_size(e.type);
        if (!tiff_integer(e.type) || !in_.read_at(e.offset, bytes, size)) return false;
        *out = number(bytes, size);
        return true;
    }

    // The values of an integer entry in order, read a block at a time.
    class Cursor {
      public:
        Cursor(TiffFile& file, const TiffValues& e) : file_(file), e_(e) {}
        bool next(uint64_t* out) {
            const uint64_t size = tiff_type_size(e_.type);
            if (at_ == held_) {
                const uint64_t n = std::min<uint64_t>(sizeof block_ / size, e_.count - index_);
                if (n == 0 || !file_.in_.read_at(e_.offset + index_ * size, block_, n * size))
                    return false;
                held_ = n;
                at_ = 0;
            }
            *out = file_.number(block_ + at_ * size, size);
            ++at_;
            ++index_;
            return true;
        }

      private:
        TiffFile& file_;
        const TiffValues& e_;
        uint8_t block_[4096];
        uint64_t index_ = 0, at_ = 0, held_ = 0;
    };

  private:
    uint64_t number(const uint8_t* p, uint64_t size) const {
        uint64_t v = 0;
        for (uint64_t i = 0; i < size; ++i) v |= uint64_t{p[little_ ? i : size - 1 - i]} << (8 * i);
        return v;
    }

    Reader& in_;
    bool little_ = true, big_ = false;
    TiffValues entries_[std::size(kTiffTags)];
};

// The strips or tiles of the picture: each must lie in the file, and none
// may be larger decoded than the limits allow a picture, for the decoder
// holds a piece decoded while it draws it.
DecodeStatus check_tiff_pieces(TiffFile& tiff, Reader& in, const DecodeLimits& limits,
                               uint64_t width, uint64_t height, uint64_t bits, uint64_t samples) {
    uint64_t planar = 0;
    if (!tiff.first(kPlanarConfig, 1, &planar)) return DecodeStatus::Unreadable;
    // Planar pictures have a plane of pieces for each sample.
    const uint64_t planes = planar == 2 ? samples : 1;
    const uint64_t row_samples = planar == 2 ? 1 : samples;
    // A piece is `across` pixels wide and `down` rows high.
    const bool tiled = tiff.has(kTileWidth) || tiff.has(kTileOffsets);
    uint64_t across = width, down = 0;
    if (tiled) {
        if (!tiff.first(kTileWidth, 0, &across) || !tiff.first(kTileLength, 0, &down))
            return DecodeStatus::Unreadable;
    } else if (!tiff.first(kRowsPerStrip, UINT64_MAX, &down)) {
        return DecodeStatus::Unreadable;
    } else {
        down = std::min(down, height);
    }
    if (across == 0 || down == 0) return DecodeStatus::Unreadable;
    const uint64_t row_bytes = round_up_div(times(times(across, row_samples), bits), 8);
    if (times(down, row_bytes) > static_cast<uint64_t>(limits.max_bytes))
        return DecodeStatus::TooLarge;

    // Each piece has its offset and its size (libtiff makes up for a short
    // list with pieces from wherever it ends up).
    const uint64_t count = times(round_up_div(width, across) * round_up_div(height, down), planes);
    const TiffValues& offsets = tiff.entry(tiled ? kTileOffsets : kStripOffsets);
    const TiffValues& sizes = tiff.entry(tiled ? kTileByteCounts : kStripByteCounts);
    if (!tiff_integer(offsets.type) || !tiff_integer(sizes.type) || offsets.count < count ||
        sizes.count < count)
        return DecodeStatus::Unreadable;
    TiffFile::Cursor offset_of(tiff, offsets), size_of(tiff, sizes);
    for (uint64_t i = 0; i < count; ++i) {
        uint64_t at = 0, size = 0;
        if (!offset_of.next(&at) || !size_of.next(&size) || !inside(at, size, in.size()))
            return DecodeStatus::Unreadable;
    }
    return DecodeStatus::Ok;
}

// A header ("II" or "MM", 42 or, for BigTIFF, 43), then directories of
// entries. Only the first directory is decoded.
DecodeStatus check_tiff(Reader& in, const DecodeLimits& limits) {
    TiffFile tiff(in);
    if (!tiff.read_directory()) return DecodeStatus::Unreadable;
    uint64_t width = 0, height = 0, bits = 0, samples = 0, photometric = 0;
    if (!tiff.first(kImageWidth, 0, &width) || !tiff.first(kImageLength, 0, &height) ||
        !tiff.first(kBitsPerSample, 1, &bits) || !tiff.first(kSamplesPerPixel, 1, &samples) ||
        !tiff.first(kPhotometric, kPhotometricRgb, &photometric) || bits == 0 || bits > 64 ||
        samples == 0)
        return DecodeStatus::Unreadable;
    // 16-bit colour (and a picture without a photometric tag, which libtiff
    // may take for colour) comes out of Qt's reader in 64-bit pixels.
    const bool wide = bits == 16 && samples >= 3 && photometric == kPhotometricRgb;
    DecodeStatus status = check_size(width, height, limits, wide ? kWidePixelBytes : 4);
    if (status != DecodeStatus::Ok) return status;
    status = check_tiff_pieces(tiff, in, limits, width, height, bits, samples);
    if (status != DecodeStatus::Ok) return status;
    // libtiff reads a palette picture without its whole colour map as grey.
    if (photometric == kPhotometricPalette &&
        (bits > 16 || tiff.entry(kColorMap).count != uint64_t{3} << bits))
        return DecodeStatus::Unreadable;
    return DecodeStatus::Ok;
}

// ---------------------------------------------------------------------------
// 6. XBM

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
        check_size(static_cast<uint64_t>(width), static_cast<uint64_t>(height), limits);
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

// ---------------------------------------------------------------------------
// 7. TGA and icons

// TGA files have no signature up front; version 2 ends with a footer, and
// it is the only TGA Qt's reader takes.
constexpr char kTgaFooter[18] = {'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I', 'O',
                                 'N', '-', 'X', 'F', 'I', 'L', 'E', '.', '\0'};
constexpr uint64_t kTgaHeaderSize = 18;

bool has_tga_footer(Reader& in) {
    uint8_t end[sizeof kTgaFooter];
    return in.size() >= kTgaHeaderSize + 8 + sizeof end &&
           in.read_at(in.size() - sizeof end, end, sizeof end) &&
           std::memcmp(end, kTgaFooter, sizeof end) == 0;
}

// A header of 0, the type (1 icon, 2 cursor) and the picture count, then an
// entry of 16 bytes for each picture, ending with the size of its data and
// where it lies.
DecodeStatus check_icon(Reader& in) {
    uint8_t head[6];
    if (!in.read(head, sizeof head) || le16(head + 4) == 0) return DecodeStatus::Unreadable;
    for (uint32_t i = 0; i < le16(head + 4); ++i) {
        uint8_t entry[16];
        if (!in.read(entry, sizeof entry) || le32(entry + 8) == 0 ||
            !inside(le32(entry + 12), le32(entry + 8), in.size()))
            return DecodeStatus::Unreadable;
    }
    return DecodeStatus::Ok;
}

}  // namespace

// ---------------------------------------------------------------------------
// 8. Entry point

DecodeStatus check_picture(ByteSource& source, const DecodeLimits& limits, CheckedPicture* out) {
    *out = CheckedPicture{};
    Reader in(source);
    const uint8_t* peeked = nullptr;
    uint8_t head[sizeof kPngSignature];
    const size_t size = in.peek(&peeked, sizeof head);
    std::memcpy(head, peeked, size);  // the TGA check reads elsewhere
    const auto starts = [&](const void* magic, size_t length) {
        return size >= length && std::memcmp(head, magic, length) == 0;
    };
    if (starts("\xFF\xD8", 2))
        return in.skip(2) ? check_jpeg(in, limits) : DecodeStatus::Unreadable;
    if (starts(kPngSignature, sizeof kPngSignature))
        return in.skip(sizeof kPngSignature) ? check_png(in, limits, &out->parts)
                                             : DecodeStatus::Unreadable;
    if (starts("#define", 7)) return check_xbm(in, limits);
    if (starts("II*\0", 4) || starts("MM\0*", 4) || starts("II+\0", 4) || starts("MM\0+", 4))
        return check_tiff(in, limits);
    if (has_tga_footer(in)) {
        out->format = "tga";
        return DecodeStatus::Ok;
    }
    if (starts("\0\0\1\0", 4) || starts("\0\0\2\0", 4))
        return in.seek(0) ? check_icon(in) : DecodeStatus::Unreadable;
    return DecodeStatus::Ok;  // for the decoders to judge
}

}  // namespace kaplo::platform
