// Change detection on a fake file system and a fake clock,
// as editors save: in place, atomically, in halves, in bursts, deleted
// and written anew.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "viewer/change_watch.h"

namespace {

std::map<std::string, platform::FileStamp> gFiles;
int gLooks = 0;

platform::FileStamp FakeStamp(const char* path) {
    ++gLooks;
    const auto it = gFiles.find(path);
    return it == gFiles.end() ? platform::FileStamp{} : it->second;
}

void Write(const std::string& path, std::uint64_t size) {
    static std::int64_t clock = 1;
    gFiles[path] = platform::FileStamp{true, size, ++clock};
}

class ChangeWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        gFiles.clear();
        Write("/t", 0);
        Write("/t/a.png", 100);
        watch.Watch("/t/a.png", "/t");
    }
    // Runs the loop for `ms` in 10 ms passes; everything found meanwhile.
    unsigned Run(double ms) {
        unsigned found = 0;
        for (double t = 0; t < ms; t += 10) found |= watch.Poll(10);
        return found;
    }
    int Reports(double ms, unsigned what) {
        int n = 0;
        for (double t = 0; t < ms; t += 10) n += (watch.Poll(10) & what) != 0;
        return n;
    }
    ChangeWatch watch{FakeStamp};
};

TEST_F(ChangeWatchTest, NothingChangedNothingReported) {
    EXPECT_EQ(Run(2000), unsigned(ChangeWatch::kNone));
}

TEST_F(ChangeWatchTest, InPlaceAndAtomicSavesReportAtTheFirstLookOnce) {
    Write("/t/a.png", 120);  // truncated and rewritten in place
    EXPECT_EQ(Run(ChangeWatch::kIntervalMs), unsigned(ChangeWatch::kFileChanged))
        << "a save after a quiet spell waits for nothing";
    EXPECT_EQ(Run(1000), unsigned(ChangeWatch::kNone));

    // A temporary appears and is renamed over the file: the folder and the
    // file both change, by path, however often it happens.
    for (int save = 0; save < 3; ++save) {
        Write("/t/.a.png.tmp", 130);
        Run(20);
        gFiles.erase("/t/.a.png.tmp");
        Write("/t/a.png", 130 + save);
        Write("/t", 0);
        EXPECT_EQ(Run(500), unsigned(ChangeWatch::kFileChanged | ChangeWatch::kFolderChanged)) << save;
    }
}

TEST_F(ChangeWatchTest, ASaveInTwoHalvesAndABurstReloadAfterTheLastWrite) {
    // The first half is seen at once (and would not decode); the second,
    // close behind it, once it has stood still.
    Write("/t/a.png", 50);
    EXPECT_EQ(Run(120), unsigned(ChangeWatch::kFileChanged));
    Write("/t/a.png", 90);
    EXPECT_EQ(Run(ChangeWatch::kSettleMs - 20), unsigned(ChangeWatch::kNone));
    EXPECT_EQ(Reports(600, ChangeWatch::kFileChanged), 1);

    // A dozen saves in a second: a handful of reloads, the last one after
    // the last save.
    int reloads = 0;
    for (int save = 0; save < 12; ++save) {
        Write("/t/a.png", 200 + save);
        reloads += Reports(85, ChangeWatch::kFileChanged);
    }
    reloads += Reports(500, ChangeWatch::kFileChanged);
    EXPECT_GE(reloads, 1);
    EXPECT_LE(reloads, 4);
    EXPECT_EQ(Run(500), unsigned(ChangeWatch::kNone));
}

TEST_F(ChangeWatchTest, AMissingFileWaitsAndTheFolderWaitsWithIt) {
    gFiles.erase("/t/a.png");
    Write("/t", 0);
    EXPECT_EQ(Run(2000), unsigned(ChangeWatch::kNone)) << "a vanished file keeps its picture";
    Write("/t/a.png", 300);  // written anew
    Write("/t", 0);
    EXPECT_EQ(Run(500), unsigned(ChangeWatch::kFileChanged | ChangeWatch::kFolderChanged));

    // A file added beside it: the folder alone.
    Write("/t/b.png", 10);
    Write("/t", 0);
    EXPECT_EQ(Run(500), unsigned(ChangeWatch::kFolderChanged));
}

