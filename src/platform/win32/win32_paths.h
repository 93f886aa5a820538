// Paths and text at the Win32 edge: the core keeps UTF-8, the system's
// wide calls take UTF-16, and every file operation of the Windows build
// goes through these conversions. No <windows.h> here: the settings file
// and the loader include this header and stay off the window system.
#pragma once

#include <cstdio>
#include <string>

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

// Opens a regular file for reading (never a directory or device), letting
// others read, write, rename and delete it meanwhile so an editor's save
// never fails while it is open. Text mode reads CR LF as LF.
std::FILE* OpenForReading(const std::string& path, bool text);
// Creates or truncates a file for writing in text mode (CR LF line ends).
std::FILE* OpenForWriting(const std::string& path);
// Renames `from` over `to`, replacing it.
bool MoveReplacing(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);

}  // namespace win32
