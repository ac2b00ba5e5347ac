// Reports of a user program's mistakes, with KAPLO_DEBUG=1.

#include "runtime/misuse.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <utility>

namespace kaplo {
namespace {

thread_local int t_quiet = 0;

std::mutex g_reported_mutex;
std::set<std::pair<std::string, int>>* g_reported = nullptr;  // made on the first report

}  // namespace

bool misuse_reports_on() {
    static const bool on = [] {
        const char* value = std::getenv("KAPLO_DEBUG");
        return value && *value && std::strcmp(value, "0") != 0;
    }();
    return on;
}

void report_misuse(const char* call, int number, const char* what) {
    if (!misuse_reports_on() || t_quiet > 0) return;
    try {
        std::lock_guard lock(g_reported_mutex);
        if (!g_reported) g_reported = new std::set<std::pair<std::string, int>>;
        if (!g_reported->emplace(call, number).second) return;
    } catch (...) {
        return;  // a report is help, never a reason to fail
    }
    char text[160];
    std::snprintf(text, sizeof text, what, number);
    std::fprintf(stderr, "kaplo debug: %s: %s\n", call, text);
}

QuietMisuse::QuietMisuse() {
    ++t_quiet;
}
QuietMisuse::~QuietMisuse() {
    --t_quiet;
}

}  // namespace kaplo
