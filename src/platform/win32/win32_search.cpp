// Directory search on FindFirstFileA/FindNextFileA, in the order the file
// system returns names.
#include <windows.h>

#include <cstring>
#include <new>

#include "platform/platform.h"

namespace platform {

struct SearchTag {
    HANDLE find;
};

namespace {

void CopyName(const WIN32_FIND_DATAA& found, FindData* data) {
    static_assert(sizeof data->name == sizeof found.cFileName, "name buffers match");
    std::memcpy(data->name, found.cFileName, sizeof data->name);
    data->name[sizeof data->name - 1] = '\0';
}

}  // namespace

SearchHandle SearchFirst(const char* pattern, FindData* data) {
    if (!pattern || !data) return nullptr;
    WIN32_FIND_DATAA found;
    const HANDLE find = FindFirstFileA(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) return nullptr;
    CopyName(found, data);
    auto* search = new (std::nothrow) SearchTag{find};
    if (!search) FindClose(find);
    return search;
}

bool SearchNext(SearchHandle search, FindData* data) {
    if (!search || !data) return false;
    WIN32_FIND_DATAA found;
    if (!FindNextFileA(search->find, &found)) return false;
    CopyName(found, data);
    return true;
}

void SearchClose(SearchHandle search) {
    if (!search) return;
    FindClose(search->find);
    delete search;
}

}  // namespace platform
