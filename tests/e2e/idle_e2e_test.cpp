// The real program left alone: it sleeps instead of drawing frame after
// frame, its main thread wakes for nothing while the folder stands still,
// and it still answers the first key and the first save after the rest.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <string>

#include "e2e/harness.h"
#include "support/process_cpu.h"

namespace {

using e2e::Image;
using e2e::Is;

const std::string kDash = " \u2014 ";
constexpr e2e::Colour kRed{220, 40, 40};
constexpr e2e::Colour kBlue{40, 60, 220};


class IdleE2ETest : public e2e::SessionTest {};

TEST_F(IdleE2ETest, LeftAloneItSleepsAndStillAnswersTheFirstKey) {
    ASSERT_TRUE(e2e::WriteSolid(textureDir + "/a.png", 64, kRed));
    ASSERT_TRUE(e2e::WriteSolid(textureDir + "/b.png", 64, kBlue));
    settings.autoRefresh = true;  // the folder is watched
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ(session.WaitForTitleText("Zintra - Zintra" + kDash + "a.png (64 \u00d7 64) 1/2"),
              "Zintra - Zintra" + kDash + "a.png (64 \u00d7 64) 1/2");
    e2e::SleepMs(1000);  // the first pictures and the window's placement

    const pid_t pid = session.ProgramPid();
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = ProcessCpuSeconds(pid);
    const long wakeStart = MainThreadWakeups(pid);
    e2e::SleepMs(3000);
    const double cpuEnd = ProcessCpuSeconds(pid);
    const long wakeEnd = MainThreadWakeups(pid);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    ASSERT_GE(cpuStart, 0);
    ASSERT_GE(cpuEnd, 0);
    // A loop that draws without pause takes most of a core under Xvfb; a
    // resting one a fraction of a percent. The bound is far from both.
    const double share = (cpuEnd - cpuStart) / wall;
    EXPECT_LT(share, 0.2) << "an idle program took " << share * 100 << " % of a core";
    // Polling the stamps woke it ten times a second; the watch not at all
    // (a stray wake from the window system is let be).
    ASSERT_GE(wakeStart, 0);
    EXPECT_LE(static_cast<double>(wakeEnd - wakeStart) / wall, 1.0)
        << wakeEnd - wakeStart << " wake-ups in " << wall << " s at rest";

    // A save after the rest wakes it and shows.
    ASSERT_TRUE(e2e::WriteSolid(textureDir + "/a.png", 64, kBlue));
    EXPECT_NE(session.WaitForTitleMatching("reloaded", 3000), 0ul) << "the save was not seen";

    // The first key after the rest steps, and the new picture is drawn.
    ASSERT_TRUE(session.Key("bracketright"));
    EXPECT_EQ(session.WaitForTitleText("Zintra - Zintra" + kDash + "b.png (64 \u00d7 64) 2/2"),
              "Zintra - Zintra" + kDash + "b.png (64 \u00d7 64) 2/2");
    const int x = gl.CentreX(), y = gl.CentreY();
    const Image shot = session.WaitForScreen([&](const Image& s) { return Is(s, x, y, kBlue); }, 5000);
    EXPECT_TRUE(Is(shot, x, y, kBlue)) << e2e::DescribePixel(shot, x, y);
    QuitWithEscape();
}

}  // namespace
