// The window host through the headless backend: the message table,
// window creation and teardown with their failure messages, and the loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/gl_app.h"
#include "platform/headless/headless.h"
#include "render/texture_bank.h"

namespace {

class SpyApp : public GLApp {
public:
    bool OnCommand(WindowHandle, std::uint32_t, WParam wParam, LParam) override {
        log.push_back("OnCommand " + std::to_string(wParam));
        return commandResult;
    }
    void OnMouse(WindowHandle, std::uint32_t message, WParam, LParam) override {
        log.push_back("OnMouse " + std::to_string(message));
    }
    bool OnMessage(WindowHandle, std::uint32_t message, WParam, LParam) override {
        log.push_back("OnMessage " + std::to_string(message));
        return messageResult;
    }
    void Quit() override {
        log.push_back("Quit");
        GLApp::Quit();
    }

    std::vector<std::string> log;
    bool commandResult = true;
    bool messageResult = false;
};

class ScriptedScene : public Scene {
public:
    ScriptedScene(GLApp* app, std::string name, std::vector<std::string>* log)
        : Scene(app), name_(std::move(name)), log_(log) {}
    void Enter() override { log_->push_back(name_ + ".Enter"); }
    void Update() override {
        log_->push_back(name_ + ".Update");
        ++updates;
        if (onUpdate) onUpdate(updates);
    }
    void Draw() override { log_->push_back(name_ + ".Draw"); }
    void Leave() override { log_->push_back(name_ + ".Leave"); }
    bool Resting(std::uint32_t* wakeInMs) override {
        if (resting) *wakeInMs = wake;
        return resting;
    }

    std::function<void(int)> onUpdate;
    int updates = 0;
    bool resting = false;
    std::uint32_t wake = 0;

private:
    std::string name_;
    std::vector<std::string>* log_;
};

class GLAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        gApplication = &app;
    }
    void TearDown() override { gApplication = nullptr; }

    platform::LResult Send(std::uint32_t message, platform::WParam w = 0, platform::LParam l = 0) {
        return app.HandleMessage(app.window, message, w, l);
    }
    std::size_t DefaultCount() const { return headless::Get().defaultProcessed.size(); }

    SpyApp app;
};

TEST_F(GLAppTest, ConstructedDefaults) {
    EXPECT_EQ(app.viewportWidth, 0);
    EXPECT_EQ(app.viewportHeight, 0);
    EXPECT_FALSE(app.viewportChanged);
    EXPECT_EQ(app.windowRect.left, 100);
    EXPECT_EQ(app.windowRect.top, 100);
    EXPECT_EQ(app.windowRect.right, 612);
    EXPECT_EQ(app.windowRect.bottom, 612);
    for (bool down : app.keyDown) EXPECT_FALSE(down);
    EXPECT_EQ(app.currentScene, nullptr);
}

TEST_F(GLAppTest, SizeResizesViewportAndRaisesFlag) {
    EXPECT_EQ(Send(WM_SIZE, 0, (600 << 16) | 800), 0);
    EXPECT_TRUE(app.viewportChanged);
    EXPECT_EQ(app.viewportWidth, 800);
    EXPECT_EQ(app.viewportHeight, 600);
    EXPECT_EQ(DefaultCount(), 0u);
}

TEST_F(GLAppTest, KeyFlagsFollowDownAndUp) {
    EXPECT_EQ(Send(WM_KEYDOWN, VK_OEM_6), 0);
    EXPECT_TRUE(app.keyDown[VK_OEM_6]);
    Send(WM_KEYDOWN, VK_OEM_6);  // auto-repeat keeps it down
    EXPECT_TRUE(app.keyDown[VK_OEM_6]);
    EXPECT_EQ(Send(WM_KEYUP, VK_OEM_6), 0);
    EXPECT_FALSE(app.keyDown[VK_OEM_6]);
    Send(WM_KEYDOWN, 0x1FF);  // out of range: folded, never written past the table
    EXPECT_TRUE(app.keyDown[0xFF]);
    EXPECT_EQ(DefaultCount(), 0u);
    EXPECT_TRUE(app.log.empty());
}

TEST_F(GLAppTest, CloseQuitsWithoutDefaultProcessing) {
    EXPECT_EQ(Send(WM_CLOSE), 0);
    EXPECT_EQ(app.log, std::vector<std::string>{"Quit"});
    EXPECT_EQ(DefaultCount(), 0u);
    ASSERT_EQ(headless::Get().queue.size(), 1u);
    EXPECT_EQ(headless::Get().queue.front().message, static_cast<std::uint32_t>(WM_QUIT));
}

