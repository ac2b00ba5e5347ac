#pragma once
// What a PNG, JPEG or XBM file claims, checked against what it holds before a
// decoder is given it: a decoder trusts a chunk's length or a scan count and
// allocates or works accordingly, long before it finds the file too short.
// Plain C++ without Qt; the checks read headers and skip everything else, so
// a file is never held in memory whole.
//
// Usage:
//   MySource source(file);  // a ByteSource at the file's first byte
//   if (platform::check_picture(source, limits) != platform::DecodeStatus::Ok) refuse;
//
// Threads: any thread; calls share no state.

#include <cstddef>
#include <cstdint>

#include "platform/codecs.h"

namespace kaplo::platform {

// Sequential reading of a picture's bytes.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Reads up to `size` bytes into `out`; fewer only at the end.
    virtual size_t read(uint8_t* out, size_t size) = 0;
    // Moves `count` bytes on; false, anywhere, when fewer are left.
    virtual bool skip(uint64_t count) = 0;
};

// The most scans a JPEG may have. Progressive encoders write about ten; each
// scan is a pass over the whole picture, so thousands of tiny ones would keep
// the decoder busy for minutes.
inline constexpr int kMaxJpegScans = 100;

// PNG: every chunk lies wholly in the file (length, type, data, CRC), the
// first is an IHDR of a size within `limits` (TooLarge otherwise), and IEND
// comes after at least one IDAT.
// JPEG: every marker segment lies wholly in the file, a frame header of a
// size within `limits` comes before the first scan, there are at most
// kMaxJpegScans scans (TooLarge otherwise), and the end-of-image marker is
// there.
// XBM (a file that starts "#define"): a width and a height within `limits`
// on the first two lines, and every byte of the pixels after them.
// Anything else is Unreadable; other formats are Ok, left to their decoders.
DecodeStatus check_picture(ByteSource& source, const DecodeLimits& limits);

}  // namespace kaplo::platform
