// Reading an X selection over a connection of our own, every wait bounded.
//
// Sections:
//   1. Waiting (replies of the server, events, with deadlines)
//   2. The transfer (a plain property, or INCR pieces)
//   3. The reader
//
// The protocol (ICCCM): ConvertSelection asks the owner to put the target's
// data into a property of our window and to send SelectionNotify; data too
// large for one property comes as INCR, piece by piece, each piece written
// after we deleted the one before. Nothing here trusts the owner: each of
// its answers has `answer_ms`, the whole read `total_ms`, and the data
// `max_bytes`.

#include "platform/x11_selection.h"

#include <poll.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>  // xcb_poll_for_reply

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace kaplo::platform::detail {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSliceMs = 10;                  // one short wait between checks
constexpr uint32_t kPieceWords = 1u << 18;    // 1 MiB read per GetProperty
constexpr size_t kMaxTargets = 256;           // a longer list is cut here
constexpr size_t kMaxTargetBytes = 1u << 16;  // a list longer than this is refused

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter>;

}  // namespace

struct SelectionReader::State {
    SelectionWait wait;
    xcb_connection_t* c = nullptr;
    xcb_window_t window = XCB_NONE;
    xcb_atom_t selection = XCB_NONE, targets = XCB_NONE, incr = XCB_NONE, property = XCB_NONE;
    Clock::time_point end_of_read;
    bool ok = false;

    // -----------------------------------------------------------------------
    // 1. Waiting

    // The deadline of one answer: `answer_ms` from now, within the read's.
    Clock::time_point answer_deadline() const {
        return std::min(Clock::now() + std::chrono::milliseconds(wait.answer_ms), end_of_read);
    }

    // One short wait for the connection to have something to read; false
    // when the wait must end (cancelled, deadline passed, connection broken).
    bool pause(Clock::time_point deadline, SelectionStatus* why) {
        if (xcb_connection_has_error(c) != 0) {
            *why = SelectionStatus::Failed;
            return false;
        }
        if ((wait.cancelled && wait.cancelled()) || Clock::now() >= deadline) {
            *why = SelectionStatus::NoAnswer;
            return false;
        }
        if (wait.idle) wait.idle();
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
        (void)::poll(&p, 1, static_cast<int>(std::clamp<long long>(left, 0, kSliceMs)));
        return true;
    }

    // The reply to request `sequence` (flushed), or null with *why set.
    template <class T>
    Reply<T> reply(unsigned sequence, SelectionStatus* why) {
        const Clock::time_point deadline = answer_deadline();
        for (;;) {
            void* r = nullptr;
            xcb_generic_error_t* error = nullptr;
            if (xcb_poll_for_reply(c, sequence, &r, &error) != 0) {
                std::free(error);
                if (!r) *why = SelectionStatus::Failed;
                return Reply<T>(static_cast<T*>(r));
            }
            if (!pause(deadline, why)) return nullptr;
        }
    }

    // The next event for which `match` holds (others are dropped), or null.
    template <class Match>
    Reply<xcb_generic_event_t> event(Match match, SelectionStatus* why) {
        const Clock::time_point deadline = answer_deadline();
        for (;;) {
            while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
                Reply<xcb_generic_event_t> held(e);
                if (match(held.get())) return held;
            }
            if (!pause(deadline, why)) return nullptr;
        }
    }

    xcb_atom_t atom(const char* name, SelectionStatus* why) {
        const auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name);
        xcb_flush(c);
        const auto r = reply<xcb_intern_atom_reply_t>(cookie.sequence, why);
        return r ? r->atom : XCB_NONE;
    }

    // -----------------------------------------------------------------------
    // 2. The transfer

    // Appends the whole of our property to *out and deletes it; *type is the
    // property's type. Refuses (TooLarge) before reading past `max_bytes`.
    SelectionStatus take_property(size_t max_bytes, std::vector<uint8_t>* out, xcb_atom_t* type) {
        SelectionStatus why = SelectionStatus::Failed;
        for (uint32_t offset = 0;;) {
            const auto cookie = xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY,
                                                 offset, kPieceWords);
            xcb_flush(c);
            const auto r = reply<xcb_get_property_reply_t>(cookie.sequence, &why);
            if (!r) return why;
            *type = r->type;
            const auto length = static_cast<size_t>(xcb_get_property_value_length(r.get()));
            if (out->size() + length + r->bytes_after > max_bytes) return SelectionStatus::TooLarge;
            const auto* v = static_cast<const uint8_t*>(xcb_get_property_value(r.get()));
            out->insert(out->end(), v, v + length);
            offset += static_cast<uint32_t>(length / 4);
            if (r->bytes_after == 0 || length == 0) break;
        }
        xcb_delete_property(c, window, property);
        xcb_flush(c);
        return SelectionStatus::Ok;
    }

    // After the owner answered with INCR: the pieces, until an empty one.
    SelectionStatus take_pieces(size_t max_bytes, std::vector<uint8_t>* out) {
        out->clear();
        for (;;) {
            SelectionStatus why = SelectionStatus::Failed;
            const auto e = event(
                [&](const xcb_generic_event_t* ev) {
                    if ((ev->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) return false;
                    const auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(ev);
                    return p->window == window && p->atom == property &&
                           p->state == XCB_PROPERTY_NEW_VALUE;
                },
                &why);
            if (!e) return why;
            const size_t before = out->size();
            xcb_atom_t type = XCB_NONE;
            if (const SelectionStatus s = take_property(max_bytes, out, &type);
                s != SelectionStatus::Ok)
                return s;
            if (out->size() == before) return SelectionStatus::Ok;  // the empty piece ends it
        }
    }

    // Asks for `target` and takes what the owner answers.
    SelectionStatus convert(xcb_atom_t target, size_t max_bytes, std::vector<uint8_t>* out,
                            xcb_atom_t* type) {
        out->clear();
        xcb_convert_selection(c, window, selection, target, property, XCB_CURRENT_TIME);
        xcb_flush(c);
        SelectionStatus why = SelectionStatus::Failed;
        const auto e = event(
            [&](const xcb_generic_event_t* ev) {
                if ((ev->response_type & 0x7F) != XCB_SELECTION_NOTIFY) return false;
                const auto* n = reinterpret_cast<const xcb_selection_notify_event_t*>(ev);
                return n->requestor == window && n->selection == selection;
            },
            &why);
        if (!e) return why;
        const auto* n = reinterpret_cast<const xcb_selection_notify_event_t*>(e.get());
        if (n->property == XCB_NONE) return SelectionStatus::Empty;  // the owner refused
        if (const SelectionStatus s = take_property(max_bytes, out, type); s != SelectionStatus::Ok)
            return s;
        if (*type != incr) return SelectionStatus::Ok;
        // INCR's value is a lower bound of the size; deleting the property
        // (take_property did) asks for the first piece.
        if (out->size() >= 4) {
            uint32_t announced = 0;
            std::memcpy(&announced, out->data(), 4);
            if (announced > max_bytes) return SelectionStatus::TooLarge;
        }
        return take_pieces(max_bytes, out);
    }
};

