// kaplo-depth's run state on the real framework (Qt offscreen): the program's
// own routines, driven through the main window's commands by a driver
// thread. Arguments: scenario name, video file. Prints "scenario passed".
#include <ctime>
#include <filesystem>
#include <vector>

#include "app/depth_frame.h"
#include "app/depth_program.h"
#include "tests/driver.h"

namespace pf = kaplo::platform;

namespace {

std::atomic<int> main_returns{0};

depth::ProgramStats& stats = depth::program_stats();

void start() {
    start_run();
    CHECK(eventually([] { return kpl_running == 1; }));
}
void stop() {
    const int returns = main_returns;
    main_command(kStop);
    CHECK(eventually([&] { return main_returns == returns + 1 && kpl_running == 0; }));
}
bool frames_at_least(int n) {
    return eventually([n] { return stats.frames >= n; });
}
void close_window(pf::WindowId w) {
    pf::Message close;
    close.type = pf::MsgType::Close;
    pf::post(w, close);
}

// Read while the worker idles between runs (after Stop): the run's last
// frame is in all three images.
bool images_agree(int w, int h) {
    if (!depth::frame_slots_match(w, h)) return false;
    const uint32_t* src = kaplo::pixels32[0];
    const uint32_t* dep = kaplo::pixels32[1];
    const uint32_t* conv = kaplo::pixels32[2];
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t p = src[y * w + x];
            const uint32_t v = std::max({(p >> 16) & 255, (p >> 8) & 255, p & 255});
            if (dep[y * w + x] != v * 0x010101u) return false;
            if (conv[y * 2 * w + w + x] != p) return false;
        }
    return true;
}

// The status line without the centring spaces.
std::string status() {
    const std::string s = status_text();
    return s.substr(std::min(s.find_first_not_of(' '), s.size()));
}
bool status_starts(const std::string& prefix) {
    return eventually([&] { return status().rfind(prefix, 0) == 0; });
}

void play_stop_resume() {
    start();
    // The 5-frame video plays 0 1 2 3 4 0 1 ...: after the last frame the
    // next one is frame 0 again.
    std::vector<int> seen;
    eventually([&] {
        const int p = stats.last_position;
        if (p >= 0 && (seen.empty() || seen.back() != p)) seen.push_back(p);
        return seen.size() >= 8;
    });
    bool wrapped = false;
    for (size_t i = 1; i < seen.size(); ++i) {
        CHECK(seen[i] == (seen[i - 1] + 1) % 5);
        wrapped = wrapped || (seen[i - 1] == 4 && seen[i] == 0);
    }
    CHECK(wrapped);
    // The status line says what the player does (its texts: PlayerStatus).
    CHECK(status_starts("playing  frame "));
    stop();
    CHECK(status() == "stopped  frame " + std::to_string(stats.last_position + 1) + "/5");
    // Stop ends the run after the frame in progress: nothing more comes.
    const int frames = stats.frames, position = stats.last_position;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    CHECK(stats.frames == frames);
    CHECK(images_agree(64, 48));
    int32_t windows[3];
    for (int i = 0; i < 3; ++i) windows[i] = kaplo::image_table[i].window;
    // A second Start keeps the windows and goes on with the next frame.
    start();
    CHECK(frames_at_least(frames + 1));
    stop();
    // The first frame of the new run follows the last one of the old.
    CHECK(stats.last_position == (position + stats.frames - frames) % 5);
    for (int i = 0; i < 3; ++i) CHECK(kaplo::image_table[i].window == windows[i]);
    CHECK(stats.recreated == 0);
}

void missing_video() {
    // The greeting is replaced by the load failure (text window 0's log),
    // and a second line names the folder looked in and how to pass a video.
    CHECK(eventually(
        [] { return read_file("KAPLO00.LOG").find("Can't load") != std::string::npos; }));
    const std::string folder = std::filesystem::current_path().string();
    CHECK(read_file("KAPLO00.LOG")
              .find("Looked in " + folder + ". Play another video with: kaplo-depth VIDEO") !=
          std::string::npos);
    start();
    CHECK(status_starts("playing  no video"));
    CHECK(eventually([] { return stats.idle_waits >= 5; }));
    // Without frames the loop sleeps between turns instead of spinning.
    const std::clock_t cpu0 = std::clock();  // the process's processor time
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const double busy =
        double(std::clock() - cpu0) / CLOCKS_PER_SEC /
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("cpu share while idle: %.2f\n", busy);
    CHECK(busy < 0.5);
    CHECK(stats.frames == 0);
    stop();
}

void close_windows() {
    start();
    CHECK(frames_at_least(2));
    // The user closes "depth" during playback: the next frame makes it
    // again; no other image takes its pixels.
    const int32_t depth_window = kaplo::image_table[1].window;
    const int frames = stats.frames;
    close_window(depth_window);
    CHECK(eventually([] { return stats.recreated >= 1; }));
    CHECK(frames_at_least(frames + 3));
    stop();
    CHECK(kaplo::image_table[1].window != depth_window);
    CHECK(pf::is_window(kaplo::image_table[1].window));
    CHECK(images_agree(64, 48));
}

// Exit while the video plays: the process must end (exit code 0) by itself.
void exit_during_playback() {
    start();
    CHECK(frames_at_least(2));
}

}  // namespace

void UserInit() {
    if (KPL_ArgCount() > 2) depth::set_video_name(KPL_Arg(2));
    // Text window 0 logged from its first line, so the greeting can be read.
    KPL_OpenTextWindow(0, 672, 0, 152, 469);
    KPL_StartLog(0);
    depth::program_init();
    std::thread([] {
        run_scenario({{"play_stop_resume", play_stop_resume},
                      {"missing_video", missing_video},
                      {"close_window", close_windows},
                      {"exit_during_playback", exit_during_playback}});
    }).detach();
}

void UserMain() {
    depth::program_main();
    ++main_returns;
}
