// The Windows build under Wine with names outside the ANSI code page:
// Greek, Cyrillic and CJK file names listed, shown and handed to an editor
// exactly; a batch editor never given a name cmd.exe would run; folders so
// named remembered across a restart; the program run from such folders;
// a window closed while minimised; keys held while the focus leaves; keys
// by what they type on a German keyboard. Runs only when ZINTRA_WINE_EXE
// names the built zintra.exe (record_args.exe beside it).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

namespace fs = std::filesystem;

using e2e::Colour;
using e2e::DescribePixel;
using e2e::Image;
using e2e::Is;
using e2e::Session;
using e2e::WriteSolid;

// Plain UTF-8 bytes (u8"" changes type in later standards).
const std::string kAlpha = "\xCE\xB1";                                           // α
const std::string kPrivet = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";  // Привет
const std::string kKanji = "\xE6\xBC\xA2\xE5\xAD\x97";                           // 漢字
const std::string kTextures = "\xD0\xA2\xD0\xB5\xD0\xBA\xD1\x81\xD1\x82\xD1\x83\xD1\x80\xD1\x8B";  // Текстуры
const std::string kOeuvre = "\xC5\x92uvre";                                       // Œuvre
const std::string kProgram =
    "\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBC\xD0\xB0";  // Программа

struct Named {
    std::string name;
    Colour colour;
};

// a.png and α.png are one name to the ANSI calls; Привет and 漢字 are ????.
const std::vector<Named> kNamed{{"a.png", {220, 40, 40}},
                                {kAlpha + ".png", {40, 200, 40}},
                                {kPrivet + ".png", {40, 60, 220}},
                                {kKanji + ".png", {230, 220, 40}},
                                {"t&x.png", {200, 60, 200}}};
