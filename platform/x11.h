#pragma once
// What the platform asks the X server directly, beside Qt: the pointer and
// modifier state as it is now, the frame extents the window manager gives,
// windows destroyed by another client, and the loss of the connection. On
// other window systems (Qt's offscreen platform in tests) every call reports
// that it cannot tell, and callers fall back to what Qt saw.
//
// Threads: the queries may be made from any thread (xcb is thread-safe);
// start_x11_watch runs on the GUI thread.

#include <cstdint>
#include <string>

#include "platform/window_table.h"

namespace kaplo::platform::detail {

// Whether the X server named `name` (as $DISPLAY or -display give it; empty
// when neither does) answers, asked before Qt is started, since Qt aborts
// the process when it cannot connect. False with a one-line reason in `why`
// that says how to get a display.
bool x11_display_opens(const std::string& name, std::string* why);

// True when Qt runs on X11 with a live connection.
bool x11_active();

// The pointer buttons and the Ctrl key as the server sees them now, and
// where the pointer is on the screen. False when the server cannot be asked.
bool x11_pointer_state(bool* ctrl, bool* button, QPoint* at = nullptr);

// Frame extents the window manager gives a sizable and a fixed-size
// captioned window, asked for before any window is shown
// (_NET_REQUEST_FRAME_EXTENTS). Returns 0 with no window manager running,
// 1 when it answered, -1 when it runs but did not answer.
int x11_measure_frames(Frame* sizable, Frame* fixed);

// Watches for top-level windows of ours that another client destroys (each
// reaches its owner as Close) and for the loss of the connection (the
// handler of set_display_lost_handler runs). GUI thread, once.
void start_x11_watch();

}  // namespace kaplo::platform::detail
