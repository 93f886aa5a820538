// The command line and the standard streams. The program belongs to the
// window subsystem, so a console it was started from is not its own: it
// attaches to it to write there.
#include <windows.h>
#include <shellapi.h>

#include "platform/platform.h"
#include "platform/files.h"

namespace platform {

namespace {

bool WriteAll(HANDLE handle, const char* data, std::size_t size) {
    while (size > 0) {
        DWORD written = 0;
        const DWORD chunk = size > 0x10000 ? 0x10000 : static_cast<DWORD>(size);
        if (!WriteFile(handle, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

bool WriteConsoleText(HANDLE console, const std::string& text) {
    // Wide, so any text shows whatever the console's code page.
    const std::wstring wide = win32::Widen(text);
    const wchar_t* data = wide.data();
    std::size_t size = wide.size();
    while (size > 0) {
        DWORD written = 0;
        const DWORD chunk = size > 0x4000 ? 0x4000 : static_cast<DWORD>(size);
        if (!WriteConsoleW(console, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

}  // namespace

std::vector<std::string> ProgramArguments(int, char**) {
    // Split as the C runtime would; a file dropped on the executable
    // arrives this way too.
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(win32::Narrow(wide[i]));
    LocalFree(wide);
    return arguments;
}

bool WriteStandard(Stream stream, const std::string& text) {
    const DWORD which = stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
    HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN) {
        // Redirected to a file or pipe: the bytes as they are.
        if (!GetConsoleMode(handle, &mode)) return WriteAll(handle, text.data(), text.size());
        return WriteConsoleText(handle, text);
    }
    // Started from a console without redirection: that console.
    // (Denied: attached to one already.)
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED)
        return false;
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) return false;
    const bool written = WriteConsoleText(console, text);
    CloseHandle(console);
    return written;
}

}  // namespace platform
