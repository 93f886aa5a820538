// Reading and writing the settings file beside the executable.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/settings_file.h"
#include "app/tester_app.h"
#include "platform/headless/headless.h"
#include "support/temp_dir.h"

namespace {

// The file is written in the platform's text mode.
#ifdef _WIN32
const std::string kEol = "\r\n";
#else
const std::string kEol = "\n";
#endif

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) text += line + kEol;
    return text;
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        app.exeDir = dir.str();
    }

    void Read(const std::string& content) {
        dir.Write("zintra.cfg", content);
        app.ReadSettings();
    }

    void ExpectDefaultRect() const {
        EXPECT_EQ(app.windowRect.left, 100);
        EXPECT_EQ(app.windowRect.top, 100);
        EXPECT_EQ(app.windowRect.right, 612);
        EXPECT_EQ(app.windowRect.bottom, 612);
    }

    TempDir dir;
    TesterApp app;
};

TEST_F(SettingsTest, MissingFileKeepsEveryDefault) {
    app.ReadSettings();
    EXPECT_FALSE(app.editorPath);
    EXPECT_FALSE(app.viewer->textureDir);
    EXPECT_TRUE(app.viewer->showHud);
    EXPECT_TRUE(app.viewer->autoRefresh);
    ExpectDefaultRect();
}

TEST_F(SettingsTest, FullFileSetsEveryField) {
    Read("/opt/paint/bin/painter\n/home/a/tex 100%\n0\n1\n-1200\n-40\n-300\n700\n");
    EXPECT_EQ(app.editorPath.value_or(""), "/opt/paint/bin/painter");
    EXPECT_EQ(app.viewer->textureDir.value_or(""), "/home/a/tex 100%");
    EXPECT_FALSE(app.viewer->showHud);
    EXPECT_TRUE(app.viewer->autoRefresh);
    EXPECT_EQ(app.windowRect.left, -1200);
    EXPECT_EQ(app.windowRect.top, -40);
    EXPECT_EQ(app.windowRect.right, -300);
    EXPECT_EQ(app.windowRect.bottom, 700);
}

TEST_F(SettingsTest, NullMarkerIsCaseSensitiveAndEmptyMeansUnset) {
    Read("null\n\n1\n1\n1\n2\n3\n4\n");
    EXPECT_EQ(app.editorPath.value_or(""), "null");
    EXPECT_FALSE(app.viewer->textureDir);
    EXPECT_EQ(app.windowRect.bottom, 4);

    app.editorPath.reset();
    Read("NULL\nNULL\n1\n1\n1\n2\n3\n4\n");
    EXPECT_FALSE(app.editorPath);
    EXPECT_FALSE(app.viewer->textureDir);
}

TEST_F(SettingsTest, WindowsLineEndsAreStrippedFromThePaths) {
    Read("C:\\Tools\\paint.exe\r\nC:\\tex\r\n0\r\n0\r\n5\r\n6\r\n7\r\n8\r\n");
    EXPECT_EQ(app.editorPath.value_or(""), "C:\\Tools\\paint.exe");
    EXPECT_EQ(app.viewer->textureDir.value_or(""), "C:\\tex");
    EXPECT_FALSE(app.viewer->showHud);
    EXPECT_FALSE(app.viewer->autoRefresh);
    EXPECT_EQ(app.windowRect.left, 5);
    EXPECT_EQ(app.windowRect.bottom, 8);
}

TEST_F(SettingsTest, WordOnTheBooleanLineStopsTheRestButKeepsThePaths) {
    Read("editor\n/tex\ntrue\n0\n1\n2\n3\n4\n");
    EXPECT_EQ(app.editorPath.value_or(""), "editor");
    EXPECT_EQ(app.viewer->textureDir.value_or(""), "/tex");
    EXPECT_TRUE(app.viewer->showHud);
    EXPECT_TRUE(app.viewer->autoRefresh);
    ExpectDefaultRect();
}

