// Folder watches on change notification handles, one per folder. The
// handle stays signalled until re-armed, so news is kept per watch and the
// handle re-armed at once, by the wait or by the taker.
#include "platform/win32/win32_watch.h"

#include <algorithm>
#include <vector>

#include "platform/files.h"
#include "platform/platform.h"

namespace platform {

struct FolderWatchTag {
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool changed = false;
    bool lost = false;
};

namespace {

std::vector<FolderWatchTag*>& Open() {
    static std::vector<FolderWatchTag*> open;
    return open;
}

// Names added, removed or renamed, and a file's size, time or attributes.
constexpr DWORD kFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                          FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SIZE |
                          FILE_NOTIFY_CHANGE_LAST_WRITE;

void Rearm(FolderWatchTag* watch) {
    watch->changed = true;
    if (!FindNextChangeNotification(watch->handle)) watch->lost = true;
}

}  // namespace

FolderWatchHandle OpenFolderWatch(const char* dir) {
    if (!dir || !*dir) return nullptr;
    const HANDLE handle =
        FindFirstChangeNotificationW(win32::FilePath(std::string(dir)).c_str(), FALSE, kFilter);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    auto* watch = new FolderWatchTag;
    watch->handle = handle;
    Open().push_back(watch);
    return watch;
}

FolderNews TakeFolderNews(FolderWatchHandle watch) {
    if (!watch) return FolderNews::Lost;
    if (!watch->lost && WaitForSingleObject(watch->handle, 0) == WAIT_OBJECT_0) Rearm(watch);
    if (watch->lost) return FolderNews::Lost;
    const bool changed = watch->changed;
    watch->changed = false;
    return changed ? FolderNews::Changed : FolderNews::None;
}

void CloseFolderWatch(FolderWatchHandle watch) {
    if (!watch) return;
    FindCloseChangeNotification(watch->handle);
    auto& open = Open();
    open.erase(std::remove(open.begin(), open.end(), watch), open.end());
    delete watch;
}

}  // namespace platform

namespace win32 {

std::size_t FolderWatchHandles(HANDLE* out, std::size_t most) {
    std::size_t n = 0;
    for (platform::FolderWatchTag* watch : platform::Open())
        if (!watch->lost && n < most) out[n++] = watch->handle;
    return n;
}

void FolderWatchSignalled(HANDLE handle) {
    for (platform::FolderWatchTag* watch : platform::Open())
        if (watch->handle == handle && !watch->lost) platform::Rearm(watch);
}

}  // namespace win32
