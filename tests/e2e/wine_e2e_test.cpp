// The Windows build under Wine in Xvfb: the scenarios that exercise its
// own backend (window, GL context, keys, popup, focus, settings in CRLF).
// Runs only when ZINTRA_WINE_EXE names the built zintra.exe.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

using e2e::Colour;
using e2e::DescribePixel;
using e2e::Image;
using e2e::Is;
using e2e::Session;
using e2e::WriteQuadrants;
using e2e::WriteSolid;
using e2e::kBottomLeft;
using e2e::kBottomRight;
using e2e::kTopLeft;
using e2e::kTopRight;

constexpr Colour kB{200, 120, 40};
constexpr Colour kC{90, 30, 140};
constexpr Colour kNewB{40, 200, 200};

class WineTest : public e2e::SessionTest {
protected:
    WineTest() : SessionTest(Session::Target::Windows) {}

    void Start() {
        ASSERT_TRUE(WriteQuadrants(textureDir + "/a.png", 64));
        ASSERT_TRUE(WriteSolid(textureDir + "/b.png", 64, kB));
        ASSERT_TRUE(WriteSolid(textureDir + "/c.png", 64, kC));
        ASSERT_NO_FATAL_FAILURE(SessionTest::Start());
    }

    // Which texture the area shows: 'a', 'b', 'c' or '?'.
    char Showing(const Image& shot) const {
        const int x = gl.CentreX() + 8, y = gl.CentreY() + 8;
        if (Is(shot, x, y, kB) || Is(shot, x, y, kNewB)) return Is(shot, x, y, kB) ? 'b' : 'B';
        if (Is(shot, x, y, kC)) return 'c';
        if (Is(shot, x, y, kTopLeft)) return 'a';
        return '?';
    }

    char WaitShowing(char wanted) {
        const Image shot = session.WaitForScreen([&](const Image& s) { return Showing(s) == wanted; });
        return Showing(shot);
    }

    // [ and ] act once per press; a press right after the last is ignored.
    void Press(const std::string& key) {
        e2e::SleepMs(150);
        ASSERT_TRUE(session.Key(key, 80));
    }
};

TEST_F(WineTest, ShowsTheFirstTextureOneTexelPerPixelAndSteps) {
    ASSERT_NO_FATAL_FAILURE(Start());
    const int cx = gl.CentreX(), cy = gl.CentreY();
    const Image shot = session.WaitForScreen([&](const Image& s) { return Showing(s) == 'a'; });
    ASSERT_EQ('a', Showing(shot)) << DescribePixel(shot, cx + 8, cy + 8);
    // The tile's top-left texel at the centre; quadrant edges 32 pixels on.
    EXPECT_TRUE(Is(shot, cx + 28, cy + 28, kTopLeft)) << DescribePixel(shot, cx + 28, cy + 28);
    EXPECT_TRUE(Is(shot, cx + 36, cy + 8, kTopRight)) << DescribePixel(shot, cx + 36, cy + 8);
    EXPECT_TRUE(Is(shot, cx + 8, cy + 36, kBottomLeft)) << DescribePixel(shot, cx + 8, cy + 36);
    EXPECT_TRUE(Is(shot, cx - 8, cy - 8, kBottomRight)) << DescribePixel(shot, cx - 8, cy - 8);
    EXPECT_TRUE(Is(shot, cx - 200, cy, {0, 0, 0})) << DescribePixel(shot, cx - 200, cy);

    Press("bracketright");
    EXPECT_EQ('b', WaitShowing('b'));
    Press("bracketright");
    EXPECT_EQ('c', WaitShowing('c'));
    Press("bracketright");
    EXPECT_EQ('a', WaitShowing('a'));
    Press("bracketleft");
    EXPECT_EQ('c', WaitShowing('c'));

    Press("Escape");
    ASSERT_NO_FATAL_FAILURE(ExpectExitZero());
    const std::string saved = session.ReadSettingsFile();
    const std::vector<std::string> lines = e2e::SplitLines(saved);
    ASSERT_EQ(8u, lines.size()) << saved;
    EXPECT_EQ("NULL\r", lines[0]);
    EXPECT_EQ(settings.textureDir + "\r", lines[1]);
    EXPECT_EQ("0\r", lines[2]);
    EXPECT_EQ("1\r", lines[3]);
    for (const std::string& line : lines) EXPECT_EQ('\r', line.back()) << "not CRLF: " << line;
}

