// Image files through the real picture codecs: round trips through every
// format, colour tables of 8-bit images, the extension rule, pictures made by
// another program, files that claim more than they hold (every cut of a good
// file, crafted headers, the regression files of the fuzz corpus), and saves
// that keep what the target was: its mode, its links, its protection, or
// fail whole.

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "image/image_files.h"
#include "image_fixture.h"
#include "platform/codecs.h"

namespace {

namespace fs = std::filesystem;
namespace pf = kaplo::platform;
using Bytes = std::vector<uint8_t>;

enum Format { kBmp = 0, kJpeg = 1, kGif = 2, kPng = 3, kTiff = 4 };

const fs::path kCorpus = KAPLO_PICTURE_CORPUS;
constexpr pf::DecodeLimits kLimits{kaplo::kMaxImageSide, kaplo::kMaxImageBytes};

Bytes read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_bytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// Runs `fn` in a child process: its result, or -1 when the child did not
// end normally (a signal ended it).
int in_child(const std::function<int()>& fn) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(fn());
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// Runs `fn` as a user whom permissions bind: in a child process that has
// given the superuser's rights up, or here for anyone else.
int unprivileged(const std::function<int()>& fn) {
    if (::geteuid() != 0) return fn();
    return in_child([&] { return ::setgid(65534) != 0 || ::setuid(65534) != 0 ? 99 : fn(); });
}

// Many distinct colours (more than a GIF palette holds) and a top byte that
// files do not keep; a smooth picture for the lossy formats; 16 colours, exact
// in every indexed format.
int32_t many_colours(int x, int y) {
    return static_cast<int32_t>(0xAB000000u) |
           rgb((x * 7) & 255, (y * 11) & 255, (x * y + 3) & 255);
}
int32_t smooth(int x, int y) {
    return rgb(x * 4, y * 5, 128);
}
int32_t sixteen_colours(int x, int y) {
    const int k = (x / 3 + y / 2) % 16;
    return rgb(k * 17, 255 - k * 13, (k * 97) & 255);
}

class FilesTest : public ImageTest {
  protected:
    void SetUp() override {
        ImageTest::SetUp();
        char pattern[] = "/tmp/kaplo_files_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        kaplo::jpeg_quality = 100;
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
        kaplo::jpeg_quality = 100;
        ImageTest::TearDown();
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // Sets every pixel of the current image to colour(x, y).
    static void paint(const std::function<int32_t(int, int)>& colour) {
        const auto& rec = kaplo::image_table[kaplo::current_image()];
        for (int y = 0; y < rec.height; ++y)
            for (int x = 0; x < rec.width; ++x) KPL_SetPixel(x, y, colour(x, y));
    }
    static void fill(int32_t c) {
        paint([=](int, int) { return c; });
    }

    // Names in a folder (by default the test's), sorted.
    std::vector<std::string> listing(const fs::path& folder = {}) const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(folder.empty() ? dir_ : folder))
            out.push_back(e.path().filename());
        std::sort(out.begin(), out.end());
        return out;
    }

    fs::path dir_;
};

double mean_channel_error(const std::vector<int32_t>& a, const std::vector<int32_t>& b,
                          int* worst) {
    double sum = 0;
    *worst = 0;
    for (size_t i = 0; i < a.size(); ++i)
        for (int s = 0; s < 24; s += 8) {
            const int d = std::abs(((a[i] >> s) & 255) - ((b[i] >> s) & 255));
            sum += d;
            *worst = std::max(*worst, d);
        }
    return sum / (3.0 * static_cast<double>(a.size()));
}

// ---------------------------------------------------------------------------
// Round trips of 32-bit images

