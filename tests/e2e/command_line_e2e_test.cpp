// --help and --version: on standard output, status 0, with no display to
// open a window on; the Windows build under Wine too.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "e2e/harness.h"

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

INSTANTIATE_TEST_SUITE_P(Targets, CommandLineE2ETest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Wine" : "Native");
                         });

}  // namespace
