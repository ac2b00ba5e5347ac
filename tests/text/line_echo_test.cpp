// The echo of a typed line and the console layout, against a surface that
// records what is drawn where.
#include "text/line_echo.h"
#include "text/text_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kaplo::LineEcho;
using kaplo::TextCursor;

struct Draw {
    int32_t x, y;
    std::u16string text;
};
// The layout's canvas calls: a run drawn, rows copied, rows cleared.
struct Op {
    std::string kind;
    int32_t a, b, c;
    std::u16string text;
};

struct RecordingSurface : kaplo::EchoSurface, kaplo::TextCanvas {
    TextCursor cursor;
    std::vector<Draw> draws;
    int crossings = 0;  // draws that reach past the right edge

    RecordingSurface(int32_t width, int32_t height) {
        cursor.width = width;
        cursor.height = height;
    }
    void draw_cells(int32_t x, int32_t y, const char16_t* units, size_t count) override {
        int32_t cells = 0;
        for (size_t i = 0; i < count; ++i) cells += kaplo::cells_of(units[i]);
        if (x + cells * cursor.char_width > cursor.width) ++crossings;
        draws.push_back({x, y, std::u16string(units, count)});
    }
    void line_break() override { kaplo::text_line_break(cursor, *this); }
    std::vector<Op> ops;
    void draw_run(int32_t x, int32_t y, const char16_t* units, size_t count) override {
        ops.push_back({"draw", x, y, 0, std::u16string(units, count)});
    }
    void copy_rows(int32_t src, int32_t dst, int32_t rows) override {
        ops.push_back({"copy", src, dst, rows, {}});
    }
    void fill_black(int32_t y, int32_t rows) override { ops.push_back({"fill", y, rows, 0, {}}); }
    void print(const std::u16string& text) {
        kaplo::text_layout(cursor, *this, text.data(), text.size());
    }

    // Where the last non-blank text was drawn.
    Draw last_text() const {
        for (auto it = draws.rbegin(); it != draws.rend(); ++it)
            if (it->text.find_first_not_of(u" _") != std::u16string::npos) return *it;
        return {};
    }
};

struct At {
    int32_t x, y;
    bool operator==(const At&) const = default;
};
At at(const TextCursor& c) {
    return {c.x, c.y};
}

void type(LineEcho& echo, const std::u16string& units) {
    for (char16_t u : units) echo.type(u);
}

TEST(LineEcho, TakesWholeCharactersWhileTheirUtf8BytesFit) {
    RecordingSurface s(400, 1000);
    LineEcho echo(s.cursor, s);
    type(echo, std::u16string(84, u'あ') + u"éあzy");  // é 2 bytes, z 1: 255
    EXPECT_EQ(echo.line(), std::u16string(84, u'あ') + u"éz");
    EXPECT_EQ(echo.bytes(), 255u);
    EXPECT_EQ(s.last_text().text, u"z");  // what was dropped was not drawn
    // A full line still takes Backspace, which gives back each character's
    // bytes, and then what fits again.
    echo.backspace();
    echo.backspace();
    type(echo, u"あw");
    EXPECT_EQ(echo.line(), std::u16string(85, u'あ'));
    EXPECT_EQ(s.crossings, 0);
}

TEST(LineEcho, SurrogatePairsGoInWholeOrNotAtAll) {
    RecordingSurface s(400, 1000);
    LineEcho echo(s.cursor, s);
    // A lone low half, and a high half followed by anything but its low half,
    // never enter the line.
    type(echo,
         u"a\xD83D\xDE00\xDE00\xD83D"
         u"b\xDE00\xD83D");
    EXPECT_EQ(echo.bytes(), 6u);
    EXPECT_EQ(s.last_text().text, u"b");
    echo.backspace();
    echo.backspace();  // the pair goes whole
    EXPECT_EQ(echo.line(), u"a");
}

TEST(LineEcho, BackspaceFindsItsRowAfterTheSurfaceScrolled) {
    // Ten cells a line: the cursor needs a free cell, so each line takes ten.
    RecordingSurface s(84, 48);  // three lines: the third break scrolls
    LineEcho echo(s.cursor, s);
    type(echo, u"0123456789abcdefghij");
    echo.backspace();  // "j" moved up with the scroll, to the top line
    EXPECT_EQ(at(s.cursor), (At{72, 0}));
    // A two-cell character does not fit at x = 72: it goes to the next line,
    // and Backspace returns to where the cursor stood.
    echo.type(u'日');
    EXPECT_EQ(at(s.cursor), (At{16, 16}));
    echo.backspace();
    EXPECT_EQ(at(s.cursor), (At{72, 0}));
    EXPECT_EQ(echo.line(), u"0123456789abcdefghi");
    EXPECT_EQ(s.crossings, 0);
}

TEST(LineEcho, AWindowNarrowerThanACharacterClipsItWithoutLooping) {
    RecordingSurface none(0, 0);
    LineEcho empty(none.cursor, none);
    empty.start();
    type(empty, u"ab日");
    empty.backspace();
    empty.finish();
    EXPECT_EQ(empty.line(), u"ab");
}

TEST(TextLayout, FillsALineToItsEdgeAndMovesWhatCrossesItWhole) {
    RecordingSurface s(152, 300);
    s.print(std::u16string(19, u'a'));  // the 19th ends exactly at the edge and still fits
    EXPECT_EQ(at(s.cursor), (At{152, 0}));
    s.print(u"b");
    EXPECT_EQ(s.ops.back().b, 16);

    RecordingSurface t(40, 300);  // five cells
    t.print(u"abcd");
    t.print(u"日x");  // two cells from x = 32 would cross the edge
    EXPECT_EQ(t.ops.back().text, u"日x");
    EXPECT_EQ(t.ops.back().b, 16);
    t.print(u"y\n");
    EXPECT_EQ(at(t.cursor), (At{0, 32}));
    // Control characters other than line feed are glyphs of one cell.
    t.print(u"\r\t\b");
    EXPECT_EQ(t.ops.back().text, u"\r\t\b");
    EXPECT_EQ(t.cursor.x, 24);

    RecordingSurface narrow(8, 1000);
    narrow.print(u"日本");
    EXPECT_EQ(narrow.cursor.y, 32);  // each on a line of its own
}

TEST(TextLayout, ScrollsWhenTheNextLineWouldEndExactlyAtTheBottom) {
    RecordingSurface s(80, 48);  // three lines of 16
    s.print(u"1\n2\n");          // y would be 32: 32 + 16 == 48, so it scrolls
    EXPECT_EQ(s.cursor.y, 16);
    ASSERT_GE(s.ops.size(), 4u);
    const Op& copy = s.ops[s.ops.size() - 2];
    const Op& fill = s.ops.back();
    EXPECT_EQ(copy.kind + std::to_string(copy.a) + std::to_string(copy.b) + std::to_string(copy.c),
              "copy16016");
    EXPECT_EQ(fill.kind + std::to_string(fill.a) + std::to_string(fill.b), "fill1632");
}

}  // namespace
