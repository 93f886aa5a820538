// Files on POSIX systems: descriptors opened without waiting, and the
// replace written through links with the old file's mode.
#include "platform/files.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace files {

namespace {

// A symbolic link is written through, so it stays a link to the new file.
std::string SaveTarget(const std::string& path) {
    std::string target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return target;
        std::string link(PATH_MAX, '\0');
        const ssize_t n = readlink(target.c_str(), &link[0], link.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) return target;
        link.resize(static_cast<std::size_t>(n));
        if (link[0] != '/') {
            const std::size_t cut = target.rfind('/');
            link = (cut == std::string::npos ? std::string() : target.substr(0, cut + 1)) + link;
        }
        target = link;
    }
    return target;
}

}  // namespace

std::FILE* OpenRegular(const std::string& path, OpenStatus* status) {
    OpenStatus ignored;
    OpenStatus& result = status ? *status : ignored;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result = errno == ENOENT || errno == ENOTDIR ? OpenStatus::Missing
                 : errno == ENXIO                    ? OpenStatus::NotRegular  // a socket
                                                     : OpenStatus::Unreadable;
        return nullptr;
    }
    struct stat info;
    std::FILE* file = nullptr;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) file = fdopen(fd, "rb");
    if (!file) close(fd);
    result = file ? OpenStatus::Opened : OpenStatus::NotRegular;
    return file;
}

bool ReplaceWithText(const std::string& path, const std::string& text) {
    const std::string target = SaveTarget(path);
    // Only a regular file (or none) is replaced. Every permission bit is
    // kept, 0 among them: a file its owner locked stays locked.
    struct stat info;
    const bool existed = stat(target.c_str(), &info) == 0;
    if (existed ? !S_ISREG(info.st_mode) : errno != ENOENT) return false;
    const std::string temp = target + "." + std::to_string(getpid()) + ".tmp";
    std::FILE* file = std::fopen(temp.c_str(), "w");
    if (!file) return false;
    bool good = !existed || fchmod(fileno(file), info.st_mode & 07777) == 0;
    good = good && std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
           std::fflush(file) == 0 && fsync(fileno(file)) == 0;
    good = std::fclose(file) == 0 && good;
    if (!good || std::rename(temp.c_str(), target.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

bool Seek(std::FILE* file, std::int64_t offset, int whence) {
    return fseeko(file, off_t(offset), whence) == 0;
}

std::int64_t Tell(std::FILE* file) { return std::int64_t(ftello(file)); }

std::int64_t Size(std::FILE* file) {
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return std::int64_t(info.st_size);
}

}  // namespace files
