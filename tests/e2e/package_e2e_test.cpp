// The release packages end to end: the .deb unpacked into a scratch root
// and started from there, as installed (HUD images from
// ../share/zintra/system, settings under the XDG config folder, a file or
// folder given as argument), and the Windows zip unpacked and run under
// Wine where it lies (settings beside zintra.exe). Each test skips when
// scripts/package has not left its package in dist/.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "e2e/harness.h"

namespace {

namespace fs = std::filesystem;

using e2e::Colour;
using e2e::DescribePixel;
using e2e::Image;
using e2e::Is;
using e2e::Rect;
using e2e::Session;
using e2e::WriteSolid;

constexpr Colour kB{40, 60, 220};
constexpr Colour kC{230, 220, 40};
// Behind the HUD: a colour its images hardly use.
constexpr Colour kBackground{90, 30, 140};

const std::string kDash = " \u2014 ";
const std::string kTimes = " \u00d7 ";

std::string TitleOf(const std::string& file, int w, int h, int index, int count) {
    return std::string(Session::kTitle) + kDash + file + " (" + std::to_string(w) + kTimes +
           std::to_string(h) + ") " + std::to_string(index) + "/" + std::to_string(count);
}

// The newest dist/<prefix>*<suffix> of the source tree, or empty.
std::string NewestInDist(const std::string& prefix, const std::string& suffix) {
    const fs::path dist = fs::path(ZINTRA_SOURCE_DIR) / "dist";
    std::error_code error;
    std::string best;
    fs::file_time_type bestTime;
    for (const auto& entry : fs::directory_iterator(dist, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() < prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const fs::file_time_type time = entry.last_write_time(error);
        if (best.empty() || time > bestTime) {
            best = entry.path().string();
            bestTime = time;
        }
    }
    return best;
}

bool CanRun(const std::vector<std::string>& argv) {
    return e2e::RunCommand(argv, {}, 20000).status == 0;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every path under `root`, relative to it.
std::set<std::string> Tree(const std::string& root) {
    std::set<std::string> out;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error))
        out.insert(fs::relative(it->path(), root, error).string());
    return out;
}

std::string Added(const std::set<std::string>& before, const std::set<std::string>& after) {
    std::string out;
    for (const std::string& path : after)
        if (!before.count(path)) out += " " + path;
    return out;
}

// Of a HUD image centred at (cx, cy) from the GL area's bottom-left, the
// share of its opaque texels shown on screen as they are.
double HudShare(const Image& shot, const Rect& gl, const Image& hud, int cx, int cy) {
    const int left = gl.x + cx - hud.width / 2;
    const int top = gl.y + gl.height - cy - hud.height / 2;
    long counted = 0, shown = 0;
    for (int j = 0; j < hud.height; ++j)
        for (int i = 0; i < hud.width; ++i) {
            const Image::Pixel t = hud.At(i, j);
            if (t.r == 255 && t.g == 0 && t.b == 255) continue;  // the transparent key
            if (e2e::Near(t, kBackground.r, kBackground.g, kBackground.b, 40)) continue;
            ++counted;
            if (e2e::Near(shot.At(left + i, top + j), t.r, t.g, t.b, 24)) ++shown;
        }
    return counted ? static_cast<double>(shown) / counted : 0.0;
}

// A session whose program is started by the test, from an unpacked
// package, with the arguments and environment it gives.
class PackageTest : public e2e::SessionTest {
protected:
    ~PackageTest() override { program.Stop(); }

    // Waits for the window, focuses it and measures the GL area.
    void WaitForProgram(int timeoutMs) {
        // The session did not start this program: wait here, then let the
        // session take the window (it gives up at once on a program of its
        // own that is not running).
        const std::string pattern = std::string("^") + Session::kTitle + "( .*)?$";
        ASSERT_NE(0u, session.WaitForTitleMatching(pattern, timeoutMs))
            << "no visible window titled " << Session::kTitle << "\n" << session.Log();
        ASSERT_NE(0u, session.WaitForWindow(0));
        ASSERT_TRUE(session.Focus());
        const std::optional<Rect> area = session.GLArea();
        ASSERT_TRUE(area.has_value());
        gl = *area;
    }

