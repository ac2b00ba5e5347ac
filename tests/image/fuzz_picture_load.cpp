// Fuzz target for picture loading: any bytes are decoded as a picture and, when
// they give one, drawn into a 32-bit and an 8-bit image at an offset taken
// from the input, so the clipping and the colour-table paths see it too.
//
// With clang and -DKAPLO_FUZZ=ON it links with libFuzzer:
//   build-fuzz/tests/image/fuzz_picture_load -max_len=4096 corpus/ tests/image/fuzz_corpus
// Otherwise it builds as a replayer (fuzz_replay.h); the suite replays the
// seed corpus this way.

#include <cstdint>

#include "fuzz_replay.h"
#include "image/image_files.h"
#include "image/image_store.h"

namespace {

// Smaller than the store's gate, so that the fuzzer spends its time in the
// parsers rather than in filling large valid pictures.
constexpr kaplo::platform::DecodeLimits kLimits{1024, int64_t{1} << 22};

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
    ++kaplo::fuzz::pictures;
    const int x = size > 0 ? static_cast<int8_t>(data[size - 1]) : 0;
    const int y = size > 1 ? static_cast<int8_t>(data[size - 2]) : 0;
    for (int number : {0, 1}) {
        KPL_SelectImage(number);
        kaplo::load_picture(pic, x, y);
    }
    return 0;
}