TEST_F(SettingsTest, BadValuesStopReadingAtThatValue) {
    Read("NULL\nNULL\n0\n2\n1\n2\n3\n4\n");  // only 0 and 1 are booleans
    EXPECT_FALSE(app.viewer->showHud);
    EXPECT_TRUE(app.viewer->autoRefresh);
    ExpectDefaultRect();

    Read("NULL\nNULL\n1\n1\n10\n20\n2147483648\n40\n");  // out of 32 bits
    EXPECT_EQ(app.windowRect.left, 10);
    EXPECT_EQ(app.windowRect.top, 20);
    EXPECT_EQ(app.windowRect.right, 612);
    EXPECT_EQ(app.windowRect.bottom, 612);
}

TEST_F(SettingsTest, ExtremesOfThe32BitRangeAreRead) {
    Read("NULL\nNULL\n1\n1\n-2147483648\n2147483647\n0\n-0\n");
    EXPECT_EQ(app.windowRect.left, INT32_MIN);
    EXPECT_EQ(app.windowRect.top, INT32_MAX);
    EXPECT_EQ(app.windowRect.bottom, 0);
}

TEST_F(SettingsTest, ShortFileKeepsTheRest) {
    Read("ed\n/t\n0\n");
    EXPECT_EQ(app.editorPath.value_or(""), "ed");
    EXPECT_FALSE(app.viewer->showHud);
    EXPECT_TRUE(app.viewer->autoRefresh);
    ExpectDefaultRect();
}

TEST_F(SettingsTest, OverlongLineKeepsItsFirst511CharactersThenStops) {
    const std::string longLine(600, 'x');
    Read(longLine + "\n/tex\n0\n0\n1\n2\n3\n4\n");
    EXPECT_EQ(app.editorPath.value_or(""), std::string(511, 'x'));
    EXPECT_FALSE(app.viewer->textureDir);
    EXPECT_TRUE(app.viewer->showHud);
    ExpectDefaultRect();

    app.editorPath.reset();
    const std::string exact(511, 'y');
    Read(exact + "\nNULL\n0\n0\n1\n2\n3\n4\n");
    EXPECT_EQ(app.editorPath.value_or(""), exact);
    EXPECT_FALSE(app.viewer->showHud);
    EXPECT_EQ(app.windowRect.bottom, 4);
}

TEST_F(SettingsTest, BinaryJunkLeavesDefaults) {
    std::string junk;
    for (int i = 0; i < 4096; ++i) junk.push_back(static_cast<char>((i * 37 + 11) & 0xFF));
    Read(junk);
    EXPECT_TRUE(app.viewer->showHud);
    ExpectDefaultRect();
}

TEST_F(SettingsTest, DefaultsAreWrittenAsEightLines) {
    headless::Get().outerRect = {100, 100, 612, 612};
    app.WriteSettings();
    EXPECT_EQ(dir.Read("zintra.cfg"), Lines({"NULL", "NULL", "1", "1", "100", "100", "612", "612"}));
}

// Wayland says every window is at 0, 0: the place given at start is kept,
// with the size the window has now.
TEST_F(SettingsTest, WhereThePlaceIsUnknownTheOneGivenStands) {
    app.windowRect = {37, 29, 288, 230};
    headless::Get().outerRect = {0, 0, 301, 251};
    headless::Get().positionKnown = false;
    app.WriteSettings();
    headless::Get().positionKnown = true;
    EXPECT_EQ(dir.Read("zintra.cfg"), Lines({"NULL", "NULL", "1", "1", "37", "29", "338", "280"}));
}

TEST_F(SettingsTest, WrittenValuesReadBackUnchanged) {
    headless::Get().outerRect = {-1920, -8, -1000, 600};
    app.editorPath = "/usr/bin/my editor";
    app.viewer->SetDirectory("/data/tex %s & more", false);
    app.viewer->showHud = false;
    app.WriteSettings();
    EXPECT_EQ(dir.Read("zintra.cfg"), Lines({"/usr/bin/my editor", "/data/tex %s & more", "0", "1",
                                             "-1920", "-8", "-1000", "600"}));

    TesterApp again;
    again.exeDir = dir.str();
    again.ReadSettings();
    EXPECT_EQ(again.editorPath.value_or(""), "/usr/bin/my editor");
    EXPECT_EQ(again.viewer->textureDir.value_or(""), "/data/tex %s & more");
    EXPECT_FALSE(again.viewer->showHud);
    EXPECT_EQ(again.windowRect.left, -1920);
    EXPECT_EQ(again.windowRect.right, -1000);
}

