// The Win32 backend's requests and directory search, without a display.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/platform.h"
#include "platform/win32/win32_requests.h"

namespace {

TEST(Win32Requests, EditorRequestIsExact) {
    wchar_t buffer[win32::kDialogChars] = L"editor.exe";
    OPENFILENAMEW request;
    std::memset(&request, 0xCD, sizeof request);
    const HWND owner = reinterpret_cast<HWND>(0x1234);
    win32::FillEditorRequest(&request, owner, buffer);

    // The pre-Windows 2000 layout.
    EXPECT_EQ(request.lStructSize, offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(LPCWSTR));
    EXPECT_EQ(request.lStructSize, static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400W));
    EXPECT_EQ(request.hwndOwner, owner);
    EXPECT_EQ(request.hInstance, nullptr);
    // As designed first; then one that shows the batch files the launch takes.
    const wchar_t filter[] =  // plus the final NUL
        L"Applications (*.exe)\0*.exe\0"
        L"Applications and batch files (*.exe;*.bat;*.cmd)\0*.exe;*.bat;*.cmd\0";
    ASSERT_NE(request.lpstrFilter, nullptr);
    EXPECT_EQ(std::memcmp(request.lpstrFilter, filter, sizeof filter), 0);
    EXPECT_EQ(request.lpstrCustomFilter, nullptr);
    EXPECT_EQ(request.nMaxCustFilter, 0u);
    EXPECT_EQ(request.nFilterIndex, 1u);
    EXPECT_EQ(request.lpstrFile, buffer);
    EXPECT_STREQ(request.lpstrFile, L"editor.exe");
    EXPECT_EQ(request.nMaxFile, 512u);
    EXPECT_EQ(request.lpstrFileTitle, nullptr);
    EXPECT_EQ(request.nMaxFileTitle, 0u);
    ASSERT_NE(request.lpstrInitialDir, nullptr);
    EXPECT_STREQ(request.lpstrInitialDir, L"");
    EXPECT_STREQ(request.lpstrTitle, L"Choose Editor");
    EXPECT_EQ(request.Flags, static_cast<DWORD>(OFN_FILEMUSTEXIST));
    EXPECT_STREQ(request.lpstrDefExt, L".EXE");
    EXPECT_EQ(request.lCustData, 0);
    EXPECT_EQ(request.lpfnHook, nullptr);
    EXPECT_EQ(request.lpTemplateName, nullptr);
}

TEST(Win32Requests, FolderRequestIsExact) {
    wchar_t display[win32::kDialogChars] = {};
    BROWSEINFOW request;
    std::memset(&request, 0xCD, sizeof request);
    const HWND owner = reinterpret_cast<HWND>(0x5678);
    win32::FillFolderRequest(&request, owner, display, L"Choose Texture Directory");
    EXPECT_EQ(request.hwndOwner, owner);
    EXPECT_EQ(request.pidlRoot, nullptr);
    EXPECT_EQ(request.pszDisplayName, display);
    EXPECT_STREQ(request.lpszTitle, L"Choose Texture Directory");
    EXPECT_EQ(request.ulFlags, static_cast<UINT>(BIF_RETURNONLYFSDIRS));
    EXPECT_EQ(request.lpfn, nullptr);
    EXPECT_EQ(request.lParam, 0);
    EXPECT_EQ(platform::kDialogPath, 512u);
}

// What the C runtime of the started editor makes of its command line.
std::vector<std::wstring> Parsed(const std::string& parameter) {
    std::vector<std::wstring> arguments;
    int count = 0;
    const std::wstring line = L"editor.exe " + win32::Widen(parameter);
    LPWSTR* parts = CommandLineToArgvW(line.c_str(), &count);
    if (!parts) return arguments;
    for (int i = 1; i < count; ++i) arguments.emplace_back(parts[i]);
    LocalFree(parts);
    return arguments;
}

