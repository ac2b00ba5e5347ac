#pragma once
// The replayer a fuzz target builds as when libFuzzer is not linked: every
// file named on the command line (folders: every file in them) goes through
// the target's LLVMFuzzerTestOneInput, as libFuzzer would send it. The suite
// replays each target's seed corpus this way. Include it from the target's
// one source file: without KAPLO_LIBFUZZER it defines main().

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace kaplo::fuzz {

// Inputs that gave a picture, counted by the target.
inline size_t pictures = 0;

// Replays the inputs named by argv[1..]; returns how many there were.
inline size_t replay_arguments(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!fs::is_directory(argv[i])) inputs.push_back(argv[i]);
        if (fs::is_directory(argv[i]))
            for (const auto& entry : fs::directory_iterator(argv[i]))
                if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
    for (const fs::path& file : inputs) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    return inputs.size();
}

}  // namespace kaplo::fuzz

#ifndef KAPLO_LIBFUZZER
int main(int argc, char** argv) {
    const size_t inputs = kaplo::fuzz::replay_arguments(argc, argv);
    std::printf("replayed %zu inputs, %zu pictures\n", inputs, kaplo::fuzz::pictures);
    return inputs == 0 ? 1 : 0;
}
#endif