    void QuitAndExpectExitZero(int timeoutMs) {
        ASSERT_TRUE(session.Focus());
        ASSERT_TRUE(session.Key("Escape"));
        const std::optional<int> status = program.Wait(timeoutMs);
        ASSERT_TRUE(status.has_value()) << "the program did not end";
        EXPECT_EQ(0, *status) << session.Log();
        EXPECT_TRUE(program.GroupGone()) << "a process of the program is still running";
    }

    // Whether the legal and mouse images show at their corners.
    bool HudShown(const Image& shot, const std::string& systemDir) const {
        for (const auto& [file, x, y] : {std::make_tuple("legal.png", 72, 24),
                                         std::make_tuple("mouse.png", gl.width - 40, gl.height - 24)}) {
            const Image hud = e2e::ReadPng(systemDir + "/" + file);
            if (!hud.Valid() || HudShare(shot, gl, hud, x, y) < 0.95) return false;
        }
        return true;
    }

    e2e::Process program;
};

// --- the Debian package --------------------------------------------------

class DebPackageE2ETest : public PackageTest {
protected:
    void SetUp() override {
        if (!CanRun({"dpkg-deb", "--version"})) GTEST_SKIP() << "dpkg-deb is not installed";
        deb = NewestInDist("zintra_", ".deb");
        if (deb.empty()) GTEST_SKIP() << "no dist/zintra_*.deb: run scripts/package first";
        ASSERT_NO_FATAL_FAILURE(SessionTest::SetUp());
        root = session.Dir() + "/root";
        home = session.Dir() + "/home";
        config = session.Dir() + "/config";
        for (const std::string& dir : {root, home, config}) ASSERT_TRUE(fs::create_directories(dir));
        const e2e::CommandResult unpacked = e2e::RunCommand({"dpkg-deb", "-x", deb, root}, {}, 60000);
        ASSERT_EQ(0, unpacked.status) << unpacked.output;
        exe = root + "/usr/bin/zintra";
        ASSERT_TRUE(fs::is_regular_file(exe)) << deb << " holds no usr/bin/zintra";
        systemDir = root + "/usr/share/zintra/system";
        ASSERT_TRUE(fs::is_regular_file(systemDir + "/legal.png")) << deb << " holds no HUD images";
        ASSERT_FALSE(fs::exists(root + "/usr/bin/system"));
    }

    // XDG_CONFIG_HOME empty: unset, so the folder is $HOME/.config.
    void Launch(const std::string& argument, const std::string& xdgConfig) {
        std::map<std::string, std::string> env = session.Env();
        env["HOME"] = home;
        env["XDG_CONFIG_HOME"] = xdgConfig;
        // Started from elsewhere: nothing may depend on the working folder.
        ASSERT_TRUE(program.Start({exe, argument}, env, home, session.LogPath()));
        ASSERT_NO_FATAL_FAILURE(WaitForProgram(windowTimeoutMs));
    }

    // The package's tree is left as it was unpacked: no settings, no
    // options file beside the executable or anywhere else in it.
    void ExpectRootUntouched(const std::set<std::string>& before) {
        const std::set<std::string> after = Tree(root);
        EXPECT_EQ(before, after) << "written into the installed tree:" << Added(before, after);
        EXPECT_FALSE(fs::exists(root + "/usr/bin/zintra.cfg"));
    }

