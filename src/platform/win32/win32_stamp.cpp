#include <windows.h>

#include "platform/files.h"
#include "platform/platform.h"

namespace platform {

FileStamp StampOf(const char* path) {
    FileStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!path ||
        !GetFileAttributesExW(win32::FilePath(std::string(path)).c_str(), GetFileExInfoStandard, &data))
        return stamp;
    stamp.exists = true;
    stamp.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    // 100-nanosecond units.
    stamp.modified = static_cast<std::int64_t>(
        ((static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime) * 100);
    return stamp;
}

}  // namespace platform
