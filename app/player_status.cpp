#include "player_status.h"

#include <kaplo.h>

#include <cstdio>
#include <cstring>

namespace depth {

namespace {

// The text changes at most this often: each change is a message to the GUI
// thread, and no one reads faster.
constexpr auto kRefresh = std::chrono::milliseconds(250);
constexpr auto kFpsWindow = std::chrono::milliseconds(500);
constexpr size_t kShownCharacters = 32;

}  // namespace

std::string player_status_text(bool playing, int frame, int total, double fps) {
    const char* what = playing ? "playing" : "stopped";
    if (frame <= 0) return std::string(what) + "  no video";
    char position[32], text[64];
    std::snprintf(position, sizeof position, total > 0 ? "%d/%d" : "%d", frame, total);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (playing)
            std::snprintf(text, sizeof text, "%s  frame %s  %.1f fps", what, position, fps);
        else
            std::snprintf(text, sizeof text, "%s  frame %s", what, position);
        // The status line shows about 33 characters; a long video's count
        // goes first.
        if (std::strlen(text) <= kShownCharacters) break;
        std::snprintf(position, sizeof position, "%d", frame);
    }
    return text;
}

void PlayerStatus::started(int total) {
    total_ = total > 0 ? total : 0;
    shown_since_ = 0;
    fps_ = 0;
    any_frame_ = false;
    measured_ = Clock::now();
    refresh(true);
}

void PlayerStatus::frame_shown(int position) {
    frame_ = position + 1;
    any_frame_ = true;
    ++shown_since_;
    refresh(false);
}

void PlayerStatus::idle() {
    refresh(false);
}

void PlayerStatus::stopped() {
    KPL_SetStatusText(player_status_text(false, any_frame_ ? frame_ : 0, total_, 0).c_str());
}

void PlayerStatus::refresh(bool force) {
    const Clock::time_point now = Clock::now();
    if (now - measured_ >= kFpsWindow) {
        fps_ = shown_since_ / std::chrono::duration<double>(now - measured_).count();
        shown_since_ = 0;
        measured_ = now;
    }
    if (!force && now - refreshed_ < kRefresh) return;
    refreshed_ = now;
    KPL_SetStatusText(player_status_text(true, any_frame_ ? frame_ : 0, total_, fps_).c_str());
}

}  // namespace depth
