#include "platform/win32/win32_requests.h"

#include <cctype>
#include <cstring>

namespace win32 {

namespace {

// Description/pattern pairs, ended by an empty pair. The first stays the
// default; the second shows the batch files the launch also accepts.
constexpr wchar_t kEditorFilter[] =
    L"Applications (*.exe)\0*.exe\0"
    L"Applications and batch files (*.exe;*.bat;*.cmd)\0*.exe;*.bat;*.cmd\0";

}  // namespace

void FillEditorRequest(OPENFILENAMEW* request, HWND owner, wchar_t* buffer) {
    std::memset(request, 0, sizeof *request);
    // The layout without the fields later systems appended.
    request->lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    request->hwndOwner = owner;
    request->lpstrFilter = kEditorFilter;
    request->nFilterIndex = 1;
    request->lpstrFile = buffer;
    request->nMaxFile = kDialogChars;
    request->lpstrInitialDir = L"";
    request->lpstrTitle = L"Choose Editor";
    request->Flags = OFN_FILEMUSTEXIST;
    request->lpstrDefExt = L".EXE";
}

void FillFolderRequest(BROWSEINFOW* request, HWND owner, wchar_t* display, const wchar_t* title) {
    std::memset(request, 0, sizeof *request);
    request->hwndOwner = owner;
    request->pidlRoot = nullptr;  // the whole namespace
    request->pszDisplayName = display;
    request->lpszTitle = title;
    request->ulFlags = BIF_RETURNONLYFSDIRS;
}

std::string QuoteParameter(const std::string& argument) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: doubled, plus one for it.
        if (c == '"') backslashes = 2 * backslashes + 1;
        quoted.append(backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + "\"";
}

bool MayRunThroughCmd(const std::string& program) {
    // The system drops trailing dots and blanks: "edit.bat. " is a batch file.
    std::string name = program;
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    const std::size_t slash = name.find_last_of("\\/:");
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return true;
    std::string extension = name.substr(dot);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".bat" || extension == ".cmd";
}

bool SafeForCmd(const std::string& argument) {
    return argument.find_first_of("%^&|<>\"\r\n") == std::string::npos;
}

void FillPixelFormat(PIXELFORMATDESCRIPTOR* descriptor, BYTE colourBits) {
    std::memset(descriptor, 0, sizeof *descriptor);
    descriptor->nSize = sizeof(PIXELFORMATDESCRIPTOR);
    descriptor->nVersion = 1;
    descriptor->dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    descriptor->iPixelType = PFD_TYPE_RGBA;
    descriptor->cColorBits = colourBits;
    descriptor->cDepthBits = 16;
    descriptor->iLayerType = PFD_MAIN_PLANE;
}

}  // namespace win32
