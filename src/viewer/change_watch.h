// Follows the file on show and its folder on disk by polling their stamps
// (size and modification time) by path. Polling by path survives saves
// that replace the file (write a temporary, rename it over), costs a few
// stat calls a second, and works the same on every system and on network
// folders that send no notifications.
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

    explicit ChangeWatch(StampFn stamp = platform::StampOf) : stamp_(stamp) {}

    // Starts following `file` (may be empty: no file) in `folder`. A folder
    // change still waiting is kept when only the file changes; the same
    // file watched again keeps what was seen of it and its failures, so
    // a save made while it loads is not taken as known.
    void Watch(const std::string& file, const std::string& folder);
    void Stop();
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
    // How much of the watch's clock must pass before Poll looks again.
    double UntilLookMs() const;

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

    StampFn stamp_;
    Followed file_, folder_;
    double now_ = 0, lastLook_ = -1e300;
    double failingSince_ = -1;
    double retryAt_ = -1, retryGap_ = 0;
    bool wasInUse_ = false;
    bool watching_ = false;
};
