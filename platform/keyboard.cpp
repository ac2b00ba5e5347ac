// Key translation: virtual-key codes and typed characters.

#include "platform/keyboard.h"

#include "platform/keys.h"

namespace kaplo::platform::detail {
namespace {

int32_t keypad_key(int k) {
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return key::kNumpad0 + (k - Qt::Key_0);
    switch (k) {
        case Qt::Key_Asterisk:
            return key::kMultiply;
        case Qt::Key_Plus:
            return key::kAdd;
        case Qt::Key_Minus:
            return key::kSubtract;
        case Qt::Key_Period:
        case Qt::Key_Comma:
            return key::kDecimal;
        case Qt::Key_Slash:
            return key::kDivide;
        default:
            return 0;  // Enter and, with Num Lock off, the cursor keys: as elsewhere
    }
}

}  // namespace

int32_t virtual_key(int k, Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::KeypadModifier) {
        if (const int32_t code = keypad_key(k)) return code;
    }
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return k;  // same codes as ASCII capitals
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return k;
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return key::kF1 + (k - Qt::Key_F1);
    switch (k) {
        case Qt::Key_Backspace:
            return key::kBack;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return key::kTab;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return key::kReturn;
        case Qt::Key_Shift:
            return key::kShift;
        case Qt::Key_Control:
            return key::kControl;
        case Qt::Key_Alt:
            return key::kMenu;
        case Qt::Key_Escape:
            return key::kEscape;
        case Qt::Key_Space:
            return key::kSpace;
        case Qt::Key_PageUp:
            return key::kPrior;
        case Qt::Key_PageDown:
            return key::kNext;
        case Qt::Key_End:
            return key::kEnd;
        case Qt::Key_Home:
            return key::kHome;
        case Qt::Key_Left:
            return key::kLeft;
        case Qt::Key_Up:
            return key::kUp;
        case Qt::Key_Right:
            return key::kRight;
        case Qt::Key_Down:
            return key::kDown;
        case Qt::Key_Insert:
            return key::kInsert;
        case Qt::Key_Delete:
            return key::kDelete;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            return key::kOemPlus;
        case Qt::Key_Minus:
        case Qt::Key_Underscore:
            return key::kOemMinus;
        default:
            return 0;
    }
}

std::u16string typed_units(int k, Qt::KeyboardModifiers modifiers, const QString& text) {
    // Alt with anything is a command, never typing (AltGr is not Alt here).
    if (modifiers & Qt::AltModifier) return {};
    switch (k) {
        case Qt::Key_Backspace:
            return u"\b";
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return u"\t";
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return u"\r";
        case Qt::Key_Escape:
            return u"\x1b";
        case Qt::Key_Delete:
            return {};
        default:
            break;
    }
    if (k >= Qt::Key_Escape && k < Qt::Key_Shift) return {};  // cursor and editing keys
    if (k >= Qt::Key_F1 && k <= Qt::Key_F35) return {};
    std::u16string units;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // Control characters come only from Ctrl with a letter or the keys
        // above; Delete's 0x7F and stray controls of other keys are dropped.
        if (u == 0x7F) continue;
        if (u < 0x20 && !(modifiers & Qt::ControlModifier)) continue;
        units.push_back(u);
    }
    return units;
}

}  // namespace kaplo::platform::detail
