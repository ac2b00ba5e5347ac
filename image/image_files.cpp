// Image files: loading pictures into the current image and saving it, through
// the platform's picture codecs.
//
// Sections:
//   1. Format table and file names
//   2. Drawing a decoded picture into an image
//   3. Loading and saving
//
// Threads: worker thread only, like every call on the image store.

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "image/image_files.h"
#include "image/image_store.h"
#include "platform/codecs.h"
#include "platform/nearest_colour.h"
#include "platform/platform.h"
#include "runtime/guarded.h"
#include "runtime/misuse.h"

namespace kaplo {

// Worker thread only.
int32_t jpeg_quality = 100;

namespace {

namespace pf = platform;

// ---------------------------------------------------------------------------
// 1. Format table and file names

struct FileFormat {
    pf::PictureFormat codec;
    char16_t extension[5];
};

// Indexed by the format number of KPL_SaveImage.
constexpr FileFormat kFormats[] = {
    {pf::PictureFormat::Bmp, u".bmp"},  {pf::PictureFormat::Jpeg, u".jpg"},
    {pf::PictureFormat::Gif, u".gif"},  {pf::PictureFormat::Png, u".png"},
    {pf::PictureFormat::Tiff, u".tif"},
};
constexpr int kFormatCount = static_cast<int>(sizeof kFormats / sizeof kFormats[0]);

size_t wide_length(const char* name) {
    return pf::ansi_to_wide(name, SIZE_MAX).size();
}

char16_t ascii_lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

// The name a save writes (see saved_file_name). A name without a file part
// (empty, or a folder's with its slash) is refused: the extension alone would
// make a hidden file named ".png".
bool name_with_extension(const char* name, const FileFormat& format, std::string* out) {
    const std::u16string wide = pf::ansi_to_wide(name, SIZE_MAX);
    if (wide.empty() || wide.back() == u'/') return false;
    bool has_extension = wide.size() >= 4;
    for (size_t i = 0; has_extension && i < 4; ++i)
        has_extension = ascii_lower(wide[wide.size() - 4 + i]) == format.extension[i];
    if (wide.size() + (has_extension ? 0 : 4) > kMaxPathUnits) return false;
    *out = name;
    if (!has_extension)
        for (size_t i = 0; i < 4; ++i) out->push_back(static_cast<char>(format.extension[i]));
    return true;
}

// ---------------------------------------------------------------------------
// 2. Drawing a decoded picture into an image

// `src` (0xAARRGGBB) over `dst` (0x00RRGGBB): opaque pixels replace, fully
// transparent ones leave the image as it was, the rest blend.
uint32_t over(uint32_t src, uint32_t dst) {
    const uint32_t a = src >> 24;
    if (a == 255) return src & 0x00FFFFFFu;
    if (a == 0) return dst & 0x00FFFFFFu;
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t s = (src >> shift) & 255u, d = (dst >> shift) & 255u;
        out |= ((s * a + d * (255 - a) + 127) / 255) << shift;
    }
    return out;
}

// The ARGB colour of picture pixel i. Indexes past the colour table (a
// damaged file) read as opaque black.
uint32_t picture_colour(const pf::Picture& pic, size_t i) {
    if (!pic.indexed) return pic.argb[i];
    const uint8_t index = pic.indexes[i];
    return index < pic.colours.size() ? pic.colours[index] : 0xFF000000u;
}

// Draws the picture at its own size with its top-left corner at (x, y),
// clipped to the image. An 8-bit image whose colour table was just taken from
// an indexed picture receives that picture's indexes unchanged; other colours
// go to the nearest table entry.
void draw_picture(int number, const pf::Picture& pic, int64_t x, int64_t y, size_t palette_taken) {
    ImageWindowRecord& rec = image_table[number];
    const int64_t x0 = x < 0 ? 0 : x;
    const int64_t y0 = y < 0 ? 0 : y;
    const int64_t x1 = x + pic.width < rec.width ? x + pic.width : rec.width;
    const int64_t y1 = y + pic.height < rec.height ? y + pic.height : rec.height;
    if (x0 >= x1 || y0 >= y1) return;
    const int64_t stride = image_stride(rec.width, rec.bitDepth);

    if (rec.bitDepth == 32) {
        for (int64_t row = y0; row < y1; ++row) {
            auto* out = reinterpret_cast<uint32_t*>(rec.buffer.get() + row * stride);
            const size_t src = static_cast<size_t>((row - y) * pic.width - x);
            for (int64_t col = x0; col < x1; ++col)
                out[col] = over(picture_colour(pic, src + static_cast<size_t>(col)), out[col]);
        }
        return;
    }

    pf::NearestColour nearest(rec.colours, 256);
    for (int64_t row = y0; row < y1; ++row) {
        uint8_t* out = rec.buffer.get() + row * stride;
        const size_t src = static_cast<size_t>((row - y) * pic.width - x);
        for (int64_t col = x0; col < x1; ++col) {
            const size_t i = src + static_cast<size_t>(col);
            if (pic.indexed && pic.indexes[i] < palette_taken &&
                (pic.colours[pic.indexes[i]] >> 24) == 255) {
                out[col] = pic.indexes[i];
                continue;
            }
            const uint32_t colour = picture_colour(pic, i);
            if ((colour >> 24) == 0) continue;  // transparent: the image shows through
            out[col] = nearest(over(colour, rec.colours[out[col]]));
        }
    }
}

}  // namespace

