// The echo of a typed line against a surface that records what is drawn.
#include "text/line_echo.h"

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
    void draw_run(int32_t, int32_t, const char16_t*, size_t) override {}
    void copy_rows(int32_t, int32_t, int32_t) override {}
    void fill_black(int32_t, int32_t) override {}

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
    EXPECT_EQ(echo.line(),
              u"a\xD83D\xDE00"
              u"b");
    EXPECT_EQ(echo.bytes(), 6u);
    EXPECT_EQ(s.last_text().text, u"b");
    echo.backspace();
    echo.backspace();  // the pair goes whole
    EXPECT_EQ(echo.line(), u"a");
    EXPECT_EQ(echo.bytes(), 1u);

    RecordingSurface t(400, 1000);
    LineEcho limit(t.cursor, t);
    std::u16string pairs;
    for (int i = 0; i < 64; ++i) pairs += u"\xD83D\xDE00";
    type(limit, pairs + u"xyz");  // 63 pairs are 252 bytes: the 64th is dropped whole
    EXPECT_EQ(limit.line(), pairs.substr(0, 126) + u"xyz");
}

TEST(LineEcho, BackspaceFindsItsRowAfterTheSurfaceScrolled) {
    // Ten cells a line: the cursor needs a free cell, so each line takes ten.
    RecordingSurface s(84, 48);  // three lines: the third break scrolls
    LineEcho echo(s.cursor, s);
    type(echo, u"0123456789abcdefghij");
    EXPECT_EQ(at(s.cursor), (At{0, 16}));
    echo.backspace();  // "j" moved up with the scroll, to the top line
    EXPECT_EQ(at(s.cursor), (At{72, 0}));
    EXPECT_EQ(s.draws.back().y, 0);
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
    RecordingSurface s(12, 1000);  // one cell and a half
    LineEcho echo(s.cursor, s);
    type(echo, u"ab日");  // each on a line of its own, 日 clipped
    EXPECT_EQ(s.last_text().text, u"日");
    EXPECT_EQ(s.last_text().y, 32);
    RecordingSurface none(0, 0);
    LineEcho empty(none.cursor, none);
    empty.start();
    type(empty, u"ab日");
    empty.backspace();
    empty.finish();
    EXPECT_EQ(empty.line(), u"ab");
}

}  // namespace