// For the tests of keys: names every build reads.
const std::vector<Named> kPlainNamed{{"a.png", {220, 40, 40}},
                                     {"b.png", {40, 200, 40}},
                                     {"c.png", {40, 60, 220}},
                                     {"d.png", {230, 220, 40}},
                                     {"e.png", {200, 60, 200}}};

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class WineNamesTest : public e2e::SessionTest {
protected:
    WineNamesTest() : SessionTest(Session::Target::Windows) {}

    void WriteFiles(const std::string& folder, const std::vector<Named>& files, int size = 64) {
        for (const Named& file : files)
            ASSERT_TRUE(WriteSolid(folder + "/" + file.name, size, file.colour)) << file.name;
    }

    // Which file the area shows, by its colour; -1 for none.
    int Showing(const Image& shot, const std::vector<Named>& files) const {
        const int x = gl.CentreX() + 8, y = gl.CentreY() + 8;
        for (std::size_t i = 0; i < files.size(); ++i)
            if (Is(shot, x, y, files[i].colour)) return static_cast<int>(i);
        return -1;
    }

    // Waits for a file other than `previous` (-1: any) to show.
    int WaitShowingOther(int previous, const std::vector<Named>& files, int timeoutMs = 10000) {
        const Image shot = session.WaitForScreen(
            [&](const Image& s) {
                const int i = Showing(s, files);
                return i >= 0 && i != previous;
            },
            timeoutMs);
        return Showing(shot, files);
    }

    // [ and ] act once per press; a press right after the last is ignored.
    void Press(const std::string& key) {
        e2e::SleepMs(150);
        ASSERT_TRUE(session.Key(key, 80));
    }

    // record_args.exe from beside the Windows build, in a folder whose name
    // has a blank; empty when the build has none.
    std::string InstallRecorder() {
        const fs::path built = fs::path(Session::WindowsBuild()).parent_path() / "record_args.exe";
        const std::string dir = session.Dir() + "/edit tools";
        std::error_code error;
        fs::create_directory(dir, error);
        fs::copy_file(built, dir + "/record_args.exe", fs::copy_options::overwrite_existing, error);
        return error ? std::string() : dir + "/record_args.exe";
    }

    // The command lines record_args.exe wrote down, once there are `count`.
    std::vector<std::string> WaitForArgs(const std::string& recorder, std::size_t count) {
        const std::string log = fs::path(recorder).parent_path().string() + "/args.txt";
        std::vector<std::string> lines;
        for (int waited = 0; waited < 20000; waited += 100) {
            const std::string text = ReadText(log);
            lines = e2e::SplitLines(text);
            if (!text.empty() && text.back() == '\n' && lines.size() >= count) break;
            e2e::SleepMs(100);
        }
        return lines;
    }

    // A copy of the program the session did not start: its window, by title.
    unsigned long WaitForCopy(e2e::Process& program) {
        for (int waited = 0; waited <= windowTimeoutMs; waited += 100) {
            const unsigned long id =
                session.WaitForTitleMatching(std::string("^") + Session::kTitle + "( .*)?$", 0);
            if (id != 0 || !program.Running()) return id;
            e2e::SleepMs(100);
        }
        return 0;
    }

    // The area a tile larger than it fills: where its colour is.
    static std::optional<e2e::Rect> Filled(const Image& shot, Colour colour) {
        int left = shot.width, top = shot.height, right = -1, bottom = -1;
        for (int y = 0; y < shot.height; ++y)
            for (int x = 0; x < shot.width; ++x)
                if (Is(shot, x, y, colour, 4)) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        if (right - left < 200 || bottom - top < 200) return std::nullopt;
        return e2e::Rect{left, top, right - left + 1, bottom - top + 1};
    }

    // Whether the HUD's legal.png shows, centred 72, 24 from the area's
    // bottom-left corner, one texel per pixel (its magenta is see-through).
    bool HudShown(const Image& shot) const {
        const Image legal = e2e::ReadPng(std::string(ZINTRA_SOURCE_DIR) + "/data/system/legal.png");
        if (!legal.Valid() || !shot.Valid()) return false;
        const int left = gl.x + 72 - legal.width / 2;
        const int top = gl.y + gl.height - 24 - legal.height / 2;
        int counted = 0, shown = 0;
        for (int y = 0; y < legal.height; ++y)
            for (int x = 0; x < legal.width; ++x) {
                const Image::Pixel t = legal.At(x, y);
                if (t.r == 255 && t.g == 0 && t.b == 255) continue;
                ++counted;
                shown += Is(shot, left + x, top + y, {t.r, t.g, t.b});
            }
        return counted > 0 && shown * 10 >= counted * 9;
    }
};

TEST_F(WineNamesTest, NamesOutsideTheCodePageEachShowOnceAndReachTheEditorExactly) {
    const std::string recorder = InstallRecorder();
    ASSERT_FALSE(recorder.empty()) << "no record_args.exe beside " << Session::WindowsBuild();
    ASSERT_NO_FATAL_FAILURE(WriteFiles(textureDir, kNamed));
    settings.editor = Session::WindowsPath(recorder);
    ASSERT_NO_FATAL_FAILURE(Start());

    std::set<int> seen;
    int shown = -1, first = -1;
    for (std::size_t step = 0; step < kNamed.size(); ++step) {
        shown = WaitShowingOther(shown, kNamed);
        ASSERT_GE(shown, 0) << "step " << step << ": " << DescribePixel(session.Screenshot(), gl.CentreX() + 8, gl.CentreY() + 8);
        if (first < 0) first = shown;
        const Named& file = kNamed[static_cast<std::size_t>(shown)];
        EXPECT_TRUE(seen.insert(shown).second) << file.name << " shown twice";
        EXPECT_NE(session.Title().find(" " + file.name + " ("), std::string::npos)
            << "title: " << session.Title();

        // File > Edit hands the editor the file on show, by its own name.
        ASSERT_TRUE(session.Keys({"alt+f", "e"}, 300));
        const std::vector<std::string> lines = WaitForArgs(recorder, step + 1);
        ASSERT_EQ(lines.size(), step + 1) << "the editor was not started for " << file.name;
        const std::string& line = lines.back();
        const std::string wanted = "\"" + Session::WindowsPath(textureDir + "/" + file.name) + "\"";
        EXPECT_TRUE(EndsWith(line, " " + wanted)) << line << "\nwanted the argument " << wanted;
        EXPECT_NE(line.find("record_args.exe"), std::string::npos) << line;
        EXPECT_EQ(std::count(line.begin(), line.end(), '"'), 4) << "one quoted program, one quoted file: " << line;

        ASSERT_TRUE(session.Focus());
        Press("bracketright");
    }
    EXPECT_EQ(seen.size(), kNamed.size());
    EXPECT_EQ(WaitShowingOther(shown, kNamed), first) << "the sixth step comes back to the first";

    QuitWithEscape();
}

