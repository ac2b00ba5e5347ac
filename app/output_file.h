#pragma once
// Where an export writes, so that no run can destroy a file: the input and
// the output are checked before anything is opened for writing, the video is
// written to temporary files beside the output, and only a finished file
// replaces the output, by a rename.
//
// Usage:
//   OutputFile out;
//   if (!out.open("clip3d.avi", "clip.avi", &why)) { /* one line: why */ }
//   const std::string temp = out.new_temp(&why);   // the export writes here
//   ... write temp ...
//   if (!out.commit(temp, &why)) { ... }
//   // on any other way out, the destructor removes every temporary file
//
// Threads: one thread at a time.

#include <sys/stat.h>

#include <string>
#include <vector>

namespace depth {

enum class Container { Avi, Mp4, Mkv, Mov };

// The container the output name asks for by its extension: .avi, .mp4, .mkv
// or .mov, in any case. False for any other name.
bool container_for(const char* path, Container* container);

// `path` as the video library and FFmpeg's libraries must be given it to
// open exactly that file: they take "name:rest" as a protocol ("file:",
// "pipe:", "http:") and a leading '-' as an option, whereas a path that
// starts with '/' or "./" is always a file.
std::string plain_file_path(const std::string& path);

class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Refuses (false, a reason in *why) an input that is missing or not a
    // regular file (a FIFO would block the reader for ever), an output that
    // leads (through symbolic links) to something other than a regular file,
    // to a file the user may not write, to a name the file system refuses
    // (too long) or a folder it cannot be made in, or to the input itself:
    // the same device and inode, whatever the names. All before any work.
    bool open(const char* output, const char* input, std::string* why);

    // A new, empty temporary file in the output's folder, named with the
    // output's extension (.avi, .mp4, .mkv, .mov) so that a file left by a
    // crash still shows what it is.
    // Empty, with a reason, when none can be made.
    std::string new_temp(std::string* why);

    // Puts the finished temporary file `temp` in the output's place: an
    // output that existed keeps its mode (and owner, where the user may give
    // it); a symbolic link stays a link, and its target is replaced. False,
    // with the output as it was, when that fails.
    bool commit(const std::string& temp, std::string* why);

    // Removes a temporary file of this object now.
    void discard(const std::string& temp);

    // The file the output name leads to.
    const std::string& target() const { return target_; }

  private:
    std::string target_;
    std::string extension_;
    bool existed_ = false;
    struct stat existing_ {};
    std::vector<std::string> temps_;  // made and not yet committed or removed
};

}  // namespace depth