TEST_F(WineTest, PopupRunsNextAndFocusReloadsTheEditedFile) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ('a', WaitShowing('a'));

    // Right-click in the view, then Next (below Jump to... and Refresh).
    ASSERT_TRUE(session.MoveMouse(gl.CentreX() - 100, gl.CentreY() - 100));
    ASSERT_TRUE(session.Click(3));
    e2e::SleepMs(800);
    ASSERT_TRUE(session.Keys({"Down", "Down", "Down", "Return"}, 150));
    EXPECT_EQ('b', WaitShowing('b'));

    // Edit b.png while another X window has the focus, then come back.
    e2e::Process other;
    ASSERT_TRUE(other.Start({"xlogo"}, session.Env()));
    const unsigned long logo = session.WaitForTitle("xlogo");
    ASSERT_NE(0u, logo);
    ASSERT_TRUE(session.FocusWindow(logo));
    e2e::SleepMs(500);
    ASSERT_TRUE(WriteSolid(textureDir + "/b.png", 64, kNewB));
    ASSERT_TRUE(session.Focus());
    EXPECT_EQ('B', WaitShowing('B'));
    other.Stop();

    Press("Escape");
    ASSERT_NO_FATAL_FAILURE(ExpectExitZero());
}

TEST_F(WineTest, EditStartsTheEditorWithThePathAsOneArgument) {
    // A batch file as the editor that logs the arguments it was given; the
    // texture folder has a blank in its name.
    const std::string log = session.Dir() + "/editor.log";
    {
        std::ofstream bat(session.Dir() + "/editor.bat", std::ios::binary);
        bat << "@echo off\r\necho [%1]>> \"%~dp0editor.log\"\r\necho [%2]>> \"%~dp0editor.log\"\r\n";
    }
    settings.editor = Session::WindowsPath(session.Dir() + "/editor.bat");
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ('a', WaitShowing('a'));

    ASSERT_TRUE(session.Keys({"alt+f", "e"}, 300));
    std::string logged;
    for (int i = 0; i < 100 && logged.find('\n', logged.find('\n') + 1) == std::string::npos; ++i) {
        e2e::SleepMs(100);
        std::ifstream in(log, std::ios::binary);
        logged.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::string path = Session::WindowsPath(textureDir + "/a.png");
    EXPECT_EQ("[\"" + path + "\"]\r\n[]\r\n", logged) << "the path must arrive as one argument";

    // The batch file's console may keep the keyboard; close as a window
    // manager would.
    ASSERT_TRUE(session.RequestClose());
    ASSERT_NO_FATAL_FAILURE(ExpectExitZero());
    const std::vector<std::string> lines = e2e::SplitLines(session.ReadSettingsFile());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(settings.editor + "\r", lines[0]);
}

TEST_F(WineTest, OddClientSizeIsPixelExactTheTitleNamesTheFileAndEscapeEndsADrag) {
    // A one-texel checkerboard, large enough to fill the window.
    ASSERT_TRUE(e2e::WriteImage(textureDir + "/a.png", 160, [](int x, int y) {
        return (x + y) % 2 ? Colour{255, 255, 255} : Colour{0, 0, 0};
    }));
    settings.right = 100 + 511;
    settings.bottom = 100 + 514;
    ASSERT_NO_FATAL_FAILURE(SessionTest::Start());
    const std::string title = "Zintra - Zintra \u2014 a.png (160 \u00d7 160) 1/1";
    EXPECT_EQ(session.WaitForTitleText(title, 20000), title);

    ASSERT_TRUE(gl.width % 2 == 1 || gl.height % 2 == 1)
        << "client " << gl.width << " x " << gl.height << " is not odd";
    const Image shot = session.WaitForScreen([&](const Image& s) {
        return Is(s, gl.x + 10, gl.y + 10, {0, 0, 0}, 2) || Is(s, gl.x + 10, gl.y + 10, {255, 255, 255}, 2);
    });
    int wrong = 0;
    for (int y = gl.y; y < gl.y + gl.height; ++y)
        for (int x = gl.x + 1; x < gl.x + gl.width; ++x) {
            const Image::Pixel p = shot.At(x, y), left = shot.At(x - 1, y);
            const bool pure = (p.r == 0 || p.r == 255) && p.r == p.g && p.g == p.b;
            if ((!pure || p.r == left.r) && ++wrong <= 3)
                ADD_FAILURE() << "not one texel per pixel at " << DescribePixel(shot, x, y);
        }
    EXPECT_EQ(0, wrong);

    ASSERT_TRUE(session.MoveMouse(gl.CentreX(), gl.CentreY()));
    ASSERT_TRUE(e2e::RunCommand({"xdotool", "mousedown", "1"}, session.Env()).status == 0);
    e2e::SleepMs(300);
    ASSERT_TRUE(session.Key("Escape", 100));
    e2e::SleepMs(1000);
    EXPECT_TRUE(session.ProgramRunning()) << "Escape that ended the drag also quit";
    ASSERT_TRUE(e2e::RunCommand({"xdotool", "mouseup", "1"}, session.Env()).status == 0);
    e2e::SleepMs(300);
    QuitWithEscape();
}

}  // namespace
