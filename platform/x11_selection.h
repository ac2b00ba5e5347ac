#pragma once
// Reading an X selection (the clipboard) that another program holds, over a
// connection of our own, with every wait bounded.
//
// On X11 the clipboard holds no data: a paste asks the owning program for
// it, and an owner that is stopped, busy or hostile may answer slowly or
// never. Qt's own clipboard waits seconds per request on the GUI thread. A
// reader here waits at most `answer_ms` for each answer and `total_ms` for
// the whole read, never on Qt's connection, so the GUI thread keeps serving
// (a reader on the GUI thread calls `idle` between short waits).
//
// Usage:
//   SelectionReader reader("CLIPBOARD", wait);
//   std::vector<std::string> targets;
//   if (reader.targets(&targets) == SelectionStatus::Ok) ...
//   std::vector<uint8_t> bytes;
//   if (reader.read("image/png", max_bytes, &bytes) == SelectionStatus::Ok) ...
//
// Threads: a reader belongs to the thread that made it. Free of Qt.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kaplo::platform::detail {

enum class SelectionStatus : uint8_t {
    Ok,
    Empty,     // nobody holds the selection, or its owner refused the target
    NoAnswer,  // the owner did not answer in time (or the wait was cancelled)
    TooLarge,  // the owner offered more than the reader takes
    Failed,    // no connection to the display, or a broken transfer
};

struct SelectionWait {
    int answer_ms = 1000;  // the longest wait for any one answer of the owner
    int total_ms = 2000;   // the longest a whole read may take
    // Checked between short waits: true gives up at once (NoAnswer).
    std::function<bool()> cancelled;
    // Runs between short waits (the GUI thread serves its windows here).
    std::function<void()> idle;
};

class SelectionReader {
  public:
    // `display` as xcb_connect takes it (null: $DISPLAY); `selection` names
    // the selection ("CLIPBOARD", "PRIMARY").
    SelectionReader(const char* display, const char* selection, SelectionWait wait);
    ~SelectionReader();
    SelectionReader(const SelectionReader&) = delete;
    SelectionReader& operator=(const SelectionReader&) = delete;

    // The names of the targets (formats) the owner offers.
    SelectionStatus targets(std::vector<std::string>* names);
    // The data of `target`, at most `max_bytes` of it (more is TooLarge).
    SelectionStatus read(const std::string& target, size_t max_bytes, std::vector<uint8_t>* bytes);

  private:
    struct State;
    std::unique_ptr<State> s_;
};

}  // namespace kaplo::platform::detail
