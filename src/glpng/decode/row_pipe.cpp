#include "glpng/decode/row_pipe.h"

#include <algorithm>
#include <cstring>

namespace glpng {
namespace {

// Rows per hand-over, and hand-overs the ring holds: enough that the
// decoder never waits on a slow band of the loader's (a wide hole fill),
// which measured 512 rows better than 128 (60 against 64-71 ms for 4096²).
constexpr unsigned kChunkRows = 16;
constexpr unsigned kChunks = 32;
constexpr unsigned kRingRows = kChunkRows * kChunks;

}  // namespace

RowPipe::RowPipe(unsigned width, unsigned height, Producer produce)
    : height_(height),
      stride_(std::size_t(width) * 4),
      produce_(std::move(produce)),
      ring_(stride_ * kRingRows),
      worker_([this] { Run(); }) {}

RowPipe::~RowPipe() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

void RowPipe::Run() {
    for (unsigned row = 0; row < height_; row += kChunkRows) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            // The chunk's slot is free once the caller took its last rows.
            changed_.wait(lock, [&] { return stop_ || row + kChunkRows - taken_ <= kRingRows; });
            if (stop_) return;
        }
        const unsigned count = std::min(kChunkRows, height_ - row);
        const bool ok = produce_(&ring_[(row % kRingRows) * stride_], count);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (ok) produced_ = row + count;
            else failed_ = true;
        }
        changed_.notify_all();
        if (!ok) return;
    }
}

bool RowPipe::Take(std::uint8_t* dest, unsigned count) {
    while (count > 0) {
        unsigned ready;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (taken_ + count > height_) return false;
            changed_.wait(lock, [&] { return failed_ || produced_ > taken_; });
            if (produced_ == taken_) return false;  // the producer failed
            ready = produced_ - taken_;
        }
        // Rows [taken_, taken_ + n) are the caller's until it says so.
        const unsigned first = taken_ % kRingRows;
        const unsigned n = std::min({count, ready, kRingRows - first});
        std::memcpy(dest, &ring_[first * stride_], n * stride_);
        dest += n * stride_;
        count -= n;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            taken_ += n;
        }
        changed_.notify_all();
    }
    return true;
}

}  // namespace glpng
