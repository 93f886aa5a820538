// Saves followed live while another window has the focus, as editors
// save: atomically, in two halves, in a burst, deleted and written anew;
// the folder followed too; the view kept. On the Linux build and, when
// ZINTRA_WINE_EXE is given, on the Windows build under Wine.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "e2e/harness.h"
#include "support/image_writers.h"

namespace {

using e2e::Colour;
using e2e::Image;
using e2e::Is;
using e2e::Session;

constexpr Colour kOld[4] = {e2e::kTopLeft, e2e::kTopRight, e2e::kBottomLeft, e2e::kBottomRight};
constexpr Colour kNew[4] = {{250, 150, 150}, {150, 250, 150}, {150, 150, 250}, {250, 250, 250}};
constexpr Colour kBurst{90, 30, 140};
constexpr Colour kAgain{20, 120, 120};

bool Quadrants(const std::string& path, const Colour (&colours)[4]) {
    return e2e::WriteImage(path, 64, [&](int x, int y) { return colours[(y >= 32) * 2 + (x >= 32)]; });
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

class LiveReloadE2ETest : public e2e::SessionTest,
                          public ::testing::WithParamInterface<Session::Target> {
protected:
    LiveReloadE2ETest() : SessionTest(GetParam()) {}

    void StartAway() {
        ASSERT_TRUE(Quadrants(File(), kOld));
        ASSERT_NO_FATAL_FAILURE(Start());
        ASSERT_TRUE(other.Start({"xlogo", "-geometry", "100x100+900+700"}, session.Env()));
        otherWindow = session.WaitForTitle("xlogo");
        ASSERT_NE(0u, otherWindow);
        ASSERT_TRUE(session.Focus());
        ASSERT_TRUE(Wait(kOld[0], 0));
    }
    std::string File() const { return textureDir + "/a.png"; }
    // Which quadrant colour of `set` shows at a point near the centre.
    int QuadrantAt(const Image& shot, int dx, int dy, const Colour (&set)[4]) const {
        for (int q = 0; q < 4; ++q)
            if (Is(shot, gl.CentreX() + dx, gl.CentreY() + dy, set[q])) return q;
        return -1;
    }
    bool Wait(Colour c, int q, int timeoutMs = 3000) {
        const int dx = q % 2 ? 40 : 8, dy = q / 2 ? 40 : 8;
        const Image shot = session.WaitForScreen(
            [&](const Image& s) { return Is(s, gl.CentreX() + dx, gl.CentreY() + dy, c); }, timeoutMs);
        return Is(shot, gl.CentreX() + dx, gl.CentreY() + dy, c);
    }
    // Writes a temporary and renames it over the file, as many editors do.
    bool AtomicSave(const std::string& bytes) {
        const std::string temp = textureDir + "/.a.png.tmp";
        return WriteBytes(temp, bytes) && std::rename(temp.c_str(), File().c_str()) == 0;
    }

    e2e::Process other;
    unsigned long otherWindow = 0;
};

TEST_P(LiveReloadE2ETest, EverySaveShowsWithTheFocusElsewhereAndTheViewStays) {
    ASSERT_NO_FATAL_FAILURE(StartAway());
    // Pan a little, then leave for the other window.
    ASSERT_TRUE(session.Key("Left", 60));
    e2e::SleepMs(300);
    const Image before = session.Screenshot();
    ASSERT_TRUE(session.FocusWindow(otherWindow));
    e2e::SleepMs(300);

    // An atomic save: the new picture, in the same place.
    const std::string scratch = session.Dir() + "/new.png";
    ASSERT_TRUE(Quadrants(scratch, kNew));
    const std::string newBytes = ReadAll(scratch);
    ASSERT_TRUE(AtomicSave(newBytes));
    ASSERT_TRUE(Wait(kNew[0], 0, 2000)) << "an atomic save did not show within 2 s";
    e2e::SleepMs(300);
    const Image after = session.Screenshot();
    int moved = 0;
    for (int dy = -60; dy <= 60; dy += 6)
        for (int dx = -60; dx <= 60; dx += 6)
            moved += QuadrantAt(before, dx, dy, kOld) != QuadrantAt(after, dx, dy, kNew);
    EXPECT_EQ(0, moved) << "the view moved with the reload";

    // A save written in two halves: the old picture stays meanwhile.
    ASSERT_TRUE(Quadrants(scratch, kOld));
    const std::string oldBytes = ReadAll(scratch);
    ASSERT_TRUE(WriteBytes(File(), oldBytes.substr(0, oldBytes.size() / 2)));
    e2e::SleepMs(800);
    EXPECT_TRUE(Wait(kNew[0], 0, 0)) << "a half-written file replaced the picture";
    {
        std::FILE* f = std::fopen(File().c_str(), "ab");
        ASSERT_NE(f, nullptr);
        const std::string rest = oldBytes.substr(oldBytes.size() / 2);
        ASSERT_EQ(rest.size(), std::fwrite(rest.data(), 1, rest.size(), f));
        std::fclose(f);
    }
    EXPECT_TRUE(Wait(kOld[0], 0, 2000)) << "the completed save did not show";

    // A dozen saves in about a second: the last one shows.
    for (int i = 0; i < 12; ++i) {
        ASSERT_TRUE(AtomicSave(i == 11 ? (e2e::WriteSolid(scratch, 64, kBurst), ReadAll(scratch))
                                       : (i % 2 ? oldBytes : newBytes)));
        e2e::SleepMs(80);
    }
    EXPECT_TRUE(Wait(kBurst, 0, 2000)) << "the last save of a burst did not show";

    // Deleted, then written anew.
    ASSERT_EQ(0, std::remove(File().c_str()));
    e2e::SleepMs(700);
    EXPECT_TRUE(Wait(kBurst, 0, 0)) << "a deleted file emptied the view";
    ASSERT_TRUE(e2e::WriteSolid(File(), 64, kAgain));
    EXPECT_TRUE(Wait(kAgain, 0, 2000));

    // A file added to the folder joins the list: the title counts it.
    ASSERT_TRUE(e2e::WriteSolid(textureDir + "/b.png", 64, kBurst));
    const std::string title = std::string("Zintra - Zintra \u2014 a.png (64 \u00d7 64) 1/2");
    EXPECT_EQ(session.WaitForTitleText(title, 3000), title);
    ASSERT_TRUE(session.Focus());
    QuitWithEscape();
}

TEST_P(LiveReloadE2ETest, WithAutoRefreshOffNothingReloadsByItself) {
    settings.autoRefresh = false;
    ASSERT_NO_FATAL_FAILURE(StartAway());
    ASSERT_TRUE(session.FocusWindow(otherWindow));
    ASSERT_TRUE(e2e::WriteSolid(File(), 64, kAgain));
    e2e::SleepMs(2000);
    EXPECT_TRUE(Wait(kOld[0], 0, 0)) << "reloaded with Auto Refresh off";
    ASSERT_TRUE(session.Focus());
    QuitWithEscape();
}

// An export written in pieces a second apart, for longer than the watch
// waits for a file that will not decode: once whole, it shows. The last
// piece comes a little later each time, to meet the look at which the
// watch gives up whatever its phase.
TEST_P(LiveReloadE2ETest, AFileWrittenInPiecesASecondApartShowsOnceWhole) {
    ASSERT_NO_FATAL_FAILURE(StartAway());
    ASSERT_TRUE(session.FocusWindow(otherWindow));
    e2e::SleepMs(300);
    const std::string scratch = session.Dir() + "/export.png";
    struct Export {
        int pieces;
        int lastLaterMs;
        const Colour (&quadrants)[4];
    };
    const Export exports[] = {{4, 0, kNew},   {4, 50, kOld},  {4, 100, kNew},
                              {4, 150, kOld}, {4, 200, kNew}, {5, 0, kOld}};
    for (const Export& e : exports) {
        ASSERT_TRUE(Quadrants(scratch, e.quadrants));
        const std::string bytes = ReadAll(scratch);
        for (int piece = 0; piece < e.pieces; ++piece) {
            if (piece > 0) e2e::SleepMs(piece + 1 == e.pieces ? 1000 + e.lastLaterMs : 1000);
            const std::size_t from = bytes.size() * piece / e.pieces;
            const std::size_t to = bytes.size() * (piece + 1) / e.pieces;
            std::FILE* f = std::fopen(File().c_str(), piece == 0 ? "wb" : "ab");
            ASSERT_NE(f, nullptr);
            ASSERT_EQ(to - from, std::fwrite(bytes.data() + from, 1, to - from, f));
            std::fclose(f);
        }
        const std::string what = std::to_string(e.pieces) + " pieces, the last " +
                                 std::to_string(e.lastLaterMs) + " ms later";
        EXPECT_TRUE(Wait(e.quadrants[0], 0, 3000)) << what << ": the whole file did not show";
        EXPECT_EQ(session.Title().find("cannot be read"), std::string::npos) << what << ": " << session.Title();
    }
    ASSERT_TRUE(session.Focus());
    QuitWithEscape();
}

// An editor that writes holding the file for itself alone (share mode 0):
// every read fails meanwhile, and no change follows the close.
TEST_P(LiveReloadE2ETest, AFileHeldWithoutSharingShowsOnceLetGo) {
    if (target != Session::Target::Windows) GTEST_SKIP() << "share modes are a Windows matter";
    const std::string holder =
        (std::filesystem::path(Session::WindowsBuild()).parent_path() / "hold_file.exe").string();
    ASSERT_TRUE(std::filesystem::exists(holder)) << "no hold_file.exe beside " << Session::WindowsBuild();
    ASSERT_NO_FATAL_FAILURE(StartAway());
    ASSERT_TRUE(session.FocusWindow(otherWindow));
    struct Save {
        int holdMs;  // short of the giving up, and past it
        const Colour (&after)[4];
    };
    for (const Save& save : {Save{1500, kNew}, Save{4500, kOld}}) {
        const std::string source = session.Dir() + "/saved.png";
        ASSERT_TRUE(Quadrants(source, save.after));
        const std::string bytes = ReadAll(source);
        e2e::Process editor;
        ASSERT_TRUE(editor.Start({std::string(ZINTRA_SOURCE_DIR) + "/scripts/wine-run", holder,
                                  Session::WindowsPath(source), Session::WindowsPath(File()),
                                  std::to_string(save.holdMs)},
                                 session.Env()));
        // Wine may take some seconds to start it.
        for (int i = 0; i < 300 && ReadAll(File()) != bytes; ++i) e2e::SleepMs(50);
        ASSERT_TRUE(ReadAll(File()) == bytes) << "hold_file.exe did not write the file";
        e2e::SleepMs(700);
        EXPECT_FALSE(Wait(save.after[0], 0, 0)) << "read while held: the hold did not hold";
        ASSERT_EQ(std::optional<int>(0), editor.Wait(save.holdMs + 20000));
        EXPECT_TRUE(Wait(save.after[0], 0, 4000)) << "held " << save.holdMs << " ms: not shown once let go";
        EXPECT_EQ(session.Title().find("cannot be read"), std::string::npos) << session.Title();
    }
    ASSERT_TRUE(session.Focus());
    QuitWithEscape();
}

// A painter's working file, saved as its editor saves it (a temporary
// renamed over it) while the editor has the focus; then a damaged one
// beside it, which the next step passes on from.
TEST_P(LiveReloadE2ETest, AKritaFileSavedByRenameShowsWithinASecond) {
    const auto kra = [this](const Colour (&colours)[4]) {
        const std::string png = session.Dir() + "/merged.png";
        if (!Quadrants(png, colours)) return std::string();
        const std::string merged = ReadAll(png);
        const testimg::Bytes zip = testimg::Zip(
            {{"mimetype", {'x'}}, {"mergedimage.png", testimg::Bytes(merged.begin(), merged.end()), true}});
        return std::string(zip.begin(), zip.end());
    };
    const std::string file = textureDir + "/a.kra";
    ASSERT_TRUE(WriteBytes(file, kra(kOld)));
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(Wait(kOld[0], 0));
    ASSERT_TRUE(other.Start({"xlogo", "-geometry", "100x100+900+700"}, session.Env()));
    otherWindow = session.WaitForTitle("xlogo");
    ASSERT_NE(0u, otherWindow);
    ASSERT_TRUE(session.FocusWindow(otherWindow));
    e2e::SleepMs(300);

    const std::string temp = textureDir + "/a.kra.part";
    ASSERT_TRUE(WriteBytes(temp, kra(kNew)));
    ASSERT_EQ(0, std::rename(temp.c_str(), file.c_str()));
    EXPECT_TRUE(Wait(kNew[0], 0, 1000)) << "the saved .kra did not show within 1 s";

    ASSERT_TRUE(WriteBytes(textureDir + "/b.kra", "PK\3\4 not a container"));
    ASSERT_TRUE(e2e::WriteSolid(session.Dir() + "/c.png", 64, kBurst));
    const std::string png = ReadAll(session.Dir() + "/c.png");
    const testimg::Bytes good =
        testimg::Zip({{"mergedimage.png", testimg::Bytes(png.begin(), png.end())}});
    ASSERT_TRUE(WriteBytes(textureDir + "/c.kra", std::string(good.begin(), good.end())));
    ASSERT_TRUE(session.Focus());
    const std::string first = std::string("Zintra - Zintra \u2014 a.kra (64 \u00d7 64) 1/3");
    ASSERT_EQ(session.WaitForTitleText(first, 3000), first);
    ASSERT_TRUE(session.Key("bracketright"));
    const std::string bad = std::string("Zintra - Zintra \u2014 b.kra: cannot be read");
    EXPECT_EQ(session.WaitForTitleText(bad, 1000), bad);
    ASSERT_TRUE(session.Key("bracketright"));
    EXPECT_TRUE(Wait(kBurst, 0, 1000)) << "the next good file did not show";
    QuitWithEscape();
}

INSTANTIATE_TEST_SUITE_P(Targets, LiveReloadE2ETest,
                         ::testing::Values(Session::Target::Native, Session::Target::Windows),
                         [](const ::testing::TestParamInfo<Session::Target>& info) {
                             return info.param == Session::Target::Native ? "Linux" : "Wine";
                         });

}  // namespace
