#include "output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <strings.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <random>

namespace depth {

namespace {

// The folder part of a path with its slash, or "" for a bare name.
std::string folder_part(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

const char* extension_of(const char* path) {
    const char* dot = std::strrchr(path, '.');
    const char* slash = std::strrchr(path, '/');
    return dot && (!slash || dot > slash) ? dot : "";
}

// The file `path` leads to through a chain of symbolic links, each read
// relative to its own folder. The end need not exist yet (the export makes
// it). False for a chain longer than the system would follow.
bool follow_link_chain(std::string path, std::string* end) {
    char link[PATH_MAX];
    for (int hops = 0; hops < 40; ++hops) {
        const ssize_t n = ::readlink(path.c_str(), link, sizeof link);
        if (n < 0) {  // not a link (or nothing there): the chain ends here
            *end = path;
            return true;
        }
        if (static_cast<size_t>(n) >= sizeof link) return false;
        const std::string next(link, static_cast<size_t>(n));
        path = next[0] == '/' ? next : folder_part(path) + next;
    }
    return false;
}

std::string reason(const char* what, const std::string& path, int error) {
    return std::string(what) + " " + path + ": " + std::strerror(error);
}

}  // namespace

bool container_for(const char* path, Container* container) {
    const char* ext = extension_of(path);
    if (strcasecmp(ext, ".avi") == 0)
        *container = Container::Avi;
    else if (strcasecmp(ext, ".mp4") == 0)
        *container = Container::Mp4;
    else if (strcasecmp(ext, ".mkv") == 0)
        *container = Container::Mkv;
    else if (strcasecmp(ext, ".mov") == 0)
        *container = Container::Mov;
    else
        return false;
    return true;
}

OutputFile::~OutputFile() {
    for (const std::string& t : temps_) ::unlink(t.c_str());
}

std::string plain_file_path(const std::string& path) {
    return path.empty() || path[0] == '/' ? path : "./" + path;
}

bool OutputFile::open(const char* output, const char* input, std::string* why) {
    struct stat in {};
    if (::stat(input, &in) != 0) {
        *why = reason("cannot read", input, errno);
        return false;
    }
    if (!S_ISREG(in.st_mode)) {
        *why = std::string("cannot read ") + input + ": not a regular file";
        return false;
    }
    if (!follow_link_chain(output, &target_)) {
        *why = reason("cannot write", output, ELOOP);
        return false;
    }
    extension_ = extension_of(output);
    existed_ = ::stat(target_.c_str(), &existing_) == 0;
    if (!existed_) {
        // A name too long, a folder that is missing or not writable: said
        // now, not once the whole video has been converted.
        if (errno != ENOENT) {
            *why = reason("cannot write", output, errno);
            return false;
        }
        const std::string folder = folder_part(target_);
        if (::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) != 0) {
            *why = reason("cannot write", output, errno);
            return false;
        }
        return true;
    }
    if (!S_ISREG(existing_.st_mode)) {
        *why = std::string("cannot write ") + output + ": not a regular file";
        return false;
    }
    if (existing_.st_dev == in.st_dev && existing_.st_ino == in.st_ino) {
        *why = std::string("will not write ") + output + ": it is the input video " + input;
        return false;
    }
    if (::access(target_.c_str(), W_OK) != 0) {
        *why = reason("cannot write", output, errno);
        return false;
    }
    return true;
}

std::string OutputFile::new_temp(std::string* why) {
    static std::mt19937 names{std::random_device{}()};
    // A short name, so that an output name as long as a folder entry allows
    // still leaves room for it.
    for (int attempt = 0; attempt < 16; ++attempt) {
        char name[24];
        std::snprintf(name, sizeof name, ".kaplo-%08x", static_cast<unsigned>(names()));
        std::string temp = folder_part(target_) + name + extension_;
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            temps_.push_back(temp);
            return temp;
        }
        if (errno != EEXIST) {
            *why = reason("cannot write in the folder of", target_, errno);
            return {};
        }
    }
    *why = reason("cannot write in the folder of", target_, EEXIST);
    return {};
}

bool OutputFile::commit(const std::string& temp, std::string* why) {
    if (existed_) {
        // Only the superuser may give a file away; others may keep its group.
        if (::chown(temp.c_str(), existing_.st_uid, existing_.st_gid) != 0 &&
            ::chown(temp.c_str(), static_cast<uid_t>(-1), existing_.st_gid) != 0) {
        }
        if (::chmod(temp.c_str(), existing_.st_mode & 07777) != 0) {
            *why = reason("cannot set the mode of", temp, errno);
            return false;
        }
    }
    // On the disk before it takes the output's name: a crash right after
    // the rename must not leave an empty output.
    const int fd = ::open(temp.c_str(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    const int sync_error = errno;
    if (fd >= 0) ::close(fd);
    if (!synced) {
        *why = reason("cannot write", temp, sync_error);
        return false;
    }
    if (::rename(temp.c_str(), target_.c_str()) != 0) {
        *why = reason("cannot replace", target_, errno);
        return false;
    }
    std::erase(temps_, temp);
    return true;
}

void OutputFile::discard(const std::string& temp) {
    ::unlink(temp.c_str());
    std::erase(temps_, temp);
}

}  // namespace depth
