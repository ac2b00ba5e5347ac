// Box colours: click two corners of a box in the picture and read its mean
// colour in every colour model the framework knows. The mouse tool waits for
// the clicks (the status line says what to click); a right click cancels and
// ends the run, as C does.
#include <kaplo.h>

#include <cstdio>

namespace {

// One line to text window 0 and to standard output.
template <class... Args>
void report(const char* format, Args... args) {
    KPL_Printf(format, args...);
    std::printf(format, args...);
    std::fflush(stdout);
}

}  // namespace

void UserInit() {
    KPL_OpenTextWindow(0, 0, 0, 440, 200);
    KPL_CreateImage(0, "hues", 0, 240, 360, 256, 100);
    KPL_TestPatternHsv();
    KPL_UpdateImage(0);
    KPL_Printf("Press S, then click two corners of a box in \"hues\".\n");
}

void UserMain() {
    int left = 0, top = 0, right = 0, bottom = 0;
    for (;;) {
        report("Pick a box: click two corners (a right click ends).\n");
        if (KPL_PickBox(0, &left, &top, &right, &bottom) != 0) break;
        long long r = 0, g = 0, b = 0;
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x) {
                int32_t pr, pg, pb;
                KPL_SplitRgb(KPL_GetPixel(x, y), &pr, &pg, &pb);
                r += pr, g += pg, b += pb;
            }
        const long long n = static_cast<long long>(right - left + 1) * (bottom - top + 1);
        const int32_t mean = static_cast<int32_t>((r / n) << 16 | (g / n) << 8 | (b / n));
        int32_t c1, c2, c3;
        report("(%d,%d)-(%d,%d), %lld pixels\n", left, top, right, bottom, n);
        KPL_SplitRgb(mean, &c1, &c2, &c3);
        report("  (R,G,B)=(%d,%d,%d)\n", c1, c2, c3);
        KPL_RgbToHsv(mean, &c1, &c2, &c3);
        report("  (H,S,V)=(%d,%d,%d)\n", c1, c2, c3);
        KPL_RgbToYCrCb(mean, &c1, &c2, &c3);
        report("  (Y,Cr,Cb)=(%d,%d,%d)\n", c1, c2, c3);
        KPL_RgbToYuv(mean, &c1, &c2, &c3);
        report("  (Y,u,v)=(%d,%d,%d)\n", c1, c2, c3);
        KPL_RgbToYiq(mean, &c1, &c2, &c3);
        report("  (Y,I,Q)=(%d,%d,%d)\n", c1, c2, c3);
    }
    report("done\n");
}
