// Image files through the real picture codecs: round trips through every
// format, colour tables of 8-bit images, the extension rule, pictures made by
// another program, and bad input (missing, garbage, truncated, huge headers,
// unwritable targets).

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image_fixture.h"
#include "platform/codecs.h"

namespace {

namespace fs = std::filesystem;

enum Format { kBmp = 0, kJpeg = 1, kGif = 2, kPng = 3, kTiff = 4 };

std::vector<uint8_t> read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void write_bytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
uint32_t be32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
}

void put_be32(std::vector<uint8_t>* b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b->push_back(static_cast<uint8_t>(v >> s));
}
void put_le32(std::vector<uint8_t>* b, uint32_t v) {
    for (int s = 0; s < 32; s += 8) b->push_back(static_cast<uint8_t>(v >> s));
}
void put_le16(std::vector<uint8_t>* b, uint16_t v) {
    b->push_back(static_cast<uint8_t>(v));
    b->push_back(static_cast<uint8_t>(v >> 8));
}

uint32_t crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put_png_chunk(std::vector<uint8_t>* b, const char* type, const std::vector<uint8_t>& data) {
    put_be32(b, static_cast<uint32_t>(data.size()));
    const size_t type_at = b->size();
    for (int i = 0; i < 4; ++i) b->push_back(static_cast<uint8_t>(type[i]));
    b->insert(b->end(), data.begin(), data.end());
    put_be32(b, crc32(b->data() + type_at, b->size() - type_at));
}

// A well-formed PNG header announcing width x height of 8-bit RGB, with a
// few bytes of pixel data: a reader must refuse it from the header alone.
std::vector<uint8_t> png_header(uint32_t width, uint32_t height) {
    std::vector<uint8_t> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    put_be32(&ihdr, width);
    put_be32(&ihdr, height);
    for (uint8_t v : {8, 2, 0, 0, 0})
        ihdr.push_back(v);  // depth, RGB, deflate, filter, no interlace
    put_png_chunk(&b, "IHDR", ihdr);
    put_png_chunk(&b, "IDAT", {0x78, 0x9C, 0x63, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01});
    put_png_chunk(&b, "IEND", {});
    return b;
}

// A BMP file header and BITMAPINFOHEADER for a 24-bit width x height picture,
// with a few pixel bytes after it.
std::vector<uint8_t> bmp_header(int32_t width, int32_t height) {
    std::vector<uint8_t> b = {'B', 'M'};
    put_le32(&b, 54 + 64);
    put_le32(&b, 0);
    put_le32(&b, 54);
    put_le32(&b, 40);
    put_le32(&b, static_cast<uint32_t>(width));
    put_le32(&b, static_cast<uint32_t>(height));
    put_le16(&b, 1);
    put_le16(&b, 24);
    for (int i = 0; i < 6; ++i) put_le32(&b, 0);
    b.resize(b.size() + 64, 0x7F);
    return b;
}

// A GIF whose logical screen is width x height, holding one 1 x 1 frame.
std::vector<uint8_t> gif_header(uint16_t width, uint16_t height) {
    std::vector<uint8_t> b = {'G', 'I', 'F', '8', '9', 'a'};
    put_le16(&b, width);
    put_le16(&b, height);
    for (uint8_t v : {0x80, 0, 0, 0, 0, 0, 255, 255, 255}) b.push_back(v);  // 2-colour map
    b.push_back(',');
    for (int i = 0; i < 2; ++i) put_le16(&b, 0);
    for (int i = 0; i < 2; ++i) put_le16(&b, 1);
    for (uint8_t v : {0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B}) b.push_back(v);  // LZW data, end
    return b;
}

// Whether the first frame of a GIF is stored interlaced.
bool gif_interlaced(const std::vector<uint8_t>& b) {
    if (b.size() < 13) return false;
    size_t at = 13 + ((b[10] & 0x80) ? 3u << ((b[10] & 7) + 1) : 0);
    while (at < b.size() && b[at] == 0x21) {  // skip extensions: label, then sub-blocks
        at += 2;
        while (at < b.size() && b[at] != 0) at += b[at] + 1u;
        ++at;
    }
    return at + 9 < b.size() && b[at] == 0x2C && (b[at + 9] & 0x40) != 0;
}

// The samples per pixel of a little-endian TIFF's first image.
int tiff_samples_per_pixel(const std::vector<uint8_t>& b) {
    if (b.size() < 8 || b[0] != 'I' || b[1] != 'I') return -1;
    const uint32_t ifd = le32(b, 4);
    const uint16_t entries = le16(b, ifd);
    for (uint16_t i = 0; i < entries; ++i) {
        const size_t at = ifd + 2 + size_t{i} * 12;
        if (le16(b, at) == 277) return le16(b, at + 8);
    }
    return 1;  // the tag's default
}

