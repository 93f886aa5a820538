// The settings file against hostile content and against a write that is
// cut off: defaults stay as designed and the file is never left truncated.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "app/tester_app.h"
#include "platform/headless/headless.h"
#include "support/temp_dir.h"

namespace {

// A literal with its NULs kept.
template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

class HostileSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        app = std::make_unique<TesterApp>();
        app->exeDir = dir.str();
    }

    void Read(const std::string& content) {
        dir.Write("zintra.cfg", content);
        SetUp();
        app->ReadSettings();
    }

    bool DefaultRect() const {
        return app->windowRect.left == 100 && app->windowRect.top == 100 &&
               app->windowRect.right == 612 && app->windowRect.bottom == 612;
    }

    // Files beside the options file (zintra.ini), which is saved too.
    std::size_t FilesInDir() const {
        std::size_t n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            n += entry.path().filename() != "zintra.ini";
        return n;
    }

    TempDir dir;
    std::unique_ptr<TesterApp> app;
};

TEST_F(HostileSettingsTest, TwoMegabyteLinesStopReadingWithoutTakingTheirTail) {
    const std::string huge(2 << 20, 'x');
    Read(huge + "\n/tex\n0\n0\n1\n2\n3\n4\n");
    EXPECT_EQ(app->editorPath.value_or(""), std::string(511, 'x'));
    EXPECT_FALSE(app->viewer->textureDir);
    EXPECT_TRUE(app->viewer->showHud);
    EXPECT_TRUE(DefaultRect());

    const std::string digits(2 << 20, '7');
    Read("NULL\nNULL\n0\n0\n" + digits + "\n2\n3\n4\n");
    EXPECT_FALSE(app->viewer->showHud);
    EXPECT_TRUE(DefaultRect());
}

TEST_F(HostileSettingsTest, ANumberIsItsWholeRunOfDigits) {
    // A long zero-padded value is one value, not two.
    Read("NULL\nNULL\n1\n1\n" + std::string(100, '0') + "7\n-" + std::string(70, '0') +
         "8\n9\n10\n");
    EXPECT_EQ(app->windowRect.left, 7);
    EXPECT_EQ(app->windowRect.top, -8);
    EXPECT_EQ(app->windowRect.right, 9);
    EXPECT_EQ(app->windowRect.bottom, 10);

    for (const char* value : {"99999999999999999999999", "-9223372036854775809",
                              "9223372036854775807", "-2147483649", "+", "-", "0x10"}) {
        Read(std::string("NULL\nNULL\n1\n1\n") + value + "\n2\n3\n4\n");
        if (std::string(value) == "0x10") {
            EXPECT_EQ(app->windowRect.left, 0);  // read as 0; "x10" then stops the rest
            EXPECT_EQ(app->windowRect.top, 100);
        } else {
            EXPECT_TRUE(DefaultRect()) << value;
        }
    }
}

TEST_F(HostileSettingsTest, ANulEndsALinesValue) {
    // Otherwise "\0..." would make the file system's root the folder.
    Read(Bytes("NULL\0junk\n\0/etc\n0\n1\n1\n2\n3\n4\n"));
    EXPECT_FALSE(app->editorPath);
    EXPECT_FALSE(app->viewer->textureDir);
    EXPECT_FALSE(app->viewer->showHud);
    EXPECT_EQ(app->windowRect.bottom, 4);

    Read(Bytes("/bin/ed\0x\n/tex\0y\r\n1\n1\n"));
    EXPECT_EQ(app->editorPath.value_or(""), "/bin/ed");
    EXPECT_EQ(app->viewer->textureDir.value_or(""), "/tex");
}

// A write cut off at any point (disk full, size limit) keeps the old file.
TEST_F(HostileSettingsTest, AWriteFailingMidwayKeepsTheOldFileAndLeavesNoTemporary) {
    const std::string old = "NULL\nNULL\n1\n1\n1\n2\n3\n4\n";
    dir.Write("zintra.cfg", old);
    app->editorPath = std::string(500, 'e');
    for (rlim_t limit : {0, 1, 40, 400, 510}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit cap = {limit, limit};
            setrlimit(RLIMIT_FSIZE, &cap);
            app->WriteSettings();
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << limit;
        EXPECT_EQ(dir.Read("zintra.cfg"), old) << limit;
        EXPECT_EQ(FilesInDir(), 1u) << limit;
    }
}

