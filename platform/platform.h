#pragma once
// The platform layer: the only part of KAPLO that includes Qt.
//
// Sections:
//   1. Start-up, main loop and threads
//   2. Messages and queues
//   3. Windows (create, destroy, geometry, title, screen copies)
//   4. Controls (static text, edit, push button; focus; dialog navigation)
//   5. Menus and pop-up menus
//   6. Modal calls (message boxes; closing everything modal at Exit)
//   7. Metrics, input state
//   8. Instance numbers, clock, text conversion
//   9. Text surfaces
//  10. Clipboard text
//  11. When the display goes away
//
// Threads: a window belongs to the thread that created it; its procedure runs
// only when that thread calls pump(). Every call in this header may be made
// from any thread and returns without waiting for the GUI thread, except the
// message box and the clipboard calls, which run on the GUI thread and make a
// calling thread wait for them (without blocking anything else: the GUI
// thread keeps serving every window meanwhile).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kaplo::platform {

// ---------------------------------------------------------------------------
// 1. Start-up, main loop and threads

// Creates the application object. `app_name` becomes the window-system class
// (X11 WM_CLASS instance name) of every window of the process. Returns false
// with a one-line reason in `why` when no display can be opened.
bool init(int& argc, char** argv, const char* app_name, std::string* why);
void shutdown();
bool is_gui_thread();

// Runs the GUI thread's loop until quit_main_loop() is called.
void run_main_loop();
void quit_main_loop();

// Runs `fn` on the GUI thread, queued behind earlier calls; never waits.
void run_on_gui_thread(std::function<void()> fn);

// Pushes pending window-system requests to the display without dispatching
// anything (used while the GUI thread busy-waits).
void flush_display();

