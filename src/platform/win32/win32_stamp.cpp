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

bool FileInUse(const char* path) {
    if (!path) return false;
    // Shares everything, as the loader does, and only for a moment.
    const HANDLE file = CreateFileW(win32::FilePath(std::string(path)).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
    }
    // A range locked by its holder opens but does not read.
    char byte = 0;
    DWORD read = 0;
    const bool locked = !ReadFile(file, &byte, 1, &read, nullptr) && GetLastError() == ERROR_LOCK_VIOLATION;
    CloseHandle(file);
    return locked;
}

}  // namespace platform
