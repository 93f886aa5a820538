// Follows the file on show and its folder on disk by their stamps (size
// and modification time), looked up by path: that survives saves that
// replace the file (write a temporary, rename it over). Where the system
// watches the folder, nothing is looked at until it tells of a change,
// then the looks run as below until the change has settled; where it does
// not (network folders, no watches left), the stamps are polled.
#pragma once

#include <string>

#include "platform/platform.h"

class ChangeWatch {
public:
    using StampFn = platform::FileStamp (*)(const char* path);

    static constexpr double kIntervalMs = 100;   // between looks
    // A change after this long without one is acted on at the look that
    // sees it: a save is one write or one rename, and a file caught half
    // written does not decode and keeps the picture until the next change.
    static constexpr double kQuietMs = 500;
    static constexpr double kSettleMs = 150;     // in a burst, unchanged this long: it is over
    static constexpr double kRetryForMs = 3000;  // a file that will not decode, before giving up
    // A file another program holds is tried again after this, then at
    // twice the last gap, but never less often than kInUseMostMs.
    static constexpr double kInUseFirstMs = 200;
    static constexpr double kInUseMostMs = 1600;

    // What Poll found, as bits. kRetry: load the file again, unchanged.
    enum : unsigned { kNone = 0, kFileChanged = 1, kFolderChanged = 2, kGiveUp = 4, kRetry = 8 };

    // The system's folder watch, or a stand-in for it.
    struct Notices {
        platform::FolderWatchHandle (*open)(const char* dir);
        platform::FolderNews (*take)(platform::FolderWatchHandle watch);
        void (*close)(platform::FolderWatchHandle watch);
    };
    static const Notices kSystemNotices;
    // After news, or a stamp seen changing, looks go on this long: enough
    // for a change close behind to settle.
    static constexpr double kAwakeMs = kSettleMs + kIntervalMs;
    static constexpr double kNever = 1e300;

    explicit ChangeWatch(StampFn stamp = platform::StampOf,
                         const Notices* notices = &kSystemNotices)
        : stamp_(stamp), notices_(notices) {}

    // Starts following `file` (may be empty: no file) in `folder`. A folder
    // change still waiting is kept when only the file changes; the same
    // file watched again keeps what was seen of it and its failures, so
    // a save made while it loads is not taken as known.
    void Watch(const std::string& file, const std::string& folder);
    void Stop();
    // Follows what it follows anew by `notices`; nullptr polls.
    void UseNotices(const Notices* notices);
    // Advances the watch's clock by `elapsedMs` and reports what settled.
    unsigned Poll(double elapsedMs);
    // A load of the file failed: try again at the next settled change,
    // and give up (kGiveUp) after kRetryForMs without success. Neither
    // comes while a change is on its way: that change is loaded first.
    // A file `inUse` by another program (or in use at the failure before)
    // comes back as kRetry, ever less often, until it loads or changes.
    void LoadFailed(bool inUse = false);
    void LoadSucceeded();
    bool Watching() const { return watching_; }
    // How much of the watch's clock must pass before Poll looks again;
    // kNever while the system watches and nothing is on its way.
    double UntilLookMs() const;
    // Whether the system tells of changes, so the stamps are not polled.
    bool Notified() const { return folderWatch_.handle != nullptr; }

private:
    struct Followed {
        std::string path;
        platform::FileStamp known;     // what was last acted on
        platform::FileStamp seen;      // what the last look found
        double changedAt = -1e300;
        bool pending = false;
        bool afterQuiet = false;       // the change came after kQuietMs without one
    };
    void Look(Followed& followed);
    bool Settled(const Followed& followed) const;
    void ClearFailures();
    void CloseNotices();
    void TakeNotices();
    bool Awake() const;
    double UntilTimersMs() const;

    StampFn stamp_;
    const Notices* notices_;
    // Owns the system's watch; moves with the ChangeWatch, never copies.
    struct Owned {
        const Notices* notices = nullptr;
        platform::FolderWatchHandle handle = nullptr;
        Owned() = default;
        Owned(Owned&& o) noexcept : notices(o.notices), handle(o.handle) { o.handle = nullptr; }
        Owned& operator=(Owned&& o) noexcept {
            if (this != &o) {
                Close();
                notices = o.notices;
                handle = o.handle;
                o.handle = nullptr;
            }
            return *this;
        }
        ~Owned() { Close(); }
        void Close() {
            if (handle) notices->close(handle);
            handle = nullptr;
        }
    };
    Owned folderWatch_;
    double newsAt_ = -1e300;
    Followed file_, folder_;
    double now_ = 0, lastLook_ = -1e300;
    double failingSince_ = -1;
    double retryAt_ = -1, retryGap_ = 0;
    bool wasInUse_ = false;
    bool watching_ = false;
};