TEST(Win32Requests, ParameterAlwaysQuotedAndReadBackWhole) {
    EXPECT_EQ(win32::QuoteParameter("C:\\tex\\ab.png"), "\"C:\\tex\\ab.png\"");
    EXPECT_EQ(win32::QuoteParameter("C:\\tex\\a b.png"), "\"C:\\tex\\a b.png\"");
    EXPECT_EQ(win32::QuoteParameter(""), "\"\"");
    // A closing quote is not escaped by a trailing backslash.
    EXPECT_EQ(win32::QuoteParameter("C:\\a b\\"), "\"C:\\a b\\\\\"");
    // A quote inside is escaped, with the backslashes before it doubled.
    EXPECT_EQ(win32::QuoteParameter("a\\\"b"), "\"a\\\\\\\"b\"");
    for (const std::string name :
         {"C:\\tex\\ab.png", "C:\\my textures\\a b.png", "C:\\t\tx\\a.png", "C:\\a b\\",
          "\\\\server\\share\\t&x.png", "C:\\x\\t&notepad&.png", "C:\\100% ^real^.png",
          "C:\\(x) [y] {z};,=.png", "a\\\"b", "a\\\\\"b\\", "-x.png", "/?", "C:\\\u03b1.png",
          "C:\\\u041f\u0440\u0438\u0432\u0435\u0442\\\u6f22\u5b57.png", "\u00a0lead.png"}) {
        const std::vector<std::wstring> parsed = Parsed(win32::QuoteParameter(name));
        ASSERT_EQ(parsed.size(), 1u) << name;
        EXPECT_EQ(parsed[0], win32::Widen(name)) << name;
    }
}

TEST(Win32Requests, BatchEditorsRefuseNamesCmdWouldRead) {
    for (const char* program : {"C:\\e\\edit.bat", "C:\\e\\EDIT.CMD", "C:\\e\\edit.Bat",
                                "C:\\e\\edit.bat.", "C:\\e\\edit.cmd . ", "C:\\e.exe\\edit",
                                "edit", "C:\\my.tools\\edit"})
        EXPECT_TRUE(win32::MayRunThroughCmd(program)) << program;
    for (const char* program : {"C:\\e\\edit.exe", "C:\\e\\EDIT.EXE", "C:\\e.bat\\edit.exe",
                                "C:\\e\\edit.com", "C:\\e\\edit.batch.exe"})
        EXPECT_FALSE(win32::MayRunThroughCmd(program)) << program;

    for (const char* name : {"C:\\t\\t&notepad&.png", "C:\\t\\100%.png", "C:\\t\\%PATH%.png",
                             "C:\\t\\a^b.png", "C:\\t\\a|b.png", "C:\\t\\a<b.png", "C:\\t\\a>b.png",
                             "C:\\t\\a\"b.png", "C:\\t\\a\nb.png", "C:\\t\\a\rb.png"})
        EXPECT_FALSE(win32::SafeForCmd(name)) << name;
    for (const char* name : {"C:\\my textures\\a.png", "C:\\t\\(1) [2] {3};,=!.png",
                             "C:\\t\\\u041f\u0440\u0438\u0432\u0435\u0442.png", "", "C:\\t\\a'b.png"})
        EXPECT_TRUE(win32::SafeForCmd(name)) << name;
}

TEST(Win32Requests, PixelFormatDescriptor) {
    PIXELFORMATDESCRIPTOR d;
    std::memset(&d, 0xCD, sizeof d);
    win32::FillPixelFormat(&d, 32);
    EXPECT_EQ(d.nSize, 40u);
    EXPECT_EQ(d.nVersion, 1u);
    EXPECT_EQ(d.dwFlags,
              static_cast<DWORD>(PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER));
    EXPECT_EQ(d.iPixelType, PFD_TYPE_RGBA);
    EXPECT_EQ(d.cColorBits, 32);
    EXPECT_EQ(d.cDepthBits, 16);
    EXPECT_EQ(d.iLayerType, PFD_MAIN_PLANE);
    // Every other field is zero.
    PIXELFORMATDESCRIPTOR rest = d;
    rest.nSize = 0;
    rest.nVersion = 0;
    rest.dwFlags = 0;
    rest.cColorBits = 0;
    rest.cDepthBits = 0;
    const PIXELFORMATDESCRIPTOR zero{};
    EXPECT_EQ(std::memcmp(&rest, &zero, sizeof rest), 0);
}

