#pragma once
// Key translation: the virtual-key code of a key press and the characters it
// types, as a desktop's key translation makes them. Not for the rest of the
// framework.

#include <QKeyEvent>
#include <QString>
#include <cstdint>
#include <string>

namespace kaplo::platform::detail {

// The virtual-key code (keys.h) of a Qt key, 0 for keys without one. Keypad
// keys get the keypad's own codes.
int32_t virtual_key(int qt_key, Qt::KeyboardModifiers modifiers);

// The UTF-16 units a key press types: printable text, and Backspace (8),
// Tab (9), Enter (13) and Escape (27); Ctrl with a letter types its control
// character. Nothing for Delete, arrows, function keys or anything with Alt.
std::u16string typed_units(int qt_key, Qt::KeyboardModifiers modifiers, const QString& text);

}  // namespace kaplo::platform::detail
