// Instance numbers, the millisecond clock and text conversion. No windows here.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace kaplo::platform {

// ---------------------------------------------------------------------------
// Instance numbers

std::string instance_lock_dir() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        struct stat st {};
        if (stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && access(runtime, W_OK) == 0)
            return runtime;
    }
    // A private folder in /tmp; refuse one that another user made or that is
    // a link, since its lock files would then not be ours.
    std::string dir = "/tmp/kaplo-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return {};
    return dir;
}

int claim_instance_number(const std::string& class_prefix, int max, const std::string& lock_dir) {
    const std::string dir = lock_dir.empty() ? instance_lock_dir() : lock_dir;
    if (dir.empty()) return -1;
    for (int n = 0; n < max; ++n) {
        const std::string path = dir + "/" + class_prefix + std::to_string(n) + ".lock";
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) continue;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // The descriptor stays open for the life of the process: the
            // kernel drops the lock when the process ends, however it ends.
            return n;
        }
        close(fd);
    }
    return -1;
}

// ---------------------------------------------------------------------------
// Clock

uint32_t millis() {
    using namespace std::chrono;
    const auto now = steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(duration_cast<milliseconds>(now).count());
}

// ---------------------------------------------------------------------------
// Text conversion: UTF-8 <-> UTF-16

std::u16string ansi_to_wide(const char* text, size_t max_units) {
    if (!text) return {};
    const QString q = QString::fromUtf8(text);
    std::u16string out(reinterpret_cast<const char16_t*>(q.utf16()), static_cast<size_t>(q.size()));
    if (out.size() > max_units) {
        size_t n = max_units;
        // Keep surrogate pairs whole.
        if (n > 0 && out[n - 1] >= 0xD800 && out[n - 1] <= 0xDBFF) --n;
        out.resize(n);
    }
    return out;
}

std::string wide_to_ansi(const std::u16string& text, size_t max_bytes) {
    const QByteArray bytes =
        QString::fromUtf16(text.data(), static_cast<int>(text.size())).toUtf8();
    std::string out(bytes.constData(), static_cast<size_t>(bytes.size()));
    if (out.size() > max_bytes) {
        size_t n = max_bytes;
        // Back up to the start of a character: continuation bytes are 10xxxxxx.
        while (n > 0 && (static_cast<unsigned char>(out[n]) & 0xC0) == 0x80) --n;
        out.resize(n);
    }
    return out;
}

}  // namespace kaplo::platform
