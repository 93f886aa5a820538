// The files a step would show next, prepared on a worker thread while the
// painter looks at the current one, so that a step only uploads. Entries
// are keyed by path and by the file's size and modification time, read
// before the decode and checked again when taken: a file that changed is
// never shown stale. The worker never calls GL; only the main thread
// uploads what it prepared.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "glpng/prepared_texture.h"
#include "platform/platform.h"

class NeighbourPrefetch {
public:
    using StampFn = platform::FileStamp (*)(const char* path);

    // At most this many files are held or prepared at once.
    static constexpr std::size_t kMaxEntries = 2;
    // Larger files are left to the step itself: two of this size prepared
    // hold about 2 x 1.33 x 4 bytes per pixel.
    static constexpr std::uint64_t kMaxPixels = std::uint64_t(16) << 20;

    explicit NeighbourPrefetch(StampFn stamp = platform::StampOf,
                               std::uint64_t maxPixels = kMaxPixels);
    ~NeighbourPrefetch();
    NeighbourPrefetch(const NeighbourPrefetch&) = delete;
    NeighbourPrefetch& operator=(const NeighbourPrefetch&) = delete;

    // The rules and key uploads will need; files prepared with another key
    // are dropped. Until called, any size is taken to be allowed.
    void Configure(const glpng::TextureRules& rules, const std::uint8_t* key);
    // The files wanted now, most wanted first (at most kMaxEntries count).
    // Work on any other file is cancelled and its result let go.
    void Want(const std::vector<std::string>& paths);

    // Whether `path` is being prepared or is ready.
    bool Has(const std::string& path) const;
    // The size of level 0 of `path`, waiting for its header while it is
    // being prepared; false when it is not or the header is bad.
    bool WaitForSize(const std::string& path, glpng::TextureSize* size);
    // The prepared file, waiting while it is being prepared; null when it
    // is not wanted, not started, failed or changed since. Either way the
    // entry is let go.
    std::unique_ptr<glpng::PreparedTexture> Take(const std::string& path);

    // For tests: waits until no work is left; how many entries are ready.
    void WaitIdle();
    std::size_t ReadyCount() const;

private:
    enum class State { Queued, Working, Ready, Failed };
    struct Entry;
    class SizeListener;

    void Run();
    void Work(const std::shared_ptr<Entry>& entry, std::unique_lock<std::mutex>& lock);
    std::shared_ptr<Entry> Find(const std::string& path) const;
    void Remove(const std::shared_ptr<Entry>& entry);

    const StampFn stamp_;
    const std::uint64_t maxPixels_;
    mutable std::mutex mutex_;
    std::condition_variable work_;  // the worker waits for entries
    std::condition_variable done_;  // the main thread waits for sizes and results
    std::vector<std::shared_ptr<Entry>> entries_;
    glpng::TextureRules rules_;
    std::uint8_t key_[3] = {255, 0, 255};
    bool stopping_ = false;
    std::thread worker_;  // started with the first wanted file
};