bool saved_file_name(int format, const char* name, std::string* out) {
    if (format < 0 || format >= kFormatCount || !name) return false;
    return name_with_extension(name, kFormats[format], out);
}

// ---------------------------------------------------------------------------
// 3. Loading and saving

int load_picture(const platform::Picture& pic, int x, int y) {
    const int number = current_image();
    if (!image_live(number)) return 2;
    const size_t count = static_cast<size_t>(pic.width) * static_cast<size_t>(pic.height);
    if (pic.width < 1 || pic.height < 1 ||
        (pic.indexed ? pic.indexes.size() : pic.argb.size()) != count)
        return 1;
    size_t palette_taken = 0;
    if (image_table[number].bitDepth == 8) {
        // The image takes over the picture's colour table; entries the
        // picture does not have keep their colours.
        uint32_t colours[256];
        palette_taken = pic.colours.size() < 256 ? pic.colours.size() : 256;
        for (size_t i = 0; i < palette_taken; ++i) colours[i] = pic.colours[i] & 0x00FFFFFFu;
        KPL_SetPalette(colours, static_cast<int>(palette_taken));
    }
    draw_picture(number, pic, x, y, palette_taken);
    return 0;
}

namespace {

int load_image(const char* file_name, int x, int y) {
    if (!image_live(current_image())) return 2;
    if (!file_name || wide_length(file_name) > kMaxPathUnits) return 1;
    pf::Picture pic;
    if (pf::decode_picture(file_name, pf::DecodeLimits{kMaxImageSide, kMaxImageBytes}, &pic) !=
        pf::DecodeStatus::Ok)
        return 1;
    return load_picture(pic, x, y);
}

int save_image(int format, const char* file_name, int width, int height) {
    const int number = current_image();
    if (!image_live(number)) return 3;
    if (width == 0 || height == 0) return 2;
    if (format < 0 || format >= kFormatCount || !file_name) return 1;
    const int32_t depth = image_table[number].bitDepth;
    // The picture saved is width x height from the image's top-left corner,
    // padded with 0 beyond the image; it passes the same size gate as any
    // image, so a wild size fails instead of allocating.
    size_t bytes = 0;
    if (!pixel_buffer_size(width, height, depth, &bytes)) return 1;
    std::string path;
    if (!saved_file_name(format, file_name, &path)) return 1;

    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    pf::EncodeSource source;
    source.width = width;
    source.height = height;
    std::vector<uint32_t> words;
    std::vector<uint8_t> indexes;
    uint32_t colours[256];
    if (depth == 32) {
        // The top byte of each pixel is dropped: files carry 24-bit colour.
        words.resize(count);
        KPL_GetImageBlock(words.data(), 0, 0, width, height);
        source.rgb = words.data();
    } else {
        indexes.resize(count);
        KPL_GetImageBlock(indexes.data(), 0, 0, width, height);
        KPL_GetPalette(colours);
        source.indexes = indexes.data();
        source.index_stride = width;
        source.colours = colours;
        source.dots_per_metre = 2834;  // 72 dots per inch
    }
    const int quality = jpeg_quality < 0 ? 0 : jpeg_quality > 100 ? 100 : jpeg_quality;
    return pf::encode_picture(path, kFormats[format].codec, source, quality) ? 0 : 1;
}

}  // namespace
}  // namespace kaplo

// Nothing may be thrown across the interface: a failed allocation is a failed
// load or save.
int KPL_LoadImage(const char* file_name, int x, int y) {
    if (!kaplo::image_live(kaplo::current_image()))
        kaplo::report_missing_current_image("KPL_LoadImage", kaplo::current_image());
    try {
        return kaplo::load_image(file_name, x, y);
    } catch (...) {
        return 1;
    }
}

int KPL_GetImageFileSize(const char* file_name, int* width, int* height) {
    int32_t w = 0, h = 0;
    const bool ok = kaplo::guarded(false, [&] {
        return file_name && kaplo::wide_length(file_name) <= kaplo::kMaxPathUnits &&
               kaplo::platform::picture_size(
                   file_name,
                   kaplo::platform::DecodeLimits{kaplo::kMaxImageSide, kaplo::kMaxImageBytes}, &w,
                   &h);
    });
    if (!ok) w = h = 0;
    if (width) *width = w;
    if (height) *height = h;
    return ok ? 0 : 1;
}

int KPL_SaveImage(int format, const char* file_name, int width, int height) {
    if (!kaplo::image_live(kaplo::current_image()))
        kaplo::report_missing_current_image("KPL_SaveImage", kaplo::current_image());
    try {
        return kaplo::save_image(format, file_name, width, height);
    } catch (...) {
        return 1;
    }
}
