// The real program left alone: it sleeps instead of drawing frame after
// frame, and still answers the first key after the rest.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

#include "e2e/harness.h"

namespace {

using e2e::Image;
using e2e::Is;

const std::string kDash = " \u2014 ";
constexpr e2e::Colour kRed{220, 40, 40};
constexpr e2e::Colour kBlue{40, 60, 220};

// User plus system CPU time of a process in seconds; negative when unknown.
double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return -1;
    // The name in parentheses may hold blanks: fields are counted after it.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    unsigned long utime = 0, stime = 0;
    // State is field 3; utime and stime are fields 14 and 15.
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoul(field);
        if (i == 15) stime = std::stoul(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

class IdleE2ETest : public e2e::SessionTest {};

TEST_F(IdleE2ETest, LeftAloneItSleepsAndStillAnswersTheFirstKey) {
    ASSERT_TRUE(e2e::WriteSolid(textureDir + "/a.png", 64, kRed));
    ASSERT_TRUE(e2e::WriteSolid(textureDir + "/b.png", 64, kBlue));
    settings.autoRefresh = true;  // the watch looks ten times a second
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ(session.WaitForTitleText("Zintra - Zintra" + kDash + "a.png (64 \u00d7 64) 1/2"),
              "Zintra - Zintra" + kDash + "a.png (64 \u00d7 64) 1/2");
    e2e::SleepMs(1000);  // the first pictures and the window's placement

    const pid_t pid = session.ProgramPid();
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds(pid);
    e2e::SleepMs(3000);
    const double cpuEnd = CpuSeconds(pid);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    ASSERT_GE(cpuStart, 0);
    ASSERT_GE(cpuEnd, 0);
    // A loop that draws without pause takes most of a core under Xvfb; a
    // resting one a fraction of a percent. The bound is far from both.
    const double share = (cpuEnd - cpuStart) / wall;
    EXPECT_LT(share, 0.2) << "an idle program took " << share * 100 << " % of a core";

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
