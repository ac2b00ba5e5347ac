#pragma once
// The main window's status line as the mouse tools use it: a test that
// drives a tool from a second thread waits for the prompt that asks for each
// click, as a user does, before it clicks.

#include <string>

#include "runtime/services.h"
#include "runtime/status_text.h"
#include "tests/scenario.h"

inline std::string status_text() {
    char text[256];
    kaplo::get_window_text_ansi(kaplo::status_line(), text, sizeof text);
    return text;
}
// The status line's text for `text`, as the line centres it.
inline std::string prompt(const char* text) {
    return kaplo::centred_status_text(text);
}
// Polls until the status line shows `text`.
inline bool says(const char* text) {
    return eventually([&] { return status_text() == prompt(text); });
}