// A fresh directory under the temp folder, removed with its files.
class TempDir {
public:
    TempDir() {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        path_ = std::string(base) + "zintra-w32-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(GetTickCount());
        ok_ = CreateDirectoryA(path_.c_str(), nullptr) != FALSE;
    }
    ~TempDir() {
        for (const std::string& f : files_) DeleteFileA(f.c_str());
        for (auto it = dirs_.rbegin(); it != dirs_.rend(); ++it) RemoveDirectoryA(it->c_str());
        RemoveDirectoryA(path_.c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool Ok() const { return ok_; }
    const std::string& Path() const { return path_; }
    bool AddFile(const std::string& name) {
        const std::string full = path_ + "\\" + name;
        const HANDLE h = CreateFileA(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        CloseHandle(h);
        files_.push_back(full);
        return true;
    }
    bool AddDir(const std::string& name) {
        const std::string full = path_ + "\\" + name;
        if (!CreateDirectoryA(full.c_str(), nullptr)) return false;
        dirs_.push_back(full);
        return true;
    }

private:
    std::string path_;
    bool ok_ = false;
    std::vector<std::string> files_, dirs_;
};

std::vector<std::string> Search(const std::string& pattern) {
    std::vector<std::string> names;
    platform::FindData data{};
    platform::SearchHandle search = platform::SearchFirst(pattern.c_str(), &data);
    if (!search) return names;
    do names.push_back(data.name);
    while (platform::SearchNext(search, &data));
    platform::SearchClose(search);
    return names;
}

TEST(Win32Search, PngNamesInFileSystemOrderDirectoriesIncluded) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    // Created out of order; the system lists them by upper-cased name.
    for (const char* name : {"zeta.png", "B.png", "a.PNG", "_u.png", "notes.txt", "Alpha.png"})
        ASSERT_TRUE(dir.AddFile(name)) << name;
    ASSERT_TRUE(dir.AddDir("x.png"));
    const std::vector<std::string> expected{"a.PNG", "Alpha.png", "B.png", "x.png", "zeta.png",
                                            "_u.png"};
    EXPECT_EQ(Search(dir.Path() + "\\*.png"), expected);
}

TEST(Win32Search, NothingMatching) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    ASSERT_TRUE(dir.AddFile("readme.txt"));
    platform::FindData data{};
    EXPECT_EQ(platform::SearchFirst((dir.Path() + "\\*.png").c_str(), &data), nullptr);
    EXPECT_EQ(platform::SearchFirst((dir.Path() + "\\missing\\*.png").c_str(), &data), nullptr);
    platform::SearchClose(nullptr);
}

TEST(Win32Clock, CounterAdvancesAndMillisecondsTick) {
    std::int64_t frequency = 0, first = 0, second = 0;
    ASSERT_TRUE(platform::CounterFrequency(&frequency));
    EXPECT_GT(frequency, 0);
    ASSERT_TRUE(platform::CounterNow(&first));
    const std::uint32_t start = platform::MillisecondTime();
    Sleep(20);
    ASSERT_TRUE(platform::CounterNow(&second));
    EXPECT_GT(second, first);
    EXPECT_GE(static_cast<std::uint32_t>(platform::MillisecondTime() - start), 10u);
}

TEST(Win32Module, ExecutablePathEndsInExe) {
    const std::string path = platform::ExecutablePath();
    ASSERT_GT(path.size(), 4u);
    EXPECT_EQ(_stricmp(path.c_str() + path.size() - 4, ".exe"), 0);
}

}  // namespace
