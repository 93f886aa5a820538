#include "app/frame_timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>

namespace {

// A hand-driven clock: the tests move it between readings.
struct FakeClock {
    static bool hasCounter;
    static std::int64_t counts;
    static std::int64_t countsPerSecond;
    static std::uint32_t milliseconds;

    static bool Frequency(std::int64_t* out) {
        if (!hasCounter) return false;
        *out = countsPerSecond;
        return true;
    }
    static bool Counter(std::int64_t* out) {
        *out = counts;
        return true;
    }
    static std::uint32_t Milliseconds() { return milliseconds; }
};
bool FakeClock::hasCounter = false;
std::int64_t FakeClock::counts = 0;
std::int64_t FakeClock::countsPerSecond = 0;
std::uint32_t FakeClock::milliseconds = 0;

class FrameTimerTest : public ::testing::Test {
protected:
    void SetUp() override {
        FakeClock::hasCounter = false;
        FakeClock::counts = 0;
        FakeClock::countsPerSecond = 0;
        FakeClock::milliseconds = 0;
    }
    static TimeSource Fake() {
        return TimeSource{&FakeClock::Frequency, &FakeClock::Counter, &FakeClock::Milliseconds};
    }
    static void UseMicrosecondCounter(std::int64_t start) {
        FakeClock::hasCounter = true;
        FakeClock::countsPerSecond = 1000000;
        FakeClock::counts = start;
    }
};

TEST_F(FrameTimerTest, CalibrateChoosesCounterOrMillisecondTimer) {
    // The source is passed as a temporary: the timer must keep its own copy.
    FrameTimer fallback(2, Fake());
    fallback.Calibrate();
    EXPECT_FALSE(fallback.highResolution);
    EXPECT_EQ(fallback.frequency, 1000);
    EXPECT_EQ(fallback.secondsPerCount, 0.001f);
    ASSERT_NE(fallback.lapMarks, nullptr);

    UseMicrosecondCounter(0);
    FrameTimer counter(2, Fake());
    counter.Calibrate();
    EXPECT_TRUE(counter.highResolution);
    EXPECT_EQ(counter.frequency, 1000000);
    EXPECT_EQ(counter.secondsPerCount, static_cast<float>(1.0 / 1000000.0));

    FrameTimer noChannels(0, Fake());
    noChannels.Calibrate();
    EXPECT_EQ(noChannels.lapMarks, nullptr);
}

TEST_F(FrameTimerTest, MillisecondTimerSurvivesThe32BitWrap) {
    FakeClock::milliseconds = 0xFFFFFFF0u;
    FrameTimer timer(1, Fake());
    timer.Calibrate();
    timer.Restart();
    // The reading sits in the low 32 bits, not sign-extended.
    EXPECT_EQ(timer.lapMarks[0], std::int64_t{0xFFFFFFF0});

    FakeClock::milliseconds = 0x10;
    EXPECT_NEAR(timer.MillisecondsSince(timer.lapMarks[0]), 32.0, 1e-4);
    EXPECT_NEAR(timer.LapMilliseconds(0), 32.0, 1e-4);
}

TEST_F(FrameTimerTest, MillisecondTimerUsesOnlyTheMarksLow32Bits) {
    FakeClock::milliseconds = 1250;
    FrameTimer timer(1, Fake());
    timer.Calibrate();
    EXPECT_NEAR(timer.MillisecondsSince((std::int64_t{7} << 32) | 1000), 250.0, 1e-3);
}

TEST_F(FrameTimerTest, LapRenewsOnlyItsOwnChannel) {
    FakeClock::milliseconds = 100;
    FrameTimer timer(3, Fake());
    timer.Calibrate();
    timer.Restart();
    EXPECT_EQ(timer.LapMilliseconds(0), 0.0f) << "right after Restart";
    EXPECT_EQ(timer.LapMilliseconds(2), 0.0f) << "right after Restart";

    FakeClock::milliseconds = 150;
    EXPECT_NEAR(timer.LapMilliseconds(0), 50.0, 1e-3);
    FakeClock::milliseconds = 153;
    EXPECT_NEAR(timer.LapMilliseconds(0), 3.0, 1e-4) << "second lap: only the time between";
    EXPECT_NEAR(timer.LapMilliseconds(1), 53.0, 1e-3) << "channel 1 was not renewed";

    timer.Restart();
    FakeClock::milliseconds = 160;
    EXPECT_NEAR(timer.LapMilliseconds(1), 7.0, 1e-4) << "Restart renews every channel";
    EXPECT_NEAR(timer.LapMilliseconds(2), 7.0, 1e-4);
}

TEST_F(FrameTimerTest, NoChannelsAnswersMinusOne) {
    FrameTimer timer(0, Fake());
    timer.Calibrate();
    timer.Restart();
    EXPECT_EQ(timer.LapMilliseconds(0), -1.0f);
    EXPECT_EQ(timer.LapMilliseconds(5), -1.0f);
}

TEST_F(FrameTimerTest, CounterPathConvertsCountsToMilliseconds) {
    // A start far from zero: the difference, not the raw count, is converted.
    const std::int64_t start = std::int64_t{1} << 40;
    UseMicrosecondCounter(start);
    FrameTimer timer(2, Fake());
    timer.Calibrate();
    timer.Restart();
    EXPECT_EQ(timer.lapMarks[0], start);
    EXPECT_EQ(timer.LapMilliseconds(0), 0.0f);

    FakeClock::counts = start + 2500;
    EXPECT_FLOAT_EQ(timer.MillisecondsSince(start), 2.5f);
    EXPECT_FLOAT_EQ(timer.LapMilliseconds(0), 2.5f);
    EXPECT_EQ(timer.lapMarks[0], start + 2500);

    FakeClock::counts = start + 2500 + 16667;
    EXPECT_FLOAT_EQ(timer.LapMilliseconds(0), 16.667f);
    EXPECT_FLOAT_EQ(timer.LapMilliseconds(1), 19.167f);

    // A mark later than now gives a negative time rather than a huge one.
    EXPECT_FLOAT_EQ(timer.MillisecondsSince(FakeClock::counts + 1000), -1.0f);
    // The millisecond timer is not read on this path.
    FakeClock::milliseconds = 0xFFFFFFFFu;
    EXPECT_EQ(timer.LapMilliseconds(0), 0.0f);
}

TEST(FrameTimerPlatform, MeasuresRealTime) {
    FrameTimer timer(1);
    timer.Calibrate();
    EXPECT_TRUE(timer.highResolution);
    EXPECT_GT(timer.frequency, 1000);
    timer.Restart();
    const float start = timer.LapMilliseconds(0);
    EXPECT_GE(start, 0.0f);
    EXPECT_LT(start, 50.0f);

    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const float lap = timer.LapMilliseconds(0);
    EXPECT_GE(lap, 19.5f);
    EXPECT_LT(lap, 5000.0f);
}

}  // namespace