class FilesTest : public ImageTest {
  protected:
    void SetUp() override {
        ImageTest::SetUp();
        char pattern[] = "/tmp/kaplo_files_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        kaplo::jpeg_quality = 100;
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
        kaplo::jpeg_quality = 100;
        ImageTest::TearDown();
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // Fills the current 32-bit image with many distinct colours (more than a
    // GIF palette holds) and a top byte that files do not keep.
    static void fill_many_colours() {
        const auto& rec = kaplo::image_table[kaplo::current_image()];
        for (int y = 0; y < rec.height; ++y)
            for (int x = 0; x < rec.width; ++x)
                KPL_SetPixel(x, y,
                             static_cast<int32_t>(0xAB000000u) |
                                 rgb((x * 7) & 255, (y * 11) & 255, (x * y + 3) & 255));
    }

    // A smooth picture for the lossy formats.
    static void fill_smooth() {
        const auto& rec = kaplo::image_table[kaplo::current_image()];
        for (int y = 0; y < rec.height; ++y)
            for (int x = 0; x < rec.width; ++x)
                KPL_SetPixel(x, y, rgb(x * 255 / rec.width, y * 255 / rec.height, 128));
    }

    // A 16-colour picture (exact in every indexed format).
    static void fill_sixteen_colours() {
        const auto& rec = kaplo::image_table[kaplo::current_image()];
        for (int y = 0; y < rec.height; ++y)
            for (int x = 0; x < rec.width; ++x) {
                const int k = (x / 3 + y / 2) % 16;
                KPL_SetPixel(x, y, rgb(k * 17, 255 - k * 13, (k * 97) & 255));
            }
    }

    // Saves the current image in `format` and loads the file into a fresh
    // image `number` of the same size and `depth`, which becomes current.
    std::vector<int32_t> round_trip(int format, const std::string& name, int number,
                                    int depth = 32) {
        const auto& rec = kaplo::image_table[kaplo::current_image()];
        const int w = rec.width, h = rec.height;
        EXPECT_EQ(KPL_SaveImage(format, path(name).c_str(), w, h), 0) << name;
        make(number, w, h, depth);
        EXPECT_EQ(KPL_LoadImage(path(name).c_str(), 0, 0), 0) << name;
        return snapshot();
    }

    // Names in the folder, sorted.
    std::vector<std::string> listing() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir_)) out.push_back(e.path().filename());
        std::sort(out.begin(), out.end());
        return out;
    }

    fs::path dir_;
};

double mean_channel_error(const std::vector<int32_t>& a, const std::vector<int32_t>& b,
                          int* worst) {
    double sum = 0;
    *worst = 0;
    for (size_t i = 0; i < a.size(); ++i)
        for (int s = 0; s < 24; s += 8) {
            const int d = std::abs(((a[i] >> s) & 255) - ((b[i] >> s) & 255));
            sum += d;
            if (d > *worst) *worst = d;
        }
    return sum / (3.0 * static_cast<double>(a.size()));
}

// ---------------------------------------------------------------------------
// Round trips of 32-bit images

TEST_F(FilesTest, LosslessFormatsKeepEveryPixelAndDropTheTopByte) {
    make(0, 37, 23);
    fill_many_colours();
    std::vector<int32_t> expected = snapshot();
    for (int32_t& p : expected) p &= 0x00FFFFFF;
    int number = 1;
    for (const auto& [format, name] :
         {std::pair{kBmp, "a.bmp"}, {kPng, "a.png"}, {kTiff, "a.tif"}}) {
        ASSERT_EQ(KPL_SelectImage(0), 0);
        EXPECT_EQ(round_trip(format, name, number++), expected) << name;
    }
}

TEST_F(FilesTest, FilesOf32BitImagesCarry24BitColour) {
    make(0, 9, 4);
    fill_many_colours();
    ASSERT_EQ(KPL_SaveImage(kBmp, path("c.bmp").c_str(), 9, 4), 0);
    ASSERT_EQ(KPL_SaveImage(kPng, path("c.png").c_str(), 9, 4), 0);
    ASSERT_EQ(KPL_SaveImage(kTiff, path("c.tif").c_str(), 9, 4), 0);
    const auto bmp = read_bytes(dir_ / "c.bmp");
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(le16(bmp, 28), 24);  // biBitCount
    const auto png = read_bytes(dir_ / "c.png");
    ASSERT_GE(png.size(), 33u);
    EXPECT_EQ(png[24], 8);  // bit depth
    EXPECT_EQ(png[25], 2);  // colour type RGB, no alpha
    EXPECT_EQ(tiff_samples_per_pixel(read_bytes(dir_ / "c.tif")), 3);
}