TEST_F(SettingsTest, UnwritableFolderLeavesTheOldFileAndNoTemporary) {
#ifdef _WIN32
    const bool privileged = true;
#else
    const bool privileged = geteuid() == 0;
#endif
    if (privileged) {
        // Root writes anyway; make the target a directory instead.
        app.exeDir = (dir.path() / "sub").string();
        std::filesystem::create_directories(dir.path() / "sub" / "zintra.cfg");
        app.WriteSettings();
        EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "sub" / "zintra.cfg"));
        for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "sub"))
            EXPECT_TRUE(entry.path().filename() == "zintra.cfg" ||
                        entry.path().filename() == "zintra.ini")
                << entry.path();
        return;
    }
#ifndef _WIN32
    dir.Write("zintra.cfg", "old\n");
    chmod(dir.str().c_str(), 0500);
    app.WriteSettings();
    chmod(dir.str().c_str(), 0700);
    EXPECT_EQ(dir.Read("zintra.cfg"), "old\n");
#endif
}

TEST_F(SettingsTest, QuitWritesOnceAndReleasesTheViewer) {
    headless::Get().outerRect = {1, 2, 3, 4};
    app.Quit();
    EXPECT_EQ(app.viewer, nullptr);
    EXPECT_EQ(dir.Read("zintra.cfg"), Lines({"NULL", "NULL", "1", "1", "1", "2", "3", "4"}));
    // A second request must not write a file without the viewer's values.
    std::filesystem::remove(dir.path() / "zintra.cfg");
    app.Quit();
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "zintra.cfg"));
    std::size_t quits = 0;
    for (const auto& m : headless::Get().queue) quits += m.message == WM_QUIT;
    EXPECT_EQ(quits, 1u);
}

TEST_F(SettingsTest, PathsThatWouldShiftTheLinesAreWrittenAsNull) {
    Settings settings;
    settings.editorPath = "/bin/ed\nitor";
    settings.textureDir = "x\r\n0\n0\n5000";
    ASSERT_TRUE(WriteSettingsFile((dir.path() / "zintra.cfg").string(), settings));
    EXPECT_EQ(dir.Read("zintra.cfg"), Lines({"NULL", "NULL", "1", "1", "100", "100", "612", "612"}));
}

// UTF-16 text with a byte order mark, from UTF-8 text (no surrogates).
std::string Utf16(const std::string& utf8, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : 3;
        unsigned unit = length == 1 ? lead : lead & (length == 2 ? 0x1F : 0x0F);
        for (int k = 1; k < length; ++k) unit = unit << 6 | (utf8[i + k] & 0x3F);
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        out += bigEndian ? std::string{high, low} : std::string{low, high};
        i += static_cast<std::size_t>(length);
    }
    return out;
}

const std::string kCyrillic = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";  // Привет

