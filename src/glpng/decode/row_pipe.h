// Rows decoded on a worker thread and taken in order on the caller's, so
// that a library decoder with no faster path runs beside the keying, hole
// fill, mip levels and upload of the rows before. A small ring of rows
// sits between the two: the image is never held whole.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace glpng {

class RowPipe {
public:
    // Writes the next `count` rows, packed RGBA8, to `dest`; false on a
    // fault. Runs on the worker only.
    using Producer = std::function<bool(std::uint8_t* dest, unsigned count)>;

    RowPipe(unsigned width, unsigned height, Producer produce);
    // Stops the worker (at its next chunk) and waits for it.
    ~RowPipe();
    RowPipe(const RowPipe&) = delete;
    RowPipe& operator=(const RowPipe&) = delete;

    // The next `count` rows; false once the producer failed or the rows
    // ran out.
    bool Take(std::uint8_t* dest, unsigned count);

private:
    void Run();

    const unsigned height_;
    const std::size_t stride_;
    Producer produce_;
    std::vector<std::uint8_t> ring_;
    std::mutex mutex_;
    std::condition_variable changed_;
    unsigned produced_ = 0;  // rows written to the ring so far
    unsigned taken_ = 0;     // rows the caller took
    bool failed_ = false;
    bool stop_ = false;
    std::thread worker_;
};

}  // namespace glpng