TEST_F(FilesTest, GifIsExactUpTo256ColoursAndCloseBeyond) {
    make(0, 40, 30);
    fill_sixteen_colours();
    const std::vector<int32_t> few = snapshot();
    EXPECT_EQ(round_trip(kGif, "few.gif", 1), few);

    make(2, 64, 48);
    fill_smooth();
    for (int x = 0; x < 64; ++x) KPL_SetPixel(x, 47, rgb(255, 0, x * 4));  // a saturated stripe
    const std::vector<int32_t> many = snapshot();
    const std::vector<int32_t> back = round_trip(kGif, "many.gif", 3);
    ASSERT_EQ(back.size(), many.size());
    int worst = 0;
    EXPECT_LT(mean_channel_error(many, back, &worst), 4.0);
    EXPECT_LE(worst, 24);
}

TEST_F(FilesTest, JpegIsCloseAndHonoursTheQuality) {
    make(0, 64, 48);
    fill_smooth();
    const std::vector<int32_t> original = snapshot();
    const std::vector<int32_t> back = round_trip(kJpeg, "q100.jpg", 1);
    ASSERT_EQ(back.size(), original.size());
    int worst = 0;
    EXPECT_LT(mean_channel_error(original, back, &worst), 2.0);
    EXPECT_LE(worst, 12);

    ASSERT_EQ(KPL_SelectImage(0), 0);
    fill_many_colours();  // detail that a low quality throws away
    ASSERT_EQ(KPL_SaveImage(kJpeg, path("hi.jpg").c_str(), 64, 48), 0);
    kaplo::jpeg_quality = 10;
    ASSERT_EQ(KPL_SaveImage(kJpeg, path("lo.jpg").c_str(), 64, 48), 0);
    EXPECT_LT(fs::file_size(dir_ / "lo.jpg") * 2, fs::file_size(dir_ / "hi.jpg"));
}

TEST_F(FilesTest, SaveSizeLargerThanTheImageIsPaddedWithBlack) {
    make(0, 3, 2);
    fill_many_colours();
    ASSERT_EQ(KPL_SaveImage(kPng, path("pad.png").c_str(), 5, 3), 0);
    make(1, 5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) KPL_SetPixel(x, y, 0x123456);
    ASSERT_EQ(KPL_LoadImage(path("pad.png").c_str(), 0, 0), 0);
    EXPECT_EQ(KPL_GetPixel(4, 0), 0);
    EXPECT_EQ(KPL_GetPixel(0, 2), 0);
    EXPECT_EQ(KPL_GetPixel(1, 1), rgb(7, 11, 4));
}

// ---------------------------------------------------------------------------
// 8-bit images: colour tables and row strides

class EightBitFiles : public FilesTest {
  protected:
    // A 5-pixel-wide 8-bit image (rows padded to 8 bytes) with a colour table
    // unlike the grey ramp and indexes that differ in every column.
    void make_source() {
        make(0, 5, 7, 8);
        for (int i = 0; i < 256; ++i) table_[i] = rgb(i, 255 - i, (i * 37) & 255);
        ASSERT_EQ(KPL_SetPalette(table_, 256), 0);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 5; ++x) KPL_SetPixel(x, y, (x * 50 + y * 3 + 1) & 255);
        indexes_ = snapshot();
    }
    uint32_t table_[256];
    std::vector<int32_t> indexes_;
};

TEST_F(EightBitFiles, TablesAndIndexesSurviveEveryIndexedFormat) {
    int number = 1;
    for (const auto& [format, name] :
         {std::pair{kBmp, "p.bmp"}, {kPng, "p.png"}, {kGif, "p.gif"}, {kTiff, "p.tif"}}) {
        make_source();
        EXPECT_EQ(round_trip(format, name, number++, 8), indexes_) << name;
        uint32_t loaded[256];
        ASSERT_EQ(KPL_GetPalette(loaded), 0);
        for (int i = 0; i < 256; ++i) ASSERT_EQ(loaded[i], table_[i]) << name << " entry " << i;
        kaplo::image_store_reset_for_tests();
    }
}

