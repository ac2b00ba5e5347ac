#pragma once
// Shared pieces of the platform implementation (Qt side). Not for the rest of
// the framework.

#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "platform/codecs.h"
#include "platform/platform.h"

class QImage;
class QMenu;
class QWidget;

namespace kaplo::platform::detail {

// Runs `fn` on the GUI thread: at once when called there, otherwise queued
// behind every earlier call from the same thread. Never waits.
void on_gui(std::function<void()> fn);
// Queues `fn` for the GUI thread even when called there (runs it later, from
// the event loop or a pump).
void queue_on_gui(std::function<void()> fn);

// Runs the tasks other threads handed to the GUI thread (GUI thread only).
void run_gui_tasks();

// Runs `fn` on the GUI thread and waits for it (modal calls only).
void on_gui_blocking(const std::function<void()>& fn);

QString to_qstring(const std::u16string& s);
std::u16string from_qstring(const QString& s);

// Builds a Qt menu from the menu table; each chosen action carries its id
// in QAction::data(). Menu bars use the same builder for their items.
void fill_qmenu(QWidget* menu_or_bar, MenuId menu);

// Measured once at start-up on the GUI thread.
void measure_menu_height();

// The parent widget that a control of `parent` is placed in (its client area).
QWidget* client_widget(WindowId parent);

// Posts a message to a window's owner from the GUI thread's event handlers.
void post_from_gui(WindowId window, const Message& msg);

void note_ctrl(bool down);

// A picture already held by Qt (a clipboard's image), through the size gate
// and the same conversion as decoded files (codecs.cpp).
DecodeStatus decode_qimage(const QImage& image, const DecodeLimits& limits, Picture* out);

}  // namespace kaplo::platform::detail
