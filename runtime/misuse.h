#pragma once
// Reports of a user program's mistakes: a call on an image or text window
// that does not exist, or output with no text window open. The framework is
// silent by default (result codes only); with KAPLO_DEBUG=1 in the
// environment each mistake writes one line to standard error, once per call
// and number, so a loop that repeats it does not flood the terminal.

namespace kaplo {

// True when KAPLO_DEBUG asks for the reports (read once).
bool misuse_reports_on();

// "kaplo debug: <call>: <what>", once for each call and number. `call` is a
// string literal naming the public call; `what` may hold one %d, the number.
void report_misuse(const char* call, int number, const char* what);

// The common cases.
inline void report_missing_image(const char* call, int number) {
    if (misuse_reports_on()) report_misuse(call, number, "image %d does not exist");
}
inline void report_missing_current_image(const char* call, int number) {
    if (misuse_reports_on()) report_misuse(call, number, "the current image, %d, does not exist");
}
inline void report_closed_text_window(const char* call, int number) {
    if (misuse_reports_on()) report_misuse(call, number, "text window %d is not open");
}
inline void report_no_current_text_window(const char* call, int number) {
    if (misuse_reports_on())
        report_misuse(call, number, "the current text window, %d, is not open");
}

// While one lives, the calling thread's reports are held back: the
// framework's own calls (probing numbers for a free one, requests it carries
// out for the main window, its menus) are not the user's mistakes.
class QuietMisuse {
  public:
    QuietMisuse();
    ~QuietMisuse();
    QuietMisuse(const QuietMisuse&) = delete;
    QuietMisuse& operator=(const QuietMisuse&) = delete;
};

}  // namespace kaplo