TEST_F(EightBitFiles, GreyRampImagesSurviveAsGreyscaleFiles) {
    // With the start-up grey ramp the writers store greyscale files; loading
    // one into an image with another table brings the ramp and the indexes back.
    for (const auto& [format, name] : {std::pair{kPng, "g.png"}, {kTiff, "g.tif"}}) {
        make(0, 5, 3, 8);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) KPL_SetPixel(x, y, x * 60 + y);
        const std::vector<int32_t> indexes = snapshot();
        ASSERT_EQ(KPL_SaveImage(format, path(name).c_str(), 5, 3), 0);
        make(1, 5, 3, 8);
        std::vector<uint32_t> red(256, 0xFF0000);
        ASSERT_EQ(KPL_SetPalette(red.data(), 256), 0);
        ASSERT_EQ(KPL_LoadImage(path(name).c_str(), 0, 0), 0);
        EXPECT_EQ(snapshot(), indexes) << name;
        uint32_t table[256];
        ASSERT_EQ(KPL_GetPalette(table), 0);
        for (uint32_t i = 0; i < 256; ++i) ASSERT_EQ(table[i], i * 0x010101u) << name;
        kaplo::image_store_reset_for_tests();
    }
}

TEST_F(EightBitFiles, FilesAreIndexedWith256Entries) {
    make_source();
    ASSERT_EQ(KPL_SaveImage(kBmp, path("t.bmp").c_str(), 5, 7), 0);
    ASSERT_EQ(KPL_SaveImage(kPng, path("t.png").c_str(), 5, 7), 0);
    EXPECT_EQ(KPL_SaveImage(kJpeg, path("t.jpg").c_str(), 5, 7), 0);
    const auto bmp = read_bytes(dir_ / "t.bmp");
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(le16(bmp, 28), 8);                  // biBitCount
    EXPECT_EQ(le32(bmp, 10), 14u + 40u + 1024u);  // pixels follow a 256-entry table
    EXPECT_EQ(bmp.size(), 14u + 40u + 1024u + 8u * 7u);
    const auto png = read_bytes(dir_ / "t.png");
    EXPECT_EQ(png[25], 3);  // palette colour type
    // The PLTE chunk follows IHDR: length 768 = 256 entries.
    EXPECT_EQ(be32(png, 33), 768u);
    EXPECT_EQ(std::string(png.begin() + 37, png.begin() + 41), "PLTE");
}

TEST_F(EightBitFiles, NarrowImageLoadsIntoA32BitImageWithoutShearing) {
    make_source();
    ASSERT_EQ(KPL_SaveImage(kBmp, path("n.bmp").c_str(), 5, 7), 0);
    ASSERT_EQ(KPL_SaveImage(kPng, path("n.png").c_str(), 5, 7), 0);
    for (const char* name : {"n.bmp", "n.png"}) {
        make(name[2] == 'b' ? 1 : 2, 5, 7);
        ASSERT_EQ(KPL_LoadImage(path(name).c_str(), 0, 0), 0);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 5; ++x)
                ASSERT_EQ(KPL_GetPixel(x, y),
                          static_cast<int32_t>(table_[indexes_[static_cast<size_t>(y * 5 + x)]]))
                    << name << " at " << x << "," << y;
    }
}

TEST_F(EightBitFiles, SmallerTableReplacesOnlyItsEntries) {
    make(0, 20, 10);
    fill_sixteen_colours();
    ASSERT_EQ(KPL_SaveImage(kGif, path("sixteen.gif").c_str(), 20, 10), 0);
    const std::vector<int32_t> colours = snapshot();
    make(1, 20, 10, 8);
    ASSERT_EQ(KPL_LoadImage(path("sixteen.gif").c_str(), 0, 0), 0);
    uint32_t table[256];
    ASSERT_EQ(KPL_GetPalette(table), 0);
    for (int i = 16; i < 256; ++i) EXPECT_EQ(table[i], static_cast<uint32_t>(i) * 0x010101u);
    for (size_t i = 0; i < colours.size(); ++i)
        ASSERT_EQ(static_cast<int32_t>(table[snapshot()[i]]), colours[i]) << i;
}

TEST_F(EightBitFiles, TrueColourPictureMapsToTheNearestEntry) {
    make(0, 3, 1);
    KPL_SetPixel(0, 0, rgb(100, 100, 100));
    KPL_SetPixel(1, 0, rgb(10, 12, 14));
    KPL_SetPixel(2, 0, rgb(255, 255, 250));
    ASSERT_EQ(KPL_SaveImage(kPng, path("rgb.png").c_str(), 3, 1), 0);
    make(1, 3, 1, 8);  // grey ramp
    ASSERT_EQ(KPL_LoadImage(path("rgb.png").c_str(), 0, 0), 0);
    EXPECT_EQ(KPL_GetPixel(0, 0), 100);
    EXPECT_EQ(KPL_GetPixel(1, 0), 12);
    EXPECT_EQ(KPL_GetPixel(2, 0), 253);
    uint32_t table[256];
    ASSERT_EQ(KPL_GetPalette(table), 0);
    EXPECT_EQ(table[100], 100u * 0x010101u);  // a true-colour picture brings no table
}

