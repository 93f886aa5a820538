// Directory search with the behaviour the catalogue expects from Windows:
// the pattern's "*.ext" matches case-insensitively, directories included,
// and names come back in ordinal case-insensitive order (as an NTFS
// directory lists them) rather than readdir's arbitrary order.
#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {

struct SearchTag {
    std::vector<std::string> names;
    std::size_t next = 0;
};

namespace {

int CompareUpper(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = std::toupper(static_cast<unsigned char>(a[i]));
        const int cb = std::toupper(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool EndsWithNoCase(const std::string& name, const std::string& suffix) {
    if (name.size() < suffix.size()) return false;
    const std::size_t off = name.size() - suffix.size();
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(name[off + i])) !=
            std::tolower(static_cast<unsigned char>(suffix[i])))
            return false;
    }
    return true;
}

// Only the "*suffix" form is needed; anything else matches by exact name.
bool Matches(const std::string& name, const std::string& glob) {
    if (!glob.empty() && glob[0] == '*') return EndsWithNoCase(name, glob.substr(1));
    return CompareUpper(name, glob) == 0;
}

void Fill(FindData* data, const std::string& name) {
    std::memcpy(data->name, name.c_str(), name.size() + 1);
}

}  // namespace

SearchHandle SearchFirst(const char* pattern, FindData* data) {
    if (!pattern || !data) return nullptr;
    const std::string full(pattern);
    const std::size_t cut = full.find_last_of(kPathSeparator);
    const std::string dir = cut == std::string::npos ? "." : full.substr(0, cut == 0 ? 1 : cut);
    const std::string glob = cut == std::string::npos ? full : full.substr(cut + 1);

    DIR* d = opendir(dir.c_str());
    if (!d) return nullptr;
    auto* search = new SearchTag;
    while (const dirent* entry = readdir(d)) {
        const std::string name(entry->d_name);
        if (name == "." || name == "..") continue;
        if (name.size() >= kMaxPath) continue;  // no Windows name is this long
        if (Matches(name, glob)) search->names.push_back(name);
    }
    closedir(d);
    std::sort(search->names.begin(), search->names.end(),
              [](const std::string& a, const std::string& b) {
                  const int c = CompareUpper(a, b);
                  return c != 0 ? c < 0 : a < b;
              });
    if (search->names.empty()) {
        delete search;
        return nullptr;
    }
    Fill(data, search->names[0]);
    search->next = 1;
    return search;
}

bool SearchNext(SearchHandle search, FindData* data) {
    if (!search || !data || search->next >= search->names.size()) return false;
    Fill(data, search->names[search->next++]);
    return true;
}

void SearchClose(SearchHandle search) { delete search; }

bool FolderUnreadable(const char* dir) {
    if (!dir) return false;
    DIR* d = opendir(dir);
    if (d) {
        closedir(d);
        return false;
    }
    return errno == EACCES || errno == EPERM;
}

}  // namespace platform
