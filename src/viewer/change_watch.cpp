#include "viewer/change_watch.h"

#include <algorithm>

const ChangeWatch::Notices ChangeWatch::kSystemNotices = {
    platform::OpenFolderWatch, platform::TakeFolderNews, platform::CloseFolderWatch};

void ChangeWatch::Watch(const std::string& file, const std::string& folder) {
    if (!watching_ || folder != folder_.path) {
        // Watched before the stamps are taken, so no change falls between.
        CloseNotices();
        if (notices_ && !folder.empty()) {
            folderWatch_.notices = notices_;
            folderWatch_.handle = notices_->open(folder.c_str());
        }
        folder_ = Followed{};
        folder_.path = folder;
        folder_.known = folder_.seen = stamp_(folder.c_str());
    }
    const bool same = watching_ && file == file_.path;
    watching_ = true;
    if (same) return;
    file_ = Followed{};
    file_.path = file;
    if (!file.empty()) file_.known = file_.seen = stamp_(file.c_str());
    ClearFailures();
}

void ChangeWatch::UseNotices(const Notices* notices) {
    const bool was = watching_;
    const std::string file = file_.path, folder = folder_.path;
    Stop();
    notices_ = notices;
    if (was) Watch(file, folder);
}

void ChangeWatch::CloseNotices() {
    folderWatch_.Close();
    newsAt_ = -1e300;
}

void ChangeWatch::TakeNotices() {
    if (!Notified()) return;
    switch (folderWatch_.notices->take(folderWatch_.handle)) {
    case platform::FolderNews::None:
        return;
    case platform::FolderNews::Changed:
        newsAt_ = now_;
        return;
    case platform::FolderNews::Lost:
        // Polled from now on; the look at once sees what the loss was.
        CloseNotices();
        return;
    }
}

bool ChangeWatch::Awake() const {
    const double last = std::max({newsAt_, file_.changedAt, folder_.changedAt});
    return now_ - last < kAwakeMs;
}

double ChangeWatch::UntilTimersMs() const {
    double until = kNever;
    if (retryAt_ >= 0) until = std::min(until, retryAt_ - now_);
    if (failingSince_ >= 0) until = std::min(until, failingSince_ + kRetryForMs - now_);
    return std::max(until, 0.0);
}

void ChangeWatch::Stop() {
    CloseNotices();
    watching_ = false;
    file_ = Followed{};
    folder_ = Followed{};
    ClearFailures();
}

void ChangeWatch::ClearFailures() {
    failingSince_ = -1;
    retryAt_ = -1;
    retryGap_ = 0;
    wasInUse_ = false;
}

void ChangeWatch::Look(Followed& followed) {
    if (followed.path.empty()) return;
    const platform::FileStamp now = stamp_(followed.path.c_str());
    if (now != followed.seen) {
        followed.seen = now;
        followed.afterQuiet = now_ - followed.changedAt >= kQuietMs;
        followed.changedAt = now_;
        followed.pending = now != followed.known;
    }
}

bool ChangeWatch::Settled(const Followed& followed) const {
    return followed.pending && (followed.afterQuiet || now_ - followed.changedAt >= kSettleMs);
}

unsigned ChangeWatch::Poll(double elapsedMs) {
    if (!watching_) return kNone;
    if (elapsedMs > 0) now_ += elapsedMs;
    TakeNotices();
    if (now_ - lastLook_ < kIntervalMs) return kNone;
    // Told of changes: nothing to look for until news, a change settling
    // or a timer due.
    if (Notified() && !Awake() && UntilTimersMs() > 0) return kNone;
    lastLook_ = now_;
    Look(file_);
    Look(folder_);

    unsigned found = kNone;
    // A file that is missing is in the middle of a save (or gone for good):
    // it keeps its picture, and the folder waits until it is back too.
    const bool fileThere = file_.path.empty() || file_.seen.exists;
    if (Settled(file_) && file_.seen.exists) {
        file_.pending = false;
        file_.known = file_.seen;
        found |= kFileChanged;
        retryAt_ = -1;
        retryGap_ = 0;
    }
    if (Settled(folder_) && fileThere) {
        folder_.pending = false;
        folder_.known = folder_.seen;
        found |= kFolderChanged;
    }
    // A change on its way is loaded before anything is given up or
    // retried: the writer may be done with it.
    if ((found & kFileChanged) || file_.pending) return found;
    if (retryAt_ >= 0 && now_ >= retryAt_) {
        retryAt_ = -1;
        found |= kRetry;
    }
    if (failingSince_ >= 0 && now_ - failingSince_ >= kRetryForMs) {
        failingSince_ = -1;
        found |= kGiveUp;
    }
    return found;
}

void ChangeWatch::LoadFailed(bool inUse) {
    if (failingSince_ < 0) failingSince_ = now_;
    // Once more after the holder let go: it may have let go between the
    // failed read and the question whether it holds the file.
    if (inUse || wasInUse_) {
        retryGap_ = retryGap_ > 0 ? std::min(2 * retryGap_, kInUseMostMs) : kInUseFirstMs;
        retryAt_ = now_ + retryGap_;
    } else {
        retryAt_ = -1;
        retryGap_ = 0;
    }
    wasInUse_ = inUse;
}

void ChangeWatch::LoadSucceeded() { ClearFailures(); }

double ChangeWatch::UntilLookMs() const {
    const double left = std::max(kIntervalMs - (now_ - lastLook_), 0.0);
    if (!Notified() || Awake()) return left;
    return std::max(left, UntilTimersMs());
}
