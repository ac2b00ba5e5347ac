#include "export_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

namespace depth {

namespace {

constexpr int kBarCells = 24;       // one file: the whole line is the bar's
constexpr int kBatchBarCells = 12;  // a batch's line also names the file
constexpr size_t kShortestName = 12;

int share_done(int done, int total) {
    return done >= total ? 100 : static_cast<int>(100LL * done / total);
}

std::string bar(int done, int total, int cells) {
    const int filled = share_done(done, total) * cells / 100;
    // Appended, not joined with +, which GCC 12's -Wrestrict misreads.
    std::string text = "[";
    text.append(static_cast<size_t>(filled), '#').append(static_cast<size_t>(cells - filled), '-');
    return text += ']';
}

// "0:12 left".
std::string time_left(int seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d left", seconds / 60, seconds % 60);
    return text;
}

// The terminal's width in columns, 0 when it does not say.
size_t columns(std::FILE* out) {
    winsize size{};
    return ioctl(fileno(out), TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

}  // namespace

std::string progress_bar_line(int done, int total, double fps) {
    char line[128];
    if (total <= 0) {
        std::snprintf(line, sizeof line, "%d frames  %.1f fps", done, fps);
        return line;
    }
    const int seconds = fps > 0 ? static_cast<int>((total - done) / fps + 0.5) : 0;
    std::snprintf(line, sizeof line, "%s %d/%d frames %3d%%  %.1f fps  %s",
                  bar(done, total, kBarCells).c_str(), done, total, share_done(done, total), fps,
                  done < total ? time_left(seconds).c_str() : "done");
    return line;
}

ExportProgress::ExportProgress(int total, bool on_terminal)
    : totals_{total}, skipped_{false}, batch_(false), terminal_(on_terminal), out_(stderr) {}

ExportProgress::ExportProgress(std::vector<int64_t> totals, bool on_terminal, std::FILE* out)
    : totals_(std::move(totals)),
      skipped_(totals_.size(), false),
      batch_(true),
      terminal_(on_terminal),
      out_(out) {
    // A file that states no count is expected to be as long as the average
    // of those that do.
    int64_t sum = 0, stated = 0;
    for (const int64_t t : totals_)
        if (t > 0) sum += t, ++stated;
    if (stated > 0) fallback_ = sum / stated;
}

void ExportProgress::skip_file(int index) {
    skipped_[static_cast<size_t>(index)] = true;
}

void ExportProgress::start_file(int index, const std::string& name) {
    file_ = static_cast<size_t>(index);
    name_ = name;
    done_ = library_total_ = 0;
    if (terminal_) print(false);
}

void ExportProgress::frame_done(int done, int total) {
    done_ = done;
    library_total_ = total;
    const double since = std::chrono::duration<double>(Clock::now() - last_).count();
    if (since < (terminal_ ? 0.2 : 1.0)) return;
    print(false);
}

void ExportProgress::end_file(int frames, bool converted) {
    done_ = frames;
    if (converted && frames > 0) {
        print(true);
        // When no file states a count, the rest are expected to be as long
        // as the first one converted.
        if (fallback_ == 0) fallback_ = frames;
    }
    done_before_ += frames;
    done_ = library_total_ = 0;
}

void ExportProgress::message(const std::string& line) {
    if (drawn_) std::fputs("\r\033[K", out_);
    drawn_ = false;
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
}

void ExportProgress::finish(int done) {
    if (batch_) {
        if (drawn_) std::fputc('\n', out_);
        drawn_ = false;
        std::fflush(out_);
        return;
    }
    done_ = done;
    print(true);
}

int64_t ExportProgress::frames_expected(size_t file) const {
    if (skipped_[file]) return 0;
    int64_t n = totals_[file] > 0                     ? totals_[file]
                : file == file_ && library_total_ > 0 ? library_total_
                : fallback_ > 0                       ? fallback_
                                                      : -1;
    if (file == file_ && n >= 0) n = std::max<int64_t>(n, done_);
    return n;
}

// The seconds the whole batch still needs at `fps`; -1 when not known.
int ExportProgress::seconds_left(double fps) const {
    int64_t left = 0;
    for (size_t f = file_; f < totals_.size(); ++f) {
        const int64_t n = frames_expected(f);
        if (n < 0) return -1;
        left += f == file_ ? n - done_ : n;
    }
    if (left == 0) return 0;
    // Rounded up: "done" only when no frame is left.
    return fps > 0 ? static_cast<int>(std::ceil(static_cast<double>(left) / fps)) : -1;
}

// "file 2 of 3  clip.avi  [######------] 40/80 frames  48 fps  0:12 left in all"
std::string ExportProgress::batch_line(double fps, int seconds) const {
    char head[48], frames[64], rate[32];
    std::snprintf(head, sizeof head, "file %zu of %zu  ", file_ + 1, totals_.size());
    const int64_t total = totals_[file_] > 0 ? totals_[file_] : library_total_;
    if (total > 0)
        std::snprintf(frames, sizeof frames, "  %s %d/%lld frames",
                      bar(done_, static_cast<int>(total), kBatchBarCells).c_str(), done_,
                      static_cast<long long>(total));
    else
        std::snprintf(frames, sizeof frames, "  %d frames", done_);
    std::snprintf(rate, sizeof rate, "  %.0f fps", fps);
    std::string left;
    if (seconds >= 0)
        left.append("  ").append(seconds > 0 ? time_left(seconds) + " in all" : "done");
    // A wrapped line cannot be redrawn in place: on a narrow terminal the
    // name gives way (its end kept), then the rate, then the end of the line.
    std::string name = name_;
    const size_t width = columns(out_);
    const size_t fixed = std::strlen(head) + std::strlen(frames) + left.size();
    if (width > 0 && fixed + name.size() + std::strlen(rate) > width - 1) {
        const size_t room = std::max(fixed + kShortestName, width - 1) - fixed;
        if (name.size() > room) name = std::string("...").append(name, name.size() - (room - 3));
        if (fixed + name.size() + std::strlen(rate) > width - 1) rate[0] = '\0';
    }
    std::string line = std::string(head).append(name).append(frames).append(rate).append(left);
    if (width > 0 && line.size() > width - 1) line.resize(width - 1);
    return line;
}

void ExportProgress::print(bool last) {
    const double t = std::chrono::duration<double>(Clock::now() - start_).count();
    last_ = Clock::now();
    const int64_t all_done = done_before_ + done_;
    const double fps = t > 0 ? static_cast<double>(all_done) / t : 0.0;
    const int total = static_cast<int>(totals_[0]);
    if (terminal_) {
        // Cleared to the end of the line: a redraw may be shorter.
        const std::string line =
            batch_ ? batch_line(fps, seconds_left(fps)) : progress_bar_line(done_, total, fps);
        std::fprintf(out_, "\r%s\033[K%s", line.c_str(), last && !batch_ ? "\n" : "");
        drawn_ = batch_;
    } else if (batch_) {
        const int64_t file_total = totals_[file_] > 0 ? totals_[file_] : library_total_;
        std::string frames = std::to_string(done_);
        if (file_total > 0) frames += " of " + std::to_string(file_total);
        const int seconds = seconds_left(fps);
        const std::string left =
            seconds > 0 ? std::string(", ").append(time_left(seconds)).append(" in all") : "";
        std::fprintf(out_, "kaplo-depth: file %zu of %zu (%s): %s frames, %.1f fps%s\n", file_ + 1,
                     totals_.size(), name_.c_str(), frames.c_str(), fps, left.c_str());
    } else if (total > 0) {
        std::fprintf(out_, "kaplo-depth: %d of %d frames, %.1f fps\n", done_, total, fps);
    } else {
        std::fprintf(out_, "kaplo-depth: %d frames, %.1f fps\n", done_, fps);
    }
    std::fflush(out_);
}

}  // namespace depth