    std::string deb, root, home, config, exe, systemDir;
};

TEST_F(DebPackageE2ETest, AFileArgumentOpensItsFolderWithTheFileOnShowAndSettingsGoToXdgConfigHome) {
    ASSERT_TRUE(e2e::WriteQuadrants(textureDir + "/a.png", 64));
    ASSERT_TRUE(WriteSolid(textureDir + "/b.png", 48, kB));
    ASSERT_TRUE(WriteSolid(textureDir + "/c.png", 32, kC));
    const std::set<std::string> before = Tree(root);

    // No settings anywhere yet: the argument alone decides, no dialog.
    ASSERT_NO_FATAL_FAILURE(Launch(textureDir + "/b.png", config));
    const std::string wanted = TitleOf("b.png", 48, 48, 2, 3);
    EXPECT_EQ(wanted, session.WaitForTitleText(wanted, 10000));
    const int x = gl.CentreX() + 8, y = gl.CentreY() + 8;
    const Image shot = session.WaitForScreen([&](const Image& s) { return Is(s, x, y, kB); }, 5000);
    EXPECT_TRUE(Is(shot, x, y, kB)) << DescribePixel(shot, x, y);

    // The whole folder came with it: ] steps to the next file.
    ASSERT_TRUE(session.Key("bracketright", 80));
    const std::string next = TitleOf("c.png", 32, 32, 3, 3);
    EXPECT_EQ(next, session.WaitForTitleText(next, 5000));

    ASSERT_NO_FATAL_FAILURE(QuitAndExpectExitZero(exitTimeoutMs));
    const std::string saved = ReadText(config + "/zintra/zintra.cfg");
    const std::vector<std::string> lines = e2e::SplitLines(saved);
    ASSERT_EQ(8u, lines.size()) << "no eight-line " << config << "/zintra/zintra.cfg: " << saved;
    EXPECT_EQ(textureDir, lines[1]);
    EXPECT_FALSE(fs::exists(home + "/.config")) << "XDG_CONFIG_HOME was set; $HOME/.config must stay unused";
    ExpectRootUntouched(before);
}

TEST_F(DebPackageE2ETest, AFolderArgumentOpensThatFolderWithTheHudFromShareAndSettingsInHomeConfig) {
    ASSERT_TRUE(WriteSolid(textureDir + "/bg.png", 128, kBackground));
    ASSERT_TRUE(WriteSolid(textureDir + "/other.png", 32, kC));
    // Settings from an earlier run point elsewhere; the argument wins.
    const std::string elsewhere = session.Dir() + "/elsewhere";
    ASSERT_TRUE(fs::create_directory(elsewhere));
    ASSERT_TRUE(WriteSolid(elsewhere + "/x.png", 16, kB));
    const std::string cfg = home + "/.config/zintra/zintra.cfg";
    ASSERT_TRUE(fs::create_directories(home + "/.config/zintra"));
    settings.textureDir = elsewhere;
    settings.showHud = true;
    {
        std::ofstream out(cfg, std::ios::binary);
        out << settings.Text();
    }
    const auto writtenAt = fs::file_time_type::clock::now() - std::chrono::hours(1);
    fs::last_write_time(cfg, writtenAt);
    const std::set<std::string> before = Tree(root);

    ASSERT_NO_FATAL_FAILURE(Launch(textureDir, ""));
    const std::string wanted = TitleOf("bg.png", 128, 128, 1, 2);
    EXPECT_EQ(wanted, session.WaitForTitleText(wanted, 10000));
    // The HUD images come from ../share/zintra/system beside bin/.
    const Image shot = session.WaitForScreen([&](const Image& s) { return HudShown(s, systemDir); }, 5000);
    EXPECT_TRUE(HudShown(shot, systemDir)) << "the HUD does not show the installed images";
    EXPECT_TRUE(Is(shot, gl.CentreX(), gl.CentreY(), kBackground)) << DescribePixel(shot, gl.CentreX(), gl.CentreY());

    ASSERT_NO_FATAL_FAILURE(QuitAndExpectExitZero(exitTimeoutMs));
    EXPECT_GT(fs::last_write_time(cfg), writtenAt) << cfg << " was not written";
    const std::vector<std::string> lines = e2e::SplitLines(ReadText(cfg));
    ASSERT_EQ(8u, lines.size()) << ReadText(cfg);
    EXPECT_EQ("1", lines[2]) << "the HUD setting was not kept";
    ExpectRootUntouched(before);
}

// --- the Windows zip ------------------------------------------------------

class WindowsZipE2ETest : public PackageTest {
protected:
    WindowsZipE2ETest() {
        // Wine starts and ends slowly.
        windowTimeoutMs = 60000;
        exitTimeoutMs = 20000;
    }