TEST_F(GLAppTest, CommandGoesToOnCommandThenDefaultWhenUnhandled) {
    EXPECT_EQ(Send(WM_COMMAND, 40001), 0);
    EXPECT_EQ(DefaultCount(), 0u);
    app.commandResult = false;
    Send(WM_COMMAND, 7);
    ASSERT_EQ(DefaultCount(), 1u);
    EXPECT_EQ(headless::Get().defaultProcessed[0].message, static_cast<std::uint32_t>(WM_COMMAND));
    // OnMessage is never asked about commands.
    EXPECT_EQ(app.log, (std::vector<std::string>{"OnCommand 40001", "OnCommand 7"}));
}

TEST_F(GLAppTest, SysCommandSuppressesScreenSaverOnly) {
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_SCREENSAVE), 0);
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_MONITORPOWER), 0);
    EXPECT_EQ(DefaultCount(), 0u);
    // Compared whole: a value with low bits set is not the screen saver.
    Send(WM_SYSCOMMAND, SC_SCREENSAVE | 2);
    Send(WM_SYSCOMMAND, SC_MINIMIZE);
    EXPECT_EQ(DefaultCount(), 2u);
    EXPECT_TRUE(app.log.empty());
    // The close entry of the system menu arrives as WM_CLOSE.
    Send(WM_SYSCOMMAND, SC_CLOSE);
    platform::Message m;
    ASSERT_TRUE(platform::TakeMessage(&m));
    EXPECT_EQ(m.message, static_cast<std::uint32_t>(WM_CLOSE));
}

TEST_F(GLAppTest, MouseMessagesGoToOnMouse) {
    const std::uint32_t mouse[] = {WM_MOUSEMOVE,   WM_LBUTTONDOWN, WM_LBUTTONUP,
                                   WM_RBUTTONDOWN, WM_RBUTTONUP,   WM_MBUTTONDOWN,
                                   WM_MBUTTONUP,   WM_MOUSEWHEEL,  WM_MOUSELEAVE};
    for (std::uint32_t m : mouse) EXPECT_EQ(Send(m), 0);
    EXPECT_EQ(app.log.size(), 9u);
    for (const auto& entry : app.log) EXPECT_EQ(entry.rfind("OnMouse", 0), 0u) << entry;
    EXPECT_EQ(DefaultCount(), 0u);
}

TEST_F(GLAppTest, OtherMessagesGoToOnMessageThenDefault) {
    Send(WM_LBUTTONDBLCLK);
    Send(WM_SETFOCUS);
    EXPECT_EQ(app.log, (std::vector<std::string>{"OnMessage " + std::to_string(WM_LBUTTONDBLCLK),
                                                 "OnMessage " + std::to_string(WM_SETFOCUS)}));
    EXPECT_EQ(DefaultCount(), 2u);
    app.messageResult = true;
    EXPECT_EQ(Send(WM_CHAR, 'a'), 0);
    EXPECT_EQ(DefaultCount(), 2u);
}

TEST_F(GLAppTest, CreationSucceedsShowsWindowAndSizesViewport) {
    ASSERT_TRUE(app.Init());
    EXPECT_NE(app.window, nullptr);
    EXPECT_NE(app.deviceContext, nullptr);
    EXPECT_NE(app.renderContext, nullptr);
    EXPECT_EQ(app.viewportWidth, 512);
    EXPECT_EQ(app.viewportHeight, 512);
    EXPECT_TRUE(app.viewportChanged);
    EXPECT_TRUE(headless::Get().messageBoxes.empty());
    EXPECT_EQ(headless::Get().calls.back(), "ShowWindow");
}

struct CreationFailure {
    headless::Step step;
    const char* text;
    bool teardown;
};

std::string StepName(const ::testing::TestParamInfo<CreationFailure>& info) {
    const char* names[] = {"RegisterClass", "CreateWindow",  "AcquireDC",   "ChooseFormat",
                           "SetFormat",     "CreateContext", "MakeCurrent"};
    return names[static_cast<int>(info.param.step)];
}

class GLAppCreationFailure : public GLAppTest,
                             public ::testing::WithParamInterface<CreationFailure> {};

