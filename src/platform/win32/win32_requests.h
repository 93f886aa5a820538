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
void FillEditorRequest(OPENFILENAMEA* request, HWND owner, char* buffer);

// The folder chooser's request; `display` holds kDialogChars characters.
void FillFolderRequest(BROWSEINFOA* request, HWND owner, char* display, const char* title);

// The editor's one parameter: quoted when it holds a blank or tab, so a
// path with blanks reaches the editor as one argument.
std::string QuoteParameter(const std::string& argument);

// Double-buffered RGBA with a 16-bit depth buffer and `colourBits` colour.
void FillPixelFormat(PIXELFORMATDESCRIPTOR* descriptor, BYTE colourBits);

}  // namespace win32
