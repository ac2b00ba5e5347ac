#pragma once
// The state shared by the image window procedure and a running mouse tool.
// The procedure only records what the mouse did (in image coordinates); the
// tool, which pumps the worker thread's messages in its own loop, reacts to
// it and resets the flags it has handled. Worker thread only.

#include <cstdint>

namespace kaplo {

struct ToolState {
    int32_t active = 0;     // 1 while a mouse tool runs
    int32_t toolSlot = -1;  // image number of the tool's window; -1 after a tool
    int32_t clicked = 0;    // a left click in the tool's window
    int32_t clickX = 0, clickY = 0;
    int32_t moved = 0;               // the mouse moved over the tool's window
    int32_t mouseX = 0, mouseY = 0;  // kept after a tool ends
    int32_t cancelled = 0;           // a right or middle click in the tool's window
};

extern ToolState tool_state;

// Starts and ends a tool: the active marker that the main thread reads
// (g_tool_active), the main window's drops, the prompts and the idle status
// text. begin_tool returns false (code 2 for the caller) when the image is
// not live; otherwise it makes the image current and sets the state.
bool begin_tool(int number, const char* prompt);
int end_tool(int code);

// KPL_PickPlacement, which also tells whether a point was taken: code 0
// comes from a click and from Stop alike. Null outputs are skipped.
int pick_placement(int number, int width, int height, int* x, int* y, bool* taken);

}  // namespace kaplo
