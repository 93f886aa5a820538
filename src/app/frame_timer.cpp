#include "app/frame_timer.h"

#include "platform/platform.h"

const TimeSource& PlatformTimeSource() {
    // Function addresses only: constant-initialised, safe from any static
    // constructor.
    static const TimeSource source{&platform::CounterFrequency, &platform::CounterNow,
                                   &platform::MillisecondTime};
    return source;
}

FrameTimer::FrameTimer(std::uint8_t lapCount, const TimeSource& source)
    : lapCount(lapCount), source_(source) {}

void FrameTimer::Calibrate() {
    lapMarks.reset();
    if (lapCount > 0) lapMarks = std::make_unique<std::int64_t[]>(lapCount);

    std::int64_t countsPerSecond = 0;
    if (source_.counterFrequency(&countsPerSecond) && countsPerSecond > 0) {
        frequency = countsPerSecond;
        highResolution = true;
        secondsPerCount = static_cast<float>(1.0 / static_cast<double>(frequency));
    } else {
        highResolution = false;
        secondsPerCount = 0.001f;
        frequency = 1000;
    }
}

std::int64_t FrameTimer::Now() const {
    if (highResolution) {
        std::int64_t count = 0;
        source_.counterNow(&count);
        return count;
    }
    // Low 32 bits only, high bits zero: never sign-extended.
    return static_cast<std::int64_t>(source_.millisecondTime());
}

void FrameTimer::Restart() {
    if (!lapMarks) return;  // not calibrated, or no channels
    const std::int64_t now = Now();
    for (int i = 0; i < lapCount; ++i) lapMarks[i] = now;
}

float FrameTimer::MillisecondsSince(std::int64_t mark) const {
    double counts;
    if (highResolution) {
        // Subtract unsigned so a stray mark cannot overflow.
        const auto diff = static_cast<std::int64_t>(static_cast<std::uint64_t>(Now()) -
                                                    static_cast<std::uint64_t>(mark));
        counts = static_cast<double>(diff);
    } else {
        // 32-bit unsigned difference survives one wrap of the millisecond timer.
        const std::uint32_t diff =
            source_.millisecondTime() - static_cast<std::uint32_t>(mark & 0xFFFFFFFF);
        counts = static_cast<double>(diff);
    }
    return static_cast<float>(counts * static_cast<double>(secondsPerCount) * 1000.0);
}

float FrameTimer::LapMilliseconds(std::uint8_t channel) {
    if (lapCount == 0 || !lapMarks) return -1.0f;
    const float elapsed = MillisecondsSince(lapMarks[channel]);
    lapMarks[channel] = Now();
    return elapsed;
}