TEST_P(GLAppCreationFailure, ShowsItsMessageAfterTeardown) {
    const CreationFailure& f = GetParam();
    headless::Get().failing = {f.step};
    EXPECT_FALSE(app.Init());
    const auto& boxes = headless::Get().messageBoxes;
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, f.text);
    EXPECT_EQ(boxes[0].caption, "ERROR");
    EXPECT_EQ(boxes[0].flags, static_cast<std::uint32_t>(MB_ICONEXCLAMATION));
    EXPECT_EQ(boxes[0].owner, nullptr);
    const auto& calls = headless::Get().calls;
    const bool unregistered =
        std::find(calls.begin(), calls.end(), "UnregisterClass") != calls.end();
    EXPECT_EQ(unregistered, f.teardown);
    EXPECT_EQ(app.window, nullptr);
    EXPECT_EQ(app.renderContext, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, GLAppCreationFailure,
    ::testing::Values(
        CreationFailure{headless::Step::RegisterClass, "Failed To Register The Window Class.", false},
        CreationFailure{headless::Step::CreateWindow, "Window Creation Error.", true},
        CreationFailure{headless::Step::AcquireDC, "Can't Create A GL Device Context.", true},
        CreationFailure{headless::Step::ChooseFormat, "Can't Find A Suitable PixelFormat.", true},
        CreationFailure{headless::Step::SetFormat, "Can't Set The PixelFormat.", true},
        CreationFailure{headless::Step::CreateContext, "Can't Create A GL Rendering Context.", true},
        CreationFailure{headless::Step::MakeCurrent, "Can't Activate The GL Rendering Context.",
                        true}),
    StepName);

TEST_F(GLAppTest, TeardownReportsEveryFailureAndGoesOn) {
    ASSERT_TRUE(app.Init());
    headless::Get().failing = {headless::Step::ReleaseCurrent, headless::Step::DeleteContext,
                               headless::Step::ReleaseDC, headless::Step::DestroyWindow,
                               headless::Step::UnregisterClass};
    app.DestroyWindowAndContext();
    std::vector<std::string> texts;
    for (const auto& box : headless::Get().messageBoxes) {
        EXPECT_EQ(box.caption, "SHUTDOWN ERROR");
        EXPECT_EQ(box.flags, static_cast<std::uint32_t>(MB_ICONINFORMATION));
        texts.push_back(box.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "Release Of DC And RC Failed.", "Release Rendering Context Failed.",
                         "Release Device Context Failed.", "Could Not Release hWnd.",
                         "Could Not Unregister Class."}));
}

TEST_F(GLAppTest, RunPlacesWindowEntersSceneAndEndsOnQuit) {
    ASSERT_TRUE(app.Init());
    app.windowRect = {-20, 30, 700, 500};
    std::vector<std::string> log;
    ScriptedScene scene(&app, "A", &log);
    scene.onUpdate = [&](int n) {
        if (n == 3) app.Quit();
    };
    EXPECT_EQ(app.Run(nullptr, nullptr, "", 0, &scene), 0);
    EXPECT_EQ(headless::Get().outerRect.left, -20);
    EXPECT_EQ(headless::Get().outerRect.bottom, 500);
    // Enter and one Update before the first Draw; no Draw after the quitting
    // Update, and Quit does not call Leave.
    EXPECT_EQ(log, (std::vector<std::string>{"A.Enter", "A.Update", "A.Update", "A.Draw",
                                             "A.Update"}));
    EXPECT_EQ(app.window, nullptr);  // torn down after the loop
}

TEST_F(GLAppTest, SceneSwitchInUpdateDrawsTheNewSceneInTheSamePass) {
    ASSERT_TRUE(app.Init());
    std::vector<std::string> log;
    ScriptedScene a(&app, "A", &log), b(&app, "B", &log);
    a.onUpdate = [&](int n) {
        if (n == 2) app.SetScene(&b);
    };
    b.onUpdate = [&](int n) {
        if (n == 2) app.Quit();
    };
    app.Run(nullptr, nullptr, "", 0, &a);
    EXPECT_EQ(log, (std::vector<std::string>{"A.Enter", "A.Update", "A.Update", "A.Leave",
                                             "B.Enter", "B.Update", "B.Draw", "B.Update"}));
}

TEST_F(GLAppTest, QueuedMessagesAreDispatchedBeforeUpdates) {
    ASSERT_TRUE(app.Init());
    std::vector<std::string> log;
    ScriptedScene scene(&app, "A", &log);
    scene.onUpdate = [&](int n) {
        if (n == 2) app.Quit();
    };
    headless::Post(WM_KEYDOWN, 'Q');
    headless::Post(WM_SETFOCUS);
    app.Run(nullptr, nullptr, "", 0, &scene);
    EXPECT_TRUE(app.keyDown[static_cast<unsigned char>('Q')]);
    EXPECT_EQ(log, (std::vector<std::string>{"A.Enter", "A.Update", "A.Update"}));
    EXPECT_EQ(app.log.front(), "OnMessage " + std::to_string(WM_SETFOCUS));
}

