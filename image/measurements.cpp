// The measuring commands of the process menu: the pixel report, row profiles
// and the Cr-Cb plots, and the plotting calls they draw their graphs with.
//
// Threads: worker thread only.

#include <cstdio>
#include <vector>

#include "image/colour_models.h"
#include "image/commands.h"
#include "image/image_store.h"
#include "image/image_window_proc.h"
#include "kaplo.h"
#include "runtime/misuse.h"

namespace kaplo {
namespace {

enum MeasureCommand : int32_t {
    kPixelReport = 1015,
    kProfileRgb = 1016,
    kProfileHsv = 1017,
    kProfileYCrCb = 1018,
    kCrCbRow = 1021,
    kCrCbArea = 1022,
    kProfileLuminance = 1070,
};

enum PlotFlags : int {
    kRed = 0x01,
    kGreen = 0x02,
    kBlue = 0x04,
    kHue = 0x08,
    kSaturation = 0x10,
    kValue = 0x20,
    kDots = 0x40,
    kPolyline = 0x80,
    kLuma = 0x100,
    kCr = 0x200,
    kCb = 0x400,
    kByte = 0x1000,
};

constexpr int32_t kWhite = 0xFFFFFF;

struct Label {
    const char* text;
    int32_t x, y, colour;
};

// Bitmap-font text with its left edge at x and its baseline at y.
void draw_label(const Label& label) {
    image_text_cursor.text_x = label.x;
    image_text_cursor.left_margin = label.x;
    image_text_cursor.baseline_y = label.y;
    kpl_tc = label.colour;
    KPL_DrawString(label.text);
}

// A new 32-bit image window in the lowest free number, made current; -1 when
// no number takes it.
int open_graph(const char* title, int width, int height) {
    const QuietMisuse quiet;  // probing numbers in use is no mistake
    for (int n = 0; n < kImageSlots; ++n)
        if (KPL_CreateImageWindow(n, title, 0, 0, width, height, 100, 32) == 0) return n;
    return -1;
}

void pixel_report(int number) {
    int x = 0, y = 0;
    if (KPL_PickPoint(number, &x, &y) != 0) return;
    const int32_t v = KPL_GetPixel(x, y);
    const bool wide = image_table[number].bitDepth == 32;
    KPL_EnsureTextWindow();
    KPL_Printf("(X,Y)=(%d,%d)\n", x, y);
    if (!wide) {
        KPL_Printf("(Luminance)=(%d)\n\n", v);
        return;
    }
    int32_t r, g, b;
    KPL_SplitRgb(v, &r, &g, &b);
    KPL_Printf("(R,G,B)=(%d,%d,%d)\n", r, g, b);
    KPL_Printf("(H,S,V)=(%d,%d,%d)\n", KPL_GetHue(v), KPL_GetSaturation(v), KPL_GetBrightness(v));
    KPL_Printf("(Y,Cr,Cb)=(%d,%d,%d)\n", luminance(v), chroma_cr(v), chroma_cb(v));
    KPL_Printf("(Y,u,v)=(%d,%d,%d)\n", luminance(v), chroma_u(v), chroma_v(v));
    KPL_Printf("(Y,I,Q)=(%d,%d,%d)\n\n", luminance(v), chroma_i(v), chroma_q(v));
}

struct Profile {
    const char* title;  // a format with the row
    int offset;         // room for the labels left of the curves
    struct Curve {
        int flags;
        Label label;
    } curves[3];
    int count;
};

const Profile* profile_of(int32_t id) {
    static const Profile profiles[] = {
        {"RGB(Y=%d)",
         12,
         {{kRed, {"R", 2, 40, 0xFF0000}},
          {kGreen, {"G", 2, 72, 0x00FF00}},
          {kBlue, {"B", 2, 104, 0x0000FF}}},
         3},
        {"HSV(Y=%d)",
         12,
         {{kHue, {"H", 2, 40, 0xFFFF00}},
          {kSaturation, {"S", 2, 72, 0xFF00FF}},
          {kValue, {"V", 2, 104, 0x00FFFF}}},
         3},
        {"YCrCb(Y=%d)",
         20,
         {{kLuma, {"Y", 4, 40, 0xFFFFFF}},
          {kCr, {"Cr", 2, 72, 0xFF8888}},
          {kCb, {"Cb", 2, 104, 0x8888FF}}},
         3},
        {"Luminance(Y=%d)", 12, {{kByte, {"L", 2, 40, 0xFFFFFF}}}, 1},
    };
    switch (id) {
        case kProfileRgb:
            return &profiles[0];
        case kProfileHsv:
            return &profiles[1];
        case kProfileYCrCb:
            return &profiles[2];
        case kProfileLuminance:
            return &profiles[3];
        default:
            return nullptr;
    }
}

// The row the user clicks, read from its image into 32-bit words (a
// 32-bit image) or bytes (an 8-bit one); the room is words either way.
bool pick_row(int number, int* row, std::vector<uint32_t>* words) {
    int x = 0;
    if (KPL_PickRow(number, &x, row) != 0) return false;
    words->assign(static_cast<size_t>(image_table[number].width), 0);
    KPL_GetImageRow(words->data(), *row, image_table[number].width);
    return true;
}

void row_profile(int number, const Profile& profile) {
    int y = 0;
    std::vector<uint32_t> row;
    if (!pick_row(number, &y, &row)) return;
    const int width = static_cast<int>(row.size());
    char title[64];
    std::snprintf(title, sizeof title, profile.title, y);
    const int graph = open_graph(title, width + profile.offset, 128);
    if (graph < 0) return;
    for (int i = 0; i < profile.count; ++i) {
        const Profile::Curve& curve = profile.curves[i];
        KPL_PlotProfile(row.data(), profile.offset, width, curve.flags | kPolyline,
                        curve.label.colour);
    }
    for (int i = 0; i < profile.count; ++i) draw_label(profile.curves[i].label);
    KPL_UpdateImage(graph);
}

// The axes and labels of the Cr-Cb plane: Cb across, Cr upwards.
void crcb_axes() {
    KPL_DrawLine(0x808080, 0, 128, 256, 128);
    KPL_DrawLine(0x808080, 128, 0, 128, 256);
    draw_label({"Cr", 110, 16, 0xFF8888});
    draw_label({"Cb", 238, 144, 0x8888FF});
}

struct PlanePoint {
    int32_t x, y;
};
PlanePoint crcb_point(uint32_t pixel) {
    const int32_t v = static_cast<int32_t>(pixel);
    return {chroma_cb(v) + 128, 128 - chroma_cr(v)};
}

void crcb_row(int number) {
    int y = 0;
    std::vector<uint32_t> row;
    if (!pick_row(number, &y, &row)) return;
    char title[64];
    std::snprintf(title, sizeof title, "CrCb(Y=%d)", y);
    const int graph = open_graph(title, 256, 256);
    if (graph < 0) return;
    KPL_PlotCrCbRow(row.data(), static_cast<int>(row.size()));
    KPL_UpdateImage(graph);
}

void crcb_area(int number) {
    int left = 0, top = 0, right = 0, bottom = 0;
    if (KPL_PickBox(number, &left, &top, &right, &bottom) != 0) return;
    const int columns = right - left + 1, rows = bottom - top + 1;
    std::vector<uint32_t> block(static_cast<size_t>(columns) * static_cast<size_t>(rows), 0);
    KPL_GetImageBlock(block.data(), left, top, columns, rows);
    char title[96];
    std::snprintf(title, sizeof title, "CrCb(%d,%d)-(%d,%d)", left, top, right, bottom);
    const int graph = open_graph(title, 256, 256);
    if (graph < 0) return;
    KPL_PlotCrCbArea(block.data(), rows, columns);
    KPL_UpdateImage(graph);
}

// One sample's channel value and its full scale; the first channel named by
// the flags counts.
struct Sample {
    int32_t value, scale;
};
Sample channel_value(const void* row, int i, int flags) {
    if (flags & (kRed | kGreen | kBlue | kHue | kSaturation | kValue | kLuma | kCr | kCb)) {
        const int32_t v = static_cast<int32_t>(static_cast<const uint32_t*>(row)[i]);
        int32_t r, g, b, h, s, value;
        KPL_SplitRgb(v, &r, &g, &b);
        KPL_RgbToHsv(v, &h, &s, &value);
        if (flags & kRed) return {r, 255};
        if (flags & kGreen) return {g, 255};
        if (flags & kBlue) return {b, 255};
        if (flags & kHue) return {h, 359};
        if (flags & kSaturation) return {s, 255};
        if (flags & kValue) return {value, 255};
        if (flags & kLuma) return {luminance(v), 255};
        if (flags & kCr) return {chroma_cr(v) + 128, 255};
        return {chroma_cb(v) + 128, 255};
    }
    return {static_cast<const uint8_t*>(row)[i], 255};
}

}  // namespace

bool measurement_command(platform::WindowId window, int32_t id) {
    const int number = KPL_FindImageByWindow(window);
    switch (id) {
        case kPixelReport:
            pixel_report(number);
            return true;
        case kProfileRgb:
        case kProfileHsv:
        case kProfileYCrCb:
        case kProfileLuminance:
            row_profile(number, *profile_of(id));
            return true;
        case kCrCbRow:
            crcb_row(number);
            return true;
        case kCrCbArea:
            crcb_area(number);
            return true;
        default:
            return false;
    }
}

}  // namespace kaplo

