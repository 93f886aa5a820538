// Folder watches on inotify: one descriptor for the process, one watch
// per folder followed. News is kept per watch until taken, so a wait can
// drain the descriptor before the core asks.
#include <errno.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/posix_watch.h"

namespace platform {

struct FolderWatchTag {
    int wd = -1;
    bool changed = false;
    bool lost = false;
};

namespace {

struct Watches {
    int fd = -1;
    std::vector<FolderWatchTag*> open;
};

Watches& All() {
    static Watches watches;
    return watches;
}

// Everything a save can do to the file on show or its folder.
constexpr std::uint32_t kEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE |
                                  IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF |
                                  IN_MOVE_SELF;

}  // namespace

namespace posix {

int FolderNewsDescriptor() {
    Watches& w = All();
    return w.open.empty() ? -1 : w.fd;
}

void GatherFolderNews() {
    Watches& w = All();
    if (w.fd < 0) return;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t got = read(w.fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            // Dropped news: nobody knows what changed, so everyone looks.
            const bool everyone = (event->mask & IN_Q_OVERFLOW) != 0;
            const bool gone = (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) != 0;
            for (FolderWatchTag* watch : w.open) {
                if (!everyone && watch->wd != event->wd) continue;
                watch->changed = true;
                if (gone) watch->lost = true;
            }
        }
    }
}

}  // namespace posix

FolderWatchHandle OpenFolderWatch(const char* dir) {
    Watches& w = All();
    if (!dir || !*dir) return nullptr;
    if (w.fd < 0) w.fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (w.fd < 0) return nullptr;
    const int wd = inotify_add_watch(w.fd, dir, kEvents | IN_ONLYDIR);
    if (wd < 0) return nullptr;
    auto* watch = new FolderWatchTag;
    watch->wd = wd;
    w.open.push_back(watch);
    return watch;
}

FolderNews TakeFolderNews(FolderWatchHandle watch) {
    if (!watch) return FolderNews::Lost;
    posix::GatherFolderNews();
    if (watch->lost) return FolderNews::Lost;
    const bool changed = watch->changed;
    watch->changed = false;
    return changed ? FolderNews::Changed : FolderNews::None;
}

void CloseFolderWatch(FolderWatchHandle watch) {
    if (!watch) return;
    Watches& w = All();
    posix::GatherFolderNews();
    // Two watches on one folder share its descriptor: the last one removes it.
    const bool shared = std::any_of(w.open.begin(), w.open.end(), [watch](FolderWatchTag* o) {
        return o != watch && o->wd == watch->wd;
    });
    if (!watch->lost && !shared) inotify_rm_watch(w.fd, watch->wd);
    w.open.erase(std::remove(w.open.begin(), w.open.end(), watch), w.open.end());
    delete watch;
}

}  // namespace platform
