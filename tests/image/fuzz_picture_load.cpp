// Fuzz target for picture loading: any bytes are decoded as a picture and, when
// they give one, drawn into a 32-bit and an 8-bit image at an offset taken
// from the input, so the clipping and the colour-table paths see it too.
//
// With clang and -DKAPLO_FUZZ=ON it links with libFuzzer:
//   build-fuzz/tests/image/fuzz_picture_load -max_len=4096 corpus/ tests/image/fuzz_corpus
// Otherwise it builds as a replayer that feeds every file named on its command
// line (folders: every file in them) through the same function; the suite
// replays the seed corpus this way.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "image/image_files.h"
#include "image/image_store.h"

namespace {

// Smaller than the store's gate, so that the fuzzer spends its time in the
// parsers rather than in filling large valid pictures.
constexpr kaplo::platform::DecodeLimits kLimits{1024, int64_t{1} << 22};

size_t pictures = 0;  // inputs that gave a picture

bool make_targets() {
    kaplo::image_store_reset_for_tests();
    return kaplo::image_store_attach_buffer_for_tests(0, 61, 47, 32) == 0 &&
           kaplo::image_store_attach_buffer_for_tests(1, 37, 29, 8) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = make_targets();
    if (!ready) return 0;
    kaplo::platform::Picture pic;
    if (kaplo::platform::decode_picture_bytes(data, size, kLimits, &pic) !=
        kaplo::platform::DecodeStatus::Ok)
        return 0;
    ++pictures;
    const int x = size > 0 ? static_cast<int8_t>(data[size - 1]) : 0;
    const int y = size > 1 ? static_cast<int8_t>(data[size - 2]) : 0;
    for (int number : {0, 1}) {
        KPL_SelectImage(number);
        kaplo::load_picture(pic, x, y);
    }
    return 0;
}

#ifndef KAPLO_LIBFUZZER
namespace {

size_t replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    size_t inputs = 0;
    for (int i = 1; i < argc; ++i) {
        if (!fs::is_directory(argv[i])) {
            inputs += replay(argv[i]);
            continue;
        }
        for (const auto& entry : fs::directory_iterator(argv[i]))
            if (entry.is_regular_file()) inputs += replay(entry.path());
    }
    std::printf("replayed %zu inputs, %zu pictures\n", inputs, pictures);
    return inputs == 0 ? 1 : 0;
}
#endif
