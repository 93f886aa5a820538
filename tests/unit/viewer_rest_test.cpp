// The viewer in the real loop: it rests (the loop waits) only when nothing
// is held, dragged or changing, every key and mouse message that arrives
// while it rests is acted on and drawn, and it wakes in time for the
// watch and the reload mark.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/command_ids.h"
#include "platform/headless/headless.h"
#include "support/viewer_fixture.h"

namespace {

constexpr int kKeyF = 0x46;
constexpr int kKeyG = 0x47;
constexpr int kKeyM = 0x4D;
constexpr int kKeyF5 = 0x74;

platform::LParam Point(int x, int y) {
    return static_cast<platform::LParam>((static_cast<std::uint32_t>(y) << 16) |
                                         static_cast<std::uint16_t>(x));
}

// A key pressed and let go between two passes.
void Tap(int key) {
    headless::Post(WM_KEYDOWN, static_cast<platform::WParam>(key));
    headless::Post(WM_KEYUP, static_cast<platform::WParam>(key));
}

// One thing done while the viewer rests, and what must hold by the next rest.
struct Step {
    std::string name;
    std::function<void()> post;
    std::function<bool()> done;
};

class ViewerRestTest : public ViewerFixture {
protected:
    void SetUp() override {
        ViewerFixture::SetUp();
        if (HasFatalFailure()) return;
        WriteTexture("a.png", 256, 256);
        WriteTexture("b.png", 256, 256);
        WriteTexture("c.png", 256, 256);
    }

    // Runs the loop until it quits. Each wait first lets the fake clock
    // pass the time asked for, so the viewer's timers see the sleep; each
    // swap is a 20 ms frame. `onWait` and `onSwap` (either may be empty)
    // run after that.
    void RunLoop(bool autoRefresh, std::function<void(int wait)> onWait,
                 std::function<void()> onSwap = nullptr) {
        ASSERT_TRUE(app().Init());
        viewer().watch.UseNotices(nullptr);
        viewer().SetDirectory(textures().c_str(), false);
        viewer().autoRefresh = autoRefresh;
        headless::Get().whileWaiting = [this, onWait] {
            const int wait = headless::Get().waits;
            if (wait == 1) UseFakeClock();
            // A sleep without limit ends by whatever the step posts.
            const std::uint32_t ms = headless::Get().lastWaitMs;
            AdvanceMs(ms == platform::kWaitForever ? kEndlessMs : ms);
            for (bool down : app().keyDown) heldAtWait |= down;
            if (app().viewer && (viewer().moveMode || viewer().rotateMode || viewer().zoomMode))
                modeAtWait = true;
            // A lost script must still end.
            if (wait > 200) headless::Post(WM_QUIT);
            if (onWait) onWait(wait);
        };
        headless::Get().afterSwap = [onSwap] {
            AdvanceMs(20);
            // A loop that never rests must still end.
            if (headless::Get().swaps == 2000) headless::Post(WM_QUIT);
            if (onSwap) onSwap();
        };
        gApplication = &app();
        app().Run(nullptr, nullptr, "", 0, app().viewer.get());
        gApplication = nullptr;
        headless::Get().whileWaiting = nullptr;
        headless::Get().afterSwap = nullptr;
    }

