#include "platform/headless/headless.h"

#include <algorithm>
#include <cstring>

namespace headless {

State& Get() {
    static State state;
    return state;
}

void Reset() {
    Get() = State{};
    platform::menus::DestroyAll();
}

platform::LResult Send(std::uint32_t message, platform::WParam wParam, platform::LParam lParam) {
    State& s = Get();
    if (!s.proc) return 0;
    return s.proc(s.window, message, wParam, lParam);
}

void Post(std::uint32_t message, platform::WParam wParam, platform::LParam lParam) {
    Get().queue.push_back({Get().window, message, wParam, lParam});
}

std::vector<std::string> Labels(platform::MenuHandle menu) {
    std::vector<std::string> labels;
    if (const platform::menus::Menu* m = platform::menus::Find(menu)) {
        for (const auto& item : m->items)
            labels.push_back(item.kind == platform::menus::Item::Separator ? "-" : item.label);
    }
    return labels;
}

namespace {

// Records the step and reports whether it succeeds.
bool Step_(Step step, const char* name) {
    State& s = Get();
    s.calls.push_back(name);
    return std::find(s.failing.begin(), s.failing.end(), step) == s.failing.end();
}

template <typename T>
T Fake(std::uintptr_t value) {
    return reinterpret_cast<T>(value);
}

void RunModal() {
    if (Get().whileModal) {
        auto hook = Get().whileModal;
        hook();
    }
}

}  // namespace
}  // namespace headless

