// UTF-8 paths through the wide calls: names outside the ANSI code page,
// settings lines from earlier copies, long paths and files shared with an
// editor. Runs under Wine, whose ANSI code page is 1252.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/tester_app.h"
#include "platform/files.h"
#include "platform/platform.h"

namespace {

// u8"" literals are char8_t in later standards; these stay plain bytes.
const std::string kAlpha = "\xCE\xB1";                                      // α
const std::string kPrivet = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";  // Привет
const std::string kKanji = "\xE6\xBC\xA2\xE5\xAD\x97";                       // 漢字

std::wstring FromAnsi(const std::string& text, UINT codePage) {
    const int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

// A fresh folder under the temp folder, made and removed with wide calls.
class WideTempDir {
public:
    WideTempDir() {
        wchar_t base[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, base);
        path_ = std::wstring(base) + L"zintra-paths-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount());
        ok_ = CreateDirectoryW(path_.c_str(), nullptr) != FALSE;
    }
    ~WideTempDir() { Remove(win32::FilePath(path_)); }
    WideTempDir(const WideTempDir&) = delete;
    WideTempDir& operator=(const WideTempDir&) = delete;

    bool Ok() const { return ok_; }
    std::string Utf8() const { return win32::Narrow(path_); }

private:
    static void Remove(const std::wstring& dir) {
        WIN32_FIND_DATAW found;
        const HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring full = dir + L"\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    Remove(full);
                else
                    DeleteFileW(full.c_str());
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
        RemoveDirectoryW(dir.c_str());
    }

    std::wstring path_;
    bool ok_ = false;
};

bool WriteText(const std::string& path, const std::string& text) {
    std::FILE* file = win32::OpenForWriting(path);
    if (!file) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

std::string ReadBytes(const std::string& path) {
    std::FILE* file = files::OpenRegular(path);
    if (!file) return "(cannot open)";
    std::string text;
    char buffer[256];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
    std::fclose(file);
    return text;
}

std::vector<std::string> Search(const std::string& pattern) {
    std::vector<std::string> names;
    platform::FindData data{};
    platform::SearchHandle search = platform::SearchFirst(pattern.c_str(), &data);
    if (!search) return names;
    do names.push_back(data.name);
    while (platform::SearchNext(search, &data));
    platform::SearchClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Win32Text, Utf8BothWaysAndAnsiForOtherBytes) {
    EXPECT_EQ(win32::Widen(kPrivet), L"\u041f\u0440\u0438\u0432\u0435\u0442");
    EXPECT_EQ(win32::Widen(kKanji), L"\u6f22\u5b57");
    EXPECT_EQ(win32::Widen("a.png"), L"a.png");
    EXPECT_EQ(win32::Widen(""), L"");
    for (const std::string& text : {kAlpha, kPrivet, kKanji, std::string("plain"), std::string()})
        EXPECT_EQ(win32::Narrow(win32::Widen(text)), text);
    // Not UTF-8: read in the ANSI code page, never dropped or cut.
    EXPECT_EQ(win32::Widen("Caf\xE9"), FromAnsi("Caf\xE9", CP_ACP));
    EXPECT_EQ(win32::Widen("Caf\xE9").size(), 4u);
    // A lone surrogate (possible in a file name) is not lost silently.
    EXPECT_EQ(win32::Narrow(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
}

TEST(Win32Text, SettingsLineKeptWhenUtf8ElseFromTheCodePage) {
    EXPECT_TRUE(win32::IsUtf8(""));
    EXPECT_TRUE(win32::IsUtf8("C:\\" + kPrivet + "\\" + kKanji));
    EXPECT_FALSE(win32::IsUtf8("Caf\xE9"));
    EXPECT_FALSE(win32::IsUtf8("\xC0\xAF"));      // overlong /
    EXPECT_FALSE(win32::IsUtf8("\xED\xA0\x80"));  // a surrogate
    EXPECT_FALSE(win32::IsUtf8("\xE6\xBC"));      // cut short

    const std::string utf8 = "C:\\" + kPrivet + "\\" + kAlpha;
    EXPECT_EQ(win32::LineAsUtf8(utf8, 1251), utf8);
    EXPECT_EQ(win32::LineAsUtf8(utf8), utf8);
    EXPECT_EQ(win32::LineAsUtf8("C:\\textures", 1251), "C:\\textures");
    // "Привет" and "Café" as a Russian and a Western copy saved them.
    EXPECT_EQ(win32::LineAsUtf8("C:\\\xCF\xF0\xE8\xE2\xE5\xF2", 1251), "C:\\" + kPrivet);
    EXPECT_EQ(win32::LineAsUtf8("C:\\Caf\xE9", 1252), "C:\\Caf\xC3\xA9");
    // Code page 0 is the system's own.
    EXPECT_EQ(win32::LineAsUtf8("C:\\Caf\xE9"), win32::Narrow(FromAnsi("C:\\Caf\xE9", CP_ACP)));
}

TEST(Win32Paths, LongPathsGetThePrefixShortOnesStayAsTheyAre) {
    EXPECT_EQ(win32::FilePath(std::string("C:\\t\\a.png")), L"C:\\t\\a.png");
    EXPECT_EQ(win32::FilePath(std::string("rel\\a.png")), L"rel\\a.png");
    const std::wstring deep(300, L'x');
    EXPECT_EQ(win32::FilePath(L"C:\\" + deep + L"\\a.png"), L"\\\\?\\C:\\" + deep + L"\\a.png");
    // The prefix turns off clean-up, so the path is cleaned first.
    EXPECT_EQ(win32::FilePath(L"C:/" + deep + L"/y/../a.png"), L"\\\\?\\C:\\" + deep + L"\\a.png");
    EXPECT_EQ(win32::FilePath(L"\\\\server\\share\\" + deep),
              L"\\\\?\\UNC\\server\\share\\" + deep);
    const std::wstring prefixed = L"\\\\?\\C:\\" + deep;
    EXPECT_EQ(win32::FilePath(prefixed), prefixed);
}

TEST(Win32Paths, NamesOutsideTheCodePageListOpenAndStampAsThemselves) {
    WideTempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string folder = dir.Utf8();
    // α.png would be a.png through the ANSI calls: each file says which it is.
    const std::vector<std::string> names{"a.png", kAlpha + ".png", kKanji + ".png", kPrivet + ".png"};
    for (std::size_t i = 0; i < names.size(); ++i)
        ASSERT_TRUE(WriteText(folder + "\\" + names[i], names[i] + std::string(i + 1, '#')))
            << names[i];
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(Search(folder + "\\*.png"), sorted);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string path = folder + "\\" + names[i];
        EXPECT_EQ(ReadBytes(path), names[i] + std::string(i + 1, '#'));
        const platform::FileStamp stamp = platform::StampOf(path.c_str());
        EXPECT_TRUE(stamp.exists) << names[i];
        EXPECT_EQ(stamp.size, names[i].size() + i + 1) << names[i];
    }
    EXPECT_FALSE(platform::StampOf((folder + "\\" + kAlpha + "x.png").c_str()).exists);

    // A folder so named holds files too; renaming over one replaces it.
    const std::string inner = folder + "\\" + kPrivet;
    ASSERT_TRUE(CreateDirectoryW(win32::FilePath(inner).c_str(), nullptr));
    ASSERT_TRUE(WriteText(inner + "\\new.tmp", "new"));
    ASSERT_TRUE(WriteText(inner + "\\" + kKanji + ".cfg", "old"));
    EXPECT_TRUE(win32::MoveReplacing(inner + "\\new.tmp", inner + "\\" + kKanji + ".cfg"));
    EXPECT_EQ(ReadBytes(inner + "\\" + kKanji + ".cfg"), "new");
    EXPECT_FALSE(platform::StampOf((inner + "\\new.tmp").c_str()).exists);
    EXPECT_TRUE(win32::RemoveFile(inner + "\\" + kKanji + ".cfg"));
    EXPECT_FALSE(win32::RemoveFile(inner + "\\" + kKanji + ".cfg"));
}

TEST(Win32Paths, AFileBeingReadCanBeSavedRenamedAndDeletedMeanwhile) {
    WideTempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string path = dir.Utf8() + "\\" + kAlpha + ".png";
    ASSERT_TRUE(WriteText(path, "first"));
    std::FILE* reading = files::OpenRegular(path);
    ASSERT_NE(reading, nullptr);

    // An editor saving in place: it asks to share nothing but reading.
    const HANDLE writer = CreateFileW(win32::FilePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE) << "in-place save refused: " << GetLastError();
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    // One keeping a backup: renames the file away, writes anew, deletes the backup.
    const std::string backup = dir.Utf8() + "\\" + kPrivet + ".bak";
    EXPECT_TRUE(win32::MoveReplacing(path, backup)) << "rename refused: " << GetLastError();
    EXPECT_TRUE(WriteText(path, "second"));
    EXPECT_TRUE(win32::RemoveFile(backup)) << "delete refused: " << GetLastError();
    char first[8] = {};
    EXPECT_EQ(std::fread(first, 1, 5, reading), 5u);
    EXPECT_STREQ(first, "first");
    std::fclose(reading);
    EXPECT_EQ(ReadBytes(path), "second");
}

TEST(Win32Paths, OnlyRegularFilesOpenForReading) {
    WideTempDir dir;
    ASSERT_TRUE(dir.Ok());
    files::OpenStatus status = files::OpenStatus::Opened;
    EXPECT_EQ(files::OpenRegular(dir.Utf8(), &status), nullptr);
    EXPECT_EQ(status, files::OpenStatus::NotRegular);
    EXPECT_EQ(files::OpenRegular(dir.Utf8() + "\\missing.png", &status), nullptr);
    EXPECT_EQ(status, files::OpenStatus::Missing);
    EXPECT_EQ(files::OpenRegular(dir.Utf8() + "\\gone\\a.png", &status), nullptr);
    EXPECT_EQ(status, files::OpenStatus::Missing);
    EXPECT_EQ(files::OpenRegular("NUL", &status), nullptr);
    EXPECT_EQ(status, files::OpenStatus::NotRegular);
    EXPECT_EQ(files::OpenRegular(""), nullptr);

    // Written in text mode (CR LF), read back byte for byte; the settings
    // reader takes the CR LF as the line break (SettingsTest).
    ASSERT_TRUE(WriteText(dir.Utf8() + "\\t.txt", "a\nb\n"));
    EXPECT_EQ(ReadBytes(dir.Utf8() + "\\t.txt"), "a\r\nb\r\n");
    std::FILE* text = files::OpenRegular(dir.Utf8() + "\\t.txt", &status);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(status, files::OpenStatus::Opened);
    std::fclose(text);
}

TEST(Win32Paths, PathsPastMaxPathWorkThroughout) {
    WideTempDir dir;
    ASSERT_TRUE(dir.Ok());
    // Three levels of 100 characters, Cyrillic among them.
    std::string deep = dir.Utf8();
    for (int level = 0; level < 3; ++level) {
        deep += "\\" + kPrivet + std::string(94, static_cast<char>('a' + level));
        ASSERT_TRUE(CreateDirectoryW(win32::FilePath(deep).c_str(), nullptr)) << level;
    }
    ASSERT_GT(win32::Widen(deep).size(), static_cast<std::size_t>(MAX_PATH));
    const std::string file = deep + "\\" + kKanji + ".png";
    ASSERT_TRUE(WriteText(file, "deep"));
    EXPECT_EQ(ReadBytes(file), "deep");
    EXPECT_EQ(platform::StampOf(file.c_str()).size, 4u);
    EXPECT_EQ(Search(deep + "\\*.png"), std::vector<std::string>{kKanji + ".png"});
    ASSERT_TRUE(WriteText(file + ".tmp", "deeper"));
    EXPECT_TRUE(win32::MoveReplacing(file + ".tmp", file));
    EXPECT_EQ(ReadBytes(file), "deeper");
}

TEST(Win32Paths, AFolderLongInUtf8ButShortInUtf16IsCatalogued) {
    WideTempDir dir;
    ASSERT_TRUE(dir.Ok());
    // Two folders of 65 Cyrillic letters: 260 bytes in UTF-8, 130 characters.
    std::string letters;
    for (int i = 0; i < 65; ++i) letters += "\xD0\xB6";
    const std::string folder = dir.Utf8() + "\\" + letters + "\\" + letters;
    ASSERT_TRUE(CreateDirectoryW(win32::FilePath(dir.Utf8() + "\\" + letters).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(win32::FilePath(folder).c_str(), nullptr));
    const std::string name = letters.substr(0, 80) + ".png";  // 44 characters
    ASSERT_TRUE(WriteText(folder + "\\a.png", "a"));
    ASSERT_TRUE(WriteText(folder + "\\" + name, "b"));
    ASSERT_EQ(Search(folder + "\\*.png"), (std::vector<std::string>{"a.png", name}));
    const std::string entry = folder + "\\" + name;
    ASSERT_LE(win32::Widen(entry).size(), ViewerScene::kMaxEntryLength)
        << "the temp folder's name is too long for this test";
    EXPECT_GT(entry.size(), ViewerScene::kMaxEntryLength);
    EXPECT_EQ(files::Utf16Length(entry), win32::Widen(entry).size());

    TesterApp app;
    app.viewer->SetDirectory(folder.c_str(), true);
    EXPECT_EQ(app.viewer->pathCount, 2);
}

}  // namespace