TEST_F(WineNamesTest, ABatchEditorStartsNothingForANameCmdWouldRun) {
    // cmd.exe splits an argument at & (this name would start Notepad) and
    // expands %...% even inside quotes.
    const std::vector<Named> files{{"t&notepad&.png", {90, 30, 140}}};
    ASSERT_NO_FATAL_FAILURE(WriteFiles(textureDir, files));
    const std::string log = session.Dir() + "/editor.log";
    {
        std::ofstream bat(session.Dir() + "/editor.bat", std::ios::binary);
        bat << "@echo off\r\necho [%1]>> \"%~dp0editor.log\"\r\n";
    }
    settings.editor = Session::WindowsPath(session.Dir() + "/editor.bat");
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ(0, WaitShowingOther(-1, files));

    ASSERT_TRUE(session.Keys({"alt+f", "e"}, 300));
    const unsigned long box = session.WaitForTitle("Zintra", 20000);
    ASSERT_NE(0u, box) << "no message box";
    e2e::SleepMs(1500);
    EXPECT_FALSE(fs::exists(log)) << "the batch file ran: " << ReadText(log);
    // Case-blind: the viewer's own title names t&notepad&.png.
    EXPECT_EQ(0u, session.WaitForTitleMatching(" - Notepad$", 0)) << "cmd.exe ran part of the name";

    // Return closes the box; the viewer goes on.
    ASSERT_TRUE(session.FocusWindow(box));
    ASSERT_TRUE(session.Key("Return"));
    for (int waited = 0; waited < 10000 && session.WaitForTitle("Zintra", 0) != 0; waited += 200)
        e2e::SleepMs(200);
    EXPECT_EQ(0u, session.WaitForTitle("Zintra", 0));
    EXPECT_TRUE(session.ProgramRunning());
    EXPECT_FALSE(fs::exists(log));
    QuitWithEscape();
}

TEST_F(WineNamesTest, AFolderNamedInCyrillicIsRememberedAndShownAfterARestart) {
    // The folder dialog cannot be driven by keys under Wine: the settings
    // name the folder as Browse would have left it.
    const std::string folder = session.Dir() + "/" + kTextures;
    ASSERT_TRUE(fs::create_directory(folder));
    const std::vector<Named> files{{kKanji + ".png", {40, 200, 200}}, {kPrivet + ".png", {200, 120, 40}}};
    ASSERT_NO_FATAL_FAILURE(WriteFiles(folder, files));
    settings.textureDir = Session::WindowsPath(folder);
    ASSERT_NO_FATAL_FAILURE(Start());
    const int first = WaitShowingOther(-1, files);
    ASSERT_GE(first, 0);
    Press("bracketright");
    const int second = WaitShowingOther(first, files);
    ASSERT_GE(second, 0);
    EXPECT_NE(first, second);
    QuitWithEscape();

    const std::vector<std::string> lines = e2e::SplitLines(session.ReadSettingsFile());
    ASSERT_EQ(8u, lines.size()) << session.ReadSettingsFile();
    EXPECT_EQ(Session::WindowsPath(folder) + "\r", lines[1]) << "saved in UTF-8";

    ASSERT_NO_FATAL_FAILURE(Restart());
    const int again = WaitShowingOther(-1, files, 20000);
    ASSERT_GE(again, 0) << "the folder was not remembered";
    EXPECT_NE(session.Title().find(files[static_cast<std::size_t>(again)].name), std::string::npos)
        << session.Title();
    QuitWithEscape();
}