TEST_F(GLAppTest, SceneThatNeverRestsIsNeverWaitedOn) {
    ASSERT_TRUE(app.Init());
    std::vector<std::string> log;
    ScriptedScene scene(&app, "A", &log);
    scene.onUpdate = [&](int n) {
        if (n == 5) app.Quit();
    };
    app.Run(nullptr, nullptr, "", 0, &scene);
    EXPECT_EQ(headless::Get().waits, 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "A.Draw"), 3);
}

TEST_F(GLAppTest, RestingSceneIsDrawnOnceThenWaitedOnWithItsWake) {
    ASSERT_TRUE(app.Init());
    std::vector<std::string> log;
    ScriptedScene scene(&app, "A", &log);
    scene.resting = true;
    scene.wake = 37;
    headless::Get().whileWaiting = [&] {
        if (headless::Get().waits == 3) app.Quit();
    };
    app.Run(nullptr, nullptr, "", 0, &scene);
    EXPECT_EQ(headless::Get().waits, 3);
    EXPECT_EQ(headless::Get().lastWaitMs, 37u);
    // The first picture is drawn although the scene rests; then each pass
    // updates and sleeps.
    EXPECT_EQ(log, (std::vector<std::string>{"A.Enter", "A.Update", "A.Update", "A.Draw",
                                             "A.Update", "A.Update"}));
}

TEST_F(GLAppTest, MessageTakenWhileRestingIsDispatchedAndDrawnOnce) {
    ASSERT_TRUE(app.Init());
    std::vector<std::string> log;
    ScriptedScene scene(&app, "A", &log);
    scene.resting = true;
    headless::Get().whileWaiting = [&] {
        const int n = headless::Get().waits;
        if (n == 2) {
            log.push_back("posted");
            headless::Post(WM_SETFOCUS);
        }
        if (n == 4) app.Quit();
    };
    app.Run(nullptr, nullptr, "", 0, &scene);
    EXPECT_EQ(app.log, (std::vector<std::string>{"OnMessage " + std::to_string(WM_SETFOCUS), "Quit"}));
    EXPECT_EQ(log, (std::vector<std::string>{"A.Enter", "A.Update", "A.Update", "A.Draw",
                                             "A.Update", "posted", "A.Update", "A.Draw",
                                             "A.Update"}));
}

TEST_F(GLAppTest, SceneThatStopsRestingIsDrawnEveryPassWithoutWaits) {
    ASSERT_TRUE(app.Init());
    std::vector<std::string> log;
    ScriptedScene scene(&app, "A", &log);
    scene.resting = true;
    int waitsWhenWoken = -1;
    headless::Get().whileWaiting = [&] {
        if (headless::Get().waits == 2) scene.resting = false;
    };
    scene.onUpdate = [&](int n) {
        if (!scene.resting && waitsWhenWoken < 0) waitsWhenWoken = headless::Get().waits;
        if (n == 10) app.Quit();
    };
    app.Run(nullptr, nullptr, "", 0, &scene);
    EXPECT_EQ(headless::Get().waits, 2);
    EXPECT_EQ(waitsWhenWoken, 2);
    // Updates 1 to 3 rest (one draw), 4 to 9 each draw, 10 quits.
    EXPECT_EQ(std::count(log.begin(), log.end(), "A.Draw"), 7);
}

TEST_F(GLAppTest, WithoutSceneTheLoopSleepsUntilTheQuit) {
    ASSERT_TRUE(app.Init());
    headless::Get().whileWaiting = [&] {
        if (headless::Get().waits == 2) headless::Post(WM_QUIT);
    };
    EXPECT_EQ(app.Run(nullptr, nullptr, "", 0, nullptr), 0);
    EXPECT_EQ(headless::Get().waits, 2);
    EXPECT_GT(headless::Get().lastWaitMs, 0u);
}

TEST_F(GLAppTest, SetSceneResetsAlphaAndLeavesTheOldScene) {
    std::vector<std::string> log;
    ScriptedScene scene(&app, "A", &log);
    app.SetScene(&scene);
    gTextureBank.SetAlpha(0.25f);
    app.SetScene(nullptr);
    EXPECT_FLOAT_EQ(gTextureBank.Alpha(), 1.0f);
    EXPECT_EQ(log, (std::vector<std::string>{"A.Enter", "A.Update", "A.Leave"}));
    EXPECT_EQ(app.currentScene, nullptr);
}

}  // namespace
