// Log files. Streams are guarded by one mutex, because Exit closes them on the
// main thread while the worker thread may still be printing.

#include "text/log_file.h"

#include <array>
#include <cstdio>
#include <mutex>

#include "kaplo.h"
#include "runtime/guarded.h"
#include "runtime/misuse.h"
#include "runtime/services.h"
#include "text/text_window.h"

using namespace kaplo::platform;

namespace kaplo {
namespace {

struct Log {
    int state = 0;  // 0 no log, 1 logging, 2 paused
    FILE* file = nullptr;
};
std::mutex g_log_mutex;
std::array<Log, kTextSlots> g_logs;

bool window_open(int n) {
    return n >= 0 && n < kTextSlots && text_table[static_cast<size_t>(n)].used;
}

void close_stream(Log& log) {
    if (log.file) std::fclose(log.file);
    log.file = nullptr;
}

// The whole file: 0 read; 2 cannot open it; 3 out of memory. Never throws,
// so a caller that closed a stream to read its file always reopens it.
int read_whole_file(const std::string& name, std::string* bytes) {
    FILE* in = std::fopen(name.c_str(), "rb");
    if (!in) return 2;
    std::fseek(in, 0, SEEK_END);
    const long length = std::ftell(in);
    std::rewind(in);
    const int result = guarded(3, [&] {
        bytes->resize(length > 0 ? static_cast<size_t>(length) : 0);
        bytes->resize(std::fread(bytes->data(), 1, bytes->size(), in));
        return 0;
    });
    std::fclose(in);
    return result;
}

int start_log(int number) {
    if (!window_open(number)) return 3;
    std::unique_lock lock(g_log_mutex);
    Log& log = g_logs[static_cast<size_t>(number)];
    if (log.state == 1) return 1;
    if (log.state == 0) {
        log.file = std::fopen(log_file_name(number).c_str(), "w");
        if (!log.file) {
            lock.unlock();
            message_box(u"Can't create file for LOG!", u"Error", MessageIcon::Error);
            return 2;
        }
    }
    log.state = 1;
    return 0;
}

int copy_log(int number) {
    if (!window_open(number)) return 4;
    const std::string name = log_file_name(number);
    std::string bytes;
    int result;
    {
        std::lock_guard lock(g_log_mutex);
        Log& log = g_logs[static_cast<size_t>(number)];
        if (log.state != 0) close_stream(log);  // writes out everything buffered
        result = read_whole_file(name, &bytes);
        if (log.state != 0) log.file = std::fopen(name.c_str(), "a");
    }
    if (result == 2) KPL_Pause("Can't open LOG file!");
    if (result == 3) KPL_Pause("No enough memory (copy log)");
    if (result != 0) return result;
    return set_clipboard_ansi_text(bytes) ? 0 : 1;
}

}  // namespace

std::string log_file_name(int window) {
    char name[520];
    std::snprintf(name, sizeof name, "%sKAPLO%d%d.LOG", log_directory().c_str(), instance_number(),
                  window);
    return name;
}

void log_write(int window, const char* bytes, size_t count) {
    if (window < 0 || window >= kTextSlots) return;
    std::lock_guard lock(g_log_mutex);
    Log& log = g_logs[static_cast<size_t>(window)];
    // A stream that could not be reopened after a copy is missing: the output
    // is dropped rather than written through it.
    // Each piece is flushed at once: a transcript must keep every line even
    // when the program then crashes or is ended.
    if (log.state == 1 && log.file) {
        std::fwrite(bytes, 1, count, log.file);
        std::fflush(log.file);
    }
}

int log_state(int window) {
    if (window < 0 || window >= kTextSlots) return 0;
    std::lock_guard lock(g_log_mutex);
    return g_logs[static_cast<size_t>(window)].state;
}

void log_slot_opened(int window) {
    std::lock_guard lock(g_log_mutex);
    Log& log = g_logs[static_cast<size_t>(window)];
    close_stream(log);
    log.state = 0;
}

void log_slot_closed(int window) {
    std::lock_guard lock(g_log_mutex);
    Log& log = g_logs[static_cast<size_t>(window)];
    close_stream(log);
    log.state = 0;
}

}  // namespace kaplo

using kaplo::g_log_mutex;
using kaplo::g_logs;

// A log that cannot be started for want of memory cannot be created.
int KPL_StartLog(int number) {
    if (!kaplo::window_open(number)) kaplo::report_closed_text_window("KPL_StartLog", number);
    return kaplo::guarded(2, [number] { return kaplo::start_log(number); });
}

int KPL_StopLog(int number) {
    if (!kaplo::window_open(number)) {
        kaplo::report_closed_text_window("KPL_StopLog", number);
        return 2;
    }
    std::lock_guard lock(g_log_mutex);
    kaplo::Log& log = g_logs[static_cast<size_t>(number)];
    if (log.state == 0) return 1;
    log.state = 2;
    if (log.file) std::fflush(log.file);
    return 0;
}

int KPL_CopyLog(int number) {
    if (!kaplo::window_open(number)) kaplo::report_closed_text_window("KPL_CopyLog", number);
    return kaplo::guarded(3, [number] { return kaplo::copy_log(number); });
}

void KPL_CloseAllLogs() {
    std::lock_guard lock(g_log_mutex);
    for (kaplo::Log& log : g_logs) {
        kaplo::close_stream(log);
        log.state = 0;
    }
}
