// --help and --version: answered on standard output, status 0, with no
// display to open a window on. The Windows build under Wine as well.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

class CommandLineE2ETest : public ::testing::TestWithParam<bool> {
protected:
    // The program's standard output alone (its errors dropped), run with
    // no display at all.
    e2e::CommandResult Run(const std::string& option) {
        const bool wine = GetParam();
        std::vector<std::string> argv = {"sh", "-c", "\"$0\" \"$@\" 2>/dev/null"};
        if (wine) {
            if (e2e::Session::WindowsBuild().empty()) return {};
            argv.push_back(std::string(ZINTRA_SOURCE_DIR) + "/scripts/wine-run");
            argv.push_back(e2e::Session::WindowsBuild());
        } else {
            argv.push_back(ZINTRA_EXE);
        }
        argv.push_back(option);
        return e2e::RunCommand(argv, Env(), 60000);
    }
    static std::map<std::string, std::string> Env() {
        const char* prefix = std::getenv("ZINTRA_WINEPREFIX");
        const std::string wine =
            prefix ? prefix : std::string(ZINTRA_SOURCE_DIR) + "/build-windows/wineprefix";
        return {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", "xcb"},
                {"WINEPREFIX", wine}};
    }
    void SetUp() override {
        if (GetParam() && e2e::Session::WindowsBuild().empty())
            GTEST_SKIP() << "ZINTRA_WINE_EXE is not set";
    }
    // A Wine server started without a display would serve the next
    // session's program too.
    void TearDown() override {
        if (GetParam() && !e2e::Session::WindowsBuild().empty())
            e2e::RunCommand({"wineserver", "-k"}, Env());
    }
};

TEST_P(CommandLineE2ETest, HelpPrintsTheUsageAndTheKeys) {
    const e2e::CommandResult result = Run("--help");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output.rfind("Usage: zintra [FOLDER | FILE.png]\n", 0), 0u) << result.output;
    // Options, then the keys of Help > Controls, designed and added alike.
    for (const char* line : {"\n  --version ", "\nKeyboard:\n  ESC ", "\n  Arrow Keys ",
                             "\nMouse:\n  LMB ", "\nMore keys:\n  Q ", "\n  1 2 3 4 8 ",
                             "\n  C (hold) ", "\n  F5 "})
        EXPECT_NE(result.output.find(line), std::string::npos) << line << "\n" << result.output;
}

TEST_P(CommandLineE2ETest, VersionPrintsTheVersion) {
    const e2e::CommandResult result = Run("--version");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, "zintra " ZINTRA_PROJECT_VERSION "\n");
}

INSTANTIATE_TEST_SUITE_P(Targets, CommandLineE2ETest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Wine" : "Native");
                         });

}  // namespace
