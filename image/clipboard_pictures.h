#pragma once
// The clipboard's picture for the framework's own pastes (an image window's
// Paste, the main window's), which tell the user when they gave up.

struct KPL_ClipboardPicture;

namespace kaplo {

// As KPL_GetClipboardBitmap(nullptr, nullptr). When the program holding the
// clipboard did not answer in time it has shown so (KPL_Pause) and answers
// null, as for an empty clipboard.
KPL_ClipboardPicture* clipboard_picture_for_paste();

}  // namespace kaplo
