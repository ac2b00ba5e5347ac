// A batch job without any window: every picture in a folder is turned grey,
// labelled with its name and size in the bottom-left corner, and saved as a
// PNG of the same name in another folder. Files that are no pictures are
// skipped. A line per file and a summary go to standard output.
//
//     kaplo-batch IN_FOLDER OUT_FOLDER
//
// The whole job runs in UserCommandLine, which sees the command line before
// the framework opens the display or shows anything. Its result is the
// program's exit code (0 all done, 1 a picture could not be saved, 2 a wrong
// command line), so the program ends there: no window ever opens, and no
// display is needed.
#include <kaplo.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kPicture = 0, kGrey = 1;  // two images without windows

// Converts one file; false when it could not be saved. Pictures are made
// grey through the block calls: the whole picture is copied out once, turned
// into one luminance byte per pixel, and copied into an 8-bit image whose
// colour table is a grey ramp.
bool convert(const fs::path& in, const fs::path& out_folder, int* converted, int* skipped) {
    const std::string name = in.filename().string();
    int width = 0, height = 0;
    if (KPL_GetImageFileSize(in.c_str(), &width, &height) != 0) {
        std::printf("%s: skipped, not a picture\n", name.c_str());
        ++*skipped;
        return true;
    }
    KPL_CreateImageBuffer(kPicture, width, height, 32);  // made current
    KPL_LoadImage(in.c_str(), 0, 0);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    KPL_GetImageBlock(pixels.data(), 0, 0, width, height);

    std::vector<uint8_t> grey(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) {
        int32_t y, cr, cb;
        KPL_RgbToYCrCb(static_cast<int32_t>(pixels[i]), &y, &cr, &cb);
        grey[i] = static_cast<uint8_t>(std::clamp(y, 0, 255));
    }
    KPL_CreateImageBuffer(kGrey, width, height, 8);  // made current
    uint32_t ramp[256];
    for (uint32_t i = 0; i < 256; ++i) ramp[i] = i * 0x010101;  // index i is grey level i
    KPL_SetPalette(ramp, 256);
    KPL_PutImageBlock(grey.data(), 0, width, height);

    // The label, in the bitmap font; in an 8-bit image colours are indexes.
    kpl_tc = 255;  // white
    kaplo::image_text_cursor = {2, 2, height - 2};
    KPL_DrawTextf("%s %dx%d", name.c_str(), width, height);

    const fs::path out = out_folder / fs::path(name).replace_extension(".png");
    const bool saved = KPL_SaveImage(3, out.c_str(), width, height) == 0;
    std::printf("%s: %d x %d -> %s%s\n", name.c_str(), width, height, out.c_str(),
                saved ? "" : " FAILED");
    if (saved) ++*converted;
    KPL_DestroyImage(kGrey);
    KPL_DestroyImage(kPicture);
    return saved;
}

}  // namespace

// The framework calls this first, on the main thread; the worker thread
// that would run UserInit does not exist yet, so the image calls are ours.
int UserCommandLine(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kaplo-batch IN_FOLDER OUT_FOLDER\n");
        return 2;
    }
    std::error_code error;
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(argv[1], error))
        if (entry.is_regular_file()) files.push_back(entry.path());
    if (!error) fs::create_directories(argv[2], error);
    if (error) {
        std::fprintf(stderr, "kaplo-batch: %s\n", error.message().c_str());
        return 2;
    }
    std::sort(files.begin(), files.end());  // a stable order for the report

    int converted = 0, skipped = 0, failed = 0;
    for (const fs::path& file : files)
        if (!convert(file, argv[2], &converted, &skipped)) ++failed;
    std::printf("%d converted, %d skipped, %d failed\n", converted, skipped, failed);
    return failed ? 1 : 0;
}

// Never reached: UserCommandLine always ends the program.
void UserInit() {}
void UserMain() {}