// A thread that can run Qt's font and timer machinery (a QThread underneath).
class Thread {
  public:
    using Body = void (*)();
    explicit Thread(Body body);
    ~Thread();  // leaves the thread object to the end of the process
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    void start();
    bool finished() const;
    bool wait(unsigned long ms);  // true when the thread ended within ms

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// ---------------------------------------------------------------------------
// 2. Messages and queues

using WindowId = int32_t;  // 0 = no window; ids are never reused within a run
using MenuId = int32_t;    // 0 = no menu

struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

enum class MsgType : uint8_t {
    Create,           // sent synchronously by create_window on the creating thread
    Destroy,          // sent synchronously by destroy_window on the owning thread
    Moved,            // x, y: new outer top-left corner
    Moving,           // rect: proposed outer rectangle, the procedure may change it;
                      // ctrl: Ctrl held now (read live from the display)
    Sizing,           // rect: as Moving; notify: the dragged edge (Edge); ctrl
    Size,             // x, y: new client width and height
    Paint,            // the window was invalidated
    Close,            // the user asked to close the window
    KeyDown,          // key: virtual-key code (see keys.h); ctrl: Ctrl held at the time
    Char,             // key: one UTF-16 unit
    MouseMove,        // x, y: client coordinates; ctrl
    MouseLeave,       // the pointer left the client area
    LeftDown,         // x, y, ctrl
    LeftDoubleClick,  // x, y, ctrl: the second press of a double click (kinds
                      // registered with kKindDoubleClicks; others get LeftDown)
    RightDown,        // x, y, ctrl
    MiddleDown,       // x, y, ctrl
    NcRightDown,      // right button on the window's menu bar; x, y screen
    Wheel,            // key: wheel delta (120 per notch; negative toward the user);
                      // x, y client; ctrl
    Command,          // key: command id; notify: notification code; control: source
    DropFiles,        // files: full paths
    FocusGained,      // control: the control that gained the keyboard focus
    FocusLost,        // control: the control that lost it
    Activate,         // key: 1 the window became the active one, 0 it stopped being it
};

// The edge a Sizing message reports, in the classic numbering.
enum Edge : int32_t {
    kEdgeLeft = 1,
    kEdgeRight = 2,
    kEdgeTop = 3,
    kEdgeTopLeft = 4,
    kEdgeTopRight = 5,
    kEdgeBottom = 6,
    kEdgeBottomLeft = 7,
    kEdgeBottomRight = 8,
};

// The command a dialog-style window receives when Enter is pressed in it.
inline constexpr int32_t kCommandOk = 1;

struct Message {
    MsgType type = MsgType::Paint;
    WindowId window = 0;
    int32_t x = 0, y = 0;
    int32_t key = 0;
    int32_t notify = 0;
    WindowId control = 0;
    bool ctrl = false;
    Rect rect;
    std::shared_ptr<const std::vector<std::string>> files;
};

// A window procedure. Returns 0 for handled messages; default_proc for the rest.
using WindowProc = intptr_t (*)(WindowId, Message&);

// What the window system does with messages a procedure leaves alone:
// Close destroys the window; everything else is ignored.
intptr_t default_proc(WindowId window, Message& msg);

// What a window kind takes besides the messages every window gets.
enum KindFlags : uint32_t {
    // A second left press soon after the first and near it is a
    // LeftDoubleClick. Windows of other kinds get every left press as
    // LeftDown: for them two quick clicks are two clicks.
    kKindDoubleClicks = 1u << 0,
};

// Registers a window kind (the window class). Returns false when the name is
// already registered or empty.
bool register_window_kind(const std::string& name, WindowProc proc, uint32_t flags = 0);

// Queues a message for the thread that owns the window. Any thread.
bool post(WindowId window, const Message& msg);

// Shorthands for the two messages the framework posts most.
bool post_command(WindowId window, int32_t id);
bool post_key(WindowId window, int32_t virtual_key, bool ctrl = false);

// Dispatches every message waiting for the calling thread and returns when
// none is left; never blocks. On the GUI thread it also processes Qt events.
void pump();

// Blocks the calling thread until a message waits for it, until
// wake_waiting_threads() is called, or until `ms` milliseconds have passed,
// whichever comes first; dispatches nothing. Returns at once when a message
// is already waiting. On the GUI thread, whose events come through Qt, it
// only rests a millisecond. True when a message (or a wake) ended the wait.
bool wait_for_message(uint32_t ms);
// Ends every wait_for_message() now, and the next one of each thread that is
// not waiting: a flag the waiter must see (a Stop) was just set. Any thread.
void wake_waiting_threads();

// ---------------------------------------------------------------------------
// 3. Windows
//
// Geometry. Positions and sizes of top-level windows are outer rectangles in
// screen coordinates: the frame the window manager draws is included. A
// window made or moved to (x, y) has the top-left corner of its frame there;
// what the platform reports back (window_rect, Moved) is the frame the
// window manager drew. Without a window manager there is no frame and the
// outer rectangle is the window itself.
//
// Moves and resizes from outside (a window-manager drag, another client)
// reach the owner's procedure as a hook: Moving or Sizing with the proposed
// outer rectangle, which the procedure may change; the platform then applies
// the changed rectangle (again when a window-manager drag ends, since a
// window manager may ignore a client's move during its own drag), records it
// and sends Moved or Size. While the hook runs, window_rect still reports the
// rectangle before the change. Moves and resizes made through this interface
// send Moved and Size (no hook).

inline constexpr int32_t kDefaultPosition = INT32_MIN;  // "system default"

enum WindowStyle : uint32_t {
    kStyleCaption = 1u << 0,    // title bar
    kStyleSysMenu = 1u << 1,    // close box in the title bar
    kStyleFixedSize = 1u << 2,  // the user cannot change the size (window-manager hint)
    kStyleStayOnTop = 1u << 3,
};

struct CreateParams {
    std::string kind;  // a registered window kind
    std::u16string title;
    int32_t x = kDefaultPosition, y = kDefaultPosition;  // outer top-left, screen
    int32_t width = 0, height = 0;                       // outer size
    uint32_t style = kStyleCaption | kStyleSysMenu;
    WindowId owner = 0;  // kept above its owner
    MenuId menu = 0;     // menu bar
    // Dialog-style windows: controls on the system's button face instead of a
    // screen copy on black; Tab and Shift+Tab move the focus between the edit
    // controls, and Enter in one sends the window Command kCommandOk.
    bool dialog = false;
};

// The outer rectangle of a window whose client area is `client`, with the
// frame a window of this style gets from the window manager.
Rect adjust_window_rect(Rect client, uint32_t style, bool has_menu);

// Creates a window owned by the calling thread. Its procedure receives Create
// before this returns. Returns 0 when the kind is unknown.
WindowId create_window(const CreateParams& params);

// Destroys a window and its controls. The owner's procedure receives Destroy
// synchronously when called on the owning thread; from another thread the
// destruction is carried out by the owner's next pump.
bool destroy_window(WindowId window);
bool is_window(WindowId window);

bool move_window(WindowId window, int32_t x, int32_t y);             // outer top-left
bool resize_window(WindowId window, int32_t width, int32_t height);  // outer size
bool set_window_rect(WindowId window, const Rect& outer);
bool set_title(WindowId window, const std::u16string& title);
std::u16string title(WindowId window);           // a control's text as typed, for edits
bool window_rect(WindowId window, Rect* outer);  // screen coordinates
bool client_size(WindowId window, int32_t* width, int32_t* height);

// Where the top-level windows of the given kinds are: each with the index of
// its kind in `kinds`, its per-window value and its outer rectangle, all read
// in one hold of the window table, so they form one consistent picture (no
// window half-moved against another). In no particular order. Any thread.
struct WindowPlace {
    WindowId window = 0;
    int32_t kind = 0;
    intptr_t data = 0;
    Rect outer;
};
std::vector<WindowPlace> window_places(const std::vector<std::string>& kinds);
bool bring_to_front(WindowId window);
bool accept_drops(WindowId window, bool accept);
bool accepts_drops(WindowId window);
// The pointer's shape over a window's client area (Arrow: the system's own).
enum class Cursor : uint8_t { Arrow, Cross };
bool set_cursor(WindowId window, Cursor cursor);

// Client sizes the user may give the window, handed to the window manager
// as size hints (a window-manager drag never proposes others). 0 for no
// limit. A window of kStyleFixedSize keeps min = max = its client size.
bool set_client_size_limits(WindowId window, int32_t min_width, int32_t min_height,
                            int32_t max_width, int32_t max_height);

// A value of the owner's for each window (0 until set), found in constant
// time: how a procedure finds its table slot on every message.
bool set_window_data(WindowId window, intptr_t value);
intptr_t window_data(WindowId window);

// Screen copies. Each window keeps a client-sized copy that the GUI thread
// repaints from. present() copies a 32-bit buffer (0x00RRGGBB words, top byte
// ignored; `stride` in words) into it at (dst_x, dst_y), scaled to
// dst_w x dst_h when that differs from the source size.
enum class Stretch : uint8_t { Nearest = 3, Smooth = 4 };
bool present(WindowId window, const uint32_t* pixels, int32_t src_w, int32_t src_h, int32_t stride,
             int32_t dst_x, int32_t dst_y, int32_t dst_w, int32_t dst_h,
             Stretch mode = Stretch::Nearest);
// Reads back the screen copy (client-sized, 0x00RRGGBB words). For tests and
// screenshots of single windows.
bool read_screen_copy(WindowId window, std::vector<uint32_t>* pixels, int32_t* width,
                      int32_t* height);
// Repaints the window from its screen copy and sends it a Paint message.
bool invalidate(WindowId window);

// ---------------------------------------------------------------------------
// 4. Controls: children of a window, positioned in its client area.
//
// Edits report FocusGained and FocusLost; what the user types reaches the
// control's text (title()) at once. Buttons send Command (key: the control
// id, notify 0, control: the button). Every other key and mouse message of
// a control goes to the window that holds it.

enum class ControlKind : uint8_t { Static, Edit, Button };
WindowId create_control(ControlKind kind, WindowId parent, const std::u16string& text, int32_t x,
                        int32_t y, int32_t width, int32_t height, int32_t control_id);
int32_t control_id(WindowId control);
// Gives the keyboard focus to a top-level window, which then becomes the
// active window, or to a control: at once when its window is the active one,
// otherwise when that window next becomes active (focusing a control never
// takes the activation from another window; bring_to_front does that).
bool set_focus(WindowId window);
// Selects characters start .. end - 1 of an edit (end -1: to the end).
bool set_edit_selection(WindowId edit, int32_t start, int32_t end);

// ---------------------------------------------------------------------------
// 5. Menus. A menu is plain data until it is shown; items are addressed by
// position as the classic insertion calls do. Text after a "\t" shows in the
// shortcut column; "&" marks the mnemonic.

inline constexpr int32_t kMenuEnabled = 0;
inline constexpr int32_t kMenuGrayed = 3;  // disabled and greyed
inline constexpr int32_t kMenuChecked = 8;

MenuId create_menu();
void destroy_menu(MenuId menu);  // sub-menus inserted into it go with it
bool insert_menu_item(MenuId menu, int32_t position, int32_t state, int32_t id,
                      const std::u16string& text);
bool insert_menu_separator(MenuId menu, int32_t position);
bool insert_submenu(MenuId menu, MenuId sub, int32_t position, const std::u16string& text);
int32_t menu_item_count(MenuId menu);

// Shows the menu at the mouse cursor and returns at once: the menu is copied
// when shown, so the caller may destroy it right away. A chosen item reaches
// `owner` later as a Command message (key: the item's id).
void track_popup_menu(MenuId menu, WindowId owner);

// ---------------------------------------------------------------------------
// 6. Modal calls. Message boxes (and the dialogs built on the same facility)
// block only the calling thread: every window stays usable meanwhile.

enum class MessageIcon : uint8_t { None, Information, Error };
// A message box with an OK button; returns when the user presses OK, or
// when close_all_modal() closed it.
void message_box(const std::u16string& text, const std::u16string& caption,
                 MessageIcon icon = MessageIcon::None);

// Closes every open message box, dialog and pop-up menu as if cancelled (OK
// for message boxes), so every thread waiting for one returns; from then on
// every new one is answered at once the same way, without being shown. Exit
// calls it first: the program is ending.
void close_all_modal();

// ---------------------------------------------------------------------------
// 7. Metrics and input state

struct Metrics {
    int32_t screen_width, screen_height;  // whole primary screen
    int32_t fullscreen_client_width;      // client area of a maximised window
    int32_t fullscreen_client_height;
    int32_t caption_height;  // title bar height
    int32_t frame_width;     // sizing frame thickness
    int32_t min_window_width, min_window_height;
    int32_t menu_height;
    int32_t display_depth;  // bits per pixel
};
// Caption and frame are what the window manager gives a sizable window
// (asked for at start-up); 0 without a window manager, 23 and 4 when one does
// not tell. Minimum window 136 x 39 (docs/architecture.md).
Metrics metrics();

// The keyboard and pointer as they are now (read from the display where it
// can tell; otherwise as our windows last saw them).
bool ctrl_held();
void cursor_position(int32_t* x, int32_t* y);

// ---------------------------------------------------------------------------
// 8. Instance numbers, clock, text conversion

// Claims the lowest free instance number 0..max-1 by locking the per-user
// file "<class_prefix><n>.lock" in `lock_dir` (empty: the default folder, see
// instance_lock_dir). The lock is held until the process ends, so a crashed
// instance frees its number. Returns -1 when all are taken.
int claim_instance_number(const std::string& class_prefix, int max,
                          const std::string& lock_dir = {});
std::string instance_lock_dir();

// Milliseconds since an arbitrary start, wrapping at 32 bits.
uint32_t millis();

// The locale's 8-bit encoding is UTF-8. Conversions stop at the capacity
// without splitting a character.
std::u16string ansi_to_wide(const char* text, size_t max_units);
std::string wide_to_ansi(const std::u16string& text, size_t max_bytes);

// ---------------------------------------------------------------------------
// 9. Text surfaces: off-screen pictures drawn with the fixed-cell font
// (GNU Unifont, 16 pixels, unantialiased: 8 x 16 cells, East Asian
// characters 16 x 16). Each surface has its own mutex, so the thread that
// owns its window and another thread (a prompt on the main thread) may both
// draw into it.

class TextSurface {
  public:
    TextSurface(int32_t width, int32_t height);  // all black
    ~TextSurface();
    TextSurface(const TextSurface&) = delete;
    TextSurface& operator=(const TextSurface&) = delete;

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    static int32_t cell_width();   // advance of 'A'
    static int32_t cell_height();  // line height

