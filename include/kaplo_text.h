#pragma once
/// @file
/// @brief Text windows: console-like windows for formatted output and line
/// input, with per-window log files.
///
/// All calls address the current text window unless they take a number;
/// numbers are 0..255.
///
///     KPL_OpenTextWindow(0, -1, -1, -1, -1);   // 400 x 300 at the default place
///     KPL_Printf("Width? ");
///     char line[256];
///     KPL_InputLine(line);                      // blocks until Enter
///     int width = atoi(line);

#include <cstdint>

/// @defgroup text Text windows
/// @brief Console-like windows for formatted output and line input, with log
/// files. All calls address the current text window unless they take a
/// number; numbers are 0..255.
/// @{

/// @name Windows and output
/// @{

/// Opens text window @p number and makes it current.
/// @param number the window, 0..255
/// @param x, y outer top-left corner; negative: default position
/// @param width, height client size; negative width 400, height 300
/// @retval 0 opened (and made current)
/// @retval 1 already open (brought to the front, made current), a number
///         outside 0..255, or no memory to open it (nothing changes)
/// @workerthread
int KPL_OpenTextWindow(int number, int x, int y, int width, int height);
/// Brings the current text window to the front, or opens window 0 in the
/// middle of the screen when the current one is not open.
/// @workerthread
void KPL_EnsureTextWindow();
/// printf into the current text window (at most 4095 bytes per call; longer
/// output is cut at a character boundary). Without memory the text is dropped,
/// or cut short on the screen while the log keeps it whole.
/// @param format a printf format
/// @param ... the values it formats
/// @workerthread
void KPL_Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
/// Makes text window @p number the current one.
/// @param number the window, 0..255
/// @retval 0 selected
/// @retval 1 not open
/// @workerthread
int KPL_SelectTextWindow(int number);
/// Closes text window @p number.
/// @param number the window, 0..255
/// @retval 0 closed
/// @retval 1 not open, or no memory to close it from a thread that does not
///         own it (it stays open)
/// @workerthread
int KPL_CloseTextWindow(int number);
/// Saves the current text window's colours and sets new ones.
/// @param text, back text and background colour, 0x00RRGGBB
/// @workerthread
void KPL_PushTextColor(uint32_t text, uint32_t back);
/// Restores the colours saved by the last KPL_PushTextColor() in the current
/// text window.
/// @workerthread
void KPL_PopTextColor();
/// @}

/// @name Line input
/// @{

/// Reads one line typed into any text window (echoed in the current one) into
/// a 256-byte buffer; blocks until Enter or until the input is cancelled (empty
/// line). Returns at once, leaving the buffer alone, when the current text
/// window is not open. An input that runs out of memory ends as a cancelled
/// one does.
/// @param buffer 256 bytes for the line
/// @workerthread
void KPL_InputLine(char* buffer);
/// @}

/// @name Log files
/// Log files "KAPLO<instance><window>.LOG" in the start-up directory.
/// @{

/// Starts (or resumes) writing the output of text window @p number to its log.
/// @param number the window, 0..255
/// @retval 0 logging
/// @retval 1 already
/// @retval 2 cannot create (or no memory)
/// @retval 3 not open
/// @workerthread
int KPL_StartLog(int number);
/// Pauses the log of text window @p number.
/// @param number the window, 0..255
/// @retval 0 paused
/// @retval 1 never started
/// @retval 2 not open
/// @workerthread
int KPL_StopLog(int number);
/// Copies the log of text window @p number to the clipboard.
/// @param number the window, 0..255
/// @retval 0 copied
/// @retval 1 clipboard (the log could not be put on it)
/// @retval 2 cannot open file
/// @retval 3 memory
/// @retval 4 not open
/// @workerthread
int KPL_CopyLog(int number);
/// Closes every log file.
/// @workerthread
void KPL_CloseAllLogs();
/// @}

/// @}