// ---------------------------------------------------------------------------
// Placement: the picture's own size, clipped to the image

TEST_F(FilesTest, PictureIsDrawnAtItsPointAndClipped) {
    make(0, 100, 50);
    fill_many_colours();
    const std::vector<int32_t> picture = snapshot();
    ASSERT_EQ(KPL_SaveImage(kPng, path("pic.png").c_str(), 100, 50), 0);

    make(1, 640, 480);
    const int32_t marker = rgb(1, 2, 3);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) KPL_SetPixel(x, y, marker);
    ASSERT_EQ(KPL_LoadImage(path("pic.png").c_str(), 600, 0), 0);
    EXPECT_EQ(KPL_GetPixel(599, 0), marker);
    EXPECT_EQ(KPL_GetPixel(600, 0), picture[0] & 0xFFFFFF);
    EXPECT_EQ(KPL_GetPixel(639, 49), picture[49 * 100 + 39] & 0xFFFFFF);
    EXPECT_EQ(KPL_GetPixel(639, 50), marker);

    ASSERT_EQ(KPL_LoadImage(path("pic.png").c_str(), -30, -20), 0);
    EXPECT_EQ(KPL_GetPixel(0, 0), picture[20 * 100 + 30] & 0xFFFFFF);
    EXPECT_EQ(KPL_GetPixel(69, 29), picture[49 * 100 + 99] & 0xFFFFFF);
    EXPECT_EQ(KPL_GetPixel(70, 0), marker);
    EXPECT_EQ(KPL_GetPixel(0, 30), marker);

    ASSERT_EQ(KPL_LoadImage(path("pic.png").c_str(), 640, 480), 0);  // wholly outside
    ASSERT_EQ(KPL_LoadImage(path("pic.png").c_str(), -100, 0), 0);
    EXPECT_EQ(KPL_GetPixel(639, 479), marker);
}

// ---------------------------------------------------------------------------
// The extension rule