TEST_F(ChangeWatchTest, AFileThatWillNotDecodeIsRetriedThenGivenUp) {
    Write("/t/a.png", 10);  // cut short
    ASSERT_EQ(Run(300), unsigned(ChangeWatch::kFileChanged));
    watch.LoadFailed();
    Write("/t/a.png", 20);  // still being written
    ASSERT_EQ(Run(300), unsigned(ChangeWatch::kFileChanged));
    watch.LoadFailed();
    EXPECT_EQ(Run(ChangeWatch::kRetryForMs), unsigned(ChangeWatch::kGiveUp));

    // A success in time cancels the giving up.
    Write("/t/a.png", 30);
    ASSERT_EQ(Run(300), unsigned(ChangeWatch::kFileChanged));
    watch.LoadFailed();
    Write("/t/a.png", 40);
    ASSERT_EQ(Run(300), unsigned(ChangeWatch::kFileChanged));
    watch.LoadSucceeded();
    EXPECT_EQ(Run(2 * ChangeWatch::kRetryForMs), unsigned(ChangeWatch::kNone));
}

// A file put down in pieces `gapMs` apart, loaded as the viewer does at
// each change: never given up on at a look that saw a change, and the
// last piece shows and stays.
// 4 x 990, 2 x 2995 and 8 x 400 (settled after 150 ms) bring the last
// piece to the look that gives up; 6 x 1000 is given up on before its
// last pieces.
TEST_F(ChangeWatchTest, AFileWrittenInPiecesShowsOnceWhole) {
    const std::pair<int, double> writers[] = {{4, 990}, {2, 2995}, {6, 1000}, {8, 400}};
    for (const auto& [pieces, gapMs] : writers) {
        watch = ChangeWatch(FakeStamp);
        SetUp();
        bool unreadable = false, whole = false;
        for (int piece = 1; piece <= pieces; ++piece) {
            Write("/t/a.png", 1000 + piece);
            for (double t = 0; t < (piece == pieces ? 5000 : gapMs); t += 10) {
                const unsigned found = watch.Poll(10);
                EXPECT_NE(found, unsigned(ChangeWatch::kFileChanged | ChangeWatch::kGiveUp))
                    << pieces << " x " << gapMs << ": given up on at the look that saw a change";
                if (found & ChangeWatch::kGiveUp) unreadable = true;
                if (!(found & ChangeWatch::kFileChanged)) continue;
                whole = piece == pieces;
                unreadable = unreadable && !whole;
                if (whole) watch.LoadSucceeded();
                else watch.LoadFailed();
            }
        }
        EXPECT_TRUE(whole && !unreadable) << pieces << " x " << gapMs;
    }
}

// A file another program holds comes back by itself, ever less often,
// until it loads or changes; once more after the holder let go.
TEST_F(ChangeWatchTest, AFileInUseIsTriedAgainUntilItLoads) {
    Write("/t/a.png", 10);
    ASSERT_EQ(watch.Poll(10), unsigned(ChangeWatch::kFileChanged));  // a look
    auto retryAfter = [&](bool inUse) {
        watch.LoadFailed(inUse);
        for (double t = 10; t <= 5000; t += 10)
            if (watch.Poll(10) & ChangeWatch::kRetry) return t;
        return -1.0;
    };
    std::vector<double> gaps;
    for (bool inUse : {true, true, true, true, true, false, false}) gaps.push_back(retryAfter(inUse));
    EXPECT_EQ(gaps, (std::vector<double>{200, 400, 800, 1600, 1600, 1600, -1}));
    // A change starts the backoff again; a load ends it.
    watch.LoadFailed(true);
    Write("/t/a.png", 20);
    EXPECT_EQ(Run(100), unsigned(ChangeWatch::kFileChanged));
    EXPECT_EQ(retryAfter(true), 200);
    watch.LoadSucceeded();
    EXPECT_EQ(Run(5000), unsigned(ChangeWatch::kNone));
}

