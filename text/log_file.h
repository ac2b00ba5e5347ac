#pragma once
// Per-window log files: transcripts of what is printed and typed.

#include <cstddef>
#include <string>

namespace kaplo {

// "<start-up directory>KAPLO<instance><window>.LOG".
std::string log_file_name(int window);

// Appends output to the window's log when it is logging (any thread).
void log_write(int window, const char* bytes, size_t count);
// The menu's check marks: 0 no log, 1 logging, 2 paused.
int log_state(int window);
// A slot was opened (no log) or closed (its stream is closed).
void log_slot_opened(int window);
void log_slot_closed(int window);

}  // namespace kaplo
