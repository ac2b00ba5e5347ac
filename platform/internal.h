#pragma once
// Shared pieces of the platform implementation (Qt side). Not for the rest of
// the framework.

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <list>
#include <string>

#include "platform/codecs.h"
#include "platform/platform.h"

class QDialog;
class QImage;
class QWidget;

namespace kaplo::platform::detail {

// ---------------------------------------------------------------------------
// Hand-over to the GUI thread (app.cpp)

// Qt work made ready for the GUI thread. Making one allocates all that the
// hand-over needs, and may throw; handing it over cannot fail. A call that
// changes the platform's records and then hands over the Qt work that goes
// with the change makes the task first, so a failure leaves neither done.
class GuiTask {
  public:
    GuiTask() = default;
    explicit GuiTask(std::function<void()> fn);
    explicit operator bool() const { return !node_.empty(); }
    // As on_gui: runs the work at once on the GUI thread (where it may throw),
    // otherwise queues it. Either way the task is empty afterwards.
    void run();
    // As queue_on_gui. Never throws.
    void queue();

  private:
    std::list<std::function<void()>> node_;  // one entry, spliced into the GUI thread's list
};

// Runs `fn` on the GUI thread: at once when called there, otherwise queued
// behind every earlier call from the same thread. Never waits.
void on_gui(std::function<void()> fn);
// Queues `fn` for the GUI thread even when called there (runs it later, from
// the event loop or a pump).
void queue_on_gui(std::function<void()> fn);

// Runs the tasks other threads handed to the GUI thread (GUI thread only). A
// task that throws is dropped and the next one runs: the GUI thread goes on.
void run_gui_tasks();

// Runs `fn` on the GUI thread and waits for it (short calls only: clipboard,
// cursor position). What `fn` throws there is thrown again here, to the
// waiting caller.
void on_gui_blocking(const std::function<void()>& fn);

// Waits until `done()` holds, re-checking whenever notify_waiters() is
// called, or until the GUI thread stops running tasks. On the GUI thread it
// keeps the GUI running (pump) while it waits. `done` is evaluated with the
// waiters' mutex held.
void wait_for(const std::function<bool()>& done);
// Runs `fn` with the waiters' mutex held, then wakes every waiter.
void notify_waiters(const std::function<void()>& fn);

// Returns when init() has made the application object. Otherwise the
// program brought a main() of its own and never started the framework:
// nothing can be shown, and Qt's fonts and windows would crash without the
// application object, so one line says what to write instead and the
// process ends with code 1. Called where the work first needs the
// application: making a window, a font, handing work to the GUI thread.
void require_started();

// The connection to the display is gone: stop handing work to the GUI
// thread, release every waiting thread, run the program's handler and end
// the process (x11.cpp calls it, on the thread that noticed).
void display_lost();
// The name of the display Qt connected to, as xcb_connect takes it (null:
// $DISPLAY), for the platform's own connections.
const char* display_name();

// ---------------------------------------------------------------------------
// Conversions, menus, metrics

QString to_qstring(const std::u16string& s);
std::u16string from_qstring(const QString& s);

// Builds Qt menu items from the menu table into a QMenu or a QMenuBar; each
// chosen action carries its id in QAction::data() (menus.cpp).
void fill_qmenu(QWidget* menu_or_bar, MenuId menu);

// Measured once at start-up on the GUI thread: the menu bar's height and the
// frames the window manager gives (app.cpp).
void measure_at_startup();

// ---------------------------------------------------------------------------
// Windows (windows.cpp)

// Posts a message to a window's owner from the GUI thread's event handlers.
// Mouse and key messages of a control go to the window that holds it.
void post_from_gui(WindowId window, const Message& msg);

// The parent widget that a control of `parent` is placed in (its client area).
QWidget* client_widget(WindowId parent);

// A top-level X window of ours was destroyed by someone else (GUI thread).
void native_window_destroyed(uint64_t native);

// Remembers the Ctrl state our widgets saw last (for when the display cannot
// be asked).
void note_ctrl(bool down);

// ---------------------------------------------------------------------------
// Modal widgets (modal.cpp)

// Shows the dialog that `make` builds on the GUI thread, not application
// modal, and waits for it to finish; returns its result (QDialog::finished),
// 0 when it was closed by close_all_modal or could not be shown.
int run_modal(std::function<QDialog*()> make);
// Registers a widget that close_all_modal closes: a pop-up menu (GUI thread).
void register_modal(QWidget* widget);
// True once close_all_modal has run: nothing modal is shown any more.
bool modal_refused();

// ---------------------------------------------------------------------------
// Pictures (codecs.cpp)

// A picture already held by Qt (a clipboard's image), through the size gate
// and the same conversion as decoded files.
DecodeStatus decode_qimage(const QImage& image, const DecodeLimits& limits, Picture* out);

}  // namespace kaplo::platform::detail
