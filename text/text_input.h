#pragma once
// The keyboard queue between text windows and a waiting line input.

#include <atomic>
#include <cstdint>

namespace kaplo {

// Pushes a typed unit; dropped when the queue (256 units) is full.
void keyboard_push(char16_t unit);
// Takes the oldest unit; 0 when the queue is empty.
char16_t keyboard_pop();
void keyboard_clear();

// Special requests of a waiting input: 1 recall the previous line, 2 paste.
extern std::atomic<int32_t> g_special_request;

}  // namespace kaplo
