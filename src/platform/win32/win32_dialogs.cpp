// Message boxes, the folder and editor choosers and the editor launch,
// each on the wide call: the core's UTF-8 is converted here.
#include <windows.h>
#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/platform.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/win32_requests.h"

namespace {

static_assert(platform::kDialogPath == static_cast<std::size_t>(win32::kDialogChars),
              "the core's dialog buffers are the size the requests name");

constexpr wchar_t kCaption[] = L"Zintra";

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

// Opens the folder browser at the (wide) folder in lParam.
int CALLBACK OpenAtStart(HWND dialog, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

// Copies a chosen path into the core's buffer in UTF-8. One that does not
// fit is refused aloud rather than cut, which would name another place.
bool ReturnPath(HWND owner, const std::wstring& chosen, char* path) {
    const std::string utf8 = win32::Narrow(chosen);
    if (utf8.empty()) return false;
    if (utf8.size() >= platform::kDialogPath) {
        const std::wstring text = L"This path is too long for Zintra:\n\n" + chosen +
                                  L"\n\nChoose one with a shorter name.";
        MessageBoxW(owner, text.c_str(), kCaption, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    std::memcpy(path, utf8.c_str(), utf8.size() + 1);
    return true;
}

}  // namespace

namespace platform {

int ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                   std::uint32_t flags) {
    const std::wstring wideText = win32::Widen(text ? text : "");
    const std::wstring wideCaption = win32::Widen(caption ? caption : "");
    return MessageBoxW(win32::Hwnd(owner), wideText.c_str(), caption ? wideCaption.c_str() : nullptr,
                       flags);
}

std::vector<std::string> DroppedPaths(WParam drop) {
    std::vector<std::string> paths;
    const HDROP handle = reinterpret_cast<HDROP>(drop);
    if (!handle) return paths;
    const UINT count = DragQueryFileW(handle, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring name(DragQueryFileW(handle, i, nullptr, 0) + 1, L'\0');
        const UINT length = DragQueryFileW(handle, i, &name[0], static_cast<UINT>(name.size()));
        name.resize(length);
        paths.push_back(win32::Narrow(name));
    }
    DragFinish(handle);
    return paths;
}

void CopyText(WindowHandle owner, const char* text) {
    const std::wstring wide = win32::Widen(text ? text : "");
    if (!OpenClipboard(win32::Hwnd(owner))) return;
    EmptyClipboard();
    const SIZE_T bytes = (wide.size() + 1) * sizeof(wchar_t);
    // The clipboard takes the memory over once SetClipboardData succeeds.
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* target = GlobalLock(memory)) {
            std::memcpy(target, wide.c_str(), bytes);
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
    const std::wstring start = win32::Widen(path);
    const std::wstring wideTitle = win32::Widen(title ? title : "");
    wchar_t display[win32::kDialogChars] = {};
    BROWSEINFOW request;
    win32::FillFolderRequest(&request, win32::Hwnd(owner), display, wideTitle.c_str());
    if (!start.empty()) {
        request.lpfn = OpenAtStart;
        request.lParam = reinterpret_cast<LPARAM>(start.c_str());
    }
    const ItemList chosen(SHBrowseForFolderW(&request));
    if (!chosen.Get()) return false;
    // The long form takes folders deeper than MAX_PATH.
    std::wstring folder(32768, L'\0');
    if (!SHGetPathFromIDListEx(chosen.Get(), &folder[0], static_cast<DWORD>(folder.size()),
                               GPFIDL_DEFAULT))
        return false;
    folder.resize(std::wcslen(folder.c_str()));
    return ReturnPath(win32::Hwnd(owner), folder, path);
}

bool ChooseEditor(WindowHandle owner, char* path) {
    if (!path) return false;
    wchar_t buffer[win32::kDialogChars] = {};
    const std::wstring prefill = win32::Widen(path);
    if (prefill.size() < static_cast<std::size_t>(win32::kDialogChars))
        std::memcpy(buffer, prefill.c_str(), (prefill.size() + 1) * sizeof(wchar_t));
    OPENFILENAMEW request;
    win32::FillEditorRequest(&request, win32::Hwnd(owner), buffer);
    if (!GetOpenFileNameW(&request)) return false;
    return ReturnPath(win32::Hwnd(owner), buffer, path);
}

bool LaunchEditor(WindowHandle owner, const char* program, const char* argument) {
    if (!program || !*program) return false;
    const std::string name = argument ? argument : "";
    if (win32::MayRunThroughCmd(program) && !win32::SafeForCmd(name)) {
        // cmd.exe would run parts of the name as commands: no quoting stops
        // it, so nothing starts. Said here, so this counts as handled.
        const std::wstring text =
            L"The editor is a batch file, and the command interpreter that runs it would take "
            L"part of this file's name as commands:\n\n" +
            win32::Widen(name) +
            L"\n\nRename the file without % ^ & | < > or \", or choose an editor program (.exe) "
            L"with File > Choose Editor...";
        MessageBoxW(win32::Hwnd(owner), text.c_str(), kCaption, MB_OK | MB_ICONEXCLAMATION);
        return true;
    }
    const std::wstring wideProgram = win32::Widen(program);
    // No file on show: no argument at all rather than an empty one.
    const std::wstring parameter = name.empty() ? std::wstring() : win32::Widen(win32::QuoteParameter(name));
    const HINSTANCE result = ShellExecuteW(win32::Hwnd(owner), nullptr, wideProgram.c_str(),
                                           parameter.c_str(), nullptr, SW_SHOWNORMAL);
    // Values above 32 mean success.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace platform
