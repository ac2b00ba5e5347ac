#include "player_status.h"

#include <kaplo.h>

#include <cstdio>

namespace depth {

namespace {

// The text changes at most this often: each change is a message to the GUI
// thread, and no one reads faster.
constexpr auto kRefresh = std::chrono::milliseconds(250);
constexpr auto kFpsWindow = std::chrono::milliseconds(500);

}  // namespace

std::string player_status_text(bool playing, int frame, int total, double fps) {
    char text[64];
    if (frame <= 0)
        std::snprintf(text, sizeof text, "%s  no video", playing ? "playing" : "stopped");
    else if (!playing)
        std::snprintf(text, sizeof text, total > 0 ? "stopped  frame %d/%d" : "stopped  frame %d",
                      frame, total);
    else if (total > 0)
        std::snprintf(text, sizeof text, "playing  frame %d/%d  %.1f fps", frame, total, fps);
    else
        std::snprintf(text, sizeof text, "playing  frame %d  %.1f fps", frame, fps);
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
