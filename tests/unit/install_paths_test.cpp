// Where settings and HUD images live, and what an argument opens.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/install_paths.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::string S(const fs::path& p) {
    const auto text = p.u8string();
    return std::string(text.begin(), text.end());
}

TEST(InstallPaths, PortableBesideTheExecutableInstalledInTheUsersFolder) {
    const InstallPaths portable = ChooseInstallPaths("/opt/z", true, "/x", "/home/u", "C:\\A");
    EXPECT_TRUE(portable.portable);
    EXPECT_EQ(portable.settingsDir, "/opt/z");
    EXPECT_EQ(portable.systemDir, std::string("/opt/z") + platform::kPathSeparator + "system");
#ifndef _WIN32
    const InstallPaths xdg = ChooseInstallPaths("/usr/bin", false, "/home/u/cfg", "/home/u", nullptr);
    EXPECT_FALSE(xdg.portable);
    EXPECT_EQ(xdg.settingsDir, "/home/u/cfg/zintra");
    EXPECT_EQ(xdg.systemDir, "/usr/bin/../share/zintra/system");
    EXPECT_EQ(ChooseInstallPaths("/usr/bin", false, "", "/home/u", nullptr).settingsDir,
              "/home/u/.config/zintra");
    EXPECT_EQ(ChooseInstallPaths("/usr/bin", false, nullptr, nullptr, nullptr).settingsDir, "/usr/bin");
#else
    EXPECT_EQ(ChooseInstallPaths("C:\\P\\bin", false, nullptr, nullptr, "C:\\U\\AppData").settingsDir,
              "C:\\U\\AppData\\Zintra");
#endif
}

#ifndef _WIN32
TEST(InstallPaths, ARelativeXdgConfigHomeIsIgnored) {
    const struct {
        const char* xdg;
        const char* settingsDir;
    } rows[] = {
        {"/home/u/cfg", "/home/u/cfg/zintra"},
        {"cfg", "/home/u/.config/zintra"},
        {"./cfg", "/home/u/.config/zintra"},
        {"../u/cfg", "/home/u/.config/zintra"},
        {"~/cfg", "/home/u/.config/zintra"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ChooseInstallPaths("/usr/bin", false, row.xdg, "/home/u", nullptr).settingsDir,
                  row.settingsDir)
            << row.xdg;
}
#endif

class OpenTargetTest : public ::testing::Test {
protected:
    std::string Make(const std::string& relative, bool folder) {
        const fs::path path = dir.path() / fs::u8path(relative);
        if (folder) {
            fs::create_directories(path);
        } else {
            fs::create_directories(path.parent_path());
            std::ofstream(path) << "x";
        }
        return S(path);
    }
    TempDir dir;
};

TEST_F(OpenTargetTest, FoldersAndPngFilesWithOddNames) {
    for (const char* name : {"my textures", "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82", "-dash", "x.png"}) {
        const std::string folder = Make(name, true);
        const OpenTarget t = ResolveOpenTarget(folder);
        EXPECT_EQ(t.kind, OpenTarget::Folder) << name;
        EXPECT_EQ(t.folder, folder) << name;
        EXPECT_TRUE(t.file.empty());
        EXPECT_EQ(ResolveOpenTarget(folder + "/").folder, folder) << "no trailing separator";
    }
    for (const char* name : {"a b.png", "\xc3\xbc.PNG", "-x.png", "dir/t&x.png"}) {
        const std::string file = Make(name, false);
        const OpenTarget t = ResolveOpenTarget(file);
        EXPECT_EQ(t.kind, OpenTarget::File) << name;
        // Compared as paths: "dir/t&x.png" comes back with the system's separator.
        EXPECT_EQ(fs::u8path(t.file), fs::u8path(file).lexically_normal()) << name;
        EXPECT_EQ(fs::u8path(t.folder), fs::u8path(file).lexically_normal().parent_path()) << name;
    }
}

TEST_F(OpenTargetTest, RelativeNamesMissingNamesAndOtherFiles) {
    Make("-x.png", false);
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path());
    const OpenTarget relative = ResolveOpenTarget("-x.png");  // a name, never an option
    const OpenTarget dot = ResolveOpenTarget(".");
    fs::current_path(cwd);
    EXPECT_EQ(relative.kind, OpenTarget::File);
    EXPECT_EQ(relative.file, S(dir.path() / "-x.png"));
    EXPECT_EQ(dot.kind, OpenTarget::Folder);
    EXPECT_EQ(dot.folder, S(dir.path()));

    EXPECT_EQ(ResolveOpenTarget(S(dir.path() / "gone.png")).kind, OpenTarget::Missing);
    EXPECT_EQ(ResolveOpenTarget("").kind, OpenTarget::Missing);
    EXPECT_EQ(ResolveOpenTarget(Make("notes.txt", false)).kind, OpenTarget::NotImage);
    // Any image the folder lists; with PNG files only, those alone.
    const std::string painting = Make("wall.KRA", false);
    EXPECT_EQ(ResolveOpenTarget(painting).kind, OpenTarget::File);
    EXPECT_EQ(ResolveOpenTarget(painting, false).kind, OpenTarget::NotImage);
}

}  // namespace