TEST_F(ChangeWatchTest, AFolderChangeSurvivesAStepToAnotherFile) {
    Write("/t/c.png", 10);
    Write("/t", 0);
    ASSERT_EQ(Run(110), unsigned(ChangeWatch::kFolderChanged));
    Write("/t/b.png", 10);
    Write("/t", 0);
    Run(50);  // close behind the last: seen, not settled
    watch.Watch("/t/b.png", "/t");
    EXPECT_EQ(Run(500), unsigned(ChangeWatch::kFolderChanged));
    watch.Stop();
    Write("/t/b.png", 11);
    EXPECT_EQ(Run(500), unsigned(ChangeWatch::kNone));
}

}  // namespace

namespace {

// A stand-in for the system's folder watch: news is raised by hand.
struct FakeSystem {
    bool opens = true;
    platform::FolderNews next = platform::FolderNews::None;
    int open = 0;
} gSystem;

platform::FolderWatchTag* const kFakeHandle = reinterpret_cast<platform::FolderWatchTag*>(1);

const ChangeWatch::Notices kFakeNotices = {
    [](const char*) -> platform::FolderWatchHandle {
        if (!gSystem.opens) return nullptr;
        ++gSystem.open;
        return kFakeHandle;
    },
    [](platform::FolderWatchHandle) {
        const platform::FolderNews news = gSystem.next;
        if (news == platform::FolderNews::Changed) gSystem.next = platform::FolderNews::None;
        return news;
    },
    [](platform::FolderWatchHandle) { --gSystem.open; }};

class NotifiedWatchTest : public ChangeWatchTest {
protected:
    void SetUp() override {
        gSystem = FakeSystem{};
        watch.UseNotices(&kFakeNotices);
        ChangeWatchTest::SetUp();
    }
    void TearDown() override {
        watch.Stop();
        EXPECT_EQ(gSystem.open, 0) << "every watch opened is closed";
    }
    // Sleeps as the viewer does, until the watch's next look or `ms` is up.
    unsigned Sleep(double ms, int* wakes = nullptr) {
        unsigned found = 0;
        for (double t = 0; t < ms;) {
            // News ends the sleep at once.
            const bool news = gSystem.next != platform::FolderNews::None;
            const double step = news ? 1 : std::min(watch.UntilLookMs(), ms - t);
            t += std::max(step, 1.0);
            found |= watch.Poll(std::max(step, 1.0));
            if (wakes && step < ms) ++*wakes;
        }
        return found;
    }
    static void News() { gSystem.next = platform::FolderNews::Changed; }
};

TEST_F(NotifiedWatchTest, AtRestNothingIsLookedAtAndNoWakeIsDue) {
    ASSERT_TRUE(watch.Notified());
    gLooks = 0;
    EXPECT_EQ(Run(10000), unsigned(ChangeWatch::kNone));
    EXPECT_EQ(gLooks, 0);
    EXPECT_EQ(watch.UntilLookMs(), ChangeWatch::kNever);
    // News that changed nothing the watch follows: a look or two, then rest.
    News();
    EXPECT_EQ(Run(1000), unsigned(ChangeWatch::kNone));
    EXPECT_GT(gLooks, 0);
    EXPECT_LE(gLooks, 2 * 3);
    EXPECT_EQ(watch.UntilLookMs(), ChangeWatch::kNever);
}

// Each way of saving, told of as the system tells of it, finds what the
// polling finds, and the watch rests again after.
TEST_F(NotifiedWatchTest, EverySaveToldOfIsFoundAndTheWatchRestsAfter) {
    struct Save {
        const char* name;
        void (*write)();
        unsigned found;
    };
    const Save saves[] = {
        {"in place", [] { Write("/t/a.png", 120); }, ChangeWatch::kFileChanged},
        {"renamed over", [] {
             gFiles.erase("/t/a.png");
             Write("/t/a.png", 130);
             Write("/t", 0);
         }, ChangeWatch::kFileChanged | ChangeWatch::kFolderChanged},
        {"a file added", [] {
             Write("/t/b.png", 10);
             Write("/t", 0);
         }, ChangeWatch::kFolderChanged},
        {"a file removed", [] {
             gFiles.erase("/t/b.png");
             Write("/t", 0);
         }, ChangeWatch::kFolderChanged},
        {"attributes only", [] { Write("/t/a.png", 130); }, ChangeWatch::kFileChanged},
    };
    for (const Save& save : saves) {
        Sleep(2000);
        save.write();
        News();
        int wakes = 0;
        EXPECT_EQ(Sleep(1000, &wakes), save.found) << save.name;
        EXPECT_LE(wakes, 5) << save.name;
        EXPECT_EQ(watch.UntilLookMs(), ChangeWatch::kNever) << save.name;
    }
}

TEST_F(NotifiedWatchTest, WrittenInPiecesTheLastPieceShowsOnceSettled) {
    Write("/t/a.png", 50);
    News();
    EXPECT_EQ(Run(20), unsigned(ChangeWatch::kFileChanged)) << "seen at the news, not later";
    Write("/t/a.png", 90);
    News();
    EXPECT_EQ(Run(ChangeWatch::kSettleMs - 20), unsigned(ChangeWatch::kNone));
    EXPECT_EQ(Sleep(600), unsigned(ChangeWatch::kFileChanged));
}

TEST_F(NotifiedWatchTest, DeletedThenWrittenAnewWaitsAsleepForTheFile) {
    gFiles.erase("/t/a.png");
    Write("/t", 0);
    News();
    EXPECT_EQ(Sleep(2000), unsigned(ChangeWatch::kNone));
    EXPECT_EQ(watch.UntilLookMs(), ChangeWatch::kNever) << "a missing file is not polled for";
    Write("/t/a.png", 300);
    Write("/t", 0);
    News();
    EXPECT_EQ(Sleep(500), unsigned(ChangeWatch::kFileChanged | ChangeWatch::kFolderChanged));
}

TEST_F(NotifiedWatchTest, RetriesAndGivingUpKeepTheirTimesWithoutNews) {
    Write("/t/a.png", 10);
    News();
    ASSERT_EQ(Sleep(300), unsigned(ChangeWatch::kFileChanged));
    watch.LoadFailed(true);
    EXPECT_LE(watch.UntilLookMs(), ChangeWatch::kInUseFirstMs);
    EXPECT_EQ(Sleep(ChangeWatch::kInUseFirstMs + 10), unsigned(ChangeWatch::kRetry));
    watch.LoadFailed(false);
    EXPECT_TRUE(Sleep(ChangeWatch::kRetryForMs) & ChangeWatch::kGiveUp);
    EXPECT_EQ(watch.UntilLookMs(), ChangeWatch::kNever);
}

TEST_F(NotifiedWatchTest, WithoutAWatchOrOnceItIsLostTheStampsArePolled) {
    const std::pair<const char*, bool> cases[] = {{"lost", true}, {"never opened", false}};
    for (const auto& [name, opens] : cases) {
        watch.Stop();
        gSystem.opens = opens;
        watch.Watch("/t/a.png", "/t");
        if (opens) {
            ASSERT_TRUE(watch.Notified()) << name;
            gSystem.next = platform::FolderNews::Lost;
        }
        Run(20);
        EXPECT_FALSE(watch.Notified()) << name;
        EXPECT_LE(watch.UntilLookMs(), ChangeWatch::kIntervalMs) << name;
        Write("/t/a.png", opens ? 500 : 600);  // no news
        EXPECT_EQ(Run(ChangeWatch::kIntervalMs + 10), unsigned(ChangeWatch::kFileChanged)) << name;
    }
}

}  // namespace
