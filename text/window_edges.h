#pragma once
// The window edge table: the screen's borders and the outer rectangles of
// every framework window, which a window dragged with Ctrl held snaps to.
//
// The table is a snapshot made from the window system's own record of where
// each window is, read in one go and swapped in whole, so a procedure
// snapping on one thread never sees a table half built on another. It is
// made again after every move, after a window is made or made again, after
// a text window is resized, when the worker thread starts, and before each
// snap.

#include "platform/platform.h"

namespace kaplo {

// Rebuilds the table from the windows as they are now. Any thread.
void rebuild_window_edges();

// A window procedure's answer to Moved and Moving. Moved rebuilds the
// table. Moving, while Ctrl is held, shifts the proposed rectangle so that
// the window's edges meet the screen's and the other windows' edges within
// 7 pixels; without Ctrl the rectangle is left alone. Every framework
// window's procedure passes both messages here: the image, text and main
// windows, the input box and the button box.
void follow_window_edges(platform::WindowId window, platform::Message& msg);

}  // namespace kaplo
