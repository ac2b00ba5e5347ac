// Direct questions to the X server: live pointer state, frame extents,
// windows destroyed from outside, and the loss of the connection.

#include "platform/x11.h"

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QtX11Extras/QX11Info>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/internal.h"

namespace kaplo::platform::detail {
namespace {

xcb_connection_t* connection() {
    if (!QX11Info::isPlatformX11()) return nullptr;
    xcb_connection_t* c = QX11Info::connection();
    return c && xcb_connection_has_error(c) == 0 ? c : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    if (!r) return XCB_ATOM_NONE;
    const xcb_atom_t a = r->atom;
    std::free(r);
    return a;
}

// The 32-bit values of a property, or none.
std::vector<uint32_t> cardinals(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property,
                                xcb_atom_t type) {
    std::vector<uint32_t> out;
    xcb_get_property_reply_t* r =
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, 0, 16), nullptr);
    if (!r) return out;
    if (r->format == 32 && r->type == type) {
        const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(r));
        out.assign(v, v + xcb_get_property_value_length(r) / 4);
    }
    std::free(r);
    return out;
}

// Asks the window manager for the frame an unmapped probe window would get.
bool request_frame(xcb_connection_t* c, xcb_window_t root, bool fixed, Frame* out) {
    const xcb_atom_t request = atom(c, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = atom(c, "_NET_FRAME_EXTENTS");
    if (request == XCB_ATOM_NONE || extents == XCB_ATOM_NONE) return false;
    const xcb_window_t w = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, root, 0, 0, 200, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    if (fixed) {
        // WM_NORMAL_HINTS with the minimum and the maximum size equal.
        uint32_t hints[18] = {};
        hints[0] = 16 | 32;  // PMinSize | PMaxSize
        hints[5] = hints[7] = 200;
        hints[6] = hints[8] = 100;
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NORMAL_HINTS,
                            XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
    }
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = w;
    ev.type = request;
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&ev));
    xcb_flush(c);
    bool found = false;
    // The answer is a property the window manager sets; poll for it.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (!found && std::chrono::steady_clock::now() < end) {
        const std::vector<uint32_t> v = cardinals(c, w, extents, XCB_ATOM_CARDINAL);
        if (v.size() == 4) {
            *out = Frame{static_cast<int32_t>(v[0]), static_cast<int32_t>(v[2]),
                         static_cast<int32_t>(v[1]), static_cast<int32_t>(v[3])};
            found = true;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    xcb_destroy_window(c, w);
    xcb_flush(c);
    return found;
}

// Windows of ours destroyed by another client, and DestroyNotify in general.
class DestroyWatch : public QAbstractNativeEventFilter {
  public:
    bool nativeEventFilter(const QByteArray& type, void* message, long*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* ev = static_cast<const xcb_generic_event_t*>(message);
        if ((ev->response_type & 0x7F) != XCB_DESTROY_NOTIFY) return false;
        const auto* d = static_cast<const xcb_destroy_notify_event_t*>(message);
        if (d->event != d->window) return false;  // reported to a parent
        native_window_destroyed(d->window);
        return false;
    }
};

std::atomic<bool> g_lost{false};
QtMessageHandler g_previous_handler = nullptr;

void on_qt_message(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    // Qt says so, then ends the process, when its connection breaks: stop the
    // program first, the way Exit does.
    if (QX11Info::isPlatformX11()) {
        xcb_connection_t* c = QX11Info::connection();
        if (c && xcb_connection_has_error(c) != 0 && !g_lost.exchange(true)) display_lost();
    }
    if (g_previous_handler) g_previous_handler(type, context, text);
}

}  // namespace

bool x11_display_opens(const std::string& name, std::string* why) {
    std::string reason;
    if (name.empty()) {
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        reason = wayland && *wayland
                     ? "no X display: DISPLAY is not set, only WAYLAND_DISPLAY; KAPLO needs "
                       "X11: run it under XWayland (which sets DISPLAY) or under xvfb-run"
                     : "no X display: DISPLAY is not set; run it in a desktop session or under "
                       "xvfb-run";
    } else {
        xcb_connection_t* c = xcb_connect(name.c_str(), nullptr);
        if (xcb_connection_has_error(c) != 0)
            reason = "no X display: cannot open display " + name +
                     "; run it in a desktop session or under xvfb-run";
        xcb_disconnect(c);
    }
    if (reason.empty()) return true;
    if (why) *why = reason;
    return false;
}

bool x11_active() {
    return connection() != nullptr;
}

bool x11_pointer_state(bool* ctrl, bool* button, QPoint* at) {
    xcb_connection_t* c = connection();
    if (!c) return false;
    xcb_query_pointer_reply_t* r =
        xcb_query_pointer_reply(c, xcb_query_pointer(c, QX11Info::appRootWindow()), nullptr);
    if (!r) return false;
    if (ctrl) *ctrl = (r->mask & XCB_MOD_MASK_CONTROL) != 0;
    if (button)
        *button = (r->mask & (XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3)) != 0;
    if (at) *at = QPoint(r->root_x, r->root_y);
    std::free(r);
    return true;
}

int x11_measure_frames(Frame* sizable, Frame* fixed) {
    xcb_connection_t* c = connection();
    if (!c) return 0;
    const xcb_window_t root = QX11Info::appRootWindow();
    const std::vector<uint32_t> wm =
        cardinals(c, root, atom(c, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW);
    if (wm.empty()) return 0;
    if (!request_frame(c, root, false, sizable)) return -1;
    if (!request_frame(c, root, true, fixed)) *fixed = *sizable;
    return 1;
}

void start_x11_watch() {
    g_previous_handler = qInstallMessageHandler(on_qt_message);
    if (!x11_active()) return;
    static DestroyWatch watch;
    QCoreApplication::instance()->installNativeEventFilter(&watch);
}

}  // namespace kaplo::platform::detail
