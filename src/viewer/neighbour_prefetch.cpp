#include "viewer/neighbour_prefetch.h"

#include <algorithm>
#include <atomic>
#include <utility>

struct NeighbourPrefetch::Entry {
    std::string path;
    State state = State::Queued;
    platform::FileStamp stamp;  // before the decode began
    bool sizeKnown = false;
    glpng::TextureSize size{0, 0};
    glpng::TextureRules rules;
    std::unique_ptr<glpng::PreparedTexture> result;
    std::atomic<bool> cancel{false};
};

// Publishes level 0's size as soon as the header is read, and stops files
// above the pixel cap before their pixels are decoded.
class NeighbourPrefetch::SizeListener : public glpng::HeaderListener {
public:
    SizeListener(NeighbourPrefetch& owner, Entry& entry) : owner_(owner), entry_(entry) {}
    void HeaderRead(const glpng::PngHeader& header, glpng::TextureSize size) override {
        if (std::uint64_t(header.width) * header.height > owner_.maxPixels_) {
            entry_.cancel = true;
            return;
        }
        std::lock_guard<std::mutex> lock(owner_.mutex_);
        entry_.size = size;
        entry_.sizeKnown = true;
        owner_.done_.notify_all();
    }

private:
    NeighbourPrefetch& owner_;
    Entry& entry_;
};

NeighbourPrefetch::NeighbourPrefetch(StampFn stamp, std::uint64_t maxPixels)
    : stamp_(stamp), maxPixels_(maxPixels) {}

NeighbourPrefetch::~NeighbourPrefetch() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        for (const auto& entry : entries_) entry->cancel = true;
    }
    work_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void NeighbourPrefetch::Configure(const glpng::TextureRules& rules, const std::uint8_t* key) {
    std::lock_guard<std::mutex> lock(mutex_);
    rules_ = rules;
    // The upload checks each file's fit against the context itself; only
    // another key makes what is prepared useless.
    if (std::equal(key, key + 3, key_)) return;
    std::copy(key, key + 3, key_);
    for (const auto& entry : entries_) entry->cancel = true;
    entries_.clear();
}

void NeighbourPrefetch::Want(const std::vector<std::string>& paths) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::shared_ptr<Entry>> wanted;
    for (const std::string& path : paths) {
        if (wanted.size() == kMaxEntries) break;
        if (std::any_of(wanted.begin(), wanted.end(),
                        [&](const std::shared_ptr<Entry>& e) { return e->path == path; }))
            continue;
        auto it = std::find_if(entries_.begin(), entries_.end(),
                               [&](const std::shared_ptr<Entry>& e) { return e->path == path; });
        // A failed file is tried again: it may have been mended since.
        if (it != entries_.end() && (*it)->state != State::Failed) {
            wanted.push_back(*it);
            continue;
        }
        auto entry = std::make_shared<Entry>();
        entry->path = path;
        entry->rules = rules_;
        wanted.push_back(std::move(entry));
    }
    for (const auto& entry : entries_)
        if (std::find(wanted.begin(), wanted.end(), entry) == wanted.end()) entry->cancel = true;
    entries_ = std::move(wanted);
    if (!worker_.joinable() && !entries_.empty()) worker_ = std::thread([this] { Run(); });
    work_.notify_all();
}

std::shared_ptr<NeighbourPrefetch::Entry> NeighbourPrefetch::Find(const std::string& path) const {
    for (const auto& entry : entries_)
        if (entry->path == path) return entry;
    return nullptr;
}

void NeighbourPrefetch::Remove(const std::shared_ptr<Entry>& entry) {
    entry->cancel = true;
    entries_.erase(std::remove(entries_.begin(), entries_.end(), entry), entries_.end());
}

bool NeighbourPrefetch::Has(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto entry = Find(path);
    return entry && entry->state != State::Failed;
}

bool NeighbourPrefetch::WaitForSize(const std::string& path, glpng::TextureSize* size) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto entry = Find(path);
    if (!entry) return false;
    done_.wait(lock, [&] { return entry->sizeKnown || entry->state != State::Working; });
    if (!entry->sizeKnown) return false;
    *size = entry->size;
    return true;
}

std::unique_ptr<glpng::PreparedTexture> NeighbourPrefetch::Take(const std::string& path) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto entry = Find(path);
    if (!entry) return nullptr;
    // Not started: the step decodes it sooner itself than behind other work.
    if (entry->state == State::Working)
        done_.wait(lock, [&] { return entry->state != State::Working; });
    Remove(entry);
    if (entry->state != State::Ready) return nullptr;
    const platform::FileStamp now = stamp_(path.c_str());
    if (!now.exists || now.size != entry->stamp.size || now.modified != entry->stamp.modified)
        return nullptr;
    return std::move(entry->result);
}

void NeighbourPrefetch::WaitIdle() {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] {
        return std::none_of(entries_.begin(), entries_.end(), [](const std::shared_ptr<Entry>& e) {
            return e->state == State::Queued || e->state == State::Working;
        });
    });
}

std::size_t NeighbourPrefetch::ReadyCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::size_t(std::count_if(entries_.begin(), entries_.end(),
                                     [](const std::shared_ptr<Entry>& e) {
                                         return e->state == State::Ready;
                                     }));
}

void NeighbourPrefetch::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        std::shared_ptr<Entry> next;
        work_.wait(lock, [&] {
            if (stopping_) return true;
            for (const auto& entry : entries_)
                if (entry->state == State::Queued) {
                    next = entry;
                    return true;
                }
            return false;
        });
        if (stopping_) return;
        Work(next, lock);
        done_.notify_all();
    }
}

// Called and returns with the lock held; prepares without it.
void NeighbourPrefetch::Work(const std::shared_ptr<Entry>& entry,
                             std::unique_lock<std::mutex>& lock) {
    entry->state = State::Working;
    const glpng::TextureRules rules = entry->rules;
    std::uint8_t key[3];
    std::copy(key_, key_ + 3, key);
    lock.unlock();

    auto prepared = std::make_unique<glpng::PreparedTexture>();
    const platform::FileStamp before = stamp_(entry->path.c_str());
    SizeListener listener(*this, *entry);
    bool ok = before.exists && glpng::PrepareTexture(entry->path.c_str(), key, rules,
                                                     &entry->cancel, &listener, prepared.get());
    if (ok) {
        // Written to while it was read: the pixels may be of neither version.
        const platform::FileStamp after = stamp_(entry->path.c_str());
        ok = after.exists && after.size == before.size && after.modified == before.modified;
    }

    lock.lock();
    entry->stamp = before;
    entry->state = ok ? State::Ready : State::Failed;
    if (ok) entry->result = std::move(prepared);
    // Let go of at once when no longer wanted.
    if (std::find(entries_.begin(), entries_.end(), entry) == entries_.end())
        entry->result.reset();
}
