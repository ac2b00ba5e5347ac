#include "runtime/status_text.h"

#include <cstring>

namespace kaplo {

std::string centred_status_text(const char* text) {
    constexpr size_t kCapacity = 63;  // 64-byte buffer with its terminator
    std::string t = text ? text : "";
    if (t.size() > kCapacity) {
        size_t n = kCapacity;
        while (n > 0 && (static_cast<unsigned char>(t[n]) & 0xC0) == 0x80) --n;
        t.resize(n);
    }
    const int indent = 18 - static_cast<int>(t.size() / 2);
    size_t p = indent > 0 ? static_cast<size_t>(indent) : 0;
    if (p + t.size() > kCapacity) p = kCapacity - t.size();
    return std::string(p, ' ') + t;
}

}  // namespace kaplo
