// Message boxes, the folder and editor choosers and the editor launch.
#include <windows.h>
#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/win32_requests.h"

namespace {

static_assert(platform::kDialogPath == static_cast<std::size_t>(win32::kDialogChars),
              "the core's dialog buffers are the size the requests name");

// The shell's folder browser is a COM client; initialise COM around it
// unless this thread already did.
class ComScope {
public:
    ComScope()
        : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED |
                                                             COINIT_DISABLE_OLE1DDE))) {}
    ~ComScope() {
        if (initialised_) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialised_;
};

// The item list the folder browser returns, freed with the task allocator.
class ItemList {
public:
    explicit ItemList(PIDLIST_ABSOLUTE list) : list_(list) {}
    ~ItemList() {
        if (list_) CoTaskMemFree(list_);
    }
    ItemList(const ItemList&) = delete;
    ItemList& operator=(const ItemList&) = delete;
    PIDLIST_ABSOLUTE Get() const { return list_; }

private:
    PIDLIST_ABSOLUTE list_;
};

// Opens the folder browser at the folder in lParam.
int CALLBACK OpenAtStart(HWND dialog, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED) SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

}  // namespace

namespace platform {

int ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                   std::uint32_t flags) {
    return MessageBoxA(win32::Hwnd(owner), text ? text : "", caption, flags);
}

void CopyText(WindowHandle owner, const char* text) {
    const std::string utf8 = text ? text : "";
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    if (length <= 0 || !OpenClipboard(win32::Hwnd(owner))) return;
    EmptyClipboard();
    // The clipboard takes the memory over once SetClipboardData succeeds.
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(length) * sizeof(wchar_t))) {
        if (auto* wide = static_cast<wchar_t*>(GlobalLock(memory))) {
            MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide, length);
            GlobalUnlock(memory);
            if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

bool ChooseFolder(WindowHandle owner, const char* title, char* path) {
    if (!path) return false;
    ComScope com;
    // The display name and the chosen path share the caller's buffer, so
    // the folder to open in is kept aside for the callback.
    const std::string start = path;
    BROWSEINFOA request;
    win32::FillFolderRequest(&request, win32::Hwnd(owner), path, title);
    if (!start.empty()) {
        request.lpfn = OpenAtStart;
        request.lParam = reinterpret_cast<LPARAM>(start.c_str());
    }
    const ItemList chosen(SHBrowseForFolderA(&request));
    if (!chosen.Get()) return false;
    return SHGetPathFromIDListA(chosen.Get(), path) != FALSE;
}

bool ChooseEditor(WindowHandle owner, char* path) {
    if (!path) return false;
    OPENFILENAMEA request;
    win32::FillEditorRequest(&request, win32::Hwnd(owner), path);
    return GetOpenFileNameA(&request) != FALSE;
}

bool LaunchEditor(WindowHandle owner, const char* program, const char* argument) {
    if (!program || !*program) return false;
    const std::string parameter = win32::QuoteParameter(argument ? argument : "");
    const HINSTANCE result = ShellExecuteA(win32::Hwnd(owner), nullptr, program, parameter.c_str(),
                                           nullptr, SW_SHOWNORMAL);
    // Values above 32 mean success.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace platform