TEST_F(WineNamesTest, AFolderAnEarlierCopySavedInTheAnsiCodePageIsReadAndSavedInUtf8) {
    // "Café" as an earlier copy wrote it: one byte, E9, in code page 1252.
    const std::string folder = session.Dir() + "/Caf\xC3\xA9";
    ASSERT_TRUE(fs::create_directory(folder));
    const std::vector<Named> files{{"b.png", {200, 120, 40}}};
    ASSERT_NO_FATAL_FAILURE(WriteFiles(folder, files));
    settings.textureDir = Session::WindowsPath(session.Dir() + "/Caf\xE9");
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(0, WaitShowingOther(-1, files, 20000)) << "the ANSI line did not name the folder";
    QuitWithEscape();
    const std::vector<std::string> lines = e2e::SplitLines(session.ReadSettingsFile());
    ASSERT_EQ(8u, lines.size());
    EXPECT_EQ(Session::WindowsPath(folder) + "\r", lines[1]);
}

TEST_F(WineNamesTest, RunFromFoldersNamedOutsideTheCodePageItKeepsItsSettingsAndImages) {
    // One large tile fills the area, so only the HUD differs from it.
    const Colour blue{30, 60, 200};
    ASSERT_TRUE(WriteSolid(textureDir + "/big.png", 256, blue));
    for (const std::string& name : {kOeuvre, kProgram}) {
        SCOPED_TRACE(name);
        const std::string home = session.Dir() + "/" + name;
        ASSERT_TRUE(fs::create_directories(home + "/system"));
        fs::copy_file(session.Dir() + "/zintra.exe", home + "/zintra.exe");
        for (const auto& entry : fs::directory_iterator(session.Dir() + "/system"))
            fs::copy_file(entry.path(), home + "/system/" + entry.path().filename().string());
        e2e::Settings start = settings;
        start.showHud = true;
        {
            std::ofstream out(home + "/zintra.cfg", std::ios::binary);
            out << start.Text();
        }

        for (int run = 0; run < 2; ++run) {
            SCOPED_TRACE(run == 0 ? "first run" : "second run");
            e2e::Process program;
            ASSERT_TRUE(program.Start({std::string(ZINTRA_SOURCE_DIR) + "/scripts/wine-run", home + "/zintra.exe"},
                                      session.Env(), home, home + "/program.log"));
            const unsigned long window = WaitForCopy(program);
            ASSERT_NE(0u, window) << ReadText(home + "/program.log");
            ASSERT_TRUE(session.FocusWindow(window));
            // The first run starts with the HUD as the settings say; the
            // second with it off, as the first run saved.
            const bool hud = run == 0;
            Image shot = session.WaitForScreen(
                [&](const Image& s) {
                    const std::optional<e2e::Rect> area = Filled(s, blue);
                    if (!area) return false;
                    gl = *area;
                    return HudShown(s) == hud;
                },
                20000);
            ASSERT_TRUE(Filled(shot, blue).has_value()) << "the texture is not on show";
            EXPECT_EQ(hud, HudShown(shot)) << (hud ? "the HUD images were not read" : "settings not read");

            // Options > Show HUD turns it the other way.
            ASSERT_TRUE(session.Keys({"alt+o", "h"}, 400));
            shot = session.WaitForScreen([&](const Image& s) { return HudShown(s) != hud; }, 10000);
            EXPECT_NE(hud, HudShown(shot));
            ASSERT_TRUE(session.FocusWindow(window));
            ASSERT_TRUE(session.Key("Escape"));
            const std::optional<int> status = program.Wait(exitTimeoutMs);
            ASSERT_TRUE(status.has_value()) << "the program did not end";
            EXPECT_EQ(0, *status);

            const std::vector<std::string> lines = e2e::SplitLines(ReadText(home + "/zintra.cfg"));
            ASSERT_EQ(8u, lines.size()) << ReadText(home + "/zintra.cfg");
            EXPECT_EQ(hud ? "0\r" : "1\r", lines[2]) << "the settings were not saved";
            EXPECT_EQ(settings.textureDir + "\r", lines[1]);
            EXPECT_FALSE(fs::exists(home + "/zintra.cfg.tmp"));
        }
    }
}

