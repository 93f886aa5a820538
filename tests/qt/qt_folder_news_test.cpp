// The Qt backend's wait ends when a watched folder changes, and only then.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/platform.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

TEST(QtFolderNews, ASaveEndsTheWaitAndQuietLetsItRunOut) {
    TempDir dir;
    ASSERT_TRUE(dir.Valid());
    platform::FolderWatchHandle watch = platform::OpenFolderWatch(dir.str().c_str());
    ASSERT_NE(watch, nullptr);

    // Nothing happens: the wait runs its full time.
    Clock::time_point start = Clock::now();
    platform::WaitForMessages(300);
    EXPECT_GE(MsSince(start), 280);
    EXPECT_EQ(platform::TakeFolderNews(watch), platform::FolderNews::None);

    // A save from another thread a moment into a long wait ends it.
    for (int save = 0; save < 3; ++save) {
        std::thread writer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            std::ofstream(dir.path() / "a.png", std::ios::binary) << std::string(37 + save, 'x');
        });
        start = Clock::now();
        platform::WaitForMessages(5000);
        const double waited = MsSince(start);
        writer.join();
        EXPECT_GE(waited, 100) << save;
        EXPECT_LT(waited, 2000) << save << ": the save did not end the wait";
        EXPECT_EQ(platform::TakeFolderNews(watch), platform::FolderNews::Changed) << save;
        // News taken leaves nothing to end the next wait early.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        platform::TakeFolderNews(watch);
        start = Clock::now();
        platform::WaitForMessages(200);
        EXPECT_GE(MsSince(start), 180) << save;
    }
    platform::CloseFolderWatch(watch);
}

}  // namespace