TEST_F(FilesTest, ExtensionIsAppendedUnlessTheLastFourCharactersAreIt) {
    make(0, 2, 2);
    const struct {
        int format;
        const char* given;
        const char* written;
    } cases[] = {
        {kBmp, "pic", "pic.bmp"},
        {kBmp, "UP.BMP", "UP.BMP"},
        {kBmp, "pic.bmp.txt", "pic.bmp.txt.bmp"},
        {kTiff, "scan.tiff", "scan.tiff.tif"},
        {kJpeg, "photo.jpeg", "photo.jpeg.jpg"},
        {kGif, "Mixed.Gif", "Mixed.Gif"},
        {kPng, "shot.png", "shot.png"},
        {kPng, "x.bmp", "x.bmp.png"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(KPL_SaveImage(c.format, path(c.given).c_str(), 2, 2), 0) << c.given;
        EXPECT_TRUE(fs::exists(dir_ / c.written)) << c.given << " -> " << c.written;
    }
    EXPECT_EQ(listing().size(), std::size(cases));

    // Names of fewer than four characters always get the extension.
    const fs::path cwd = fs::current_path();
    fs::current_path(dir_);
    EXPECT_EQ(KPL_SaveImage(kPng, "ab", 2, 2), 0);
    EXPECT_EQ(KPL_SaveImage(kGif, "gif", 2, 2), 0);
    fs::current_path(cwd);
    EXPECT_TRUE(fs::exists(dir_ / "ab.png"));
    EXPECT_TRUE(fs::exists(dir_ / "gif.gif"));
}

TEST_F(FilesTest, NameTooLongForAPathIsRefusedNotCut) {
    make(0, 2, 2);
    const std::string name = path(std::string(240 - dir_.string().size(), 'n'));  // 241 units
    ASSERT_EQ(name.size(), 241u);
    EXPECT_EQ(KPL_SaveImage(kPng, name.c_str(), 2, 2), 0);  // 245 with ".png"
    const std::string longer = path(std::string(260 - dir_.string().size(), 'm'));
    EXPECT_EQ(KPL_SaveImage(kPng, longer.c_str(), 2, 2), 1);
    EXPECT_EQ(listing().size(), 1u);
}

// ---------------------------------------------------------------------------
// Pictures made by another program

class ForeignFiles : public FilesTest {
  protected:
    void SetUp() override {
        FilesTest::SetUp();
        if (std::system("convert -version >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "ImageMagick's convert is not installed";
        make(0, 24, 16);
        fill_sixteen_colours();
        source_ = snapshot();
        ASSERT_EQ(KPL_SaveImage(kPng, path("source.png").c_str(), 24, 16), 0);
    }

    // Runs convert on the source with the given options and output name
    // (`coder` forces an output format, as in "BMP3:").
    void convert(const std::string& options, const std::string& output,
                 const std::string& coder = "") {
        const std::string cmd = "convert '" + path("source.png") + "' " + options + " '" + coder +
                                path(output) + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }

    std::vector<int32_t> load(const std::string& name) {
        make(next_++, 24, 16);
        EXPECT_EQ(KPL_LoadImage(path(name).c_str(), 0, 0), 0) << name;
        return snapshot();
    }

    std::vector<int32_t> source_;
    int next_ = 1;
};

TEST_F(ForeignFiles, RunLengthEncodedBmp) {
    convert("-type Palette -compress RLE", "rle.bmp", "BMP3:");
    const auto bytes = read_bytes(dir_ / "rle.bmp");
    ASSERT_GE(bytes.size(), 54u);
    ASSERT_EQ(le32(bytes, 30), 1u) << "not RLE8";  // biCompression
    EXPECT_EQ(load("rle.bmp"), source_);
}

TEST_F(ForeignFiles, SixteenColourGifTakesItsTable) {
    convert("-colors 16", "c16.gif");
    EXPECT_EQ(load("c16.gif"), source_);
    make(50, 24, 16, 8);
    ASSERT_EQ(KPL_LoadImage(path("c16.gif").c_str(), 0, 0), 0);
    uint32_t table[256];
    ASSERT_EQ(KPL_GetPalette(table), 0);
    const std::vector<int32_t> indexes = snapshot();
    for (size_t i = 0; i < indexes.size(); ++i) {
        ASSERT_LT(indexes[i], 16);
        ASSERT_EQ(static_cast<int32_t>(table[indexes[i]]), source_[i]);
    }
    EXPECT_EQ(table[200], 200u * 0x010101u);
}

TEST_F(ForeignFiles, TiffIcoAndProgressiveJpeg) {
    convert("", "plain.tif");
    convert("-compress LZW", "lzw.tif");
    convert("", "icon.ico");
    EXPECT_EQ(load("plain.tif"), source_);
    EXPECT_EQ(load("lzw.tif"), source_);
    EXPECT_EQ(load("icon.ico"), source_);

    convert("-interlace Plane -quality 95", "prog.jpg");
    const auto bytes = read_bytes(dir_ / "prog.jpg");
    bool progressive = false;
    for (size_t i = 0; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC2) progressive = true;  // SOF2
    ASSERT_TRUE(progressive);
    int worst = 0;
    EXPECT_LT(mean_channel_error(source_, load("prog.jpg"), &worst), 12.0);
}

TEST_F(ForeignFiles, InterlacedGifAndPng) {
    convert("-interlace GIF", "inter.gif");
    convert("-interlace PNG", "inter.png");
    ASSERT_TRUE(gif_interlaced(read_bytes(dir_ / "inter.gif")));
    EXPECT_EQ(load("inter.gif"), source_);
    EXPECT_EQ(load("inter.png"), source_);
}

TEST_F(ForeignFiles, TransparentPartsLeaveTheImageAsItWas) {
    const int32_t clear = source_[0];  // every pixel of this colour becomes transparent
    const std::string colour = "'#" + [&] {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%06X", clear);
        return std::string(hex);
    }() + "'";
    convert("-transparent " + colour, "t.gif");
    convert("-transparent " + colour, "t.png");
    const int32_t marker = rgb(9, 8, 7);
    for (const char* name : {"t.gif", "t.png"}) {
        make(next_++, 24, 16);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 24; ++x) KPL_SetPixel(x, y, marker);
        ASSERT_EQ(KPL_LoadImage(path(name).c_str(), 0, 0), 0) << name;
        const std::vector<int32_t> got = snapshot();
        size_t kept = 0;
        for (size_t i = 0; i < got.size(); ++i) {
            ASSERT_EQ(got[i], source_[i] == clear ? marker : source_[i]) << name << " at " << i;
            kept += got[i] == marker;
        }
        EXPECT_GT(kept, 0u);
    }
}

TEST_F(ForeignFiles, GifFrameSitsAtItsOffsetOnTheScreen) {
    convert("-page 40x30+8+6", "offset.gif");
    make(next_++, 40, 30);
    ASSERT_EQ(KPL_LoadImage(path("offset.gif").c_str(), 0, 0), 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x)
            ASSERT_EQ(KPL_GetPixel(x + 8, y + 6), source_[static_cast<size_t>(y * 24 + x)])
                << x << "," << y;
}

// ---------------------------------------------------------------------------
// Bad input: a result code and nothing else

TEST_F(FilesTest, BadFilesReturnOneAndLeaveTheImageAlone) {
    make(0, 10, 10);
    fill_many_colours();
    ASSERT_EQ(KPL_SaveImage(kPng, path("good.png").c_str(), 10, 10), 0);
    const auto good = read_bytes(dir_ / "good.png");

    std::vector<uint8_t> garbage(300);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 131 + 7);
    write_bytes(dir_ / "garbage.png", garbage);
    write_bytes(dir_ / "empty.bmp", {});
    write_bytes(
        dir_ / "truncated.png",
        std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(good.size() / 2)));
    ASSERT_EQ(KPL_SaveImage(kGif, path("good.gif").c_str(), 10, 10), 0);
    const auto good_gif = read_bytes(dir_ / "good.gif");
    write_bytes(dir_ / "truncated.gif",
                std::vector<uint8_t>(good_gif.begin(),
                                     good_gif.begin() + static_cast<long>(good_gif.size() / 2)));
    write_bytes(dir_ / "huge.png", png_header(100000, 100000));
    write_bytes(dir_ / "huge.bmp", bmp_header(100000, 100000));
    write_bytes(dir_ / "huge.gif", gif_header(60000, 60000));
    write_bytes(dir_ / "wide.bmp", bmp_header(20000, 1));  // one side past the gate
    fs::create_directory(dir_ / "folder.png");
    ASSERT_EQ(::mkfifo(path("fifo.png").c_str(), 0600), 0);  // must not block the load

    make(1, 10, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) KPL_SetPixel(x, y, 0x445566);
    const std::vector<int32_t> before = snapshot();
    for (const char* name :
         {"missing.png", "garbage.png", "empty.bmp", "truncated.png", "truncated.gif", "huge.png",
          "huge.bmp", "huge.gif", "wide.bmp", "folder.png", "fifo.png"}) {
        EXPECT_EQ(KPL_LoadImage(path(name).c_str(), 0, 0), 1) << name;
        EXPECT_EQ(snapshot(), before) << name;
    }
    EXPECT_EQ(KPL_LoadImage(nullptr, 0, 0), 1);
}

