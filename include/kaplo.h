#pragma once
/// @file
/// @brief KAPLO: windows for plain sequential C++ programs.
///
/// A user program defines two routines and links with the kaplo library,
/// which owns main():
///
///     #include <kaplo.h>
///     void UserInit() { KPL_SetStatusText("hello"); }   // once, at start-up
///     void UserMain() {                                 // on each Start
///         while (!kpl_stop) {
///             /* one unit of work */
///             KPL_ProcessMessages();
///         }
///     }
///
/// Both routines run on the worker thread. Calls return 0 on success and small
/// positive codes for distinct refusals; nothing throws, not even when memory
/// runs out: a call that cannot get the memory it needs returns the failure
/// code noted at it (one that returns nothing does nothing) and leaves no
/// half-made window and no lost log behind.
///
/// Every call belongs to the worker thread, the thread that runs UserInit and
/// UserMain, unless its comment says otherwise.

#include <atomic>
#include <cstdint>

/// @defgroup shell Shell
/// @brief The user program's routines, the shell flags and the main window's calls.
/// @{

/// @name The user program's routines
/// @{

/// Run once when the worker thread starts.
/// @workerthread
void UserInit();
/// Run each time the user chooses Start; it should return soon after
/// #kpl_stop becomes 1.
/// @workerthread
void UserMain();
/// Optional: a program that defines this routine sees the command line before
/// the framework opens the display or shows anything.
/// @param argc number of entries in @p argv
/// @param argv the command line, as main() received it
/// @return a negative number to go on as usual, or an exit code to end the
///         process there (for example after printing help, or after a batch
///         job that needs no window).
/// @par Thread:
/// The main thread, before the worker thread starts.
int UserCommandLine(int argc, char** argv);
/// @}

/// @name Shell flags
/// Written by the main window's commands and by the worker thread; the user
/// main routine polls #kpl_stop once per unit of work and returns soon after it
/// becomes 1.
/// @{

/// 1: Start asked for. The main window's Start sets it, and so may the
/// program: `kpl_start = 1;` in UserInit is the way to have UserMain start at
/// once, without the user pressing S (the worker starts UserMain as soon as
/// UserInit has returned). The worker clears it when UserMain starts; set
/// during a run, it starts UserMain again once the run ends.
extern std::atomic<int32_t> kpl_start;
extern std::atomic<int32_t> kpl_running;  ///< 1: UserMain is running
extern std::atomic<int32_t> kpl_stop;     ///< 1: Stop (or Exit) asked for
extern std::atomic<int32_t> kpl_exit;     ///< 0 running, 1 exit asked for, 2 worker finished
/// @}

/// TrueType text colour, 0x00RRGGBB; white at start-up.
extern uint32_t kpl_tttc;

/// @name Shell calls
/// @{

/// Dispatches every message waiting for the calling thread's windows.
/// @workerthread
void KPL_ProcessMessages();
/// Rests for @p ms milliseconds while the calling thread's windows stay alive:
/// their messages are dispatched as they arrive (as KPL_ProcessMessages()
/// does), and no processor time is used in between. Stop and Exit end the
/// wait at once. New in this version: a loop that would otherwise call
/// KPL_ProcessMessages() and sleep, or spin, can call this instead.
///
///     while (!kpl_stop) {
///         /* one step */
///         KPL_Wait(1000);    // one step a second
///     }
/// @param ms how long to rest, in milliseconds; 0 or less dispatches what is
///        waiting and returns at once
/// @retval 0 the time has passed
/// @retval 1 #kpl_stop is set (Stop or Exit), at the start or during the wait:
///         the wait ended early
/// @workerthread
int KPL_Wait(int ms);
/// Shows a text of at most 63 bytes, centred, in the main window's status line.
/// @param text the status text
/// @workerthread
void KPL_SetStatusText(const char* text);
/// Gives the main window a title of the program's own instead of the
/// framework's banner ("KAPLO <version> video depth framework"). New in this
/// version. It may be called at any time, in UserInit as well as during or
/// between runs; the change shows as soon as the display takes it.
/// @param text the title, 8-bit text like every other title; only its first
///        255 bytes are shown, cut before a character that would not fit
///        whole. nullptr or "" puts the banner back.
/// @retval 0 the title is set
/// @retval 1 there is no main window (in UserCommandLine, before start-up, or
///         once Exit has closed it)
/// @workerthread
int KPL_SetProgramTitle(const char* text);
/// Shows a message box captioned "Pause" and returns when the user presses OK
/// (at once when the box cannot be shown for want of memory).
/// @param message the text of the box
/// @workerthread
void KPL_Pause(const char* message);

/// Brings a framework window to the front.
/// @param window #KPLMAINWINDOW, #KPLTEXTWINDOW + n (text window n),
///        #KPLIMAGEWINDOW + n (image window n), #KPLINPUTBOX or #KPLBUTTONBOX
///        (n is 0..255)
/// @retval 0 brought to the front
/// @retval 1 no such window is open (window-less images included)
/// @workerthread
int KPL_SetForeground(int window);
inline constexpr int KPLMAINWINDOW = 0;       ///< KPL_SetForeground(): the main window
inline constexpr int KPLINPUTBOX = 1;         ///< KPL_SetForeground(): the input box
inline constexpr int KPLBUTTONBOX = 2;        ///< KPL_SetForeground(): the button box
inline constexpr int KPLTEXTWINDOW = 0x100;   ///< KPL_SetForeground(): text window n is this + n
inline constexpr int KPLIMAGEWINDOW = 0x200;  ///< KPL_SetForeground(): image window n is this + n

/// The number of command line arguments the program was started with (after
/// the framework's own options are removed), the program itself included.
/// @return the argument count; KPL_Arg(0) is the program
/// @workerthread
int KPL_ArgCount();
/// One argument of the command line (after the framework's own options are
/// removed).
/// @param index 0 for the program, up to KPL_ArgCount() - 1
/// @return the argument; nullptr past the end
/// @workerthread
const char* KPL_Arg(int index);
/// @}

/// @}

// ---- Image windows --------------------------------------------------------
#include "kaplo_image.h"

// ---- Text windows ---------------------------------------------------------
#include "kaplo_text.h"

// ---- Input box and button box --------------------------------------------
#include "kaplo_boxes.h"
