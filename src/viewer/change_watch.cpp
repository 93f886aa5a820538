#include "viewer/change_watch.h"

#include <algorithm>

void ChangeWatch::Watch(const std::string& file, const std::string& folder) {
    if (!watching_ || folder != folder_.path) {
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

void ChangeWatch::Stop() {
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
    if (now_ - lastLook_ < kIntervalMs) return kNone;
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
    const double left = kIntervalMs - (now_ - lastLook_);
    return left > 0 ? left : 0;
}