TEST_F(WineNamesTest, AWindowClosedWhileMinimisedComesBackOnScreenAtItsNormalSize) {
    ASSERT_TRUE(WriteSolid(textureDir + "/a.png", 64, {40, 200, 40}));
    ASSERT_TRUE(session.StartWindowManager());
    settings.left = 200;
    settings.top = 150;
    settings.right = 200 + 600;
    settings.bottom = 150 + 480;
    ASSERT_NO_FATAL_FAILURE(Start());
    e2e::SleepMs(1500);
    const std::optional<e2e::Rect> shown = session.OuterRect();
    ASSERT_TRUE(shown.has_value());
    // The rectangle the program saves for itself when nothing is minimised.
    ASSERT_TRUE(session.RequestClose());
    ASSERT_NO_FATAL_FAILURE(ExpectExitZero());
    const e2e::Settings normal = [&] {
        e2e::Settings read;
        const std::vector<std::string> lines = e2e::SplitLines(session.ReadSettingsFile());
        if (lines.size() == 8u) {
            read.left = std::stoi(lines[4]);
            read.top = std::stoi(lines[5]);
            read.right = std::stoi(lines[6]);
            read.bottom = std::stoi(lines[7]);
        }
        return read;
    }();
    ASSERT_GT(normal.right - normal.left, 300) << session.ReadSettingsFile();

    ASSERT_NO_FATAL_FAILURE(Restart());
    e2e::SleepMs(1500);
    ASSERT_EQ(0, e2e::RunCommand({"xdotool", "windowminimize", "--sync", std::to_string(session.Window())},
                                 session.Env(), 10000)
                     .status);
    e2e::SleepMs(1500);
    ASSERT_TRUE(session.RequestClose());
    ASSERT_NO_FATAL_FAILURE(ExpectExitZero());
    const std::vector<std::string> lines = e2e::SplitLines(session.ReadSettingsFile());
    ASSERT_EQ(8u, lines.size()) << session.ReadSettingsFile();
    const int left = std::stoi(lines[4]), top = std::stoi(lines[5]);
    const int right = std::stoi(lines[6]), bottom = std::stoi(lines[7]);
    EXPECT_GT(left, -1000) << session.ReadSettingsFile();
    EXPECT_GT(top, -1000) << session.ReadSettingsFile();
    EXPECT_EQ(normal.right - normal.left, right - left) << "not the normal width";
    EXPECT_EQ(normal.bottom - normal.top, bottom - top) << "not the normal height";

    // Started again, it is on screen at that size.
    ASSERT_NO_FATAL_FAILURE(Restart());
    std::optional<e2e::Rect> outer;
    for (int i = 0; i < 50; ++i) {
        outer = session.OuterRect();
        if (outer && outer->x >= 0 && outer->y >= 0) break;
        e2e::SleepMs(100);
    }
    ASSERT_TRUE(outer.has_value());
    EXPECT_GE(outer->x, 0);
    EXPECT_GE(outer->y, 0);
    EXPECT_LE(outer->x + outer->width, 1280);
    EXPECT_LE(outer->y + outer->height, 1024);
    EXPECT_EQ(outer->width, shown->width);
    EXPECT_EQ(outer->height, shown->height);
    ASSERT_TRUE(session.RequestClose());
    ASSERT_NO_FATAL_FAILURE(ExpectExitZero());
}