TEST_F(SettingsTest, FilesSavedByOtherEditorsAreReadAndWrittenBackInUtf8) {
    const std::string cfg = "C:\\" + kCyrillic + "\\ed.exe\r\nC:\\tex " + kCyrillic +
                            "\r\n0\r\n1\r\n-5\r\n6\r\n700\r\n800\r\n";
    const std::string ini = "readout=1\r\ntile_marks=1\r\n";
    const struct {
        const char* name;
        std::string cfg, ini;
    } rows[] = {
        {"UTF-8 with a mark", "\xEF\xBB\xBF" + cfg, "\xEF\xBB\xBF" + ini},
        {"UTF-16LE with a mark", Utf16(cfg, false), Utf16(ini, false)},
        {"UTF-16BE with a mark", Utf16(cfg, true), Utf16(ini, true)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TesterApp fresh;
        fresh.exeDir = dir.str();
        dir.Write("zintra.cfg", row.cfg);
        dir.Write("zintra.ini", row.ini);
        fresh.ReadSettings();
        EXPECT_EQ(fresh.editorPath.value_or(""), "C:\\" + kCyrillic + "\\ed.exe");
        EXPECT_EQ(fresh.viewer->textureDir.value_or(""), "C:\\tex " + kCyrillic);
        EXPECT_FALSE(fresh.viewer->showHud);
        EXPECT_EQ(fresh.windowRect.left, -5);
        EXPECT_EQ(fresh.windowRect.bottom, 800);
        EXPECT_TRUE(fresh.viewer->readout);
        EXPECT_TRUE(fresh.viewer->tileMarks);

        headless::Get().outerRect = {-5, 6, 700, 800};
        fresh.WriteSettings();
        EXPECT_EQ(dir.Read("zintra.cfg"),
                  Lines({fresh.editorPath->c_str(), fresh.viewer->textureDir->c_str(), "0", "1",
                         "-5", "6", "700", "800"}));
        EXPECT_EQ(dir.Read("zintra.ini").substr(0, 9), "readout=1");
    }
}

TEST_F(SettingsTest, Utf16OutsideTheBasicPlaneAndLoneHalvesOfPairs) {
    // U+1F3A8 as a pair, then a lone high and a lone low half.
    const char bytes[] = "\xFF\xFE" "a\0\x3C\xD8\xA8\xDF/\0\x3C\xD8" "b\0\xA8\xDF\n\0" "N\0U\0L\0L\0\n\0" "0\0";
    Read(std::string(bytes, sizeof bytes - 1));
    EXPECT_EQ(app.editorPath.value_or(""), "a\xF0\x9F\x8E\xA8/\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    EXPECT_FALSE(app.viewer->textureDir);
    EXPECT_FALSE(app.viewer->showHud);
}

TEST_F(SettingsTest, ALongestLineEndedByCrLfStillReadsOn) {
    const std::string exact(511, 'y');
    Read(exact + "\r\n/tex\r\n0\r\n0\r\n1\r\n2\r\n3\r\n4\r\n");
    EXPECT_EQ(app.editorPath.value_or(""), exact);
    EXPECT_EQ(app.viewer->textureDir.value_or(""), "/tex");
    EXPECT_EQ(app.windowRect.bottom, 4);
}

TEST_F(SettingsTest, OptionsAreReadWithoutASettingsFile) {
    dir.Write("zintra.ini", "readout=1\ntile_marks=1\n");
    app.ReadSettings();
    EXPECT_TRUE(app.viewer->readout);
    EXPECT_TRUE(app.viewer->tileMarks);
    ExpectDefaultRect();
}

#ifdef _WIN32
// Paths are UTF-8 inside the program; copies before it wrote the ANSI
// code page's bytes. Plain byte strings: u8"" changes type in C++20.
const std::string kPrivet = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
const std::string kKanji = "\xE6\xBC\xA2\xE5\xAD\x97";
const std::string kAlpha = "\xCE\xB1";

std::string AnsiToUtf8(const std::string& text) {
    wchar_t wide[256] = {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide, 255);
    char utf8[768] = {};
    WideCharToMultiByte(CP_UTF8, 0, wide, n, utf8, 767, nullptr, nullptr);
    return utf8;
}

TEST_F(SettingsTest, PathLinesAreUtf8WhenValidElseReadInTheAnsiCodePage) {
    Read("C:\\" + kPrivet + "\\ed.exe\r\nC:\\Caf\xE9 \xC0 la carte\r\n0\r\n1\r\n1\r\n2\r\n3\r\n4\r\n");
    EXPECT_EQ(app.editorPath.value_or(""), "C:\\" + kPrivet + "\\ed.exe");
    const std::string converted = AnsiToUtf8("C:\\Caf\xE9 \xC0 la carte");
    EXPECT_EQ(app.viewer->textureDir.value_or(""), converted);
    EXPECT_NE(converted.find('\xC3'), std::string::npos) << "not converted: " << converted;
    EXPECT_FALSE(app.viewer->showHud);
    EXPECT_EQ(app.windowRect.bottom, 4);

    // Only the line that is not UTF-8 is converted.
    Read("C:\\" + kKanji + "\r\nC:\\" + kAlpha + "\xE9\r\n1\r\n1\r\n1\r\n2\r\n3\r\n4\r\n");
    EXPECT_EQ(app.editorPath.value_or(""), "C:\\" + kKanji);
    EXPECT_EQ(app.viewer->textureDir.value_or(""), AnsiToUtf8("C:\\" + kAlpha + "\xE9"));
}

TEST_F(SettingsTest, SavedInUtf8InAFolderNamedOutsideTheCodePageAndReadBack) {
    // The settings of a copy in "Программа" were silently never saved.
    ASSERT_TRUE(std::filesystem::create_directory(dir.path() / std::filesystem::u8path(kPrivet)));
    app.exeDir = dir.str() + "\\" + kPrivet;
    headless::Get().outerRect = {10, 20, 530, 560};
    app.editorPath = "C:\\" + kKanji + "\\paint.exe";
    app.viewer->SetDirectory(("C:\\" + kAlpha + "\\" + kPrivet).c_str(), false);
    app.WriteSettings();

    std::ifstream in(dir.path() / std::filesystem::u8path(kPrivet) / "zintra.cfg", std::ios::binary);
    std::ostringstream written;
    written << in.rdbuf();
    EXPECT_EQ(written.str(), Lines({app.editorPath->c_str(), app.viewer->textureDir->c_str(), "1", "1",
                                    "10", "20", "530", "560"}));

    TesterApp again;
    again.exeDir = app.exeDir;
    again.ReadSettings();
    EXPECT_EQ(again.editorPath.value_or(""), "C:\\" + kKanji + "\\paint.exe");
    EXPECT_EQ(again.viewer->textureDir.value_or(""), "C:\\" + kAlpha + "\\" + kPrivet);
    EXPECT_EQ(again.windowRect.right, 530);
    // Replaced, not left beside: no temporary remains.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / std::filesystem::u8path(kPrivet)),
                            std::filesystem::directory_iterator()),
              2) << "zintra.cfg and zintra.ini only";
}
#endif

