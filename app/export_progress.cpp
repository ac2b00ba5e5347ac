#include "export_progress.h"

#include <cstdio>

namespace depth {

namespace {

constexpr int kBarCells = 24;

}  // namespace

std::string progress_bar_line(int done, int total, double fps) {
    char line[128];
    if (total <= 0) {
        std::snprintf(line, sizeof line, "%d frames  %.1f fps", done, fps);
        return line;
    }
    const int share = done >= total ? 100 : static_cast<int>(100LL * done / total);
    const int filled = share * kBarCells / 100;
    std::string bar(static_cast<size_t>(kBarCells), '-');
    bar.replace(0, static_cast<size_t>(filled), static_cast<size_t>(filled), '#');
    char left[32] = "done";
    if (done < total) {
        const int seconds = fps > 0 ? static_cast<int>((total - done) / fps + 0.5) : 0;
        std::snprintf(left, sizeof left, "%d:%02d left", seconds / 60, seconds % 60);
    }
    std::snprintf(line, sizeof line, "[%s] %d/%d frames %3d%%  %.1f fps  %s", bar.c_str(), done,
                  total, share, fps, left);
    return line;
}

ExportProgress::ExportProgress(int total, bool on_terminal)
    : total_(total), terminal_(on_terminal) {}

void ExportProgress::frame_done(int done) {
    const double since = std::chrono::duration<double>(Clock::now() - last_).count();
    if (since < (terminal_ ? 0.2 : 1.0)) return;
    last_ = Clock::now();
    print(done, false);
}

void ExportProgress::finish(int done) {
    print(done, true);
}

void ExportProgress::print(int done, bool last) {
    const double t = std::chrono::duration<double>(Clock::now() - start_).count();
    const double fps = t > 0 ? done / t : 0.0;
    if (terminal_) {
        // Cleared to the end of the line: a redraw may be shorter.
        std::fprintf(stderr, "\r%s\033[K%s", progress_bar_line(done, total_, fps).c_str(),
                     last ? "\n" : "");
    } else if (total_ > 0) {
        std::fprintf(stderr, "kaplo-depth: %d of %d frames, %.1f fps\n", done, total_, fps);
    } else {
        std::fprintf(stderr, "kaplo-depth: %d frames, %.1f fps\n", done, fps);
    }
    std::fflush(stderr);
}

}  // namespace depth
