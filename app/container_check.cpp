#include "container_check.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

namespace depth {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool read_at(std::FILE* f, uint64_t offset, uint8_t* bytes, size_t count) {
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0 &&
           std::fread(bytes, 1, count, f) == count;
}

uint64_t little_endian(const uint8_t* b, int count) {
    uint64_t v = 0;
    for (int i = count - 1; i >= 0; --i) v = v << 8 | b[i];
    return v;
}

uint64_t big_endian(const uint8_t* b, int count) {
    uint64_t v = 0;
    for (int i = 0; i < count; ++i) v = v << 8 | b[i];
    return v;
}

bool avi_is_whole(std::FILE* f, uint64_t size) {
    uint64_t at = 0;
    for (int chunk = 0; at < size; ++chunk) {
        uint8_t head[12];
        if (!read_at(f, at, head, sizeof head) || std::memcmp(head, "RIFF", 4) != 0 ||
            std::memcmp(head + 8, chunk == 0 ? "AVI " : "AVIX", 4) != 0)
            return false;
        const uint64_t length = little_endian(head + 4, 4);
        at += 8 + length + (length & 1);  // chunks are padded to even lengths
    }
    return size > 0 && at == size;
}

bool mp4_is_whole(std::FILE* f, uint64_t size) {
    uint64_t at = 0;
    bool index = false;
    while (at < size) {
        uint8_t head[16];
        if (!read_at(f, at, head, 8)) return false;
        uint64_t length = big_endian(head, 4);
        if (length == 1) {  // a 64-bit length follows the type
            if (!read_at(f, at + 8, head + 8, 8)) return false;
            length = big_endian(head + 8, 8);
        } else if (length == 0) {  // the last box, to the end of the file
            length = size - at;
        }
        if (length < 8) return false;
        index = index || std::memcmp(head + 4, "moov", 4) == 0;
        at += length;
    }
    return index && at == size;
}

}  // namespace

bool container_is_whole(const std::string& path, Container container) {
    const File f(std::fopen(path.c_str(), "rb"));
    if (!f || fseeko(f.get(), 0, SEEK_END) != 0) return false;
    const off_t size = ftello(f.get());
    if (size <= 0) return false;
    const auto bytes = static_cast<uint64_t>(size);
    return container == Container::Avi ? avi_is_whole(f.get(), bytes)
                                       : mp4_is_whole(f.get(), bytes);
}

}  // namespace depth