// ---------------------------------------------------------------------------
// 3. The reader

SelectionReader::SelectionReader(const char* display, const char* selection, SelectionWait wait)
    : s_(new State) {
    s_->wait = std::move(wait);
    s_->end_of_read = Clock::now() + std::chrono::milliseconds(s_->wait.total_ms);
    int screen_number = 0;
    s_->c = xcb_connect(display, &screen_number);
    if (xcb_connection_has_error(s_->c) != 0) return;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(s_->c));
    for (int i = 0; i < screen_number && it.rem > 0; ++i) xcb_screen_next(&it);
    if (it.rem == 0) return;
    s_->window = xcb_generate_id(s_->c);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(s_->c, XCB_COPY_FROM_PARENT, s_->window, it.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                      &events);
    SelectionStatus why = SelectionStatus::Failed;
    s_->selection = s_->atom(selection, &why);
    s_->targets = s_->atom("TARGETS", &why);
    s_->incr = s_->atom("INCR", &why);
    s_->property = s_->atom("KAPLO_SELECTION", &why);
    s_->ok = s_->selection != XCB_NONE && s_->targets != XCB_NONE && s_->incr != XCB_NONE &&
             s_->property != XCB_NONE;
}

SelectionReader::~SelectionReader() {
    if (s_->c) xcb_disconnect(s_->c);  // our window goes with the connection
}

SelectionStatus SelectionReader::targets(std::vector<std::string>* names) {
    names->clear();
    if (!s_->ok) return SelectionStatus::Failed;
    std::vector<uint8_t> bytes;
    xcb_atom_t type = XCB_NONE;
    const SelectionStatus s = s_->convert(s_->targets, kMaxTargetBytes, &bytes, &type);
    if (s != SelectionStatus::Ok) return s;
    // A long list is read only as far as kMaxTargets.
    const size_t count = std::min(bytes.size() / 4, kMaxTargets);
    std::vector<xcb_get_atom_name_cookie_t> cookies;
    for (size_t i = 0; i < count; ++i) {
        xcb_atom_t a;
        std::memcpy(&a, bytes.data() + 4 * i, 4);
        if (a != XCB_NONE) cookies.push_back(xcb_get_atom_name(s_->c, a));
    }
    xcb_flush(s_->c);
    for (const auto& cookie : cookies) {
        SelectionStatus why = SelectionStatus::Failed;
        const auto r = s_->reply<xcb_get_atom_name_reply_t>(cookie.sequence, &why);
        if (!r) {
            if (why == SelectionStatus::NoAnswer) return why;
            continue;  // an atom the server does not know
        }
        names->emplace_back(xcb_get_atom_name_name(r.get()),
                            static_cast<size_t>(xcb_get_atom_name_name_length(r.get())));
    }
    return SelectionStatus::Ok;
}

SelectionStatus SelectionReader::read(const std::string& target, size_t max_bytes,
                                      std::vector<uint8_t>* bytes) {
    bytes->clear();
    if (!s_->ok) return SelectionStatus::Failed;
    SelectionStatus why = SelectionStatus::Failed;
    const xcb_atom_t a = s_->atom(target.c_str(), &why);
    if (a == XCB_NONE) return why;
    xcb_atom_t type = XCB_NONE;
    return s_->convert(a, max_bytes, bytes, &type);
}

}  // namespace kaplo::platform::detail