    // Draws `count` UTF-16 units from (x, y): a unit below 0x80 takes one
    // cell, any other unit two; each cell is painted in `back` first (opaque
    // text). Colours are 0x00RRGGBB.
    void draw_units(int32_t x, int32_t y, const char16_t* units, size_t count, uint32_t text,
                    uint32_t back);
    // Copies `rows` full-width rows from src_y to dst_y (overlap allowed).
    void copy_rows(int32_t src_y, int32_t dst_y, int32_t rows);
    // Fills `rows` full-width rows from y with black (clipped).
    void fill_black(int32_t y, int32_t rows);
    // Copies the rectangle (clipped) into the window's screen copy and has
    // the window repainted.
    bool present_to(WindowId window, const Rect& rect) const;
    uint32_t pixel(int32_t x, int32_t y) const;  // 0x00RRGGBB; 0 outside

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int32_t width_, height_;
};

// ---------------------------------------------------------------------------
// 10. Clipboard text. Pictures, and how a paste waits for the program that
// holds the clipboard: platform/clipboard.h.

// A paste waits for the program that holds the clipboard at most
// kClipboardAnswerMs for each of its answers and kClipboardReadMs in all,
// and gives up at once when the program ends (close_all_modal); the GUI
// thread keeps serving every window meanwhile. This process's own clipboard
// is read without waiting.
inline constexpr int kClipboardAnswerMs = 1000;
inline constexpr int kClipboardReadMs = 2000;
// What an interactive paste that gave up shows.
inline constexpr char kClipboardNoAnswer[] =
    "The program holding the clipboard did not answer within a second: nothing was pasted.";

enum class ClipboardRead : uint8_t {
    Found,
    Nothing,   // no text (an empty clipboard included)
    NoAnswer,  // the program holding it did not answer in time: kClipboardNoAnswer
};

// The clipboard's text as UTF-16 (`primary`: the X primary selection, what
// was selected last, instead).
ClipboardRead clipboard_unicode_text(std::u16string* text, bool primary = false);
// Puts 8-bit text (the locale's encoding) on the clipboard.
bool set_clipboard_ansi_text(const std::string& text);

// ---------------------------------------------------------------------------
// 11. When the display goes away

// Called once, on whatever thread notices, when the connection to the
// display is lost (the server ended, or another client killed our
// connection). Nothing of the window system can be used any more; the
// handler stops the program and ends the process (it must not return: the
// window system library would end the process under a running worker).
void set_display_lost_handler(void (*handler)());

// Ctrl+C in the terminal, `kill` and a closed terminal (SIGINT, SIGTERM,
// SIGHUP) call `handler` with the signal number on the GUI thread, in its
// message loop, instead of ending the process where it stands. Call after
// init().
void set_termination_handler(void (*handler)(int));

}  // namespace kaplo::platform
