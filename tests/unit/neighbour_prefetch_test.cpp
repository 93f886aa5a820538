// The prefetch worker on its own (no GL): what it hands over, what it
// refuses to, and that dropping or destroying it mid-work is safe.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "support/png_writer.h"
#include "support/temp_dir.h"
#include "viewer/neighbour_prefetch.h"

namespace {

std::string WriteGrey(const TempDir& dir, const std::string& name, unsigned width,
                      unsigned height, std::uint16_t value) {
    testpng::Picture pic;
    pic.width = width;
    pic.height = height;
    pic.color = testpng::Color::Rgb;
    pic.pixel = [value](unsigned, unsigned) { return testpng::Sample::Rgb(value, value, value); };
    const std::string path = dir.str() + "/" + name;
    EXPECT_TRUE(testpng::WritePng(path, pic));
    return path;
}

// A file whose time moves on at every look, as if saved continually.
std::atomic<int> gLooks{0};
platform::FileStamp Restless(const char*) {
    platform::FileStamp stamp;
    stamp.exists = true;
    stamp.size = 1;
    stamp.modified = ++gLooks;
    return stamp;
}

TEST(NeighbourPrefetchTest, HandsOverWhatItPreparedOnceAndOnlyWhileTheFileIsUnchanged) {
    TempDir dir("zintra-prefetch");
    const std::string a = WriteGrey(dir, "a.png", 33, 17, 40);
    const std::string b = WriteGrey(dir, "b.png", 20, 20, 90);
    NeighbourPrefetch prefetch;
    prefetch.Want({a, b});
    prefetch.WaitIdle();
    EXPECT_EQ(prefetch.ReadyCount(), 2u);
    glpng::TextureSize size{0, 0};
    ASSERT_TRUE(prefetch.WaitForSize(a, &size));
    EXPECT_EQ(size.width, 33u);
    EXPECT_EQ(size.height, 17u);

    auto prepared = prefetch.Take(a);
    ASSERT_TRUE(prepared);
    EXPECT_EQ(prepared->levels.size(), 6u);  // 33x17 down to 1x1
    EXPECT_EQ(prepared->pixels.get()[0], 40);
    EXPECT_FALSE(prefetch.Take(a)) << "handed over twice";

    WriteGrey(dir, "b.png", 21, 20, 91);  // saved again after it was prepared
    EXPECT_FALSE(prefetch.Take(b));
    EXPECT_FALSE(prefetch.Take(dir.str() + "/never-wanted.png"));
}

TEST(NeighbourPrefetchTest, RefusesFilesChangedWhileReadLargerThanTheCapOrBroken) {
    TempDir dir("zintra-prefetch");
    const std::string a = WriteGrey(dir, "a.png", 16, 16, 1);
    {
        NeighbourPrefetch restless(Restless);
        restless.Want({a});
        restless.WaitIdle();
        EXPECT_FALSE(restless.Take(a));
    }
    const std::string big = WriteGrey(dir, "big.png", 64, 64, 1);
    const std::string broken = dir.str() + "/broken.png";
    std::FILE* f = std::fopen(broken.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("\x89PNG\r\n\x1a\n not really", f);
    std::fclose(f);
    NeighbourPrefetch capped(platform::StampOf, 32 * 32);
    capped.Want({big, broken});
    capped.WaitIdle();
    EXPECT_EQ(capped.ReadyCount(), 0u);
    EXPECT_FALSE(capped.Take(big));
    EXPECT_FALSE(capped.Take(broken));
}

TEST(NeighbourPrefetchTest, HoldsTwoFilesAtMostAndLetsGoOfWhatIsNoLongerWanted) {
    TempDir dir("zintra-prefetch");
    std::vector<std::string> files;
    for (int i = 0; i < 6; ++i)
        files.push_back(WriteGrey(dir, std::to_string(i) + ".png", 300, 200, std::uint16_t(i)));
    NeighbourPrefetch prefetch;
    // Wants that change faster than the worker finishes, then a quick end:
    // nothing leaks and nothing waits for ever (the sanitizer build checks).
    for (int round = 0; round < 40; ++round) {
        prefetch.Want({files[round % 6], files[(round + 1) % 6], files[(round + 2) % 6]});
        if (round % 10 == 9) {
            prefetch.WaitIdle();
            EXPECT_LE(prefetch.ReadyCount(), NeighbourPrefetch::kMaxEntries);
        }
    }
    prefetch.WaitIdle();
    EXPECT_FALSE(prefetch.Take(files[(39 + 2) % 6])) << "a third file was held";
    prefetch.Want({});
    EXPECT_EQ(prefetch.ReadyCount(), 0u);
    prefetch.Want({files[0], files[1]});  // destroyed while working
}

}  // namespace