// Lossless formats keep every pixel of a picture of many colours in 24-bit
// files (the top byte is not kept), GIF those of 16 colours; a smooth picture
// comes back close through JPEG. Each file's header gives its size before a
// load.
TEST_F(FilesTest, RoundTripsThroughEveryFormat) {
    const struct {
        int format;
        const char* name;
        int32_t (*colour)(int, int);
        double mean;  // channel error; 0 with a worst of 0: exact
        int worst;
    } cases[] = {
        {kBmp, "a.bmp", many_colours, 0, 0},  {kPng, "a.png", many_colours, 0, 0},
        {kTiff, "a.tif", many_colours, 0, 0}, {kGif, "few.gif", sixteen_colours, 0, 0},
        {kJpeg, "q100.jpg", smooth, 2.0, 12},
    };
    for (const auto& c : cases) {
        kaplo::image_store_reset_for_tests();
        make(0, 64, 48);
        paint(c.colour);
        std::vector<int32_t> original = snapshot();
        for (int32_t& p : original) p &= 0x00FFFFFF;
        EXPECT_EQ(KPL_SaveImage(c.format, path(c.name).c_str(), 64, 48), 0) << c.name;
        int w = 0, h = 0, worst = 0;
        EXPECT_EQ(KPL_GetImageFileSize(path(c.name).c_str(), &w, &h), 0) << c.name;
        EXPECT_EQ(std::pair(w, h), std::pair(64, 48)) << c.name;
        make(1, 64, 48);
        EXPECT_EQ(KPL_LoadImage(path(c.name).c_str(), 0, 0), 0) << c.name;
        EXPECT_LE(mean_channel_error(original, snapshot(), &worst), c.mean) << c.name;
        EXPECT_LE(worst, c.worst) << c.name;
    }
    EXPECT_EQ(KPL_GetImageFileSize(path("a.png").c_str(), nullptr, nullptr), 0);
    EXPECT_EQ(read_bytes(dir_ / "a.bmp").at(28), 24);  // bits a pixel
    EXPECT_EQ(read_bytes(dir_ / "a.png").at(25), 2);   // RGB, no alpha
    KPL_SelectImage(0);
    paint(many_colours);  // detail that a low quality throws away
    ASSERT_EQ(KPL_SaveImage(kJpeg, path("hi.jpg").c_str(), 64, 48), 0);
    kaplo::jpeg_quality = 10;
    ASSERT_EQ(KPL_SaveImage(kJpeg, path("lo.jpg").c_str(), 64, 48), 0);
    EXPECT_LT(fs::file_size(dir_ / "lo.jpg") * 2, fs::file_size(dir_ / "hi.jpg"));
}

// ---------------------------------------------------------------------------
// 8-bit images: colour tables and row strides

// The colour table of the current 8-bit image.
std::vector<uint32_t> palette() {
    std::vector<uint32_t> table(256);
    EXPECT_EQ(KPL_GetPalette(table.data()), 0);
    return table;
}

std::vector<uint32_t> grey_ramp() {
    std::vector<uint32_t> table(256);
    for (uint32_t i = 0; i < 256; ++i) table[i] = i * 0x010101u;
    return table;
}

// A 5-pixel-wide 8-bit image (rows padded to 8 bytes) with indexes that differ
// in every column, through every indexed format, with a colour table unlike
// the grey ramp or (PNG and TIFF write greyscale files then) the start-up
// ramp: into an 8-bit image with another table the table and indexes come
// back, into a 32-bit one the colours, row by row.
TEST_F(FilesTest, EightBitTablesAndIndexesSurviveEveryIndexedFormat) {
    std::vector<uint32_t> coloured(256), red(256, 0xFF0000);
    for (int i = 0; i < 256; ++i) coloured[i] = rgb(i, 255 - i, (i * 37) & 255);
    for (const auto& [format, name, grey] : {std::tuple{kBmp, "p.bmp", false},
                                             {kPng, "p.png", false},
                                             {kGif, "p.gif", false},
                                             {kTiff, "g.tif", true}}) {
        kaplo::image_store_reset_for_tests();
        const std::vector<uint32_t> table = grey ? grey_ramp() : coloured;
        make(0, 5, 7, 8);
        ASSERT_EQ(KPL_SetPalette(table.data(), 256), 0);
        paint([](int x, int y) { return (x * 50 + y * 3 + 1) & 255; });
        const std::vector<int32_t> indexes = snapshot();
        ASSERT_EQ(KPL_SaveImage(format, path(name).c_str(), 5, 7), 0) << name;
        make(1, 5, 7, 8);
        ASSERT_EQ(KPL_SetPalette(red.data(), 256), 0);
        ASSERT_EQ(KPL_LoadImage(path(name).c_str(), 0, 0), 0) << name;
        EXPECT_EQ(snapshot(), indexes) << name;
        EXPECT_EQ(palette(), table) << name;
        make(2, 5, 7);
        ASSERT_EQ(KPL_LoadImage(path(name).c_str(), 0, 0), 0);
        std::vector<int32_t> colours;
        for (int32_t i : indexes) colours.push_back(static_cast<int32_t>(table[i]));
        EXPECT_EQ(snapshot(), colours) << name;
    }
}

