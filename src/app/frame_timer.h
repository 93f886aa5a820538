// Millisecond timer with independent lap channels, for pacing held keys.
#pragma once

#include <cstdint>
#include <memory>

// Where the timer reads time. The default is the platform's; tests
// substitute their own clock.
struct TimeSource {
    bool (*counterFrequency)(std::int64_t* countsPerSecond);
    bool (*counterNow)(std::int64_t* count);
    std::uint32_t (*millisecondTime)();
};

const TimeSource& PlatformTimeSource();

class FrameTimer {
public:
    // The source is copied, so a temporary may be passed.
    explicit FrameTimer(std::uint8_t lapCount, const TimeSource& source = PlatformTimeSource());

    void Calibrate();
    void Restart();
    float MillisecondsSince(std::int64_t mark) const;
    // Time since the channel's mark, renewing the mark; -1 without channels.
    float LapMilliseconds(std::uint8_t channel);

    std::int64_t frequency = 0;
    float secondsPerCount = 0.0f;
    bool highResolution = false;
    std::uint8_t lapCount;
    std::unique_ptr<std::int64_t[]> lapMarks;

private:
    std::int64_t Now() const;

    TimeSource source_;
};
