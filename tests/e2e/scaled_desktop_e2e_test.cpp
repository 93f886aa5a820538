// Scaled desktops: the Linux build as a native Wayland client of weston
// nested in the session's Xvfb (x11 backend, software rendering) at output
// scales 1 and 2, and on X11 at Qt scale factors 2 and 1.5. Under weston,
// keys go to its X window, which hands them to its client.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

using e2e::Colour;
using e2e::Image;

// Every texel its own colour: a texel's position reads back from its
// colour, so a block of the screen shows whether texels are pixels.
constexpr int kSize = 97;
Colour Texel(int x, int y) {
    x = ((x % kSize) + kSize) % kSize;
    y = ((y % kSize) + kSize) % kSize;
    return {(37 * x) % 256, (53 * y) % 256, ((x ^ y) & 1) ? 230 : 30};
}
constexpr Colour kNext{40, 200, 60};

// Whether some `block` x `block` square of the screen shows the texture
// one texel per pixel (37 * 173 and 53 * 29 are 1 modulo 256).
bool ShowsTexelPerPixel(const Image& shot, int block = 48) {
    for (int y = 0; y + block < shot.height; y += 11)
        for (int x = 0; x + block < shot.width; x += 11) {
            const Image::Pixel p = shot.At(x, y);
            const int u = (p.r * 173) % 256, v = (p.g * 29) % 256;
            if (u >= kSize || v >= kSize) continue;
            bool all = true;
            for (int j = 0; j < block && all; ++j)
                for (int i = 0; i < block && all; ++i)
                    all = e2e::Is(shot, x + i, y + j, Texel(u + i, v + j), 0);
            if (all) return true;
        }
    return false;
}

long CountOf(const Image& shot, Colour c) {
    long n = 0;
    for (int y = 0; y < shot.height; y += 2)
        for (int x = 0; x < shot.width; x += 2) n += e2e::Is(shot, x, y, c, 4);
    return n;
}

struct Desktop {
    const char* name;
    bool wayland;
    const char* scale;  // weston's output scale, or Qt's factor on X11
};

class ScaledDesktopE2ETest : public ::testing::TestWithParam<Desktop> {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.Ready());
        env = session.Env();
        if (!GetParam().wayland) return;
        if (e2e::RunCommand({"sh", "-c", "command -v weston"}, {}).status != 0)
            GTEST_SKIP() << "weston is not installed (scripts/install-deps installs it)";
        const std::string scale = GetParam().scale;
        ASSERT_TRUE(weston.Start({"weston", "--backend=x11-backend.so", "--use-pixman", "--no-config",
                                  "--idle-time=0", "--socket=" + kSocket, "--width=560",
                                  "--height=440", "--scale=" + scale},
                                 env, std::string(), session.Dir() + "/weston.log"));
        const std::string socket = env["XDG_RUNTIME_DIR"] + "/" + kSocket;
        for (int waited = 0; !std::filesystem::exists(socket); waited += 100) {
            ASSERT_LT(waited, 15000) << "weston made no socket";
            e2e::SleepMs(100);
        }
    }
    void TearDown() override {
        if (HasFailure()) session.ReportFailure(std::string("desktop_") + GetParam().name);
    }

    bool Launch() {
        // No X display under weston: the program must not fall back to X11.
        if (GetParam().wayland)
            return session.Launch({{"QT_QPA_PLATFORM", "wayland"}, {"WAYLAND_DISPLAY", kSocket}, {"DISPLAY", ""}});
        return session.Launch({{"QT_SCALE_FACTOR", GetParam().scale}});
    }

    // Under weston, keys reach the client through weston's own X window.
    bool Key(const std::string& keysym) {
        if (!GetParam().wayland) return session.Focus() && session.Key(keysym);
        const e2e::CommandResult found =
            e2e::RunCommand({"xdotool", "search", "--class", "Weston Compositor"}, env);
        if (found.status != 0 || found.output.empty()) return false;
        const std::string id = e2e::SplitLines(found.output).front();
        return e2e::RunCommand({"xdotool", "windowfocus", id}, env).status == 0 &&
               e2e::RunCommand({"xdotool", "key", "--delay", "60", keysym}, env).status == 0;
    }

    const std::string kSocket = "zintra-wayland";
    e2e::Session session;
    std::map<std::string, std::string> env;
    e2e::Process weston;
};

TEST_P(ScaledDesktopE2ETest, TilesOneTexelPerDevicePixelStepsAndQuitsKeepingItsPlace) {
    const std::string textures = session.Dir() + "/textures";
    std::filesystem::create_directories(textures);
    ASSERT_TRUE(e2e::WriteImage(textures + "/a.png", kSize, Texel));
    ASSERT_TRUE(e2e::WriteSolid(textures + "/b.png", 33, kNext));
    e2e::Settings settings;
    settings.textureDir = textures;
    settings.left = 37;
    settings.top = 29;
    settings.right = 37 + 251;
    settings.bottom = 29 + 201;
    ASSERT_TRUE(session.WriteSettings(settings));
    ASSERT_TRUE(Launch());
    if (!GetParam().wayland) {
        ASSERT_NE(session.WaitForWindow(), 0ul);
    }

    const Image first = session.WaitForScreen([](const Image& s) { return ShowsTexelPerPixel(s); }, 20000);
    ASSERT_TRUE(ShowsTexelPerPixel(first)) << "no block of a.png at one texel per pixel";

    e2e::SleepMs(150);
    ASSERT_TRUE(Key("bracketright"));
    const Image next = session.WaitForScreen([](const Image& s) { return CountOf(s, kNext) > 2000; }, 2000);
    EXPECT_GT(CountOf(next, kNext), 2000) << "] did not show b.png within 2 s";

    ASSERT_TRUE(Key("Escape"));
    EXPECT_EQ(session.WaitExit(10000), 0);
    const std::vector<std::string> lines = e2e::SplitLines(session.ReadSettingsFile());
    ASSERT_EQ(lines.size(), 8u) << session.ReadSettingsFile();
    // Wayland cannot tell the position: the one given stands; X11 without
    // a window manager puts the window where it was asked.
    EXPECT_EQ(lines[4], "37");
    EXPECT_EQ(lines[5], "29");
    EXPECT_GT(std::stoi(lines[6]), 37 + 100);
    EXPECT_GT(std::stoi(lines[7]), 29 + 100);
}

INSTANTIATE_TEST_SUITE_P(Desktops, ScaledDesktopE2ETest,
                         ::testing::Values(Desktop{"Wayland1", true, "1"}, Desktop{"Wayland2", true, "2"},
                                           Desktop{"X11Factor2", false, "2"},
                                           Desktop{"X11Factor1_5", false, "1.5"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