namespace platform {

using headless::Get;

int RunWindowSystem(int argc, char** argv, int (*body)(const std::vector<std::string>& arguments)) {
    return body(ProgramArguments(argc, argv));
}

InstanceHandle ModuleInstance() { return headless::Fake<InstanceHandle>(0x1000); }

bool RegisterWindowClass(InstanceHandle, WindowProc proc) {
    if (!headless::Step_(headless::Step::RegisterClass, "RegisterClass")) return false;
    Get().proc = proc;
    return true;
}

bool UnregisterWindowClass(InstanceHandle) {
    return headless::Step_(headless::Step::UnregisterClass, "UnregisterClass");
}

WindowHandle CreateMainWindow(InstanceHandle, const char*, int clientWidth, int clientHeight) {
    if (!headless::Step_(headless::Step::CreateWindow, "CreateWindow")) return nullptr;
    Get().window = headless::Fake<WindowHandle>(0x2000);
    Get().outerRect = {0, 0, clientWidth, clientHeight};
    return Get().window;
}

bool DestroyMainWindow(WindowHandle) {
    if (!headless::Step_(headless::Step::DestroyWindow, "DestroyWindow")) return false;
    Get().window = nullptr;
    return true;
}

DeviceContext AcquireDeviceContext(WindowHandle) {
    if (!headless::Step_(headless::Step::AcquireDC, "GetDC")) return nullptr;
    return headless::Fake<DeviceContext>(0x3000);
}

bool ReleaseDeviceContext(WindowHandle, DeviceContext) {
    return headless::Step_(headless::Step::ReleaseDC, "ReleaseDC");
}

int ChooseSurfaceFormat(DeviceContext, int) {
    return headless::Step_(headless::Step::ChooseFormat, "ChoosePixelFormat") ? 1 : 0;
}

bool SetSurfaceFormat(DeviceContext, int, int) {
    return headless::Step_(headless::Step::SetFormat, "SetPixelFormat");
}

RenderContext CreateGLContext(DeviceContext) {
    if (!headless::Step_(headless::Step::CreateContext, "CreateContext")) return nullptr;
    return headless::Fake<RenderContext>(0x4000);
}

bool MakeGLContextCurrent(DeviceContext dc, RenderContext rc) {
    if (!dc && !rc) return headless::Step_(headless::Step::ReleaseCurrent, "ReleaseCurrent");
    return headless::Step_(headless::Step::MakeCurrent, "MakeCurrent");
}

bool DeleteGLContext(RenderContext) {
    return headless::Step_(headless::Step::DeleteContext, "DeleteContext");
}

void ShowMainWindow(WindowHandle) { Get().calls.push_back("ShowWindow"); }

void SwapWindowBuffers(DeviceContext) {
    ++Get().swaps;
    if (Get().afterSwap) {
        auto hook = Get().afterSwap;
        hook();
    }
}

void PlaceWindow(WindowHandle, const Rect& outer) {
    Get().outerRect = outer;
    Get().calls.push_back("PlaceWindow");
}

Rect WindowOuterRect(WindowHandle) { return Get().outerRect; }

std::vector<Rect> ScreenWorkAreas() { return Get().workAreas; }

std::vector<std::string> DroppedPaths(WParam) { return Get().dropped; }

void CopyText(WindowHandle, const char* text) { Get().clipboard = text ? text : ""; }

void SetWindowTitle(WindowHandle, const char* title) { Get().title = title ? title : ""; }

double WindowScale(WindowHandle) { return Get().scale; }

bool WindowPositionKnown() { return Get().positionKnown; }

bool PointerPosition(WindowHandle, std::int32_t* x, std::int32_t* y) {
    *x = Get().pointerX;
    *y = Get().pointerY;
    return true;
}

bool TakeMessage(Message* out) {
    auto& queue = Get().queue;
    if (queue.empty()) return false;
    *out = queue.front();
    queue.pop_front();
    return true;
}

void WaitForMessages(std::uint32_t timeoutMs) {
    headless::State& s = Get();
    ++s.waits;
    s.lastWaitMs = timeoutMs;
    if (s.whileWaiting) {
        auto hook = s.whileWaiting;
        hook();
    }
}

void DispatchTaken(const Message& m) {
    if (Get().proc) Get().proc(m.window, m.message, m.wParam, m.lParam);
}

void PostWindowMessage(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam) {
    Get().queue.push_back({window, message, wParam, lParam});
}

LResult DefaultWindowProc(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam) {
    Get().defaultProcessed.push_back({window, message, wParam, lParam});
    if (message == WM_SYSCOMMAND && wParam == SC_CLOSE)
        PostWindowMessage(window, WM_CLOSE, 0, 0);
    return 0;
}

MenuHandle NewMenuBar() { return menus::Create(true); }
MenuHandle NewMenu() { return menus::Create(false); }

void AppendMenuItem(MenuHandle menu, std::uint32_t id, const char* label) {
    menus::AppendCommand(menu, id, label);
}

void AppendMenuSubmenu(MenuHandle menu, MenuHandle submenu, const char* label) {
    menus::AppendSubmenu(menu, submenu, label);
}

void AppendMenuSeparator(MenuHandle menu) { menus::AppendSeparator(menu); }

void SetMenuItemChecked(MenuHandle menu, std::uint32_t id, bool checked) {
    menus::SetChecked(menu, id, checked);
}

void DestroyMenuTree(MenuHandle menu) {
    if (Get().attachedBar == menu) Get().attachedBar = nullptr;
    menus::Destroy(menu);
}

void AttachMenuBar(WindowHandle, MenuHandle bar) { Get().attachedBar = bar; }

void TrackPopup(MenuHandle menu, int x, int y, WindowHandle owner) {
    Get().popups.push_back({menu, x, y});
    headless::RunModal();
    if (Get().popupChoice) {
        PostWindowMessage(owner, WM_COMMAND, Get().popupChoice, 0);
        Get().popupChoice = 0;
    }
}

int ShowMessageBox(WindowHandle owner, const char* text, const char* caption, std::uint32_t flags) {
    Get().messageBoxes.push_back({owner, text ? text : "", caption ? caption : "", flags});
    headless::RunModal();
    return IDOK;
}

bool ChooseFolder(WindowHandle, const char*, char* path) {
    ++Get().folderDialogs;
    Get().folderStart = path;
    headless::RunModal();
    const auto& answer = Get().folderAnswer;
    if (!answer || answer->size() >= kDialogPath) return false;
    std::memcpy(path, answer->c_str(), answer->size() + 1);
    return true;
}

bool ChooseEditor(WindowHandle, char* path) {
    ++Get().editorDialogs;
    Get().editorPrefill = path;
    headless::RunModal();
    const auto& answer = Get().editorAnswer;
    if (!answer || answer->size() >= kDialogPath) return false;
    std::memcpy(path, answer->c_str(), answer->size() + 1);
    return true;
}

bool LaunchEditor(WindowHandle, const char* program, const char* argument) {
    Get().launches.push_back({program ? program : "", argument ? argument : ""});
    return !Get().launchFails;
}

}  // namespace platform
