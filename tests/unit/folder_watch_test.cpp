// The system's folder watch: each way a save touches a folder is told of,
// nothing is told when nothing happens, and a folder that goes is lost.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

void Put(const fs::path& path, std::size_t bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << std::string(bytes, 'x');
}

// Asks until the watch tells something other than None (the system may
// tell a moment late) or two seconds passed.
platform::FolderNews Await(platform::FolderWatchHandle watch) {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const platform::FolderNews news = platform::TakeFolderNews(watch);
        if (news != platform::FolderNews::None ||
            std::chrono::steady_clock::now() - start > std::chrono::seconds(2))
            return news;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// News still on its way is taken, so the next step starts from quiet.
void Drain(platform::FolderWatchHandle watch) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    while (platform::TakeFolderNews(watch) == platform::FolderNews::Changed)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

TEST(FolderWatch, EveryWayASaveTouchesTheFolderIsToldOf) {
    TempDir dir;
    ASSERT_TRUE(dir.Valid());
    const fs::path file = dir.path() / "a.png";
    Put(file, 37);
    platform::FolderWatchHandle watch = platform::OpenFolderWatch(dir.str().c_str());
    ASSERT_NE(watch, nullptr);

    const struct {
        const char* name;
        std::function<void()> act;
    } saves[] = {
        {"written in place", [&] { Put(file, 53); }},
        {"renamed over", [&] {
             Put(dir.path() / "a.png.tmp", 61);
             fs::rename(dir.path() / "a.png.tmp", file);
         }},
        {"a file added", [&] { Put(dir.path() / "b.png", 11); }},
        {"a file removed", [&] { fs::remove(dir.path() / "b.png"); }},
        {"deleted", [&] { fs::remove(file); }},
        {"written anew", [&] { Put(file, 77); }},
        {"modification time only", [&] {
             fs::last_write_time(file, fs::last_write_time(file) - std::chrono::hours(1));
         }},
    };
    for (const auto& save : saves) {
        Drain(watch);
        EXPECT_EQ(platform::TakeFolderNews(watch), platform::FolderNews::None) << save.name;
        save.act();
        EXPECT_EQ(Await(watch), platform::FolderNews::Changed) << save.name;
    }
    platform::CloseFolderWatch(watch);
}

TEST(FolderWatch, AMissingFolderGivesNoWatch) {
    TempDir dir;
    ASSERT_TRUE(dir.Valid());
    EXPECT_EQ(platform::OpenFolderWatch((dir.str() + "/gone").c_str()), nullptr);
    EXPECT_EQ(platform::OpenFolderWatch(""), nullptr);
}

#ifndef _WIN32
// Windows keeps a watched folder until the watch is closed.
TEST(FolderWatch, AFolderRemovedIsLostForGood) {
    TempDir dir;
    ASSERT_TRUE(dir.Valid());
    const fs::path sub = dir.path() / "textures";
    fs::create_directory(sub);
    platform::FolderWatchHandle watch = platform::OpenFolderWatch(sub.string().c_str());
    ASSERT_NE(watch, nullptr);
    fs::remove(sub);
    platform::FolderNews news = Await(watch);
    if (news == platform::FolderNews::Changed) news = Await(watch);
    EXPECT_EQ(news, platform::FolderNews::Lost);
    EXPECT_EQ(platform::TakeFolderNews(watch), platform::FolderNews::Lost) << "stays lost";
    platform::CloseFolderWatch(watch);
}
#endif

}  // namespace
