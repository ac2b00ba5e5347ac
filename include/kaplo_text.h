#pragma once
// Text windows: console-like windows for formatted output and line input,
// with per-window log files. All calls address the current text window
// unless they take a number; numbers are 0..255.
//
//     KPL_OpenTextWindow(0, -1, -1, -1, -1);   // 400 x 300 at the default place
//     KPL_Printf("Width? ");
//     char line[256];
//     KPL_InputLine(line);                      // blocks until Enter
//     int width = atoi(line);

#include <cstdint>

// 0 opened (and made current); 1 already open (brought to the front, made
// current), a number outside 0..255, or no memory to open it (nothing
// changes). Negative x or y: default position; negative width 400, height 300.
int KPL_OpenTextWindow(int number, int x, int y, int width, int height);
// Brings the current text window to the front, or opens window 0 in the
// middle of the screen when the current one is not open.
void KPL_EnsureTextWindow();
// printf into the current text window (at most 4095 bytes per call; longer
// output is cut at a character boundary). Without memory the text is dropped,
// or cut short on the screen while the log keeps it whole.
void KPL_Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
int KPL_SelectTextWindow(int number);  // 0 selected; 1 not open
// 0 closed; 1 not open, or no memory to close it from a thread that does not
// own it (it stays open).
int KPL_CloseTextWindow(int number);
void KPL_PushTextColor(uint32_t text, uint32_t back);  // 0x00RRGGBB
void KPL_PopTextColor();

// Reads one line typed into any text window (echoed in the current one) into
// a 256-byte buffer; blocks until Enter or until the input is cancelled (empty
// line). Returns at once, leaving the buffer alone, when the current text
// window is not open. An input that runs out of memory ends as a cancelled
// one does.
void KPL_InputLine(char* buffer);

// Log files "KAPLO<instance><window>.LOG" in the start-up directory.
int KPL_StartLog(int number);  // 0 logging; 1 already; 2 cannot create (or no memory); 3 not open
int KPL_StopLog(int number);   // 0 paused; 1 never started; 2 not open
int KPL_CopyLog(int number);   // 0 copied; 1 clipboard; 2 cannot open file; 3 memory; 4 not open
void KPL_CloseAllLogs();
