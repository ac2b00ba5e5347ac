#pragma once
// Ctrl+C (SIGINT), `kill` (SIGTERM) and a closed terminal (SIGHUP) during an
// export: the handler only notes the signal, and the export, which looks at
// the note between frames and while it waits, ends cleanly: temporary files
// removed, an existing output untouched, and an exit code that says which
// signal interrupted it (128 + its number, as a shell reports it).
//
// A file size limit (`ulimit -f`) would otherwise end the process with
// SIGXFSZ in the middle of a write, leaving the temporary file behind; while
// the guard lives that signal is ignored, so the write fails and the export
// reports it like a full disk.
//
// Guards may nest (a batch holds one, each of its exports another); the note
// is cleared only when the outermost one is made.
//
// Threads: construct and destroy on one thread, with no other thread of the
// export running; interrupt_signal() may be read from any thread.

#include <atomic>
#include <csignal>

namespace depth {

class InterruptGuard {
  public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

  private:
    struct sigaction saved_[4];
};

// 0, or the number of the signal that asked the export to end.
const std::atomic<int>& interrupt_signal();

}  // namespace depth
