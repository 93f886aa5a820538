// Files as the portable code sees them: UTF-8 paths on every system, only
// regular files read, and a replace that never leaves a cut-off file. The
// one place that opens, stats or renames files by the system's own calls;
// no system header here, so the loader and the settings stay off them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace files {

enum class OpenStatus {
    Opened,
    Missing,     // nothing there, or a link to nothing
    NotRegular,  // a folder, FIFO or device
    Unreadable,  // a file, but not ours to read
};

// Opens a regular file for reading, in binary mode, never waiting on a
// FIFO or device: a picture or settings file so named must not hang the
// program. On Windows others may read, write, rename and delete the file
// meanwhile, so an editor's save never fails while it is open.
std::FILE* OpenRegular(const std::string& path, OpenStatus* status = nullptr);

// Positions in files past 2 GiB on every system (long is 32 bits on
// Windows). Seek takes SEEK_SET, SEEK_CUR or SEEK_END; Tell gives -1 on
// failure; Size is the open file's size in bytes (-1 when unknown) and
// leaves the position where it was.
bool Seek(std::FILE* file, std::int64_t offset, int whence);
std::int64_t Tell(std::FILE* file);
std::int64_t Size(std::FILE* file);

// Replaces the file with `text` (line feeds become the platform's line
// ends): written beside it and renamed over, so a failed or cut-off write
// keeps the old file. A symbolic link is written through and stays a
// link; an existing file's mode is kept exactly; a FIFO, device or folder
// is never replaced.
bool ReplaceWithText(const std::string& path, const std::string& text);

// A length as the system's path limits count it: UTF-16 units, so 254
// means the same on every system. A byte that is not UTF-8 counts one.
std::size_t Utf16Length(const std::string& utf8);

}  // namespace files

#ifdef _WIN32
// Paths and text at the Win32 edge: the core keeps UTF-8 and the wide
// calls take UTF-16; every file call of the Windows build goes through
// these conversions.
namespace win32 {

// UTF-8 to UTF-16. Bytes that are not UTF-8 are read in the ANSI code
// page, as text saved by earlier copies of the program would be.
std::wstring Widen(const std::string& text);
// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Narrow(const std::wstring& text);
// Whether the bytes are well-formed UTF-8 (empty text is).
bool IsUtf8(const std::string& text);
// A settings line as UTF-8: kept when it is UTF-8, else converted from
// `codePage` (0: the system's legacy ANSI code page).
std::string LineAsUtf8(const std::string& line, unsigned codePage = 0);

// A path for the wide file calls: whole, absolute and \\?\-prefixed once
// it is too long for MAX_PATH, as it was otherwise.
std::wstring FilePath(const std::wstring& path);
std::wstring FilePath(const std::string& utf8);

// Creates or truncates a file for writing in text mode (CR LF line ends).
std::FILE* OpenForWriting(const std::string& path);
// Renames `from` over `to`, replacing it.
bool MoveReplacing(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);

}  // namespace win32
#endif
