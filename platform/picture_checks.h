#pragma once
// What a picture file claims, checked against what it holds before a decoder
// is given it: a decoder trusts a chunk's length, a strip's offset or a scan
// count and allocates or works accordingly, long before it finds the file too
// short, and it fills whatever it does not find with black or grey. Plain C++
// without Qt; the checks read headers and skip everything else, so a file is
// never held in memory whole.
//
// Usage:
//   MySource source(file);  // a ByteSource over the file's bytes
//   platform::CheckedPicture checked;
//   if (platform::check_picture(source, limits, &checked) != platform::DecodeStatus::Ok) refuse;
//   // hand the decoder checked.parts of the file, as checked.format
//
// Threads: any thread; calls share no state.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/codecs.h"

namespace kaplo::platform {

// The bytes of a picture, read from the start on; TIFF directories and a TGA
// footer are found by moving about in them.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Reads up to `size` bytes into `out`; fewer only at the end.
    virtual size_t read(uint8_t* out, size_t size) = 0;
    // Moves to `offset` from the start; false when that is past the end.
    virtual bool seek(uint64_t offset) = 0;
    // The number of bytes in all.
    virtual uint64_t size() = 0;
};

// `size` bytes from `offset`.
struct ByteRange {
    uint64_t offset;
    uint64_t size;
};

// What the decoder is to be given once a picture passes its checks.
struct CheckedPicture {
    // The stretches of the file the decoder reads, in order, as one file;
    // empty: the whole file. A PNG's ancillary chunks are left out (but
    // tRNS, which gives its pixels their transparency): text, profiles and
    // the like change no pixel, and libpng inflates every compressed one
    // before the first row, whatever it holds.
    std::vector<ByteRange> parts;
    // The format when the first bytes do not tell it (a TGA, known by the
    // footer it ends with, whose first bytes may look like an icon's), for
    // the decoder to be chosen by; null: chosen by the bytes.
    const char* format = nullptr;
};

// The most scans a JPEG may have. Progressive encoders write about ten; each
// scan is a pass over the whole picture, so thousands of tiny ones would keep
// the decoder busy for minutes.
inline constexpr int kMaxJpegScans = 100;

// The most stretches a PNG is handed to its decoder in. A well-formed PNG
// has its chunks in runs of at most five (signature and header; palette;
// transparency; image data; end), with ancillary chunks between them.
inline constexpr size_t kMaxPngParts = 64;

// Every format: a size of 0 is Unreadable, one past `limits` TooLarge, and
// so are pictures whose decoder works at 64 bits a pixel (16-bit colour PNG
// and TIFF) when width x height x 8 exceeds limits.max_bytes.
// PNG: every chunk lies wholly in the file (length, type, data, CRC), the
// first is an IHDR, and IEND comes after at least one IDAT; more than
// kMaxPngParts parts kept is Unreadable.
// JPEG: every marker segment lies wholly in the file, a frame header comes
// before the first scan, every component of the frame has its DC
// coefficients in a scan, there are at most kMaxJpegScans scans (TooLarge
// otherwise), each Huffman-coded scan has at least as many bytes as its
// blocks need (2 bits a block in sequential scans, 1 in progressive DC
// scans; arithmetic coding has no such floor), and the end-of-image marker
// is there.
// TIFF (classic and BigTIFF): the first directory and every value its
// entries point at lie wholly in the file; width, height and every strip or
// tile, each of data within the file (uncompressed ones holding all their
// rows, decoded ones within limits.max_bytes: TooLarge otherwise); a palette
// picture's colour map of 3 x 2^bits entries.
// XBM (a file that starts "#define"): a width and a height within `limits`
// on the first two lines, and every byte of the pixels after them.
// TGA (a file ending with the "TRUEVISION-XFILE." footer): format "tga".
// Icons and cursors (otherwise, a file that starts 0 0 1 0 or 0 0 2 0): at
// least one entry, and every entry's picture within the file.
// Anything else is Ok, left to its decoder. `out` is cleared first.
DecodeStatus check_picture(ByteSource& source, const DecodeLimits& limits, CheckedPicture* out);

}  // namespace kaplo::platform