// ---------------------------------------------------------------------------
// Names

TEST_F(FilesTest, NamesGetTheirExtensionUpToAFolderEntrysLimit) {
    make(0, 2, 2);
    const fs::path cwd = fs::current_path();
    fs::current_path(dir_);
    // The extension is added unless the last four characters are it (in any
    // case); names of fewer than four characters always get it; a folder
    // entry holds 255 bytes.
    std::vector<std::string> names = {"ab.png", "UP.BMP", "scan.tiff.tif", "x.bmp.png"};
    for (const auto& [format, name] :
         {std::pair{kPng, "ab"}, {kBmp, "UP.BMP"}, {kTiff, "scan.tiff"}, {kPng, "x.bmp"}})
        EXPECT_EQ(KPL_SaveImage(format, name, 2, 2), 0) << name;
    // A name without a file part would be the extension alone, a hidden ".png".
    EXPECT_EQ(KPL_SaveImage(kPng, "", 2, 2), 1);
    names.push_back(std::string(251, 'c') + ".png");
    EXPECT_EQ(KPL_SaveImage(kPng, names.back().c_str(), 2, 2), 0);
    fs::current_path(cwd);
    const std::string longer = path(std::string(260 - dir_.string().size(), 'm'));  // 261 units
    EXPECT_EQ(KPL_SaveImage(kPng, longer.c_str(), 2, 2), 1);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(listing(), names);
}

// ---------------------------------------------------------------------------
// Pictures made by another program: transparent parts leave the image as it
// was

