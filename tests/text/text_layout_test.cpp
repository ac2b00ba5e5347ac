// Console layout against a canvas that records what is drawn where.
#include "text/text_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kaplo::TextCursor;

struct Op {
    std::string kind;
    int32_t a, b, c;
    std::u16string text;
};

struct RecordingCanvas : kaplo::TextCanvas {
    std::vector<Op> ops;
    void draw_run(int32_t x, int32_t y, const char16_t* units, size_t count) override {
        ops.push_back({"draw", x, y, 0, std::u16string(units, count)});
    }
    void copy_rows(int32_t src, int32_t dst, int32_t rows) override {
        ops.push_back({"copy", src, dst, rows, {}});
    }
    void fill_black(int32_t y, int32_t rows) override { ops.push_back({"fill", y, rows, 0, {}}); }
};

TextCursor cursor(int32_t width, int32_t height) {
    TextCursor c;
    c.width = width;
    c.height = height;
    return c;
}

void print(TextCursor& c, RecordingCanvas& canvas, const std::u16string& s) {
    kaplo::text_layout(c, canvas, s.data(), s.size());
}

TEST(TextLayout, NineteenCellsFitInOneHundredFiftyTwoPixels) {
    TextCursor c = cursor(152, 300);
    RecordingCanvas canvas;
    print(c, canvas, std::u16string(19, u'a'));
    ASSERT_EQ(canvas.ops.size(), 1u);
    EXPECT_EQ(c.x, 152);  // the 19th ends exactly at the edge and still fits
    EXPECT_EQ(c.y, 0);
    print(c, canvas, u"b");
    // The 20th starts the next line: an empty pending run, then "b" at 0,16.
    EXPECT_EQ(canvas.ops.back().text, u"b");
    EXPECT_EQ(canvas.ops.back().a, 0);
    EXPECT_EQ(canvas.ops.back().b, 16);
    EXPECT_EQ(c.x, 8);
}

TEST(TextLayout, TwoCellCharactersMoveWholeAndCallsContinueTheLine) {
    TextCursor c = cursor(40, 300);  // five cells
    RecordingCanvas canvas;
    print(c, canvas, u"abcd");
    print(c, canvas, u"日x");  // two cells from x = 32 would cross the edge
    ASSERT_EQ(canvas.ops.size(), 2u);
    EXPECT_EQ(canvas.ops[1].text, u"日x");
    EXPECT_EQ(canvas.ops[1].a, 0);
    EXPECT_EQ(canvas.ops[1].b, 16);
    EXPECT_EQ(c.x, 24);
    // A line feed at the end leaves the cursor at column 0 of the next line.
    print(c, canvas, u"y\n");
    EXPECT_EQ(c.x, 0);
    EXPECT_EQ(c.y, 32);
    // Control characters other than line feed are glyphs of one cell.
    print(c, canvas, u"\r\t\b");
    EXPECT_EQ(canvas.ops.back().text, u"\r\t\b");
    EXPECT_EQ(c.x, 24);
}

TEST(TextLayout, ScrollsWhenTheNextLineWouldEndExactlyAtTheBottom) {
    TextCursor c = cursor(80, 48);  // three lines of 16
    RecordingCanvas canvas;
    print(c, canvas, u"1\n");
    EXPECT_EQ(c.y, 16);
    EXPECT_TRUE(canvas.ops.size() == 1);
    print(c, canvas, u"2\n");  // y would be 32: 32 + 16 == 48, so it scrolls
    EXPECT_EQ(c.y, 16);
    ASSERT_GE(canvas.ops.size(), 4u);
    const Op& copy = canvas.ops[canvas.ops.size() - 2];
    const Op& fill = canvas.ops.back();
    EXPECT_EQ(copy.kind, "copy");
    EXPECT_EQ(copy.a, 16);  // from charHeight
    EXPECT_EQ(copy.b, 0);   // to the top
    EXPECT_EQ(copy.c, 16);  // cursorY - charHeight rows
    EXPECT_EQ(fill.kind, "fill");
    EXPECT_EQ(fill.a, 16);
    EXPECT_EQ(fill.b, 32);
}

TEST(TextLayout, ACharacterWiderThanTheWindowDoesNotLoop) {
    TextCursor c = cursor(8, 1000);
    RecordingCanvas canvas;
    print(c, canvas, u"日本");
    EXPECT_EQ(c.y, 32);  // each on a line of its own
}

}  // namespace