    static constexpr std::uint32_t kEndlessMs = 5000;
    bool heldAtWait = false;
    bool modeAtWait = false;
};

TEST_F(ViewerRestTest, EveryKeyAndMouseMessageWhileRestingIsActedOnAndDrawn) {
    int before = 0;
    int modeSwaps = 0;
    bool sawMove = false, sawRotate = false, sawHeld = false;
    std::vector<Step> steps = {
        {"] steps forward", [] { Tap(VK_OEM_6); },
         [&] { return viewer().currentIndex == 1 && headless::Get().title.find("b.png") != std::string::npos; }},
        {"[ steps back", [] { Tap(VK_OEM_4); }, [&] { return viewer().currentIndex == 0; }},
        {"G marks the tile", [] { Tap(kKeyG); }, [&] { return viewer().tileMarks; }},
        {"M repeats across", [] { Tap(kKeyM); },
         [&] { return viewer().repeatMode == RepeatMode::Across; }},
        {"2 magnifies", [] { Tap('2'); }, [&] { return viewer().viewScale == 2.0f; }},
        {"F fits", [] { Tap(kKeyF); }, [&] { return viewer().fitted; }},
        {"1 is one texel per pixel", [] { Tap('1'); },
         [&] { return viewer().viewScale == 1.0f && !viewer().fitted; }},
        {"the wheel zooms out",
         [&] {
             before = viewer().distance;
             const auto down = static_cast<std::uint16_t>(static_cast<std::int16_t>(-WHEEL_DELTA));
             headless::Post(WM_MOUSEWHEEL, static_cast<platform::WParam>(down) << 16, Point(100, 100));
         },
         [&] { return viewer().distance == before + 3 * 16; }},
        {"a left drag pans to the pointer",
         [&] {
             modeSwaps = 0;
             headless::Post(WM_MOUSEMOVE, 0, Point(100, 100));
             headless::Post(WM_LBUTTONDOWN, MK_LBUTTON, Point(100, 100));
         },
         // 100 of 512 pixels: 156 texels of a 256 texture off centre.
         [&] { return sawMove && viewer().offsetX == 156 && viewer().offsetY == -156; }},
        {"a middle drag tilts",
         [&] {
             modeSwaps = 0;
             headless::Post(WM_MBUTTONDOWN, MK_MBUTTON, Point(100, 100));
         },
         [&] { return sawRotate && viewer().yaw == 20; }},
        {"a held arrow pans pass after pass",
         [&] {
             modeSwaps = 0;
             before = viewer().offsetX;
             headless::Post(WM_KEYDOWN, VK_RIGHT);
         },
         [&] { return sawHeld && viewer().offsetX <= before - 4 * 4; }},
        {"F5 reloads", [] { Tap(kKeyF5); }, [&] { return viewer().JustReloaded(); }},
    };

    std::size_t next = 0;
    int swapsAtPost = 0;
    std::vector<std::string> failed;
    const auto onWait = [&](int) {
        if (next > 0) {
            const Step& step = steps[next - 1];
            if (!step.done()) failed.push_back(step.name);
            if (headless::Get().swaps <= swapsAtPost) failed.push_back(step.name + ": not drawn");
        }
        if (next == steps.size()) {
            Tap(VK_ESCAPE);  // no mode on: quits
            return;
        }
        swapsAtPost = headless::Get().swaps;
        steps[next++].post();
    };
    // Modes and held keys end after a few frames, without a wait between.
    const auto onSwap = [&] {
        if (!app().viewer) return;
        ViewerScene& v = viewer();
        if (v.moveMode || v.rotateMode) {
            ++modeSwaps;
            sawMove |= v.moveMode;
            sawRotate |= v.rotateMode;
            if (v.rotateMode && modeSwaps == 1) headless::Post(WM_MOUSEMOVE, 0, Point(140, 100));
            if (modeSwaps == 3)
                headless::Post(v.moveMode ? WM_LBUTTONUP : WM_MBUTTONUP, 0, Point(140, 100));
        } else if (app().keyDown[VK_RIGHT]) {
            sawHeld = true;
            if (++modeSwaps == 5) headless::Post(WM_KEYUP, VK_RIGHT);
        }
    };
    RunLoop(true, onWait, onSwap);

    EXPECT_EQ(next, steps.size()) << "the loop ended before the script did";
    EXPECT_TRUE(failed.empty()) << "not acted on: " << ::testing::PrintToString(failed);
    EXPECT_EQ(app().viewer, nullptr) << "Escape did not quit";
    EXPECT_FALSE(heldAtWait) << "waited with a key held";
    EXPECT_FALSE(modeAtWait) << "waited in a mouse mode";
    EXPECT_LT(headless::Get().waits, 200);
}

TEST_F(ViewerRestTest, NoWaitWhileAKeyIsHeldOrAModeIsOn) {
    // Wait 1: Shift goes down, and is let go after ten frames. Wait 2: the
    // Commands menu's Zoom, ended by Escape after ten frames. Wait 3: quit.
    int busySwaps = 0;
    std::vector<int> waitsWhenBusy;
    const auto onWait = [&](int wait) {
        busySwaps = 0;
        if (wait == 1) headless::Post(WM_KEYDOWN, VK_SHIFT);
        if (wait == 2) headless::Post(WM_COMMAND, IDM_ZOOM);
        if (wait == 3) Tap(VK_ESCAPE);
    };
    const auto onSwap = [&] {
        if (!app().viewer) return;
        const bool shift = app().keyDown[VK_SHIFT], zoom = viewer().zoomMode;
        if (!shift && !zoom) return;
        if (++busySwaps < 10) return;
        waitsWhenBusy.push_back(headless::Get().waits);
        if (shift) headless::Post(WM_KEYUP, VK_SHIFT);
        else Tap(VK_ESCAPE);  // ends the mode, does not quit
    };
    RunLoop(true, onWait, onSwap);
    EXPECT_EQ(waitsWhenBusy, (std::vector<int>{1, 2})) << "ten frames each, no wait between";
    EXPECT_EQ(headless::Get().waits, 3);
    EXPECT_FALSE(heldAtWait);
    EXPECT_FALSE(modeAtWait);
}

TEST_F(ViewerRestTest, WakesForTheWatchsLookWithAutoRefreshAndRestsLongWithout) {
    std::vector<std::uint32_t> waits;
    RunLoop(true, [&](int wait) {
        waits.push_back(headless::Get().lastWaitMs);
        if (wait == 5) Tap(VK_ESCAPE);
    });
    ASSERT_EQ(waits.size(), 5u);
    for (std::uint32_t ms : waits) {
        EXPECT_GE(ms, 1u);
        EXPECT_LE(ms, 101u);
    }
}

TEST_F(ViewerRestTest, WithoutAutoRefreshSleepsLongButWakesToEndTheReloadMark) {
    std::vector<std::uint32_t> waits;
    std::vector<std::string> titles;
    RunLoop(false, [&](int wait) {
        waits.push_back(headless::Get().lastWaitMs);
        titles.push_back(headless::Get().title);
        if (wait == 1) Tap(kKeyF5);
        if (wait == 8) Tap(VK_ESCAPE);
    });
    ASSERT_EQ(waits.size(), 8u);
    EXPECT_EQ(waits[0], platform::kWaitForever) << "nothing is due";
    // F5: the mark shows for two seconds; the loop sleeps long, then just
    // as long as the mark has left.
    std::size_t gone = 1;
    while (gone < titles.size() && titles[gone].find("reloaded") != std::string::npos) ++gone;
    ASSERT_GT(gone, 1u) << titles[1];
    ASSERT_LT(gone, titles.size()) << "the mark never went";
    std::uint32_t slept = 0;
    for (std::size_t i = 1; i < gone; ++i) slept += waits[i];
    EXPECT_LE(waits[gone - 1], 2001u) << "one sleep to the mark's end";
    EXPECT_GE(slept, 1900u);
    EXPECT_LE(slept, 2010u);
}

// Resting as such, pass by pass on the fake clock.
class ViewerRestingTest : public ViewerRestTest {
protected:
    void SetUp() override {
        ViewerRestTest::SetUp();
        if (HasFatalFailure()) return;
        viewer().watch.UseNotices(nullptr);
        EnterViewer(512, 512);
        UseFakeClock();
    }
    bool Rests() {
        std::uint32_t wake = 0;
        return viewer().Resting(&wake);
    }
    void Pass() {
        AdvanceMs(20);
        viewer().Update();
    }
};

TEST_F(ViewerRestingTest, RestsOnlyOnceThePictureOnShowIsDrawn) {
    EXPECT_FALSE(Rests()) << "nothing drawn yet";
    viewer().Draw();
    EXPECT_TRUE(Rests());
    viewer().offsetX += 4;
    EXPECT_FALSE(Rests());
    viewer().Draw();
    EXPECT_TRUE(Rests());
    viewer().showHud = false;
    EXPECT_FALSE(Rests());
    viewer().Draw();
    viewer().comparing = true;  // the name drawn changes with it
    viewer().previousTexture = viewer().texture + 1;
    EXPECT_FALSE(Rests());
}

TEST_F(ViewerRestingTest, AStepIntoReusedStorageIsDrawnThoughTheNameMayStay) {
    viewer().Draw();
    ASSERT_TRUE(Rests());
    viewer().StepTexture(true, false);  // b.png, the same size: a.png's storage
    Pass();
    EXPECT_FALSE(Rests());
    viewer().Draw();
    EXPECT_TRUE(Rests());
}

TEST_F(ViewerRestingTest, NeverRestsWithAKeyHeldAModeOnOrASizeChangePending) {
    viewer().Draw();
    ASSERT_TRUE(Rests());
    app().keyDown[VK_SHIFT] = true;
    EXPECT_FALSE(Rests());
    app().keyDown[VK_SHIFT] = false;
    for (bool ViewerScene::*mode : {&ViewerScene::moveMode, &ViewerScene::rotateMode, &ViewerScene::zoomMode}) {
        viewer().*mode = true;
        EXPECT_FALSE(Rests());
        viewer().*mode = false;
    }
    app().viewportChanged = true;
    EXPECT_FALSE(Rests());
    Pass();
    viewer().Draw();
    EXPECT_TRUE(Rests());
}

TEST_F(ViewerRestingTest, WakeIsTheWatchsNextLookTheMarksEndOrTheReadouts) {
    viewer().Draw();
    std::uint32_t wake = 0;
    // The watch looked as the viewer entered.
    Pass();
    ASSERT_TRUE(viewer().Resting(&wake));
    EXPECT_EQ(wake, 100u - 20u + 1u);
    AdvanceMs(60);
    viewer().Update();
    ASSERT_TRUE(viewer().Resting(&wake));
    EXPECT_EQ(wake, 21u);
    AdvanceMs(30);
    viewer().Update();  // looks
    ASSERT_TRUE(viewer().Resting(&wake));
    EXPECT_EQ(wake, 101u);

    viewer().autoRefresh = false;
    ASSERT_TRUE(viewer().Resting(&wake));
    EXPECT_EQ(wake, platform::kWaitForever);

    viewer().ReloadShown();
    Pass();
    viewer().Draw();
    ASSERT_TRUE(viewer().Resting(&wake));
    EXPECT_EQ(wake, 2000u - 20u + 1u) << "the mark's end";
    AdvanceMs(1700);
    viewer().Update();
    ASSERT_TRUE(viewer().Resting(&wake));
    EXPECT_EQ(wake, 2000u - 1720u + 1u);

    viewer().readout = true;
    ASSERT_TRUE(viewer().Resting(&wake));
    EXPECT_LE(wake, 51u);
}

// The folder watched by the system: no timed wake at rest, and a save
// wakes the watch.
TEST_F(ViewerRestingTest, WithTheFolderWatchedNoWakeIsDueUntilASave) {
    viewer().watch.UseNotices(&ChangeWatch::kSystemNotices);
    ASSERT_TRUE(viewer().watch.Notified());
    viewer().Draw();
    for (int i = 0; i < 20; ++i) Pass();
    std::uint32_t wake = 0;
    ASSERT_TRUE(viewer().Resting(&wake));
    EXPECT_EQ(wake, platform::kWaitForever);
    WriteTexture("a.png", 101, 67);
    Pass();
    EXPECT_EQ(viewer().textureWidth, 101) << "reloaded at the first pass after the save";
}

}  // namespace
