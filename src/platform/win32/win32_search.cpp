// Directory search on FindFirstFileW/FindNextFileW, in the order the file
// system returns names, each name handed on in UTF-8.
#include <windows.h>

#include <cstring>
#include <new>
#include <string>

#include "platform/files.h"
#include "platform/platform.h"

namespace platform {

struct SearchTag {
    HANDLE find;
};

namespace {

// False when the name does not fit the core's buffer in UTF-8. Such a
// name is passed over rather than cut, which could name another file;
// the catalogue drops any path that long anyway.
bool CopyName(const WIN32_FIND_DATAW& found, FindData* data) {
    const std::string name = win32::Narrow(found.cFileName);
    if (name.empty() || name.size() >= sizeof data->name) return false;
    std::memcpy(data->name, name.c_str(), name.size() + 1);
    return true;
}

bool Next(HANDLE find, FindData* data) {
    WIN32_FIND_DATAW found;
    while (FindNextFileW(find, &found))
        if (CopyName(found, data)) return true;
    return false;
}

}  // namespace

SearchHandle SearchFirst(const char* pattern, FindData* data) {
    if (!pattern || !data) return nullptr;
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW(win32::FilePath(std::string(pattern)).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return nullptr;
    if (!CopyName(found, data) && !Next(find, data)) {
        FindClose(find);
        return nullptr;
    }
    auto* search = new (std::nothrow) SearchTag{find};
    if (!search) FindClose(find);
    return search;
}

bool SearchNext(SearchHandle search, FindData* data) {
    if (!search || !data) return false;
    return Next(search->find, data);
}

void SearchClose(SearchHandle search) {
    if (!search) return;
    FindClose(search->find);
    delete search;
}

bool FolderUnreadable(const char* dir) {
    if (!dir) return false;
    std::string pattern(dir);
    if (!pattern.empty() && pattern.back() != '\\') pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW(win32::FilePath(pattern).c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        FindClose(find);
        return false;
    }
    return GetLastError() == ERROR_ACCESS_DENIED;
}

}  // namespace platform
