// Log files. Streams are guarded by one mutex, because Exit closes them on the
// main thread while the worker thread may still be printing.

#include "text/log_file.h"

#include <array>
#include <cstdio>
#include <mutex>
#include <vector>

#include "kaplo.h"
#include "shell/services.h"
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

int KPL_StartLog(int number) {
    if (!kaplo::window_open(number)) return 3;
    std::unique_lock lock(g_log_mutex);
    kaplo::Log& log = g_logs[static_cast<size_t>(number)];
    if (log.state == 1) return 1;
    if (log.state == 0) {
        log.file = std::fopen(kaplo::log_file_name(number).c_str(), "w");
        if (!log.file) {
            lock.unlock();
            message_box(u"Can't create file for LOG!", u"Error", MessageIcon::Error);
            return 2;
        }
    }
    log.state = 1;
    return 0;
}

int KPL_StopLog(int number) {
    if (!kaplo::window_open(number)) return 2;
    std::lock_guard lock(g_log_mutex);
    kaplo::Log& log = g_logs[static_cast<size_t>(number)];
    if (log.state == 0) return 1;
    log.state = 2;
    if (log.file) std::fflush(log.file);
    return 0;
}

int KPL_CopyLog(int number) {
    if (!kaplo::window_open(number)) return 4;
    const std::string name = kaplo::log_file_name(number);
    std::unique_lock lock(g_log_mutex);
    kaplo::Log& log = g_logs[static_cast<size_t>(number)];
    if (log.state != 0) kaplo::close_stream(log);  // writes out everything buffered

    int result = 0;
    const char* message = nullptr;
    std::vector<char> bytes;
    if (FILE* in = std::fopen(name.c_str(), "rb")) {
        std::fseek(in, 0, SEEK_END);
        const long length = std::ftell(in);
        std::rewind(in);
        try {
            bytes.resize(length > 0 ? static_cast<size_t>(length) : 0);
            bytes.resize(std::fread(bytes.data(), 1, bytes.size(), in));
        } catch (const std::bad_alloc&) {
            result = 3;
            message = "No enough memory (copy log)";
        }
        std::fclose(in);
    } else {
        result = 2;
        message = "Can't open LOG file!";
    }
    if (log.state != 0) log.file = std::fopen(name.c_str(), "a");
    lock.unlock();

    if (message) {
        KPL_Pause(message);
        return result;
    }
    return set_clipboard_ansi_text(std::string(bytes.begin(), bytes.end())) ? 0 : 1;
}

void KPL_CloseAllLogs() {
    std::lock_guard lock(g_log_mutex);
    for (kaplo::Log& log : g_logs) {
        kaplo::close_stream(log);
        log.state = 0;
    }
}
