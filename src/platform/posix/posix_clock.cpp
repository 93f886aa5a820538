// Monotonic clock standing in for the performance counter and the
// multimedia millisecond timer.
#include <time.h>

#include "platform/platform.h"

namespace platform {

bool CounterFrequency(std::int64_t* countsPerSecond) {
    timespec ts;
    if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0) return false;
    *countsPerSecond = 1000000000;
    return true;
}

bool CounterNow(std::int64_t* count) {
    timespec ts;
    if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0) return false;
    *count = static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
    return true;
}

std::uint32_t MillisecondTime() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                             static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

}  // namespace platform
