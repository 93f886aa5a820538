// Files on Windows: wide calls throughout, since a narrow path would take
// the ANSI code page.
#include "platform/files.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <climits>
#include <cwchar>

namespace win32 {

namespace {

// Characters below which every wide call takes a path as it is (the
// directory calls stop at 248, the others at MAX_PATH).
constexpr std::size_t kPlainPathLimit = 248;

bool Convert(UINT codePage, DWORD flags, const std::string& text, std::wstring* out) {
    out->clear();
    if (text.empty()) return true;
    if (text.size() > static_cast<std::size_t>(INT_MAX)) return false;
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
    if (length <= 0) return false;
    out->resize(static_cast<std::size_t>(length));
    return MultiByteToWideChar(codePage, flags, text.data(), size, &(*out)[0], length) == length;
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

}  // namespace

std::wstring Widen(const std::string& text) {
    std::wstring wide;
    if (Convert(CP_UTF8, MB_ERR_INVALID_CHARS, text, &wide)) return wide;
    Convert(CP_ACP, 0, text, &wide);
    return wide;
}

std::string Narrow(const std::wstring& text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return std::string();
    const int size = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &out[0], length, nullptr, nullptr);
    return out;
}

bool IsUtf8(const std::string& text) {
    std::wstring ignored;
    return Convert(CP_UTF8, MB_ERR_INVALID_CHARS, text, &ignored);
}

std::string LineAsUtf8(const std::string& line, unsigned codePage) {
    if (IsUtf8(line)) return line;
    std::wstring wide;
    if (!Convert(codePage == 0 ? CP_ACP : codePage, 0, line, &wide)) return std::string();
    return Narrow(wide);
}

std::wstring FilePath(const std::wstring& path) {
    if (path.size() < kPlainPathLimit || StartsWith(path, L"\\\\?\\") ||
        StartsWith(path, L"\\\\.\\"))
        return path;
    // The prefix turns off the system's clean-up of "." , ".." and "/":
    // the path is made whole first.
    DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return path;
    std::wstring full(length, L'\0');
    length = GetFullPathNameW(path.c_str(), length, &full[0], nullptr);
    if (length == 0 || length >= full.size()) return path;
    full.resize(length);
    if (StartsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
    return full;
}

std::wstring FilePath(const std::string& utf8) { return FilePath(Widen(utf8)); }

std::FILE* OpenForWriting(const std::string& path) {
    return _wfopen(FilePath(path).c_str(), L"w");
}

bool MoveReplacing(const std::string& from, const std::string& to) {
    return MoveFileExW(FilePath(from).c_str(), FilePath(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool RemoveFile(const std::string& path) { return DeleteFileW(FilePath(path).c_str()) != FALSE; }

}  // namespace win32

namespace files {

std::FILE* OpenRegular(const std::string& path, OpenStatus* status) {
    OpenStatus ignored;
    OpenStatus& result = status ? *status : ignored;
    const HANDLE handle =
        CreateFileW(win32::FilePath(path).c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const DWORD attributes = GetFileAttributesW(win32::FilePath(path).c_str());
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
            error == ERROR_INVALID_NAME)
            result = OpenStatus::Missing;
        else if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            result = OpenStatus::NotRegular;
        else
            result = OpenStatus::Unreadable;
        return nullptr;
    }
    result = OpenStatus::NotRegular;
    // A folder does not open without backup semantics; a device or pipe
    // named like the file is refused here.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    result = OpenStatus::Unreadable;
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    // From here the descriptor owns the handle, and the stream the descriptor.
    std::FILE* file = _fdopen(fd, "rb");
    if (!file) {
        _close(fd);
        return nullptr;
    }
    result = OpenStatus::Opened;
    return file;
}

bool ReplaceWithText(const std::string& path, const std::string& text) {
    const std::string temp = path + ".tmp";
    std::FILE* file = win32::OpenForWriting(temp);
    if (!file) return false;
    bool good = std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
                std::fflush(file) == 0;
    good = std::fclose(file) == 0 && good;
    if (!good || !win32::MoveReplacing(temp, path)) {
        win32::RemoveFile(temp);
        return false;
    }
    return true;
}

bool Seek(std::FILE* file, std::int64_t offset, int whence) {
    return _fseeki64(file, offset, whence) == 0;
}

std::int64_t Tell(std::FILE* file) { return _ftelli64(file); }

std::int64_t Size(std::FILE* file) {
    LARGE_INTEGER size;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (handle == INVALID_HANDLE_VALUE || !GetFileSizeEx(handle, &size)) return -1;
    return size.QuadPart;
}

}  // namespace files
