// Pure request builders of the Win32 backend: they fill system structs
// and build strings but call nothing, so tests check them directly.
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <string>

namespace win32 {

// Characters in the buffers the dialogs write paths into.
constexpr int kDialogChars = 512;

// The editor chooser's request; `buffer` (kDialogChars) holds the
// pre-filled name on entry.
void FillEditorRequest(OPENFILENAMEW* request, HWND owner, wchar_t* buffer);

// The folder chooser's request; `display` holds kDialogChars characters.
void FillFolderRequest(BROWSEINFOW* request, HWND owner, wchar_t* display, const wchar_t* title);

// The editor's one parameter, always in quotes, read back whole by the
// C runtime's and CommandLineToArgvW's rules: backslashes before a quote
// are doubled and a quote inside is escaped.
std::string QuoteParameter(const std::string& argument);

// Whether the program may be run by cmd.exe: a .bat or .cmd file, or a
// name without extension that the system may complete to one.
bool MayRunThroughCmd(const std::string& program);
// Whether cmd.exe passes the name on as it is. It expands %...% even in
// quotes and splits at & | < > ^ once a quote is unbalanced, so a name
// holding any of them (or a quote, or a line break) is refused.
bool SafeForCmd(const std::string& argument);

// Double-buffered RGBA with a 16-bit depth buffer and `colourBits` colour.
void FillPixelFormat(PIXELFORMATDESCRIPTOR* descriptor, BYTE colourBits);

}  // namespace win32
