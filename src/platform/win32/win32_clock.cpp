// The performance counter, and the multimedia timer as the fallback.
#include <windows.h>
#include <mmsystem.h>

#include "platform/platform.h"

namespace platform {

bool CounterFrequency(std::int64_t* countsPerSecond) {
    LARGE_INTEGER frequency;
    if (!countsPerSecond || !QueryPerformanceFrequency(&frequency) || frequency.QuadPart == 0)
        return false;
    *countsPerSecond = frequency.QuadPart;
    return true;
}

bool CounterNow(std::int64_t* count) {
    LARGE_INTEGER now;
    if (!count || !QueryPerformanceCounter(&now)) return false;
    *count = now.QuadPart;
    return true;
}

std::uint32_t MillisecondTime() { return timeGetTime(); }

}  // namespace platform