TEST_F(FilesTest, EveryForeignLayoutLoads) {
    if (std::system("convert -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    make(0, 24, 16);
    paint(sixteen_colours);
    const std::vector<int32_t> source = snapshot();
    ASSERT_EQ(KPL_SaveImage(kPng, path("source.png").c_str(), 24, 16), 0);
    const int32_t clear = source[0], marker = rgb(9, 8, 7);
    std::vector<int32_t> expected = source;
    std::replace(expected.begin(), expected.end(), clear, marker);
    char transparent[32];
    std::snprintf(transparent, sizeof transparent, "-transparent '#%06X'", clear);
    for (const char* name : {"t.gif", "t.png", "t.bmp"}) {  // the bitmap with alpha bit fields
        const std::string cmd = "convert '" + path("source.png") + "' " + transparent + " '" +
                                path(name) + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        kaplo::release_image_slot(1);
        make(1, 24, 16);
        fill(marker);
        EXPECT_EQ(KPL_LoadImage(path(name).c_str(), 0, 0), 0) << name;
        EXPECT_EQ(snapshot(), expected) << name;
    }
}

// ---------------------------------------------------------------------------
// Files that claim more than they hold: no picture, and the image untouched

// Runs of two alternating values, a literal run padded to 16 bits, a move, end
// of line and of bitmap; what no run sets is index 0.
TEST_F(FilesTest, BmpRunsLoadWithUnsetPixelsAtIndexZero) {
    make(2, 6, 3, 8);
    ASSERT_EQ(KPL_LoadImage((kCorpus / "bmp-rle4-moves-and-literals.bmp").c_str(), 0, 0), 0);
    EXPECT_EQ(snapshot(),
              (std::vector<int32_t>{0, 0, 0, 0, 0, 9, 3, 4, 5, 6, 7, 0, 1, 2, 1, 2, 1, 0}));
    EXPECT_EQ(palette()[9], 9u * 17 * 0x010101u);
}

// Sizes past the gate are refused from the header; a 16-bit PNG counts twice
// the bytes, a TIFF strip of 800 MB too many. Pixels missing: runs without
// their end, a 2 GiB text chunk in a file of 44 bytes, a palette TIFF without
// its map (libtiff makes it grey), 4 bytes of JPEG data for 8192 x 8192
// pixels, a brightness scan alone in a colour JPEG. A TGA without its footer,
// whose first bytes look like an icon's, to Qt's icon reader too. The first is
// made here.
TEST_F(FilesTest, FilesThatClaimMoreThanTheyHoldAreRefused) {
    const std::vector<std::string> too_large = {
        "png-100000-square.png", "png-16bit-8192-square.png",   "tiff-strip-of-800-mb.tif",
        "bmp-100000-square.bmp", "gif-screen-60000-square.gif", "jpeg-too-many-scans.jpg"};
    const std::vector<std::string> unreadable = {"garbage.png",
                                                 "bmp-rle8-no-end-marker.bmp",
                                                 "bmp-8192-square-no-pixels.bmp",
                                                 "png-text-chunk-2gib.png",
                                                 "tga-without-footer.tga",
                                                 "tiff-palette-without-colour-map.tif",
                                                 "jpeg-8192-square-4-bytes-of-data.jpg",
                                                 "jpeg-colour-components-without-a-scan.jpg"};
    Bytes garbage(300);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 131 + 7);
    write_bytes(dir_ / "garbage.png", garbage);
    make(1, 10, 10);
    fill(0x445566);
    const std::vector<int32_t> before = snapshot();
    for (const auto& [names, status] : {std::pair{&too_large, pf::DecodeStatus::TooLarge},
                                        {&unreadable, pf::DecodeStatus::Unreadable}})
        for (const std::string& name : *names) {
            const std::string file = (fs::exists(dir_ / name) ? dir_ : kCorpus) / name;
            pf::Picture pic;
            EXPECT_EQ(pf::decode_picture(file, kLimits, &pic), status) << name;
            EXPECT_EQ(pic.width, 0) << name;
            int32_t w = -1, h = -1;
            EXPECT_FALSE(pf::picture_size(file, kLimits, &w, &h)) << name;
            EXPECT_EQ(std::pair(w, h), std::pair(0, 0)) << name;
            EXPECT_EQ(KPL_LoadImage(file.c_str(), 0, 0), 1) << name;
            EXPECT_EQ(snapshot(), before) << name;
        }
    fs::create_directory(dir_ / "folder.png");
    ASSERT_EQ(::mkfifo(path("fifo.png").c_str(), 0600), 0);  // must not block the load
    for (const char* name : {"missing.png", "folder.png", "fifo.png"})
        EXPECT_EQ(KPL_LoadImage(path(name).c_str(), 0, 0), 1) << name;
    EXPECT_EQ(KPL_LoadImage(nullptr, 0, 0), 1);
    EXPECT_EQ(snapshot(), before);
    int w = 5, h = 5;
    EXPECT_EQ(KPL_GetImageFileSize(path("garbage.png").c_str(), &w, &h), 1);
    EXPECT_EQ(w + h, 0);
    EXPECT_EQ(KPL_GetImageFileSize(nullptr, nullptr, nullptr), 1);
}

TEST_F(FilesTest, EveryCutOfAPictureFileIsNoPictureOrTheWholePicture) {
    // Files of every format the framework writes (TIFF with a colour map
    // too, whose cuts libtiff would read as grey), and layouts it does not
    // write; each cut is decoded from memory, as files are, and drawn.
    make(0, 12, 9);
    paint(many_colours);
    std::vector<fs::path> files;
    for (const char* name : {"c.bmp", "c.jpg", "c.gif", "c.png", "c.tif"}) {
        files.push_back(dir_ / name);
        ASSERT_EQ(KPL_SaveImage(static_cast<int>(files.size() - 1), path(name).c_str(), 12, 9), 0);
    }
    make(2, 12, 9, 8);
    uint32_t table[256];
    for (uint32_t i = 0; i < 256; ++i) table[i] = (i * 0x030507u) & 0xFFFFFFu;
    ASSERT_EQ(KPL_SetPalette(table, 256), 0);
    paint([](int x, int y) { return x * 16 + y; });
    files.push_back(dir_ / "c8.tif");
    ASSERT_EQ(KPL_SaveImage(kTiff, files.back().c_str(), 12, 9), 0);
    for (const char* name :
         {"rle8.bmp", "bmp-rle4-moves-and-literals.bmp", "progressive.jpg", "icon.ico",
          "interlaced.gif", "lzw.tif", "x-bitmap.xbm", "png-16bit-rgb.png", "tga-2-rgb.tga"})
        files.push_back(kCorpus / name);

    make(1, 20, 20);
    const int32_t marker = rgb(1, 2, 3);
    fill(marker);
    const std::vector<int32_t> untouched = snapshot();
    for (const fs::path& file : files) {
        const Bytes whole = read_bytes(file);
        ASSERT_EQ(KPL_LoadImage(file.c_str(), 0, 0), 0) << file;
        const std::vector<int32_t> picture = snapshot();
        // The size read from the file alone is the picture's.
        pf::Picture pic;
        int32_t w = 0, h = 0;
        ASSERT_EQ(pf::decode_picture(file, kLimits, &pic), pf::DecodeStatus::Ok);
        EXPECT_TRUE(pf::picture_size(file, kLimits, &w, &h));
        EXPECT_EQ(std::pair(w, h), std::pair(pic.width, pic.height)) << file;
        for (size_t size = 0; size < whole.size(); ++size) {
            fill(marker);
            if (pf::decode_picture_bytes(whole.data(), size, kLimits, &pic) ==
                pf::DecodeStatus::Ok) {
                EXPECT_EQ(kaplo::load_picture(pic, 0, 0), 0);
            }
            EXPECT_EQ(snapshot(), pic.width ? picture : untouched)
                << file.filename() << " cut to " << size << " bytes";
        }
        fill(marker);
    }
}

// ---------------------------------------------------------------------------
// Saving: the whole file or nothing, to what the name leads to, as it was

TEST_F(FilesTest, FailedSavesReturnTheirCodeAndLeaveNoFile) {
    make(0, 4, 4);
    paint(many_colours);
    EXPECT_EQ(KPL_SaveImage(kPng, path("missing/dir/x").c_str(), 4, 4), 1);

    // A folder where the file should go: nothing replaces it, nothing is left.
    fs::create_directory(dir_ / "taken.png");
    write_bytes(dir_ / "taken.png" / "inside", {1});
    EXPECT_EQ(KPL_SaveImage(kPng, path("taken.png").c_str(), 4, 4), 1);
    EXPECT_EQ(listing(), std::vector<std::string>{"taken.png"});
    EXPECT_TRUE(fs::exists(dir_ / "taken.png" / "inside"));

    const std::string f = path("f");
    const std::tuple<int, const char*, int, int, int> cases[] = {
        {5, f.c_str(), 4, 4, 1},
        {kPng, nullptr, 4, 4, 1},
        {kPng, f.c_str(), 0, 4, 2},
        {kPng, f.c_str(), 100000, 100000, 1}};
    for (const auto& [format, name, w, h, code] : cases)
        EXPECT_EQ(KPL_SaveImage(format, name, w, h), code) << format << " " << w << "x" << h;
    // Without a live current image (a freed one, as destruction leaves it, or
    // one never made), loads and saves of any size report it.
    for (int number : {0, 5}) {
        kaplo::release_image_slot(0);
        KPL_SelectImage(number);
        EXPECT_EQ(KPL_LoadImage(path("x.png").c_str(), 0, 0), 2);
        EXPECT_EQ(KPL_SaveImage(kPng, f.c_str(), 4 * number, 4), 3);
    }
    EXPECT_EQ(listing().size(), 1u);
}

TEST_F(FilesTest, SaveWritesWhatTheNameLeadsToAndKeepsItsMode) {
    make(0, 30, 20);
    paint(many_colours);
    ASSERT_EQ(KPL_SaveImage(kPng, path("r.png").c_str(), 30, 20), 0);  // a larger picture
    write_bytes(dir_ / "private.png", {1});
    fs::permissions(dir_ / "private.png", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directory(dir_ / "sub");
    write_bytes(dir_ / "sub" / "target.png", {1});
    fs::create_symlink("sub/target.png", dir_ / "link.png");
    fs::create_symlink("sub/new.png", dir_ / "dangling.png");

    make(1, 2, 2);
    KPL_SetPixel(0, 0, 0x00FF00);
    for (const char* name : {"r.png", "private.png", "link.png", "dangling.png"})
        ASSERT_EQ(KPL_SaveImage(kPng, path(name).c_str(), 2, 2), 0) << name;
    int number = 2;
    for (const char* name : {"r.png", "private.png", "sub/target.png", "sub/new.png"}) {
        make(number++, 2, 2);
        ASSERT_EQ(KPL_LoadImage(path(name).c_str(), 0, 0), 0) << name;
        EXPECT_EQ(snapshot(), (std::vector<int32_t>{0x00FF00, 0, 0, 0})) << name;
    }
    EXPECT_EQ(fs::status(dir_ / "private.png").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.png") && fs::is_symlink(dir_ / "dangling.png"));
    // No temporary file is left behind, here or beside a link's target.
    EXPECT_EQ(listing(), (std::vector<std::string>{"dangling.png", "link.png", "private.png",
                                                   "r.png", "sub"}));
    EXPECT_EQ(listing(dir_ / "sub"), (std::vector<std::string>{"new.png", "target.png"}));
}

TEST_F(FilesTest, SavesThePermissionsForbidChangeNothing) {
    make(0, 4, 4);
    const fs::path locked = dir_ / "locked", open = dir_ / "open";
    fs::create_directory(locked);
    fs::create_directory(open);
    write_bytes(open / "protected.png", {1, 2, 3});
    using P = fs::perms;
    fs::permissions(dir_, P::all & ~P::group_write & ~P::others_write);
    fs::permissions(locked, P::owner_read | P::owner_exec | P::others_read | P::others_exec);
    fs::permissions(open, P::all);  // only the file's own protection stands in the way
    fs::permissions(open / "protected.png", P::owner_read | P::group_read | P::others_read);
    const int results = unprivileged([&] {
        return KPL_SaveImage(kPng, (locked / "x.png").c_str(), 4, 4) * 10 +
               KPL_SaveImage(kPng, (open / "protected.png").c_str(), 4, 4);
    });
    EXPECT_EQ(results, 11);
    EXPECT_TRUE(fs::is_empty(locked));
    EXPECT_EQ(listing(open), std::vector<std::string>{"protected.png"});
    EXPECT_EQ(read_bytes(open / "protected.png"), (Bytes{1, 2, 3}));
}

TEST_F(FilesTest, SaveOverTheFileSizeLimitFailsAndLeavesNothing) {
    make(0, 64, 64);
    paint(many_colours);
    const int results = in_child([&] {
        const rlimit limit{4096, 4096};  // a 64 x 64 BMP takes 12 kB
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 99;
        int code = KPL_SaveImage(kBmp, path("big").c_str(), 64, 64) * 10 +
                   KPL_SaveImage(kBmp, path("small").c_str(), 8, 8);
        // The signal is neither held back nor waiting once the save is over.
        sigset_t blocked, pending;
        ::pthread_sigmask(SIG_BLOCK, nullptr, &blocked);
        ::sigpending(&pending);
        if (sigismember(&blocked, SIGXFSZ) || sigismember(&pending, SIGXFSZ)) code += 50;
        return code;
    });
    EXPECT_EQ(results, 10);
    EXPECT_EQ(listing(), std::vector<std::string>{"small.bmp"});
}

// A PNG of 4 x 4 pixels with 25 text chunks that inflate to 7.9 MB each: the
// decoder is never given them (nor any ancillary chunk but tRNS), so neither
// a load nor a size query nor a picture from memory, as the clipboard gives
// it, inflates them (libpng would inflate every one, and Qt keep each as text).
TEST_F(FilesTest, TextChunksOfAPngAreNeverInflated) {
    const auto deflate = [](const Bytes& in) {
        uLongf size = compressBound(static_cast<uLong>(in.size()));
        Bytes out(size);
        EXPECT_EQ(compress2(out.data(), &size, in.data(), in.size(), 9), Z_OK);
        return Bytes(out.begin(), out.begin() + static_cast<long>(size));
    };
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto chunk = [&png](const char* type, const Bytes& data) {
        for (int shift = 24; shift >= 0; shift -= 8) png.push_back(uint8_t(data.size() >> shift));
        const size_t start = png.size();
        png.insert(png.end(), type, type + 4);
        png.insert(png.end(), data.begin(), data.end());
        const uLong crc = crc32(0, png.data() + start, static_cast<uInt>(png.size() - start));
        for (int shift = 24; shift >= 0; shift -= 8) png.push_back(uint8_t(crc >> shift));
    };
    Bytes text = {'k', 0, 0}, rows;  // keyword, its end, deflate
    const Bytes inflating = deflate(Bytes(7'900'000, 'a'));
    text.insert(text.end(), inflating.begin(), inflating.end());
    for (int y = 0; y < 4; ++y) {
        rows.push_back(0);  // no filter
        for (int x = 0; x < 4; ++x)
            rows.insert(rows.end(), {uint8_t(x * 60), uint8_t(y * 60), 100});
    }
    chunk("IHDR", {0, 0, 0, 4, 0, 0, 0, 4, 8, 2, 0, 0, 0});
    for (int i = 0; i < 25; ++i) chunk("zTXt", text);
    chunk("IDAT", deflate(rows));
    chunk("IEND", {});
    write_bytes(dir_ / "text.png", png);

    make(1, 4, 4);
    const auto read_everywhere = [&] {
        int w = 0, h = 0;
        pf::Picture pic;
        return KPL_LoadImage(path("text.png").c_str(), 0, 0) == 0 &&
               KPL_GetImageFileSize(path("text.png").c_str(), &w, &h) == 0 && w == 4 && h == 4 &&
               pf::decode_picture_bytes(png.data(), png.size(), kLimits, &pic) ==
                   pf::DecodeStatus::Ok;
    };
    // The memory the three take, in MiB, measured in a process of its own.
    const int grown = in_child([&] {
        rusage before{}, after{};
        ::getrusage(RUSAGE_SELF, &before);
        if (!read_everywhere()) return 255;
        ::getrusage(RUSAGE_SELF, &after);
        return static_cast<int>(std::min<long>((after.ru_maxrss - before.ru_maxrss) / 1024, 254));
    });
    EXPECT_LT(grown, 64);
    ASSERT_TRUE(read_everywhere());
    EXPECT_EQ(KPL_GetPixel(3, 2), rgb(180, 120, 100));
}

}  // namespace
