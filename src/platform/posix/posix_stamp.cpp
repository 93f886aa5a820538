#include <sys/stat.h>

#include "platform/platform.h"

namespace platform {

FileStamp StampOf(const char* path) {
    FileStamp stamp;
    struct stat info;
    if (!path || stat(path, &info) != 0) return stamp;
    stamp.exists = true;
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return stamp;
}

// Files here have no share modes, and advisory locks do not stop a read.
bool FileInUse(const char*) { return false; }

}  // namespace platform
