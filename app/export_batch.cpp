#include "export_batch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

extern "C" {
#include <libavutil/log.h>
}

#include "export_progress.h"
#include "interrupt.h"
#include "output_file.h"
#include "video_probe.h"

namespace depth {

namespace {

std::string file_name(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Makes the batch's folder when missing; false after one line saying why
// it cannot be made or written into.
bool make_folder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder)) {
        std::fprintf(stderr, "kaplo-depth: cannot make the folder %s: %s\n", folder.c_str(),
                     std::filesystem::exists(folder) || !error ? "a file has that name"
                                                               : error.message().c_str());
        return false;
    }
    if (access(folder.c_str(), W_OK | X_OK) == 0) return true;
    std::fprintf(stderr, "kaplo-depth: cannot write into the folder %s: %s\n", folder.c_str(),
                 std::strerror(errno));
    return false;
}

bool same_file(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Why input `i` is not converted: its output is that of an earlier input,
// exists (and --overwrite was not given) or is one of the batch's inputs.
struct Skip {
    bool left_alone = false;  // an existing output kept
    std::string why;          // empty: converted
};

Skip reason_to_skip(const BatchRequest& batch, size_t i, const std::string& output,
                    std::map<std::string, size_t>* claimed) {
    const std::string& input = batch.inputs[i];
    if (const auto [earlier, fresh] = claimed->emplace(output, i); !fresh)
        return {false, "skipped " + input + ": its output " + output + " is that of " +
                           batch.inputs[earlier->second]};
    struct stat out {};
    if (lstat(output.c_str(), &out) != 0) return {};
    if (!batch.overwrite)
        return {true, "left alone " + output + ": it exists (--overwrite replaces it)"};
    struct stat in {};
    if (stat(output.c_str(), &out) == 0)
        for (const std::string& other : batch.inputs)
            if (stat(other.c_str(), &in) == 0 && same_file(in, out))
                return {false, "skipped " + input + ": its output " + output + " is the video " +
                                   other + " of this batch"};
    return {};
}

}  // namespace

std::string batch_output_name(const BatchRequest& batch, const std::string& input) {
    std::string name = file_name(input);
    if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
    std::string folder = batch.folder;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + name + "-3d." + batch.extension;
}

int export_batch(const BatchRequest& batch) {
    if (!make_folder(batch.folder)) return kExportFailed;
    // Holds Ctrl+C between files too: the batch ends at once, with its
    // summary, and each export inside keeps the note.
    const InterruptGuard guard;
    const size_t n = batch.inputs.size();
    std::vector<std::string> outputs(n);
    std::vector<Skip> skip(n);
    std::vector<int64_t> stated(n);
    std::map<std::string, size_t> claimed;
    // FFmpeg's own lines about an input it cannot read ("misdetection
    // possible") would come before the batch's line about it; the video
    // library silences them only once it has opened a video.
    av_log_set_level(AV_LOG_QUIET);
    for (size_t i = 0; i < n; ++i) {
        outputs[i] = batch_output_name(batch, batch.inputs[i]);
        skip[i] = reason_to_skip(batch, i, outputs[i], &claimed);
        stated[i] = skip[i].why.empty() ? stated_frame_count(plain_file_path(batch.inputs[i])) : 0;
    }

    ExportProgress progress(stated, isatty(2) != 0, stderr);
    for (size_t i = 0; i < n; ++i)
        if (!skip[i].why.empty()) progress.skip_file(static_cast<int>(i));

    int converted = 0, failed = 0, left_alone = 0, skipped = 0, code = kExportDone;
    for (size_t i = 0; i < n && code == kExportDone; ++i) {
        if (interrupt_signal().load() != 0) {
            code = 128 + interrupt_signal().load();
            break;
        }
        if (!skip[i].why.empty()) {
            progress.message("kaplo-depth: " + skip[i].why);
            ++(skip[i].left_alone ? left_alone : skipped);
            continue;
        }
        progress.start_file(static_cast<int>(i), file_name(batch.inputs[i]));
        ExportRequest r = batch.options;
        r.input = batch.inputs[i].c_str();
        r.output = outputs[i].c_str();
        int frames = 0;
        r.frame_done = [&](int done, int total) {
            frames = done;
            progress.frame_done(done, total);
        };
        // The export's own lines end the redrawn progress line first.
        r.message = [&](const std::string& line) { progress.message("kaplo-depth: " + line); };
        const int result = export_video(r);
        progress.end_file(frames, result == kExportDone);
        if (result > 128)
            code = result;
        else if (result == kExportDone)
            ++converted;
        else
            ++failed;
    }
    progress.finish(0);

    std::string counts;
    const auto add = [&](int count, const char* what) {
        if (count == 0) return;
        counts += (counts.empty() ? " (" : ", ") + std::to_string(count) + what;
    };
    add(failed, " failed");
    add(left_alone, " left alone");
    add(skipped, " skipped");
    if (!counts.empty()) counts += ")";
    std::fprintf(stderr, "kaplo-depth: %s%d of %zu video%s into %s%s\n",
                 code > 128 ? "interrupted; converted " : "converted ", converted, n,
                 n == 1 ? "" : "s", batch.folder.c_str(), counts.c_str());
    if (code > 128) return code;
    return converted == static_cast<int>(n) ? kExportDone : kExportFailed;
}

}  // namespace depth