// kill -9 at random moments of rapid saves: the file is always whole.
TEST_F(HostileSettingsTest, KillDuringRapidSavesNeverLeavesATruncatedFile) {
    const std::string a = std::string(511, 'a') + "\nNULL\n1\n1\n1\n2\n3\n4\n";
    const std::string b = std::string(300, 'b') + "\nNULL\n1\n1\n1\n2\n3\n4\n";
    headless::Get().outerRect = {1, 2, 3, 4};
    dir.Write("zintra.cfg", a);
    for (int round = 0; round < 25; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) {
                app->editorPath = std::string(i % 2 ? 300 : 511, i % 2 ? 'b' : 'a');
                app->WriteSettings();
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500 + 397 * round % 4000));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        const std::string text = dir.Read("zintra.cfg");
        ASSERT_TRUE(text == a || text == b) << "round " << round << ": " << text.size() << " bytes";
    }
    // A killed save may leave its own temporary, never a damaged file.
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_TRUE(entry.path().filename() == "zintra.cfg" ||
                    entry.path().filename() == "zintra.ini" || entry.path().extension() == ".tmp")
            << entry.path();
}

TEST_F(HostileSettingsTest, ARewriteKeepsTheFilesModeExactly) {
    for (const mode_t mode : {0000, 0400, 0604, 0640, 0755}) {
        SCOPED_TRACE(mode);
        for (const char* name : {"zintra.cfg", "zintra.ini"}) {
            const std::string path = dir.Write(name, "old\n");
            ASSERT_EQ(chmod(path.c_str(), mode), 0);
        }
        app->WriteSettings();
        for (const char* name : {"zintra.cfg", "zintra.ini"}) {
            struct stat info;
            ASSERT_EQ(stat((dir.path() / name).c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 07777, mode) << name;
            chmod((dir.path() / name).c_str(), 0600);
            EXPECT_NE(dir.Read(name), "old\n") << name;
        }
    }
}

// Run by a user who may not read a mode-000 file (root may read anything).
template <typename Body>
int AsUnprivilegedUser(const std::filesystem::path& dir, Body body) {
    chmod(dir.c_str(), 0777);
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(99);
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    chmod(dir.c_str(), 0700);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

TEST_F(HostileSettingsTest, AnUnreadableFileIsLeftAsItIsAndSaidOnceAtStart) {
    const struct {
        const char* name;
        bool link;
    } rows[] = {{"zintra.cfg", false}, {"zintra.cfg", true}, {"zintra.ini", false}, {"zintra.ini", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.name) + (row.link ? " through a link" : ""));
        std::filesystem::remove_all(dir.path() / "real");
        for (const char* name : {"zintra.cfg", "zintra.ini"}) std::filesystem::remove(dir.path() / name);
        const std::string target = dir.Write(row.link ? "real/kept" : row.name, "kept\n");
        if (row.link) {
            chmod((dir.path() / "real").c_str(), 0755);
            ASSERT_EQ(symlink("real/kept", (dir.path() / row.name).c_str()), 0);
        }
        ASSERT_EQ(chmod(target.c_str(), 0), 0);

        const int result = AsUnprivilegedUser(dir.path(), [&] {
            headless::Reset();
            TesterApp fresh;
            fresh.exeDir = dir.str();
            testing::internal::CaptureStderr();
            fresh.ReadSettings();
            const std::string said = testing::internal::GetCapturedStderr();
            fresh.ShownChanged();
            const std::string title = headless::Get().title;
            fresh.WriteSettings();
            const std::string notice = std::string(row.name) + " cannot be read";
            int failed = 0;
            if (said.find(notice) == std::string::npos || said.find('\n') != said.size() - 1)
                failed |= 1;
            if (title.find(notice) == std::string::npos) failed |= 2;
            if (!headless::Get().messageBoxes.empty()) failed |= 4;
            return failed;
        });
        EXPECT_EQ(result, 0) << "1: stderr once, 2: title, 4: a message box";

        struct stat info;
        ASSERT_EQ(lstat((dir.path() / row.name).c_str(), &info), 0);
        EXPECT_EQ(S_ISLNK(info.st_mode) != 0, row.link);
        ASSERT_EQ(stat(target.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0u);
        chmod(target.c_str(), 0600);
        EXPECT_EQ(dir.Read(row.link ? "real/kept" : row.name), "kept\n");
        // The other file is saved as ever.
        const char* other = std::string(row.name) == "zintra.cfg" ? "zintra.ini" : "zintra.cfg";
        EXPECT_TRUE(std::filesystem::exists(dir.path() / other)) << other;
    }
}

}  // namespace
