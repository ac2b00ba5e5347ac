#pragma once
// Packed device-independent bitmaps (DIBs), the picture format of the classic
// desktop clipboard: a header, optional colour masks, an optional colour
// table, then rows of pixels. Plain C++ without Qt, so that a fuzzer can drive
// the reader alone.
//
// Usage:
//   std::vector<uint8_t> dib;
//   if (platform::write_dib_rgb(words, w, h, stride, &dib))
//       platform::set_clipboard_picture(std::move(dib));
//
//   platform::Picture pic;
//   if (platform::read_dib(bytes, size, limits, &pic) == platform::DecodeStatus::Ok) ...
//
// Sections:
//   1. Writing
//   2. Reading
//
// Threads: any thread; calls share no state.
//
// Failures are values: nothing here throws.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/codecs.h"

namespace kaplo::platform {

// ---------------------------------------------------------------------------
// 1. Writing
//
// A written bitmap has a 40-byte header with a positive height (rows run from
// the bottom up), one plane, compression BI_RGB, and image size, resolutions
// and colour counts 0. Each row is padded with zero bytes to a multiple of 4.
// Both writers return false, with `out` empty, for a width or height below 1,
// a stride shorter than a row, a missing pointer, a bitmap of 2 GiB or more,
// or no memory.

// `pixels`: 0x00RRGGBB words (the top byte is ignored), rows from the top,
// `stride` words apart. Written as 24 bits per pixel: blue, green, red bytes.
bool write_dib_rgb(const uint32_t* pixels, int32_t width, int32_t height, int64_t stride,
                   std::vector<uint8_t>* out);

// `indexes`: one byte per pixel, rows from the top, `stride` bytes apart;
// `colours`: the picture's 256-entry table of 0x00RRGGBB. Written as 8 bits
// per pixel after the full table (blue, green, red, 0 per entry).
bool write_dib_indexed(const uint8_t* indexes, int32_t width, int32_t height, int64_t stride,
                       const uint32_t* colours, std::vector<uint8_t>* out);

// A BMP file holding a packed bitmap: the 14-byte file header ("BM", file
// size, pixel offset), then the bitmap unchanged. False, with `out` empty,
// when `dib` is not a bitmap that read_dib accepts (at any size) or is too
// large for the file header's 32-bit size.
bool bmp_file_from_dib(const uint8_t* dib, size_t size, std::vector<uint8_t>* out);

// ---------------------------------------------------------------------------
// 2. Reading
//
// Header sizes 12 (16-bit sizes, 3-byte table entries) and 40, 52, 56, 108,
// 124; bit counts 1, 4, 8, 16, 24, 32; compression BI_RGB, or BI_BITFIELDS
// for 16 and 32 bits. A negative height is a picture stored from the top
// down. Pictures of 8 bits or fewer come back indexed, with the colour table
// the bitmap holds (an index past the table reads as entry 0); all others as
// ARGB words with alpha 0xFF (32-bit bitmaps' fourth byte is commonly
// garbage, so it is never taken as alpha).
//
// Unreadable: truncated data; a header size the data cannot hold or that no
// header has; a width below 1; a height of 0 or INT32_MIN; an unsupported bit
// count or compression (the run-length ones included); bit fields without
// their masks or with an empty mask; a colour table of more than 256 entries
// for 8 bits or fewer, or one that runs past the data; rows too large to
// address. TooLarge: a size past `limits`, checked before anything is
// allocated. NoMemory: the pixels cannot be allocated. On every failure
// `out` is left empty.
DecodeStatus read_dib(const uint8_t* data, size_t size, const DecodeLimits& limits, Picture* out);

// A BMP file: the 14-byte file header ("BM") and a bitmap, read as above
// with three additions: 8- and 4-bit pictures may be run-length encoded
// (RLE8, RLE4); bit fields in a header of 56 bytes or more may carry an alpha
// mask, which is honoured (unless every pixel's alpha is 0, which writers
// mean as opaque); and the pixels are where the file header says. An offset
// inside the headers is taken as none (the pixels follow the colour table);
// one past the end of the file, a run-length stream without its
// end-of-bitmap marker, or rows the file does not hold whole, are a file cut
// short: Unreadable.
DecodeStatus read_bmp_file(const uint8_t* data, size_t size, const DecodeLimits& limits,
                           Picture* out);

}  // namespace kaplo::platform
