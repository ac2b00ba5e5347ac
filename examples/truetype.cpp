// TrueType text: a greeting card drawn with a scalable font into an image
// window and saved as card.png. Control codes inside the text switch bold
// (3, 4), italic (1, 2) and underline (5, 6); 10 (a newline) starts the next
// line under the first. Japanese is drawn as well as Latin letters. The card
// is made at start-up; Esc ends the program.
//
//     kaplo-truetype [name]        greets the name given, or "World"
#include <kaplo.h>

#include <cstdio>

namespace {

constexpr int kWidth = 480, kHeight = 270;

// Places the next text: its first glyph's left edge at x, and the row just
// below its glyphs at y. A newline goes back to x.
void move_to(int x, int y) {
    kaplo::image_text_cursor = {x, x, y};
}

}  // namespace

void UserInit() {
    const char* name = KPL_ArgCount() > 1 ? KPL_Arg(1) : "World";
    KPL_CreateImage(0, "card", -1, -1, kWidth, kHeight, 100);

    // A night-blue background, lighter towards the bottom, in a gold frame.
    for (int y = 0; y < kHeight; ++y)
        KPL_DrawLine(KPL_HsvToRgb(60 + y / 3, 200, 230), 0, y, kWidth - 1, y);
    kaplo::drawing_colour = 0xFFD700;
    KPL_DrawBox(6, 6, kWidth - 7, kHeight - 7);

    // The title: a line 56 pixels high whose full-width characters are 56
    // wide (Latin letters take half that), in bold gold.
    KPL_SetTrueTypeSize(56, 56);
    kpl_tttc = 0xFFD700;
    move_to(28, 82);
    char title[128];
    std::snprintf(title, sizeof title, "\3Hello, %s!\4", name);
    KPL_DrawTrueTypeText(title);

    // Two smaller lines in white: one in italics, one partly underlined.
    KPL_SetTrueTypeSize(24, 26);
    kpl_tttc = 0xFFFFFF;
    move_to(30, 130);
    KPL_DrawTrueTypeText("\1drawn with a TrueType font,\2\n\5pixel by pixel\6, no smoothing");

    // Japanese ("Hello, world.") in pale yellow.
    KPL_SetTrueTypeSize(32, 32);
    kpl_tttc = 0xFFF0A0;
    move_to(30, 220);
    KPL_DrawTrueTypeText("こんにちは、世界。");

    // A row of stars, one character at a time by its Unicode number.
    kpl_tttc = 0xFFD700;
    move_to(330, 220);
    for (int i = 0; i < 4; ++i) KPL_DrawTrueTypeChar(0x2605);  // ★ BLACK STAR

    KPL_UpdateImage(0);
    const int result = KPL_SaveImage(3, "card", kWidth, kHeight);
    std::printf("%s\n", result == 0 ? "saved card.png" : "card.png not saved");
    std::fflush(stdout);
}

void UserMain() {}  // the card is made at start-up; Start has nothing to do
