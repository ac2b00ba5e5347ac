#pragma once
// The state shared by the image window procedure and a running mouse tool.
// The procedure only records what the mouse did (in image coordinates); the
// tool, which pumps the worker thread's messages in its own loop, reacts to
// it and resets the flags it has handled. Worker thread only.

#include <cstdint>

#include "platform/platform.h"

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

// What a right click does in the tool's window, added to a prompt while
// tool hints are on (KPL_SetToolHints).
inline constexpr const char* kCancelHint = " (right: cancel)";
inline constexpr const char* kBackHint = " (right: back)";

// Starts and ends a tool: the active marker that the main thread reads
// (g_tool_active), the main window's drops, the prompts and the idle status
// text, and with tool hints on the crosshair over the tool's window.
// begin_tool returns false (code 2 for the caller) when the image is not
// live; otherwise it makes the image current and sets the state.
bool begin_tool(int number, const char* prompt);
int end_tool(int code);

// A tool as the shared loop runs it: its band, drawn by inversion in the
// tool image's own buffer (so drawing it again erases it), and its reaction
// to what the procedure recorded.
class MouseTool {
  public:
    static constexpr int kRunning = -1;

    explicit MouseTool(int number) : number_(number) {}
    virtual ~MouseTool() = default;
    MouseTool(const MouseTool&) = delete;
    MouseTool& operator=(const MouseTool&) = delete;

    // Runs the tool in image number_: begin_tool, the first band, then
    // passes of pumping and reacting until react() gives a code. Stop, Exit
    // and the loss of the image erase the band (while the image lives) and
    // end the tool with 1, as a cancel does. Returns 2 when the image is not
    // live (nothing changes).
    int run(const char* prompt);

  protected:
    // Reacts to one pass's flags, resetting each one it handles: kRunning
    // to go on, otherwise the tool's code. Sets busy_ when something
    // happened, so the loop does not rest before the next pass.
    virtual int react() = 0;
    // Called once the tool has begun, before the first pump.
    virtual void start() {}
    // Inverts the band in the current image (the loop selects the tool's).
    virtual void invert_band() const {}

    void show_band();  // draws the band unless it is shown
    void hide_band();  // erases the band if it is shown
    void repaint() const;
    void set_prompt(const char* prompt, const char* hint = kCancelHint) const;

    int number_;
    bool busy_ = false;
    // A code to end with after the next pump (a taken point), or kRunning.
    int ending_ = kRunning;

  private:
    void invert() const;
    bool band_shown_ = false;
    platform::WindowId window_ = 0;
};

}  // namespace kaplo