TEST_F(FilesTest, HugeAnnouncedSizesAreRefusedFromTheHeader) {
    const kaplo::platform::DecodeLimits limits{kaplo::kMaxImageSide, kaplo::kMaxImageBytes};
    kaplo::platform::Picture pic;
    write_bytes(dir_ / "huge.png", png_header(100000, 100000));
    write_bytes(dir_ / "huge.bmp", bmp_header(100000, 100000));
    write_bytes(dir_ / "tall.png", png_header(1, 20000));
    write_bytes(dir_ / "square.png", png_header(16384, 16384));  // sides fit, bytes do not
    write_bytes(dir_ / "huge.gif", gif_header(60000, 60000));
    for (const char* name : {"huge.png", "tall.png", "square.png", "huge.gif"})
        EXPECT_EQ(kaplo::platform::decode_picture(path(name), limits, &pic),
                  kaplo::platform::DecodeStatus::TooLarge)
            << name;
    EXPECT_EQ(pic.width, 0);
    // Qt's BMP reader refuses such a header itself; either way nothing is decoded.
    EXPECT_NE(kaplo::platform::decode_picture(path("huge.bmp"), limits, &pic),
              kaplo::platform::DecodeStatus::Ok);
}

TEST_F(FilesTest, PictureSizeComesFromTheHeaderAlone) {
    const kaplo::platform::DecodeLimits limits{kaplo::kMaxImageSide, kaplo::kMaxImageBytes};
    make(0, 37, 23);
    ASSERT_EQ(KPL_SaveImage(kPng, path("s.png").c_str(), 37, 23), 0);
    ASSERT_EQ(KPL_SaveImage(kGif, path("s.gif").c_str(), 9, 4), 0);
    write_bytes(dir_ / "huge.png", png_header(100000, 100000));
    write_bytes(dir_ / "garbage.bmp", {'B', 'M', 1, 2, 3});
    int32_t w = -1, h = -1;
    ASSERT_TRUE(kaplo::platform::picture_size(path("s.png"), limits, &w, &h));
    EXPECT_EQ(std::pair(w, h), std::pair(37, 23));
    ASSERT_TRUE(kaplo::platform::picture_size(path("s.gif"), limits, &w, &h));
    EXPECT_EQ(std::pair(w, h), std::pair(9, 4));
    for (const char* name : {"huge.png", "garbage.bmp", "missing.png", ""}) {
        EXPECT_FALSE(kaplo::platform::picture_size(path(name), limits, &w, &h)) << name;
        EXPECT_EQ(std::pair(w, h), std::pair(0, 0)) << name;
    }
}

