#include "platform/win32/win32_requests.h"

#include <cstring>

namespace win32 {

namespace {

// One description/pattern pair, ended by an empty pair.
constexpr char kEditorFilter[] = "Applications (*.exe)\0*.exe\0";

}  // namespace

void FillEditorRequest(OPENFILENAMEA* request, HWND owner, char* buffer) {
    std::memset(request, 0, sizeof *request);
    // The layout without the fields later systems appended.
    request->lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request->hwndOwner = owner;
    request->lpstrFilter = kEditorFilter;
    request->nFilterIndex = 1;
    request->lpstrFile = buffer;
    request->nMaxFile = kDialogChars;
    request->lpstrInitialDir = "";
    request->lpstrTitle = "Choose Editor";
    request->Flags = OFN_FILEMUSTEXIST;
    request->lpstrDefExt = ".EXE";
}

void FillFolderRequest(BROWSEINFOA* request, HWND owner, char* display, const char* title) {
    std::memset(request, 0, sizeof *request);
    request->hwndOwner = owner;
    request->pidlRoot = nullptr;  // the whole namespace
    request->pszDisplayName = display;
    request->lpszTitle = title;
    request->ulFlags = BIF_RETURNONLYFSDIRS;
}

std::string QuoteParameter(const std::string& argument) {
    if (argument.find_first_of(" \t") == std::string::npos) return argument;
    // Backslashes before the closing quote are doubled so they stay
    // backslashes rather than escape it.
    std::size_t trailing = 0;
    while (trailing < argument.size() && argument[argument.size() - 1 - trailing] == '\\')
        ++trailing;
    return "\"" + argument + std::string(trailing, '\\') + "\"";
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
