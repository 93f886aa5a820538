// The menus end to end: the Commands popup, Options with its check marks,
// File > Edit with a stand-in editor, Auto Refresh on returning from
// another window, Help > Controls, and what the settings file keeps.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

using e2e::DescribePixel;
using e2e::Image;
using e2e::Near;
using e2e::Rect;
using e2e::Colour;
using e2e::Is;
using e2e::WriteSolid;

constexpr Colour kA{220, 40, 40};
constexpr Colour kB{40, 60, 220};
constexpr Colour kC{230, 220, 40};
constexpr Colour kNewB{40, 200, 200};
// Behind the HUD: a colour none of its images uses much.
constexpr Colour kBackground{90, 30, 140};

// Written beside and renamed over, so no half-written file is ever seen.
bool ReplaceSolid(const std::string& path, int size, Colour c) {
    const std::string temp = path + ".new";
    return WriteSolid(temp, size, c) && std::rename(temp.c_str(), path.c_str()) == 0;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Of a HUD image centred at (cx, cy) from the GL area's bottom-left, the
// opaque texels that differ from the background: the share shown on
// screen, one texel per pixel.
double HudShare(const Image& shot, const Rect& gl, const Image& hud, int cx, int cy) {
    const int left = gl.x + cx - hud.width / 2;
    const int top = gl.y + gl.height - cy - hud.height / 2;
    long counted = 0, shown = 0;
    for (int j = 0; j < hud.height; ++j)
        for (int i = 0; i < hud.width; ++i) {
            const Image::Pixel t = hud.At(i, j);
            if (t.r == 255 && t.g == 0 && t.b == 255) continue;  // the transparent key
            if (Near(t, kBackground.r, kBackground.g, kBackground.b, 40)) continue;
            ++counted;
            if (Near(shot.At(left + i, top + j), t.r, t.g, t.b)) ++shown;
        }
    return counted ? static_cast<double>(shown) / counted : 0.0;
}

// Bounding box of the pixels that differ between two shots, below `minY`.
std::optional<Rect> DiffBox(const Image& a, const Image& b, int minY) {
    int x0 = a.width, y0 = a.height, x1 = -1, y1 = -1;
    for (int y = std::max(0, minY); y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const Image::Pixel p = a.At(x, y), q = b.At(x, y);
            if (p.r == q.r && p.g == q.g && p.b == q.b) continue;
            x0 = std::min(x0, x);
            y0 = std::min(y0, y);
            x1 = std::max(x1, x);
            y1 = std::max(y1, y);
        }
    if (x1 < 0) return std::nullopt;
    return Rect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

long DiffCount(const Image& a, const Image& b, int x, int y, int w, int h) {
    long count = 0;
    for (int row = y; row < y + h; ++row)
        for (int col = x; col < x + w; ++col) {
            const Image::Pixel p = a.At(col, row), q = b.At(col, row);
            if (p.r != q.r || p.g != q.g || p.b != q.b) ++count;
        }
    return count;
}

class MenusE2ETest : public e2e::SessionTest {
protected:
    void WriteThree() {
        ASSERT_TRUE(WriteSolid(textureDir + "/a.png", 32, kA));
        ASSERT_TRUE(WriteSolid(textureDir + "/b.png", 32, kB));
        ASSERT_TRUE(WriteSolid(textureDir + "/c.png", 32, kC));
    }

    // Above and left of the centre: clear of a popup opened there.
    int ProbeX() const { return gl.CentreX() - 8; }
    int ProbeY() const { return gl.CentreY() - 8; }

    bool WaitColour(Colour c, int timeoutMs = 5000) {
        const Image shot = session.WaitForScreen(
            [&](const Image& s) { return Is(s, ProbeX(), ProbeY(), c); }, timeoutMs);
        return Is(shot, ProbeX(), ProbeY(), c);
    }

    std::string Probe() { return DescribePixel(session.Screenshot(), ProbeX(), ProbeY()); }

    // Right-click at the centre, then the keys that pick an entry.
    void Popup(const std::vector<std::string>& keys) {
        ASSERT_TRUE(session.MoveMouse(gl.CentreX(), gl.CentreY()));
        ASSERT_TRUE(session.Click(3));
        e2e::SleepMs(400);
        for (const std::string& key : keys) ASSERT_TRUE(session.Key(key, 30));
        e2e::SleepMs(100);
        ASSERT_TRUE(session.Focus());
    }

    // A menu of the bar opened with Alt and its letter, then an entry's letter.
    void Menu(const std::string& menuLetter, const std::string& entryLetter) {
        ASSERT_TRUE(session.Focus());
        ASSERT_TRUE(session.Keys({"alt+" + menuLetter}, 400));
        ASSERT_TRUE(session.Keys({entryLetter}, 300));
        ASSERT_TRUE(session.Focus());
    }

    std::vector<std::string> SavedLines() {
        const std::vector<std::string> lines = e2e::SplitLines(session.ReadSettingsFile());
        EXPECT_EQ(8u, lines.size()) << session.ReadSettingsFile();
        return lines;
    }

    // A stand-in editor that logs its argument count and each argument.
    std::string WriteStandInEditor(const std::string& log) {
        const std::string dir = session.Dir() + "/editor dir";
        EXPECT_EQ(0, mkdir(dir.c_str(), 0700));
        const std::string path = dir + "/stand-in editor";
        std::ofstream out(path, std::ios::binary);
        out << "#!/bin/sh\n"
            << "log='" << log << "'\n"
            << "{ echo \"count=$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } >> \"$log\"\n";
        out.close();
        EXPECT_EQ(0, chmod(path.c_str(), 0700));
        return path;
    }
};

TEST_F(MenusE2ETest, PopupNextPrevWrapAndJumpToPicksAnEntry) {
    ASSERT_NO_FATAL_FAILURE(WriteThree());
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(WaitColour(kA)) << Probe();
    // Jump to..., Refresh, Next, Prev.
    ASSERT_NO_FATAL_FAILURE(Popup({"Down", "Down", "Down", "Return"}));
    EXPECT_TRUE(WaitColour(kB)) << "Next from the first: " << Probe();
    ASSERT_NO_FATAL_FAILURE(Popup({"Down", "Down", "Down", "Down", "Return"}));
    EXPECT_TRUE(WaitColour(kA)) << "Prev from the second: " << Probe();
    ASSERT_NO_FATAL_FAILURE(Popup({"Down", "Down", "Down", "Down", "Return"}));
    EXPECT_TRUE(WaitColour(kC)) << "Prev from the first: " << Probe();
    // Jump to... opens the list of the folder; its second entry is b.png.
    ASSERT_NO_FATAL_FAILURE(Popup({"Down", "Right", "Down", "Return"}));
    EXPECT_TRUE(WaitColour(kB)) << "Jump to b.png: " << Probe();
    // Keys still reach the viewer after the popup.
    ASSERT_TRUE(session.Key("bracketright"));
    EXPECT_TRUE(WaitColour(kC)) << "] after the popup: " << Probe();
    ASSERT_NO_FATAL_FAILURE(QuitWithEscape());
}

TEST_F(MenusE2ETest, OptionsTogglesHideTheHudMoveTheCheckMarksAndAreSaved) {
    ASSERT_TRUE(WriteSolid(textureDir + "/bg.png", 128, kBackground));
    settings.showHud = true;
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(WaitColour(kBackground)) << Probe();

    const int W = gl.width, H = gl.height;
    struct Anchor {
        std::string file;
        int x, y;
    };
    const std::vector<Anchor> anchors = {
        {"legal.png", 72, 24}, {"web.png", W - 72, 12}, {"controls.png", 40, H - 40}, {"mouse.png", W - 40, H - 24}};
    std::vector<Image> huds;
    for (const Anchor& a : anchors) {
        huds.push_back(e2e::ReadPng(session.Dir() + "/system/" + a.file));
        ASSERT_TRUE(huds.back().Valid()) << a.file;
    }
    auto allShown = [&](const Image& s) {
        for (std::size_t i = 0; i < anchors.size(); ++i)
            if (HudShare(s, gl, huds[i], anchors[i].x, anchors[i].y) < 0.97) return false;
        return true;
    };
    auto noneShown = [&](const Image& s) {
        for (std::size_t i = 0; i < anchors.size(); ++i)
            if (HudShare(s, gl, huds[i], anchors[i].x, anchors[i].y) > 0.03) return false;
        return true;
    };

    const Image closedOn = session.WaitForScreen(allShown, 5000);
    for (std::size_t i = 0; i < anchors.size(); ++i)
        EXPECT_GE(HudShare(closedOn, gl, huds[i], anchors[i].x, anchors[i].y), 0.97)
            << anchors[i].file << " at its anchor with the HUD on";

    // The Options menu open with both entries checked.
    ASSERT_TRUE(session.Keys({"alt+o"}, 400));
    const Image openBoth = session.Screenshot();
    ASSERT_TRUE(session.Keys({"Escape", "Escape"}, 200));
    const std::optional<Rect> menu = DiffBox(closedOn, openBoth, gl.y);
    ASSERT_TRUE(menu.has_value()) << "the Options menu did not open";
    ASSERT_GT(menu->height, 20);

    ASSERT_NO_FATAL_FAILURE(Menu("o", "h"));
    const Image closedOff = session.WaitForScreen(noneShown, 5000);
    for (std::size_t i = 0; i < anchors.size(); ++i)
        EXPECT_LE(HudShare(closedOff, gl, huds[i], anchors[i].x, anchors[i].y), 0.03)
            << anchors[i].file << " still shown with the HUD off";
    // Where the HUD was, the texture shows.
    EXPECT_TRUE(Is(closedOff, gl.x + 72, gl.y + H - 20, kBackground)) << DescribePixel(closedOff, gl.x + 72, gl.y + H - 20);

    // Only the first entry's row changed: its check mark went.
    ASSERT_TRUE(session.Keys({"alt+o"}, 400));
    const Image openRefreshOnly = session.Screenshot();
    ASSERT_TRUE(session.Keys({"Escape", "Escape"}, 200));
    // Three rows: Show HUD, Auto Refresh, All Image Types.
    const int row = menu->height / 3;
    EXPECT_GT(DiffCount(openBoth, openRefreshOnly, menu->x, menu->y, menu->width, row), 0)
        << "the Show HUD check mark did not change";
    EXPECT_EQ(0, DiffCount(openBoth, openRefreshOnly, menu->x, menu->y + row, menu->width, menu->height - row))
        << "the rows below Show HUD changed";

    ASSERT_NO_FATAL_FAILURE(Menu("o", "r"));
    ASSERT_TRUE(session.Keys({"alt+o"}, 400));
    const Image openNone = session.Screenshot();
    ASSERT_TRUE(session.Keys({"Escape", "Escape"}, 200));
    EXPECT_EQ(0, DiffCount(openRefreshOnly, openNone, menu->x, menu->y, menu->width, row))
        << "the Show HUD row changed";
    EXPECT_GT(DiffCount(openRefreshOnly, openNone, menu->x, menu->y + row, menu->width, row), 0)
        << "the Auto Refresh check mark did not change";
    EXPECT_EQ(0, DiffCount(openRefreshOnly, openNone, menu->x, menu->y + 2 * row, menu->width, menu->height - 2 * row))
        << "the All Image Types row changed";

    ASSERT_NO_FATAL_FAILURE(QuitWithEscape());
    const std::vector<std::string> lines = SavedLines();
    ASSERT_EQ(8u, lines.size());
    EXPECT_EQ("NULL", lines[0]);
    EXPECT_EQ(textureDir, lines[1]);
    EXPECT_EQ("0", lines[2]) << "Show HUD";
    EXPECT_EQ("0", lines[3]) << "Auto Refresh";
}

class AutoRefreshE2ETest : public MenusE2ETest {
protected:
    // Another X client takes the focus while b.png changes on disk, then
    // the program's window gets it back.
    void ChangeWhileAway(Colour c) {
        ASSERT_TRUE(session.FocusWindow(other));
        e2e::SleepMs(300);
        ASSERT_TRUE(ReplaceSolid(textureDir + "/b.png", 32, c));
        e2e::SleepMs(200);
        ASSERT_TRUE(session.Focus());
    }

    void StartOnB() {
        ASSERT_NO_FATAL_FAILURE(WriteThree());
        ASSERT_NO_FATAL_FAILURE(Start());
        ASSERT_TRUE(otherProgram.Start({"xlogo", "-geometry", "100x100+700+600"}, session.Env()));
        other = session.WaitForTitle("xlogo");
        ASSERT_NE(0u, other) << "no xlogo window";
        ASSERT_TRUE(session.Focus());
        ASSERT_TRUE(WaitColour(kA)) << Probe();
        // Not the first file, so a refresh that lost its place shows.
        ASSERT_TRUE(session.Key("bracketright"));
        ASSERT_TRUE(WaitColour(kB)) << Probe();
    }

    e2e::Process otherProgram;
    unsigned long other = 0;
};

TEST_F(AutoRefreshE2ETest, OnReloadsTheFileOnShowWhenTheFocusReturns) {
    settings.autoRefresh = true;
    ASSERT_NO_FATAL_FAILURE(StartOnB());
    ASSERT_NO_FATAL_FAILURE(ChangeWhileAway(kNewB));
    EXPECT_TRUE(WaitColour(kNewB)) << Probe();
    ASSERT_NO_FATAL_FAILURE(QuitWithEscape());
}

TEST_F(AutoRefreshE2ETest, OffKeepsTheOldPictureUntilAskedOrSwitchedOn) {
    settings.autoRefresh = false;
    ASSERT_NO_FATAL_FAILURE(StartOnB());
    ASSERT_NO_FATAL_FAILURE(ChangeWhileAway(kNewB));
    e2e::SleepMs(1500);
    EXPECT_TRUE(Is(session.Screenshot(), ProbeX(), ProbeY(), kB)) << "reloaded although off: " << Probe();
    // R reads the changed file: the change was there to be seen.
    ASSERT_TRUE(session.Key("r"));
    EXPECT_TRUE(WaitColour(kNewB)) << "R: " << Probe();

    // Switched on from the menu, the next return reloads.
    ASSERT_NO_FATAL_FAILURE(Menu("o", "r"));
    ASSERT_NO_FATAL_FAILURE(ChangeWhileAway(kB));
    EXPECT_TRUE(WaitColour(kB)) << "after Options > Auto Refresh: " << Probe();
    ASSERT_NO_FATAL_FAILURE(QuitWithEscape());
    const std::vector<std::string> lines = SavedLines();
    ASSERT_EQ(8u, lines.size());
    EXPECT_EQ("1", lines[3]);
}

// A whole session through the menus; the settings file keeps the result.
// Edit is given the file on show, not the first.
TEST_F(MenusE2ETest, FileEditHelpControlsAndSettingsAfterAMenuSession) {
    ASSERT_NO_FATAL_FAILURE(WriteThree());
    const std::string log = session.Dir() + "/editor.log";
    settings.editor = WriteStandInEditor(log);
    settings.showHud = true;
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(WaitColour(kA)) << Probe();

    ASSERT_NO_FATAL_FAILURE(Menu("o", "h"));
    ASSERT_NO_FATAL_FAILURE(Menu("o", "r"));
    ASSERT_TRUE(session.Key("bracketright"));
    ASSERT_TRUE(WaitColour(kB)) << Probe();

    ASSERT_NO_FATAL_FAILURE(Menu("f", "e"));
    std::string text;
    for (int i = 0; i < 50 && text.empty(); ++i, e2e::SleepMs(100)) text = ReadText(log);
    EXPECT_EQ("count=1\n" + textureDir + "/b.png\n", text);

    ASSERT_TRUE(session.Keys({"alt+h"}, 400));
    ASSERT_TRUE(session.Keys({"c"}, 100));
    const unsigned long box = session.WaitForTitle("Zintra Controls", 5000);
    ASSERT_NE(0u, box) << "no window titled Zintra Controls";
    ASSERT_TRUE(session.FocusWindow(box));
    ASSERT_TRUE(session.Key("Return"));
    bool gone = false;
    for (int i = 0; i < 50 && !gone; ++i, e2e::SleepMs(100)) gone = session.WaitForTitle("Zintra Controls", 0) == 0;
    EXPECT_TRUE(gone) << "Return did not dismiss the box";
    EXPECT_TRUE(session.ProgramRunning());

    ASSERT_NO_FATAL_FAILURE(QuitWithEscape());
    const std::vector<std::string> lines = SavedLines();
    ASSERT_EQ(8u, lines.size());
    EXPECT_EQ(settings.editor, lines[0]);
    EXPECT_EQ(textureDir, lines[1]);
    EXPECT_EQ("0", lines[2]) << "Show HUD";
    EXPECT_EQ("0", lines[3]) << "Auto Refresh";
}

}  // namespace
