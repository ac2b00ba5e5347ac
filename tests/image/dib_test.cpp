// Packed bitmaps without Qt: the exact bytes a copy writes, round trips, the
// layouts other programs write, and every refusal of a damaged bitmap.

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <tuple>
#include <vector>

#include "platform/dib.h"
#include "tests/image/bitmap_bytes.h"

namespace {

using bitmap_bytes::append;
using bitmap_bytes::Bytes;
using bitmap_bytes::header;
using bitmap_bytes::put32;
using kaplo::platform::bmp_file_from_dib;
using kaplo::platform::DecodeLimits;
using kaplo::platform::DecodeStatus;
using kaplo::platform::Picture;
using kaplo::platform::read_bmp_file;
using kaplo::platform::read_dib;
using kaplo::platform::write_dib_indexed;
using kaplo::platform::write_dib_rgb;

constexpr DecodeLimits kLimits{1000, 1 << 20};

void set32(Bytes* b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<uint8_t>(v >> 8 * i);
}
uint32_t get32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

Picture read(const Bytes& b) {
    Picture pic;
    EXPECT_EQ(read_dib(b.data(), b.size(), kLimits, &pic), DecodeStatus::Ok);
    return pic;
}

// 5 x 2 of 0x00RRGGBB, top row first; top bytes are noise a writer must drop.
const uint32_t kRgb5x2[2][6] = {
    {0x00112233, 0x00445566, 0xFF778899, 0x00AABBCC, 0x00DDEEFF, 0xBAD},
    {0x00010203, 0x00040506, 0x00070809, 0x000A0B0C, 0x000D0E0F, 0xBAD}};

TEST(DibWriter, RgbFiveByTwoIsAHeaderThenBottomUpPaddedRows) {
    Bytes dib;
    ASSERT_TRUE(write_dib_rgb(&kRgb5x2[0][0], 5, 2, 6, &dib));
    Bytes expected = {40, 0, 0, 0, 5, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0};
    expected.resize(40, 0);
    append(&expected, {0x03, 0x02, 0x01, 0x06, 0x05, 0x04, 0x09, 0x08, 0x07, 0x0C, 0x0B,
                       0x0A, 0x0F, 0x0E, 0x0D, 0,    0x33, 0x22, 0x11, 0x66, 0x55, 0x44,
                       0x99, 0x88, 0x77, 0xCC, 0xBB, 0xAA, 0xFF, 0xEE, 0xDD, 0});
    EXPECT_EQ(dib, expected);
}

TEST(DibWriter, IndexedFiveByTwoCarriesTheWholeTable) {
    uint32_t colours[256];
    for (uint32_t i = 0; i < 256; ++i)
        colours[i] = 0xFF000000u | i << 16 | (255 - i) << 8 | (i ^ 0x5A);
    const uint8_t indexes[2][7] = {{0, 1, 2, 3, 255, 9, 9}, {10, 20, 30, 40, 50, 9, 9}};
    Bytes dib;
    ASSERT_TRUE(write_dib_indexed(&indexes[0][0], 5, 2, 7, colours, &dib));
    ASSERT_EQ(dib.size(), 40u + 1024u + 16u);
    Bytes expected = header(5, 2, 8);
    for (uint32_t i = 0; i < 256; ++i)
        append(&expected, {static_cast<uint8_t>(i ^ 0x5A), static_cast<uint8_t>(255 - i),
                           static_cast<uint8_t>(i), 0});
    append(&expected, {10, 20, 30, 40, 50, 0, 0, 0, 0, 1, 2, 3, 255, 0, 0, 0});
    EXPECT_EQ(dib, expected);
}

TEST(DibWriter, RefusesWhatCannotBeABitmapAndLeavesNothing) {
    const uint32_t pixel = 0;
    const auto* index = reinterpret_cast<const uint8_t*>(&pixel);
    Bytes dib = {1, 2, 3};
    EXPECT_FALSE(write_dib_rgb(&pixel, 0, 1, 1, &dib));
    EXPECT_TRUE(dib.empty());
    for (bool written : {write_dib_rgb(&pixel, 2, 1, 1, &dib),  // stride shorter than a row
                         write_dib_indexed(index, 1, 1, 1, nullptr, &dib),
                         // 2.4 GB of rows: refused from the sizes, before a pixel is read.
                         write_dib_rgb(&pixel, 20000, 40000, 20000, &dib)})
        EXPECT_FALSE(written);
    EXPECT_TRUE(dib.empty());
}

TEST(DibWriter, BmpFileHeaderGivesTheSizeAndThePixelOffset) {
    Bytes dib, file;
    ASSERT_TRUE(write_dib_rgb(&kRgb5x2[0][0], 5, 2, 6, &dib));
    ASSERT_TRUE(bmp_file_from_dib(dib.data(), dib.size(), &file));
    EXPECT_EQ(std::tuple(file[0], file[1], get32(file, 2), get32(file, 6), get32(file, 10)),
              std::tuple('B', 'M', 14u + 72u, 0u, 54u));
    EXPECT_EQ(Bytes(file.begin() + 14, file.end()), dib);
    const uint8_t index = 0;
    const uint32_t colours[256] = {};
    ASSERT_TRUE(write_dib_indexed(&index, 1, 1, 1, colours, &dib));
    ASSERT_TRUE(bmp_file_from_dib(dib.data(), dib.size(), &file));
    EXPECT_EQ(get32(file, 10), 14u + 40u + 1024u);
    dib.resize(50);  // its rows are missing
    EXPECT_FALSE(bmp_file_from_dib(dib.data(), dib.size(), &file));
    EXPECT_TRUE(file.empty());
    // A file needs its signature.
    ASSERT_TRUE(write_dib_rgb(kRgb5x2[0], 1, 1, 1, &dib));
    ASSERT_TRUE(bmp_file_from_dib(dib.data(), dib.size(), &file));
    Picture pic;
    EXPECT_EQ(read_bmp_file(file.data(), file.size(), kLimits, &pic), DecodeStatus::Ok);
    file[1] = 'A';
    EXPECT_EQ(read_bmp_file(file.data(), file.size(), kLimits, &pic), DecodeStatus::Unreadable);
}

// A header and what follows it.
Bytes with(Bytes head, std::initializer_list<uint8_t> rest) {
    append(&head, rest);
    return head;
}

TEST(DibReader, LayoutsOtherProgramsWrite) {
    const struct {
        const char* layout;
        Bytes dib;
        std::vector<uint32_t> argb, colours = {};
        Bytes indexes = {};
    } cases[] = {
        {"negative height: stored from the top",
         with(header(1, -2, 24), {0x30, 0x20, 0x10, 0, 0x60, 0x50, 0x40, 0}),
         {0xFF102030, 0xFF405060}},
        // Red and blue three-byte entries; the bottom row first.
        {"one bit, core header",
         {12,         0,          0, 0,    10,         0,          2,    0,    1,
          0,          1,          0, 0x00, 0x00,       0xFF,       0xFF, 0x00, 0x00,
          0b00000000, 0b01000000, 0, 0,    0b10000001, 0b10000000, 0,    0},
         {},
         {0xFFFF0000, 0xFF0000FF},
         {1, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
        {"four bits, indexes past a table of 3 are entry 0",
         with(header(3, 1, 4, 0, 3), {1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0, 0x27, 0x10, 0, 0}),
         {},
         {0xFF010101, 0xFF020202, 0xFF030303},
         {2, 0, 1}},
        // Pure red, green and blue, then a mid grey: 16 of 31 is 132 of 255, 32 of 63 is 130.
        {"sixteen bits, 5-5-5",
         with(header(4, 1, 16), {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0, 0x10, 0x42}),
         {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF848484}},
        {"sixteen bits, 5-6-5 masks after a 40-byte header",
         with(header(4, 1, 16, 3, 0, 40, {0xF800, 0x07E0, 0x001F}),
              {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0, 0x10, 0x84}),
         {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF848284}},
        {"thirty-two bits: the fourth byte is no alpha",
         with(header(1, 1, 32), {0x33, 0x22, 0x11, 0x00}),
         {0xFF112233}},
        {"thirty-two bits, red in the low byte",
         with(header(2, 1, 32, 3, 0, 108, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}),
              {0x11, 0x22, 0x33, 0x00, 0xFF, 0x00, 0x80, 0x7F}),
         {0xFF112233, 0xFFFF0080}},
        {"a table before true-colour pixels is skipped",
         with(header(1, 1, 24, 0, 2), {9, 9, 9, 0, 9, 9, 9, 0, 0x33, 0x22, 0x11, 0}),
         {0xFF112233}},
    };
    for (const auto& c : cases) {
        const Picture pic = read(c.dib);
        EXPECT_EQ(pic.indexed, !c.indexes.empty()) << c.layout;
        EXPECT_EQ(pic.argb, c.argb) << c.layout;
        EXPECT_EQ(pic.colours, c.colours) << c.layout;
        EXPECT_EQ(pic.indexes, c.indexes) << c.layout;
    }
}

TEST(DibReader, FilePixelOffsetInsideTheHeadersIsNoneAndPastTheFileIsMissingPixels) {
    Bytes file = {'B', 'M'};
    put32(&file, 0);
    put32(&file, 0);
    put32(&file, 14 + 40 + 4);  // pixels after a 4-byte gap
    const Bytes head = header(1, 1, 24);
    file.insert(file.end(), head.begin(), head.end());
    append(&file, {7, 7, 7, 7, 0x33, 0x22, 0x11, 0});
    Picture pic;
    ASSERT_EQ(read_bmp_file(file.data(), file.size(), kLimits, &pic), DecodeStatus::Ok);
    EXPECT_EQ(pic.argb, (std::vector<uint32_t>{0xFF112233}));
    set32(&file, 10, 20);  // inside the header: the pixels follow it
    ASSERT_EQ(read_bmp_file(file.data(), file.size(), kLimits, &pic), DecodeStatus::Ok);
    EXPECT_EQ(pic.argb, (std::vector<uint32_t>{0xFF070707}));
    set32(&file, 10, 5000);
    EXPECT_EQ(read_bmp_file(file.data(), file.size(), kLimits, &pic), DecodeStatus::Unreadable);
}

// A valid 24-bit 4 x 2 bitmap and the damage done to it.
struct Refusal {
    const char* fault;
    std::function<void(Bytes*)> damage;
    DecodeStatus expected = DecodeStatus::Unreadable;
    DecodeLimits limits = kLimits;
};

TEST(DibRefusals, EveryDamagedBitmapIsRefusedAndLeavesNothing) {
    const uint32_t pixels[8] = {};
    Bytes valid;
    ASSERT_TRUE(write_dib_rgb(pixels, 4, 2, 4, &valid));
    const auto field = [](size_t at, uint32_t v) { return [=](Bytes* b) { set32(b, at, v); }; };
    const auto bits = [](uint8_t n) { return [=](Bytes* b) { (*b)[14] = n; }; };
    const Refusal refusals[] = {
        {"truncated by one byte", [](Bytes* b) { b->pop_back(); }},
        {"header of unknown size", field(0, 64)},
        {"width 0", field(4, 0)},
        {"bit count 2", bits(2)},
        {"run-length 8", field(16, 1)},
        {"bit fields at 24 bits", [](Bytes* b) { set32(b, 16, 3), b->resize(b->size() + 12); }},
        {"bit fields with a zero mask",
         [](Bytes* b) {
             (*b)[14] = 32, set32(b, 16, 3), b->resize(40);
             for (uint32_t m : {0xFF0000u, 0u, 0xFFu}) put32(b, m);
             b->resize(40 + 12 + 32);
         }},
        {"mask outside a 16-bit pixel",
         [](Bytes* b) {
             (*b)[14] = 16, set32(b, 16, 3), b->resize(40);
             for (uint32_t m : {0xF800u, 0x07E0u, 0x10000u}) put32(b, m);
             b->resize(40 + 12 + 16);
         }},
        {"table past the data", field(32, 0x40000000)},
        {"300 table entries",
         [](Bytes* b) { (*b)[14] = 8, set32(b, 32, 300), b->resize(40 + 1200 + 16); }},
        {"rows past any data, sizes within the limits",
         [](Bytes* b) { set32(b, 4, INT32_MAX), set32(b, 8, 1u << 29), (*b)[14] = 32; },
         DecodeStatus::Unreadable, DecodeLimits{INT64_MAX, INT64_MAX}},
        {"wider than the limits", [](Bytes*) {}, DecodeStatus::TooLarge, DecodeLimits{3, 1 << 20}},
        {"huge size announced by a short bitmap",
         [](Bytes* b) { set32(b, 4, 100000), set32(b, 8, 100000); }, DecodeStatus::TooLarge},
    };
    for (const Refusal& r : refusals) {
        Bytes b = valid;
        r.damage(&b);
        Picture pic;
        pic.width = 9;
        pic.argb.assign(9, 0);
        EXPECT_EQ(read_dib(b.data(), b.size(), r.limits, &pic), r.expected) << r.fault;
        EXPECT_TRUE(pic.width == 0 && pic.argb.empty() && pic.indexes.empty() &&
                    pic.colours.empty())
            << r.fault;
    }
}

}  // namespace
