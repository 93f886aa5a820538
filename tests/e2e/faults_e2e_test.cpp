// What a new user runs into: keys that end a mode, a press over a slow
// load, the title, and settings files that are not plain files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

using e2e::Image;
using e2e::Is;

const std::string kDash = " \u2014 ";
constexpr e2e::Colour kRed{220, 40, 40};
constexpr e2e::Colour kBlue{40, 60, 220};
constexpr e2e::Colour kGreen{40, 200, 40};

class FaultsE2ETest : public e2e::SessionTest {
protected:
    bool Mouse(const char* action, int button) {
        return e2e::RunCommand({"xdotool", action, std::to_string(button)}, session.Env()).status == 0;
    }
    // The colour at the GL area's centre, among the three.
    char Shown() {
        const Image shot = session.Screenshot();
        const int x = gl.CentreX(), y = gl.CentreY();
        if (Is(shot, x, y, kRed)) return 'r';
        if (Is(shot, x, y, kBlue)) return 'b';
        if (Is(shot, x, y, kGreen)) return 'g';
        return '?';
    }
};

TEST_F(FaultsE2ETest, EscapeHeldDuringADragEndsTheDragOnly) {
    ASSERT_TRUE(e2e::WriteSolid(textureDir + "/a.png", 64, kRed));
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(session.WaitForTitleText("Zintra - Zintra" + kDash + "a.png (64 \u00d7 64) 1/1"),
              "Zintra - Zintra" + kDash + "a.png (64 \u00d7 64) 1/1");
    ASSERT_TRUE(session.MoveMouse(gl.CentreX(), gl.CentreY()));
    for (int button : {1, 2}) {
        for (const char* key : {"Escape", "q"}) {
            ASSERT_TRUE(Mouse("mousedown", button));
            e2e::SleepMs(100);
            ASSERT_TRUE(session.Key(key, 100));
            e2e::SleepMs(300);
            ASSERT_TRUE(session.ProgramRunning()) << key << " during a drag with button " << button;
            ASSERT_TRUE(Mouse("mouseup", button));
        }
    }
    QuitWithEscape();
}

TEST_F(FaultsE2ETest, OnePressOverASlowLoadStepsOnce) {
    ASSERT_TRUE(e2e::WriteSolid(textureDir + "/a.png", 64, kRed));
    ASSERT_TRUE(e2e::WriteSolid(textureDir + "/b.png", 4096, kBlue));  // a slow load
    ASSERT_TRUE(e2e::WriteSolid(textureDir + "/c.png", 64, kGreen));
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ(session.WaitForScreen([&](const Image&) { return Shown() == 'r'; }).Valid(), true);
    ASSERT_EQ(Shown(), 'r');
    ASSERT_TRUE(session.Key("bracketright", 100));
    EXPECT_EQ(session.WaitForTitleText("Zintra - Zintra" + kDash + "b.png (4096 \u00d7 4096) 2/3", 10000),
              "Zintra - Zintra" + kDash + "b.png (4096 \u00d7 4096) 2/3");
    e2e::SleepMs(1000);
    EXPECT_EQ(Shown(), 'b');
    EXPECT_EQ(session.Title(), "Zintra - Zintra" + kDash + "b.png (4096 \u00d7 4096) 2/3");
    QuitWithEscape();
}