#ifndef _WIN32
TEST_F(SettingsTest, AFifoOrDeviceIsNeitherWaitedOnNorReplaced) {
    const std::string fifo = (dir.path() / "zintra.cfg").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    Settings settings;
    EXPECT_FALSE(ReadSettingsFile(fifo, &settings));  // returns at once
    EXPECT_FALSE(ReadSettingsFile("/dev/zero", &settings));
    EXPECT_FALSE(WriteSettingsFile(fifo, settings));
    struct stat info;
    ASSERT_EQ(stat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(SettingsTest, ALinkIsWrittenThroughAndTheTargetKeepsItsMode) {
    std::filesystem::create_directories(dir.path() / "real");
    const std::string target = dir.Write("real/settings.txt", Lines({"NULL", "NULL", "1", "1"}));
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    const std::string link = (dir.path() / "zintra.cfg").string();
    ASSERT_EQ(symlink("real/settings.txt", link.c_str()), 0);

    app.viewer->showHud = false;
    app.WriteSettings();
    struct stat info;
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(dir.Read("real/settings.txt").substr(0, 12), Lines({"NULL", "NULL", "0"}));
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "real"),
                            std::filesystem::directory_iterator()),
              1) << "no temporary left";

    // A link whose target does not exist yet gets it made.
    ASSERT_EQ(std::remove(target.c_str()), 0);
    app.WriteSettings();
    EXPECT_EQ(dir.Read("real/settings.txt").substr(0, 12), Lines({"NULL", "NULL", "0"}));
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
}
#endif

}  // namespace
