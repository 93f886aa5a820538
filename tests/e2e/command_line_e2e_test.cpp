// --help, --version and --check: on standard output with their statuses,
// with no display to open a window on; the Windows build under Wine too,
// --check through cmd, which takes the console twin zintra.com.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "e2e/harness.h"
#include "support/temp_dir.h"

namespace {

class CommandLineE2ETest : public ::testing::TestWithParam<bool> {
protected:
    const bool wine = GetParam();
    std::map<std::string, std::string> env{{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}};

    void SetUp() override {
        if (wine && e2e::Session::WindowsBuild().empty())
            GTEST_SKIP() << "ZINTRA_WINE_EXE is not set";
        const char* prefix = std::getenv("ZINTRA_WINEPREFIX");
        env["WINEPREFIX"] = prefix ? prefix : ZINTRA_SOURCE_DIR "/build-windows/wineprefix";
    }
    // A Wine server started without a display would serve the next session.
    void TearDown() override {
        if (wine && !e2e::Session::WindowsBuild().empty())
            e2e::RunCommand({"wineserver", "-k"}, env);
    }
    // Standard output alone: errors go to /dev/null.
    e2e::CommandResult Run(const std::string& option) {
        std::vector<std::string> argv{"sh", "-c", "\"$0\" \"$@\" 2>/dev/null", ZINTRA_EXE, option};
        if (wine) {
            argv[3] = ZINTRA_SOURCE_DIR "/scripts/wine-run";
            argv.insert(argv.begin() + 4, e2e::Session::WindowsBuild());
        }
        return e2e::RunCommand(argv, env, 60000);
    }
};

TEST_P(CommandLineE2ETest, HelpPrintsTheUsageAndTheKeysVersionTheVersion) {
    const e2e::CommandResult help = Run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind("Usage: zintra [FOLDER | FILE]\n", 0), 0u) << help.output;
    EXPECT_NE(help.output.find("Krita (.kra)"), std::string::npos) << help.output;
    for (const char* line :
         {"\n  --version ", "\nKeyboard:\n  ESC ", "\nMore keys:\n  Q ", "\n  C (hold) "})
        EXPECT_NE(help.output.find(line), std::string::npos) << line;
    const e2e::CommandResult version = Run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "zintra " ZINTRA_PROJECT_VERSION "\n");
}

TEST_P(CommandLineE2ETest, CheckScoresEveryImageAndSaysSoInItsStatus) {
    TempDir dir("zintra-check-");
    const std::string root = dir.str();
    // 8-texel squares over 64: tiles both ways. A ramp across: a seam there.
    ASSERT_TRUE(std::filesystem::create_directory(root + "/good"));
    ASSERT_TRUE(e2e::WriteImage(root + "/good/checker.png", 64, [](int x, int y) {
        return ((x / 8 + y / 8) % 2) ? e2e::Colour{200, 60, 40} : e2e::Colour{40, 90, 200};
    }));
    ASSERT_TRUE(e2e::WriteImage(root + "/ramp.png", 63, [](int x, int) {
        return e2e::Colour{std::uint8_t(x * 4), 100, 100};
    }));
    ASSERT_TRUE(std::filesystem::copy_file(root + "/ramp.png", root + "/good/notes.txt"));
    { std::ofstream(root + "/bad.jpg") << "not a picture"; }
    const auto path = [&](const std::string& p) {
        return wine ? e2e::Session::WindowsPath(root + "/" + p) : root + "/" + p;
    };
    struct Case {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> said;  // in the output, standard error included
    };
    const Case cases[] = {
        {{"--check", path("good")}, 0, {"checker.png: across 1.00 tiles, down 1.00 tiles\n"}},
        {{"--check", path("good"), path("ramp.png")}, 1, {"ramp.png: across ", " SEAM, down 0.00 tiles\n"}},
        {{"--check", path("ramp.png"), path("bad.jpg")}, 2, {"bad.jpg: cannot be read\n", " SEAM"}},
        {{"--check", "--json", path("good/checker.png"), path("ramp.png")}, 1,
         {"[\n  {\"path\": \"", "checker.png\", \"width\": 64, \"height\": 64, \"across\": 1.00, "
          "\"down\": 1.00, \"across_ok\": true, \"down_ok\": true},\n",
          "\"width\": 63, \"height\": 63, \"across\": ", "\"across_ok\": false, \"down_ok\": true}\n]\n"}},
        {{"--check"}, 2, {"--check needs a file or folder"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        std::vector<std::string> argv{ZINTRA_EXE};
        if (wine) {
            // cmd finds zintra.com beside zintra.exe, as it would on Windows.
            std::string exe = e2e::Session::WindowsPath(e2e::Session::WindowsBuild());
            exe = exe.substr(0, exe.rfind('.'));
            argv = {ZINTRA_SOURCE_DIR "/scripts/wine-run", "cmd", "/c", exe};
        }
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::vector<std::string> sh{"sh", "-c", "\"$0\" \"$@\" 2>&1"};
        sh.insert(sh.end(), argv.begin(), argv.end());
        const e2e::CommandResult result = e2e::RunCommand(sh, env, 60000);
        EXPECT_EQ(result.status, c.status) << result.output;
        for (const std::string& text : c.said)
            EXPECT_NE(result.output.find(text), std::string::npos) << text << " in\n" << result.output;
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, CommandLineE2ETest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Wine" : "Native");
                         });

}  // namespace