TEST_F(FaultsE2ETest, TitleSaysWhyNothingShows) {
    ASSERT_TRUE(e2e::WriteSolid(textureDir + "/a.png", 64, kRed));
    {
        std::FILE* f = std::fopen((textureDir + "/b.png").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("not a picture", f);
        std::fclose(f);
    }
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(session.Key("bracketright"));
    EXPECT_EQ(session.WaitForTitleText("Zintra - Zintra" + kDash + "b.png: cannot be read"),
              "Zintra - Zintra" + kDash + "b.png: cannot be read");
    QuitWithEscape();
}

TEST_F(FaultsE2ETest, AFifoSettingsFileDoesNotHangTheStart) {
    const std::string cfg = session.SettingsPath();
    ASSERT_EQ(0, mkfifo(cfg.c_str(), 0600));
    ASSERT_TRUE(session.Launch());
    // No folder is known, so the folder dialog opens over the window.
    ASSERT_NE(0u, session.WaitForWindow(8000)) << "the start hung on the FIFO";
    const unsigned long dialog = session.WaitForTitle("Choose Texture Directory", 8000);
    ASSERT_NE(0u, dialog);
    ASSERT_TRUE(session.FocusWindow(dialog));
    ASSERT_TRUE(session.Key("Escape"));
    for (int i = 0; i < 50 && session.WaitForTitle("Choose Texture Directory", 0); ++i) e2e::SleepMs(100);
    // The FIFO is not replaced, so saving fails, and the program says so.
    ASSERT_TRUE(session.Focus());
    ASSERT_TRUE(session.Key("Escape"));
    const unsigned long box = session.WaitForTitle("Zintra", 8000);
    ASSERT_NE(0u, box) << "no word that the settings were not saved";
    ASSERT_TRUE(session.FocusWindow(box));
    ASSERT_TRUE(session.Key("Return"));
    ExpectExitZero();
    struct stat info;
    ASSERT_EQ(0, lstat(cfg.c_str(), &info));
    EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "the FIFO was replaced";
}

TEST_F(FaultsE2ETest, ALinkedSettingsFileStaysALinkAndItsTargetIsSaved) {
    ASSERT_TRUE(e2e::WriteSolid(textureDir + "/a.png", 64, kRed));
    const std::string real = session.Dir() + "/conf";
    ASSERT_TRUE(std::filesystem::create_directory(real));
    ASSERT_EQ(0, symlink("conf/settings.txt", session.SettingsPath().c_str()));
    settings.autoRefresh = false;
    ASSERT_NO_FATAL_FAILURE(Start());  // written through the link
    QuitWithEscape();
    struct stat info;
    ASSERT_EQ(0, lstat(session.SettingsPath().c_str(), &info));
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    const std::vector<std::string> lines = e2e::SplitLines(session.ReadSettingsFile());
    ASSERT_EQ(8u, lines.size());
    EXPECT_EQ(textureDir, lines[1]);
    EXPECT_EQ("0", lines[3]);
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(real),
                               std::filesystem::directory_iterator()));
}

TEST_F(FaultsE2ETest, AFolderNameWithALineBreakIsRefused) {
    ASSERT_TRUE(e2e::WriteSolid(textureDir + "/a.png", 64, kRed));
    const std::string hostile = textureDir + "/x\n0\n0\n5000\n5000\n5512\n5512";
    ASSERT_TRUE(std::filesystem::create_directory(hostile));
    ASSERT_TRUE(e2e::WriteSolid(hostile + "/b.png", 64, kBlue));
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(session.Keys({"alt+f", "o"}));
    const unsigned long dialog = session.WaitForTitle("Choose Texture Directory", 8000);
    ASSERT_NE(0u, dialog);
    // It opens in the current folder: enter the one folder listed there,
    // then choose it.
    const e2e::CommandResult place = e2e::RunCommand(
        {"xdotool", "getwindowgeometry", "--shell", std::to_string(dialog)}, session.Env());
    int x = 0, y = 0;
    ASSERT_EQ(2, std::sscanf(place.output.c_str(), "WINDOW=%*[0-9] X=%d Y=%d", &x, &y)) << place.output;
    ASSERT_TRUE(session.MoveMouse(x + 146, y + 90));
    ASSERT_TRUE(session.Click(1));
    ASSERT_TRUE(session.Key("Return"));
    e2e::SleepMs(500);
    ASSERT_TRUE(session.MoveMouse(x + 572, y + 358));
    ASSERT_TRUE(session.Click(1));
    const unsigned long box = session.WaitForTitle("Zintra", 8000);
    ASSERT_NE(0u, box) << "no message about the line break";
    ASSERT_TRUE(session.FocusWindow(box));
    ASSERT_TRUE(session.Key("Return"));
    for (int i = 0; i < 50 && session.WaitForTitle("Zintra", 0); ++i) e2e::SleepMs(100);
    QuitWithEscape();
    const std::vector<std::string> lines = e2e::SplitLines(session.ReadSettingsFile());
    ASSERT_EQ(8u, lines.size()) << session.ReadSettingsFile();
    EXPECT_EQ(textureDir, lines[1]);
    EXPECT_EQ("0", lines[2]);
    EXPECT_EQ("100", lines[4]);
}

}  // namespace
