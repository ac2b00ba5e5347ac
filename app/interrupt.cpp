#include "interrupt.h"

namespace depth {

namespace {

std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "written from a signal handler");

constexpr int kSignals[4] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};

int g_guards = 0;  // guards alive: one thread constructs and destroys them

extern "C" void note_signal(int sig) {
    int none = 0;
    g_signal.compare_exchange_strong(none, sig);  // the first one names the cause
}

}  // namespace

InterruptGuard::InterruptGuard() {
    // A guard inside another (each file of a batch) keeps the note: a signal
    // that came between two files still ends the batch.
    if (g_guards++ == 0) g_signal.store(0);
    for (int i = 0; i < 4; ++i) {
        struct sigaction action {};
        action.sa_handler = kSignals[i] == SIGXFSZ ? SIG_IGN : note_signal;
        // Restarted calls: the library's reads and writes never see EINTR;
        // the export notices the signal where it looks at the note.
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        sigaction(kSignals[i], &action, &saved_[i]);
    }
}

InterruptGuard::~InterruptGuard() {
    --g_guards;
    for (int i = 0; i < 4; ++i) sigaction(kSignals[i], &saved_[i], nullptr);
}

const std::atomic<int>& interrupt_signal() {
    return g_signal;
}

}  // namespace depth