TEST_F(FilesTest, FailedSavesReturnTheirCodeAndLeaveNoFile) {
    make(0, 4, 4);
    fill_many_colours();
    EXPECT_EQ(KPL_SaveImage(kPng, path("missing/dir/x").c_str(), 4, 4), 1);

    // A folder where the file should go: nothing replaces it, nothing is left.
    fs::create_directory(dir_ / "taken.png");
    write_bytes(dir_ / "taken.png" / "inside", {1});
    for (int format : {kBmp, kJpeg, kGif, kPng, kTiff}) {
        const std::string ext[] = {".bmp", ".jpg", ".gif", ".png", ".tif"};
        fs::create_directory(dir_ / ("taken" + ext[format]));
        EXPECT_EQ(KPL_SaveImage(format, path("taken" + ext[format]).c_str(), 4, 4), 1) << format;
    }
    EXPECT_EQ(listing(), (std::vector<std::string>{"taken.bmp", "taken.gif", "taken.jpg",
                                                   "taken.png", "taken.tif"}));
    EXPECT_TRUE(fs::exists(dir_ / "taken.png" / "inside"));

    EXPECT_EQ(KPL_SaveImage(5, path("f").c_str(), 4, 4), 1);
    EXPECT_EQ(KPL_SaveImage(-1, path("f").c_str(), 4, 4), 1);
    EXPECT_EQ(KPL_SaveImage(kPng, nullptr, 4, 4), 1);
    EXPECT_EQ(KPL_SaveImage(kPng, path("f").c_str(), 0, 4), 2);
    EXPECT_EQ(KPL_SaveImage(kPng, path("f").c_str(), 4, 0), 2);
    EXPECT_EQ(KPL_SaveImage(kPng, path("f").c_str(), -4, 4), 1);
    EXPECT_EQ(KPL_SaveImage(kPng, path("f").c_str(), 100000, 100000), 1);
    EXPECT_EQ(listing().size(), 5u);
}

TEST_F(FilesTest, UnwritableFolderGivesOneAndNoFile) {
    make(0, 4, 4);
    const fs::path locked = dir_ / "locked";
    fs::create_directory(locked);
    fs::permissions(dir_, fs::perms::all & ~fs::perms::group_write & ~fs::perms::others_write);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    // Permissions do not bind the superuser: it saves from a child process
    // that has given its rights up.
    const bool root = ::geteuid() == 0;
    const pid_t child = root ? ::fork() : 0;
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(99);
        const int png = KPL_SaveImage(kPng, (locked / "x.png").c_str(), 4, 4);
        const int gif = KPL_SaveImage(kGif, (locked / "x.gif").c_str(), 4, 4);
        if (root) ::_exit(png * 10 + gif);
        EXPECT_EQ(png, 1);
        EXPECT_EQ(gif, 1);
    } else {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 11);
    }
    EXPECT_TRUE(fs::is_empty(locked));
}

TEST_F(FilesTest, SaveReplacesAnExistingFileWhole) {
    make(0, 30, 20);
    fill_many_colours();
    ASSERT_EQ(KPL_SaveImage(kPng, path("r.png").c_str(), 30, 20), 0);
    make(1, 2, 2);
    KPL_SetPixel(0, 0, 0x00FF00);
    ASSERT_EQ(KPL_SaveImage(kPng, path("r.png").c_str(), 2, 2), 0);
    EXPECT_EQ(listing(), std::vector<std::string>{"r.png"});
    make(2, 2, 2);
    ASSERT_EQ(KPL_LoadImage(path("r.png").c_str(), 0, 0), 0);
    EXPECT_EQ(KPL_GetPixel(0, 0), 0x00FF00);
}

TEST_F(FilesTest, NoLiveCurrentImage) {
    EXPECT_EQ(KPL_LoadImage(path("x.png").c_str(), 0, 0), 2);
    EXPECT_EQ(KPL_SaveImage(kPng, path("x").c_str(), 4, 4), 3);
    make(3, 4, 4);
    kaplo::release_image_slot(3);  // as destruction leaves it
    EXPECT_EQ(KPL_LoadImage(path("x.png").c_str(), 0, 0), 2);
    EXPECT_EQ(KPL_SaveImage(kPng, path("x").c_str(), 0, 0), 3);
    EXPECT_TRUE(listing().empty());
}

}  // namespace
