// Fuzz target for clipboard bitmaps: any bytes are read as a packed bitmap
// and as a BMP file. A picture that comes back must be whole (every index
// naming an entry of its table, every colour opaque but a BMP file's, which
// may carry alpha), and writing it again and reading that back must give the
// same picture (alpha aside), so the reader's many layouts are checked
// against the writer's one.
//
// With clang and -DKAPLO_FUZZ=ON it links with libFuzzer:
//   build-fuzz/tests/image/fuzz_clipboard_dib -max_len=4096 corpus/ tests/image/fuzz_dib_corpus
// Otherwise it builds as a replayer (fuzz_replay.h); the suite replays the
// seed corpus, whose regression inputs are named after the fault they catch.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz_replay.h"
#include "platform/dib.h"

namespace {

namespace pf = kaplo::platform;

// Small, so that the fuzzer spends its time in the header checks rather than
// in filling large valid pictures.
constexpr pf::DecodeLimits kLimits{1024, int64_t{1} << 22};

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_clipboard_dib: %s\n", what);
    std::abort();
}

void check(pf::Picture pic, bool file) {
    const size_t count = static_cast<size_t>(pic.width) * static_cast<size_t>(pic.height);
    if (pic.width < 1 || pic.height < 1) fail("empty picture");
    std::vector<uint8_t> dib;
    if (pic.indexed) {
        if (pic.indexes.size() != count || pic.colours.empty() || pic.colours.size() > 256)
            fail("indexed picture of the wrong size");
        for (uint8_t i : pic.indexes)
            if (i >= pic.colours.size()) fail("index past the colour table");
        std::vector<uint32_t> table(256, 0);
        for (size_t i = 0; i < pic.colours.size(); ++i) table[i] = pic.colours[i] & 0xFFFFFFu;
        if (!pf::write_dib_indexed(pic.indexes.data(), pic.width, pic.height, pic.width,
                                   table.data(), &dib))
            fail("the writer refused an indexed picture");
    } else {
        if (pic.argb.size() != count || !pic.colours.empty()) fail("picture of the wrong size");
        if (!pf::write_dib_rgb(pic.argb.data(), pic.width, pic.height, pic.width, &dib))
            fail("the writer refused a picture");
    }
    for (uint32_t& c : pic.indexed ? pic.colours : pic.argb) {
        if (c >> 24 != 0xFF && !file) fail("colour not opaque");
        c |= 0xFF000000u;  // the writer keeps no alpha
    }

    pf::Picture again;
    if (pf::read_dib(dib.data(), dib.size(), kLimits, &again) != pf::DecodeStatus::Ok)
        fail("the reader refused what the writer wrote");
    const bool same =
        again.width == pic.width && again.height == pic.height && again.indexed == pic.indexed &&
        again.indexes == pic.indexes && again.argb == pic.argb &&
        std::vector<uint32_t>(again.colours.begin(),
                              again.colours.begin() + static_cast<long>(pic.colours.size())) ==
            pic.colours;
    if (!same) fail("the picture changed on its way through the writer");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pf::Picture pic;
    if (pf::read_dib(data, size, kLimits, &pic) == pf::DecodeStatus::Ok) {
        ++kaplo::fuzz::pictures;
        check(pic, false);
    }
    if (pf::read_bmp_file(data, size, kLimits, &pic) == pf::DecodeStatus::Ok) {
        ++kaplo::fuzz::pictures;
        check(pic, true);
    }
    return 0;
}