TEST_F(WineNamesTest, AKeyHeldWhileTheFocusLeavesStopsActing) {
    // Each column its own colour, wide enough that a held arrow pans for
    // seconds before the edge stops it.
    ASSERT_TRUE(e2e::WriteImage(textureDir + "/wide.png", 1024, [](int x, int) {
        return Colour{x & 255, 40 + 50 * (x >> 8), 120};
    }));
    ASSERT_NO_FATAL_FAILURE(Start());
    auto centre = [&](const Image& s) {
        const Image::Pixel p = s.At(gl.CentreX(), gl.CentreY());
        return std::to_string(p.r) + "," + std::to_string(p.g) + "," + std::to_string(p.b);
    };
    const Image start = session.WaitForScreen([&](const Image& s) { return s.At(gl.CentreX(), gl.CentreY()).b == 120; });
    const std::string before = centre(start);

    // Held, the arrow pans on and on.
    ASSERT_EQ(0, e2e::RunCommand({"xdotool", "keydown", "Right"}, session.Env()).status);
    const Image panning = session.WaitForScreen([&](const Image& s) { return centre(s) != before; });
    EXPECT_NE(before, centre(panning)) << "a held arrow did not pan";

    // Another window takes the focus and the key is let go there: the
    // program never hears of the release.
    e2e::Process other;
    ASSERT_TRUE(other.Start({"xlogo"}, session.Env()));
    const unsigned long logo = session.WaitForTitle("xlogo");
    ASSERT_NE(0u, logo);
    ASSERT_TRUE(session.FocusWindow(logo));
    ASSERT_EQ(0, e2e::RunCommand({"xdotool", "keyup", "Right"}, session.Env()).status);
    e2e::SleepMs(500);
    const std::string settled = centre(session.Screenshot());
    int changes = 0;
    for (int i = 0; i < 20; ++i) {
        e2e::SleepMs(100);
        changes += centre(session.Screenshot()) != settled;
    }
    EXPECT_EQ(0, changes) << "the arrow let go elsewhere still pans";

    // Back in focus, the arrow pans while held and no longer.
    ASSERT_TRUE(session.Focus());
    e2e::SleepMs(300);
    ASSERT_TRUE(session.Key("Right", 300));
    e2e::SleepMs(300);
    const std::string moved = centre(session.Screenshot());
    EXPECT_NE(settled, moved);
    e2e::SleepMs(700);
    EXPECT_EQ(moved, centre(session.Screenshot()));
    other.Stop();
    QuitWithEscape();
}

TEST_F(WineNamesTest, OnAGermanKeyboardBracketsAreAltGrEightAndNine) {
    // ] is AltGr+9 there and arrives as the 9 key: it must step, not
    // magnify, and AltGr+8 ([) must step back.
    if (e2e::RunCommand({"setxkbmap", "de"}, session.Env()).status != 0)
        GTEST_SKIP() << "setxkbmap cannot set a German layout here";
    const std::vector<Named> files(kPlainNamed.begin(), kPlainNamed.begin() + 3);
    ASSERT_NO_FATAL_FAILURE(WriteFiles(textureDir, files));
    ASSERT_NO_FATAL_FAILURE(Start());
    const int first = WaitShowingOther(-1, files);
    ASSERT_GE(first, 0);
    e2e::SleepMs(200);
    ASSERT_TRUE(session.Keys({"ISO_Level3_Shift+9"}, 300));
    const int second = WaitShowingOther(first, files);
    EXPECT_NE(first, second) << "AltGr+9 did not step";
    ASSERT_TRUE(session.Keys({"ISO_Level3_Shift+8"}, 300));
    EXPECT_EQ(first, WaitShowingOther(second, files)) << "AltGr+8 did not step back";
    QuitWithEscape();
}

}  // namespace
