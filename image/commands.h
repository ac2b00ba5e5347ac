#pragma once
// The commands of the process pop-up menu, by subsystem. Each takes the
// command number that reached an image window and answers whether it was one
// of its own (and carried it out).

#include "platform/platform.h"

namespace kaplo {

// The numbers of the image window's menus and keys, as its Command messages
// carry them.
namespace command {
enum Command : int32_t {
    kLoad = 1004,
    kDestroy = 1005,
    kZoom50 = 1007,
    kZoom100 = 1008,
    kZoom200 = 1009,
    kSaveAs = 1010,
    kCut = 1011,
    kCopy = 1012,
    kPaste = 1013,        // at a clicked point
    kPasteOrigin = 1014,  // Ctrl+V: at (0, 0)
    kPixel = 1015,
    kLineRgb = 1016,
    kLineHsv = 1017,
    kLineYCrCb = 1018,
    kClipping = 1019,
    kLineCrCb = 1021,
    kAreaCrCb = 1022,
    kColorChange = 1031,
    kDrawLine = 1032,
    kDrawHorz = 1034,
    kDrawVert = 1035,
    kDrawBox = 1036,
    kFillBox = 1037,
    kXorBox = 1038,
    kDrawCircle = 1039,
    kFillCircle = 1040,
    kXorCircle = 1041,
    kDrawText = 1042,
    kPaint = 1043,
    kZoomPrompt = 1046,
    kResizePrompt = 1047,
    kTrueTypeDraw = 1048,
    kFontChange = 1049,
    kColorPick = 1052,
    kPatternRgb = 1053,
    kPatternHsv = 1054,
    kPatternYCrCb = 1055,
    kInvert = 1058,
    kFlipHorz = 1059,
    kFlipVert = 1060,
    kRotateRight = 1061,
    kRotateLeft = 1062,
    kSize50 = 1063,
    kSize71 = 1064,
    kSize141 = 1065,
    kSize200 = 1066,
    kPatternYuv = 1067,
    kPatternYiq = 1068,
    kLineLumi = 1070,
    kPatternGrey = 1071,
    kPixelReadout = 1072,  // turns the pixel readout on or off
};
}  // namespace command

// The pixel report, row profiles and Cr-Cb plots.
bool measurement_command(platform::WindowId window, int32_t id);
// Invert, flips, rotations, rescaling, clipping, colours, drawing by hand,
// test patterns.
bool image_command(platform::WindowId window, int32_t id);
// "Draw Text", TrueType "Draw" and "Font Change".
bool text_command(platform::WindowId window, int32_t id);

}  // namespace kaplo
