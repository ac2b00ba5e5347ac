#include "sound_tool.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

extern char** environ;

namespace depth {

namespace {

std::string on_path(const char* program) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty()) continue;
        std::string candidate = folder + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

// Runs args[0] (a full path) without input, in a process group of its own
// (Ctrl+C at the terminal reaches this process alone, which then ends the
// child), collecting the end of what it prints. `*status` is its exit status
// when it ran to its end.
ToolResult run_tool(const std::vector<std::string>& args, const std::atomic<int>* stop,
                    std::string* printed, int* status) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return ToolResult::Failed;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t child = -1;
    const int spawned = posix_spawn(&child, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        *printed = std::strerror(spawned);
        return ToolResult::Failed;
    }

    bool interrupted = false;
    for (;;) {
        if (stop && stop->load() != 0) {
            interrupted = true;
            ::kill(child, SIGKILL);
            break;
        }
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;  // nothing yet, or a signal
        char buffer[4096];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // the child closed its output: it is ending
        printed->append(buffer, static_cast<size_t>(n));
        if (printed->size() > 8192) printed->erase(0, printed->size() - 4096);
    }
    ::close(out[0]);
    int wait_status = 0;
    while (::waitpid(child, &wait_status, 0) < 0 && errno == EINTR) {
    }
    if (interrupted) return ToolResult::Interrupted;
    *status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    return ToolResult::Done;
}

// The last non-empty line a tool printed, for a one-line message.
std::string last_line(const std::string& printed) {
    const size_t end = printed.find_last_not_of("\r\n");
    if (end == std::string::npos) return "no message";
    const size_t newline = printed.find_last_of('\n', end);
    const size_t start = newline == std::string::npos ? 0 : newline + 1;
    return printed.substr(start, end - start + 1);
}

// Audio formats each container takes as they are; others are re-encoded.
bool container_takes(Container container, const std::string& codec) {
    static constexpr std::array<const char*, 5> avi = {"mp3", "mp2", "ac3", "pcm_s16le", "pcm_u8"};
    static constexpr std::array<const char*, 5> mp4 = {"aac", "mp3", "ac3", "eac3", "alac"};
    const auto& takes = container == Container::Avi ? avi : mp4;
    return std::any_of(takes.begin(), takes.end(), [&](const char* c) { return codec == c; });
}

}  // namespace

SoundTools find_sound_tools() {
    return {on_path("ffmpeg"), on_path("ffprobe")};
}

ToolResult plan_sound(const SoundTools& tools, const char* input, Container container,
                      const std::atomic<int>* stop, SoundPlan* plan, std::string* why) {
    std::string printed;
    int status = -1;
    const ToolResult r =
        run_tool({tools.ffprobe, "-v", "quiet", "-select_streams", "a", "-show_entries",
                  "stream=codec_name", "-of", "csv=p=0", plain_file_path(input)},
                 stop, &printed, &status);
    if (r != ToolResult::Done) return r;
    if (status != 0) {
        *why = "ffprobe cannot read the sound of " + std::string(input);
        return ToolResult::Failed;
    }
    *plan = {};
    plan->copy = true;
    std::stringstream lines(printed);
    std::string codec;
    while (std::getline(lines, codec)) {
        if (codec.empty()) continue;
        plan->has_sound = true;
        plan->copy = plan->copy && container_takes(container, codec);
    }
    return ToolResult::Done;
}

ToolResult add_sound(const SoundTools& tools, const SoundPlan& plan, const std::string& pictures,
                     const char* input, const std::string& output, Container container,
                     const std::atomic<int>* stop, std::string* why) {
    const char* codec = plan.copy ? "copy" : container == Container::Mp4 ? "aac" : "pcm_s16le";
    std::string printed;
    int status = -1;
    const ToolResult r =
        run_tool({tools.ffmpeg, "-nostdin", "-hide_banner", "-v", "error", "-y", "-i",
                  plain_file_path(pictures), "-i", plain_file_path(input), "-map", "0:v:0", "-map",
                  "1:a", "-c:v", "copy", "-c:a", codec, plain_file_path(output)},
                 stop, &printed, &status);
    if (r != ToolResult::Done) return r;
    if (status != 0) {
        *why = "ffmpeg could not add the sound: " + last_line(printed);
        return ToolResult::Failed;
    }
    return ToolResult::Done;
}

}  // namespace depth
