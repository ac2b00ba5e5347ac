#pragma once
// Picture codecs: decoding any picture file the platform reads, encoding BMP,
// JPEG, GIF, PNG and TIFF.
//
// Usage:
//   platform::Picture pic;
//   if (platform::decode_picture("photo.png", limits, &pic) == platform::DecodeStatus::Ok) ...
//
//   platform::EncodeSource src{};
//   src.width = w; src.height = h; src.rgb = words;   // packed 0x00RRGGBB
//   platform::encode_picture("out.gif", platform::PictureFormat::Gif, src, 100);
//
// Sections:
//   1. Decoding
//   2. Encoding
//
// Threads: any thread; calls share no state.
//
// Failures are values: nothing here throws, and a picture whose announced size
// exceeds the caller's limits is refused before its pixels are allocated.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kaplo::platform {

// ---------------------------------------------------------------------------
// 1. Decoding

// A decoded picture. Indexed pictures keep their indexes and colour table;
// all others are ARGB words (alpha in the top byte, not premultiplied).
struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    bool indexed = false;
    std::vector<uint8_t> indexes;   // indexed: width x height, row after row
    std::vector<uint32_t> colours;  // indexed: 0xAARRGGBB, at most 256 entries
    std::vector<uint32_t> argb;     // otherwise: width x height 0xAARRGGBB words
};

struct DecodeLimits {
    int64_t max_side;   // each side at most this many pixels
    int64_t max_bytes;  // width x height x 4 at most this many bytes
};

// The size gate of every decoder: each side 1..max_side, and width x height
// x 4 at most max_bytes (computed without overflow for any 32-bit sides).
inline bool within_limits(int64_t width, int64_t height, const DecodeLimits& limits) {
    return width >= 1 && height >= 1 && width <= limits.max_side && height <= limits.max_side &&
           width <= INT32_MAX && height <= INT32_MAX && width * height <= limits.max_bytes / 4;
}

enum class DecodeStatus : uint8_t {
    Ok,
    Unreadable,  // missing, unreadable, not a picture, truncated or corrupt
    TooLarge,    // announces a size beyond the limits
    NoMemory,
    NoAnswer,  // (clipboard only) the program holding it did not answer in time
};

// `path` is in the locale's 8-bit encoding (UTF-8). Multi-frame pictures give
// their first frame; orientation tags are not applied.
DecodeStatus decode_picture(const std::string& path, const DecodeLimits& limits, Picture* out);
// The same for a picture held in memory (`data` must stay valid during the call).
DecodeStatus decode_picture_bytes(const uint8_t* data, size_t size, const DecodeLimits& limits,
                                  Picture* out);

// The size of the picture in a file, read from its header without decoding
// its pixels (GIFs, which are small, are decoded). False, with both sizes 0,
// for anything that is not a readable picture or is larger than the limits.
bool picture_size(const std::string& path, const DecodeLimits& limits, int32_t* width,
                  int32_t* height);

// ---------------------------------------------------------------------------
// 2. Encoding

enum class PictureFormat : uint8_t { Bmp, Jpeg, Gif, Png, Tiff };

// The pixels to encode: either `rgb` (packed 0x00RRGGBB words, the top byte
// ignored; written as 24-bit colour) or `indexes` with a 256-entry colour
// table (written as an 8-bit indexed picture where the format has one).
struct EncodeSource {
    int32_t width = 0;
    int32_t height = 0;
    const uint32_t* rgb = nullptr;     // width x height words, row after row
    const uint8_t* indexes = nullptr;  // rows of `index_stride` bytes
    int64_t index_stride = 0;
    const uint32_t* colours = nullptr;  // with `indexes`: 256 entries 0x00RRGGBB
    int32_t dots_per_metre = 0;         // resolution recorded in the file; 0: 96 dpi
};

// Writes the picture to `path` (UTF-8), replacing any file there; a symbolic
// link is written through (the file it leads to is replaced, the link stays).
// A file replaced keeps its mode and, where the user may give it, its owner.
// A target that is not a regular file, or a file the user may not write, is
// refused and left as it was. The data go to a temporary file in the target's
// folder that is renamed over the target only once complete, so a failure
// leaves no partial file behind. `quality` (0..100) applies to JPEG. Returns
// false on any failure.
bool encode_picture(const std::string& path, PictureFormat format, const EncodeSource& source,
                    int quality);
// The same encoding into memory: `out` receives the file's bytes (empty on
// failure).
bool encode_picture_bytes(PictureFormat format, const EncodeSource& source, int quality,
                          std::vector<uint8_t>* out);

}  // namespace kaplo::platform
