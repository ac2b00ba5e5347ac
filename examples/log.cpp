// A journal kept in a log file: each Start (S) times a few drawing jobs on a
// 640 x 480 picture without a window, five rounds each, and writes the results
// to text window 0. Everything the window shows also goes to its log file,
// KAPLO00.LOG in the folder the program was started from ("KAPLO", the
// program's instance number, the window's number), except the single rounds:
// the log is paused while they are shown. At the end of a run the whole log is
// put on the clipboard, ready to paste into a report.
#include <kaplo.h>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

constexpr int kWidth = 640, kHeight = 480, kRounds = 5;
constexpr int kBuffer = 0;  // the image the jobs draw into
int runs = 0;

// The jobs to time: each draws the whole picture once.
void fill_pixels() {
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) KPL_SetPixel(x, y, x ^ y);
}
void fill_boxes() {
    for (int y = 0; y < kHeight; y += 16)
        for (int x = 0; x < kWidth; x += 16) KPL_FillBox(x, y, x + 15, y + 15, 0, x * y);
}
void draw_circles() {
    for (int r = 1; r < kHeight / 2; ++r) KPL_DrawCircle(r * 0x010203, kWidth / 2, kHeight / 2, r);
}
struct Job {
    const char* name;
    void (*run)();
};
constexpr Job kJobs[] = {{"SetPixel, every pixel", fill_pixels},
                         {"FillBox, 16 x 16 boxes", fill_boxes},
                         {"DrawCircle, 239 circles", draw_circles},
                         {"TestPatternHsv", KPL_TestPatternHsv}};
constexpr int kJobCount = sizeof kJobs / sizeof kJobs[0];

double milliseconds_of(void (*run)()) {
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

void UserInit() {
    KPL_OpenTextWindow(0, 0, 0, 520, 360);
    KPL_StartLog(0);  // from here on, window 0's output goes to KAPLO00.LOG too
    const std::time_t now = std::time(nullptr);
    char date[64];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M", std::localtime(&now));
    KPL_Printf("Drawing speed journal, %s\n", date);
    KPL_CreateImageBuffer(kBuffer, kWidth, kHeight, 32);
    KPL_SetStatusText("S times the drawing calls");
}

void UserMain() {
    KPL_Printf("\nRun %d\n", ++runs);
    double best[kJobCount];
    for (int job = 0; job < kJobCount && !kpl_stop; ++job) {
        KPL_StopLog(0);  // the single rounds only on the screen
        KPL_Printf("  %s:", kJobs[job].name);
        best[job] = 1e300;
        for (int round = 0; round < kRounds; ++round) {
            KPL_SelectImage(kBuffer);
            const double ms = milliseconds_of(kJobs[job].run);
            best[job] = ms < best[job] ? ms : best[job];
            KPL_Printf(" %.2f", ms);
            KPL_ProcessMessages();  // Stop and the windows stay alive between rounds
        }
        KPL_Printf(" ms\n");
        KPL_StartLog(0);  // resumes the log
    }
    if (kpl_stop) {
        KPL_Printf("  stopped\n");
        return;
    }
    // The best round of each job; the slowest job in red.
    int slowest = 0;
    for (int job = 1; job < kJobCount; ++job)
        if (best[job] > best[slowest]) slowest = job;
    for (int job = 0; job < kJobCount; ++job) {
        if (job == slowest) KPL_PushTextColor(0xFF4040, 0x000000);
        KPL_Printf("  %-26s best %8.2f ms\n", kJobs[job].name, best[job]);
        if (job == slowest) KPL_PopTextColor();  // the window's colours as they were
    }
    if (KPL_CopyLog(0) == 0) KPL_Printf("The journal is on the clipboard.\n");
    std::printf("run %d done\n", runs);
    std::fflush(stdout);
}