void KPL_PlotProfile(const void* row, int offset, int count, int flags, int32_t colour) {
    using namespace kaplo;
    if (!row || !(flags & (kDots | kPolyline))) return;
    if (!(flags &
          (kRed | kGreen | kBlue | kHue | kSaturation | kValue | kLuma | kCr | kCb | kByte)))
        return;
    int32_t last_x = 0, last_y = 0;
    for (int i = 0; i < count; ++i) {
        const Sample c = channel_value(row, i, flags);
        const int32_t x = offset + i, y = 127 - c.value * 127 / c.scale;
        if (i == 0 || (flags & kDots))
            KPL_SetPixel(x, y, colour);
        else
            KPL_DrawLine(colour, last_x, last_y, x, y);
        last_x = x;
        last_y = y;
    }
}

void KPL_PlotCrCbRow(const uint32_t* row, int count) {
    using namespace kaplo;
    crcb_axes();
    if (!row) return;
    PlanePoint last{0, 0};
    for (int i = 0; i < count; ++i) {
        const PlanePoint p = crcb_point(row[i]);
        if (i == 0)
            KPL_SetPixel(p.x, p.y, kWhite);
        else
            KPL_DrawLine(i % 2 ? 0xFF00FF : kWhite, last.x, last.y, p.x, p.y);
        last = p;
    }
}

void KPL_PlotCrCbArea(const uint32_t* block, int rows, int columns) {
    using namespace kaplo;
    crcb_axes();
    if (!block || columns <= 0) return;
    for (int r = 0; r < rows; ++r) {
        const uint32_t* row = block + static_cast<size_t>(r) * static_cast<size_t>(columns);
        PlanePoint last = crcb_point(row[0]);
        KPL_SetPixel(last.x, last.y, kWhite);
        for (int i = 1; i < columns; ++i) {
            const PlanePoint p = crcb_point(row[i]);
            KPL_DrawLine(kWhite, last.x, last.y, p.x, p.y);
            last = p;
        }
    }
}