    ~WindowsZipE2ETest() override {
        program.Stop();
        // Wine's server would outlive this X server (as the harness does).
        if (started) e2e::RunCommand({"wineserver", "-k"}, session.Env(), 10000);
    }

    void SetUp() override {
        zip = NewestInDist("zintra-", "-win64.zip");
        if (zip.empty()) GTEST_SKIP() << "no dist/zintra-*-win64.zip: run scripts/package first";
        if (!CanRun({"wine", "--version"})) GTEST_SKIP() << "wine is not installed";
        ASSERT_NO_FATAL_FAILURE(SessionTest::SetUp());
        settings.textureDir = Session::WindowsPath(textureDir);
        settings.crlf = true;
        // A blank in the path on purpose.
        unpacked = session.Dir() + "/unpacked here";
        ASSERT_TRUE(fs::create_directory(unpacked));
        const e2e::CommandResult result =
            e2e::RunCommand({"cmake", "-E", "chdir", unpacked, "cmake", "-E", "tar", "xf", zip}, {}, 60000);
        ASSERT_EQ(0, result.status) << result.output;
        std::error_code error;
        for (const auto& entry : fs::recursive_directory_iterator(unpacked, error))
            if (entry.path().filename() == "zintra.exe") programDir = entry.path().parent_path().string();
        ASSERT_FALSE(programDir.empty()) << zip << " holds no zintra.exe";
    }

    std::string zip, unpacked, programDir;
    bool started = false;
};

TEST_F(WindowsZipE2ETest, RunsWhereUnpackedWithItsHudAndKeepsItsSettingsBesideItself) {
    for (const char* file : {"legal.png", "web.png", "controls.png", "mouse.png"})
        EXPECT_TRUE(fs::is_regular_file(programDir + "/system/" + file)) << "system/" << file << " missing";
    EXPECT_TRUE(fs::is_regular_file(programDir + "/README.md"));

    ASSERT_TRUE(WriteSolid(textureDir + "/bg.png", 128, kBackground));
    settings.showHud = true;
    const std::string cfg = programDir + "/zintra.cfg";
    {
        std::ofstream out(cfg, std::ios::binary);
        out << settings.Text();
    }
    const auto writtenAt = fs::file_time_type::clock::now() - std::chrono::hours(1);
    fs::last_write_time(cfg, writtenAt);
    const std::set<std::string> before = Tree(programDir);

    // Started from another folder: the program finds its own.
    started = true;
    ASSERT_TRUE(program.Start({std::string(ZINTRA_SOURCE_DIR) + "/scripts/wine-run", programDir + "/zintra.exe"},
                              session.Env(), session.Dir(), session.LogPath()));
    ASSERT_NO_FATAL_FAILURE(WaitForProgram(windowTimeoutMs));
    const std::string wanted = TitleOf("bg.png", 128, 128, 1, 1);
    EXPECT_EQ(wanted, session.WaitForTitleText(wanted, 10000));
    const Image shot = session.WaitForScreen([&](const Image& s) { return HudShown(s, programDir + "/system"); }, 10000);
    EXPECT_TRUE(HudShown(shot, programDir + "/system")) << "the HUD does not show the images beside zintra.exe";

    ASSERT_NO_FATAL_FAILURE(QuitAndExpectExitZero(exitTimeoutMs));
    EXPECT_GT(fs::last_write_time(cfg), writtenAt) << "zintra.cfg beside zintra.exe was not written";
    const std::string saved = ReadText(cfg);
    const std::vector<std::string> lines = e2e::SplitLines(saved);
    ASSERT_EQ(8u, lines.size()) << saved;
    EXPECT_EQ(settings.textureDir + "\r", lines[1]);
    EXPECT_EQ("1\r", lines[2]);
    // Only the options file may join the settings beside it.
    std::set<std::string> after = Tree(programDir);
    after.erase("zintra.ini");
    EXPECT_EQ(before, after) << "unexpected files beside zintra.exe:" << Added(before, after);
}

}  // namespace
