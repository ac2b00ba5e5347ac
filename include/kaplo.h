#pragma once
// KAPLO: windows for plain sequential C++ programs.
//
// A user program defines two routines and links with the kaplo library,
// which owns main():
//
//     #include <kaplo.h>
//     void UserInit() { KPL_SetStatusText("hello"); }   // once, at start-up
//     void UserMain() {                                 // on each Start
//         while (!kpl_stop) {
//             /* one unit of work */
//             KPL_ProcessMessages();
//         }
//     }
//
// Both routines run on the worker thread. Calls return 0 on success and small
// positive codes for distinct refusals; nothing throws, not even when memory
// runs out: a call that cannot get the memory it needs returns the failure
// code noted at it (one that returns nothing does nothing) and leaves no
// half-made window and no lost log behind.

#include <atomic>
#include <cstdint>

// ---- The user program's two routines ------------------------------------
void UserInit();  // run once when the worker thread starts
void UserMain();  // run each time the user chooses Start
// Optional: a program that defines this routine sees the command line before
// the framework opens the display or shows anything. Return a negative number
// to go on as usual, or an exit code to end the process there (for example
// after printing help, or after a batch job that needs no window).
int UserCommandLine(int argc, char** argv);

// ---- Shell flags ---------------------------------------------------------
// Written by the main window's commands and by the worker thread; the user
// main routine polls kpl_stop once per unit of work and returns soon after it
// becomes 1.
extern std::atomic<int32_t> kpl_start;    // 1: Start asked for
extern std::atomic<int32_t> kpl_running;  // 1: UserMain is running
extern std::atomic<int32_t> kpl_stop;     // 1: Stop (or Exit) asked for
extern std::atomic<int32_t> kpl_exit;     // 0 running, 1 exit asked for, 2 worker finished

// TrueType text colour, 0x00RRGGBB; white at start-up.
extern uint32_t kpl_tttc;

// ---- Shell calls ---------------------------------------------------------
// Dispatches every message waiting for the calling thread's windows.
void KPL_ProcessMessages();
// Shows a text of at most 63 bytes, centred, in the main window's status line.
void KPL_SetStatusText(const char* text);
// Shows a message box captioned "Pause" and returns when the user presses OK
// (at once when the box cannot be shown for want of memory).
void KPL_Pause(const char* message);

// Brings a framework window to the front: KPLMAINWINDOW, KPLTEXTWINDOW + n
// (text window n), KPLIMAGEWINDOW + n (image window n), KPLINPUTBOX or
// KPLBUTTONBOX (n is 0..255). 0 brought to the front; 1 no such window is
// open (window-less images included).
int KPL_SetForeground(int window);
inline constexpr int KPLMAINWINDOW = 0;
inline constexpr int KPLINPUTBOX = 1;
inline constexpr int KPLBUTTONBOX = 2;
inline constexpr int KPLTEXTWINDOW = 0x100;
inline constexpr int KPLIMAGEWINDOW = 0x200;

// The command line the program was started with (after the framework's own
// options are removed): KPL_ArgCount() arguments, KPL_Arg(0) is the program.
int KPL_ArgCount();
const char* KPL_Arg(int index);  // nullptr past the end

// ---- Image windows --------------------------------------------------------
#include "kaplo_image.h"

// ---- Text windows ---------------------------------------------------------
#include "kaplo_text.h"
