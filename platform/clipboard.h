#pragma once
// Pictures on the clipboard, exchanged with other programs.
//
// A copy offers one picture in three formats: the packed bitmap exactly as
// written by platform/dib.h (`application/x-kaplo-dib`), a BMP file of it
// (`image/bmp`) and a PNG (`image/png`). A paste takes the first it finds of
// those three, then any other picture format Qt can decode, then a picture
// another part of this process put there as a QImage.
//
// Usage:
//   std::vector<uint8_t> dib;
//   if (platform::write_dib_rgb(words, w, h, stride, &dib))
//       platform::set_clipboard_picture(std::move(dib));
//
//   platform::Picture pic;
//   if (platform::clipboard_picture(limits, &pic) == platform::DecodeStatus::Ok) ...
//
// Threads: any thread. Only the GUI thread touches QClipboard: a call from
// another thread waits for it (and fails once the GUI thread has stopped
// serving calls); another program's clipboard is read on the calling thread
// over a connection of its own, within kClipboardReadMs (platform.h), the
// GUI thread serving its windows meanwhile; decoding and encoding run on the
// calling thread.
//
// On X11 the clipboard holds no data, only the promise of its owner: a copied
// picture can be pasted by other programs only while this process runs.

#include <cstdint>
#include <vector>

#include "platform/codecs.h"

namespace kaplo::platform {

// The format that carries the packed bitmap unchanged.
inline constexpr char kDibMimeType[] = "application/x-kaplo-dib";

// Replaces the clipboard's contents with the picture in `packed_dib`, offered
// as described above. False, with the clipboard unchanged, when the bytes are
// not a bitmap that read_dib accepts, when memory runs out, or when the GUI
// thread no longer serves calls.
bool set_clipboard_picture(std::vector<uint8_t> packed_dib);

// Empties the clipboard (a copy that could not be made leaves nothing stale
// behind). False when the GUI thread no longer serves calls or memory runs
// out; the clipboard is then unchanged.
bool clear_clipboard();

// The picture on the clipboard, decoded as read_dib and decode_picture_bytes
// decode (indexed pictures keep their colour table). Unreadable when the
// clipboard holds no picture that can be read (an empty clipboard included);
// TooLarge when its size is past `limits`, checked before its pixels are
// allocated; NoMemory; NoAnswer when the program that holds the clipboard
// did not answer in time (platform.h: kClipboardAnswerMs). `out` is empty
// unless the result is Ok.
DecodeStatus clipboard_picture(const DecodeLimits& limits, Picture* out);

}  // namespace kaplo::platform
