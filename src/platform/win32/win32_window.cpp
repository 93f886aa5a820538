// The window class, the window, its GL pixel format and context, and the
// message queue, each step one Win32/WGL call whose success is reported.
// The wide calls throughout, so text and messages stay UTF-16.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "platform/files.h"
#include "platform/platform.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/win32_keys.h"
#include "platform/win32/win32_requests.h"
#include "platform/win32/win32_watch.h"

namespace {

constexpr wchar_t kClassName[] = L"OpenGL";
// The application icon in the resources (zintra.rc).
constexpr WORD kIconId = 1;
constexpr DWORD kExStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;

platform::WindowProc gProc = nullptr;

// The last message taken, so dispatch hands the system the original
// (with its time and cursor point) rather than a rebuilt copy.
MSG gTaken{};

win32::KeyPairing gKeys;

// The core's code for a key message: by the character for [ ] + = -.
WPARAM CoreKey(UINT message, WPARAM wParam, LPARAM lParam) {
    const UINT vk = static_cast<UINT>(wParam & 0xFF);
    if (win32::ActsByPosition(vk)) return wParam;
    const bool down = message == WM_KEYDOWN;
    wchar_t typed = 0;
    BYTE state[256];
    if ((down || !gKeys.Pressed(vk)) && GetKeyboardState(state))
        typed = win32::TypedCharacter(vk, static_cast<UINT>((lParam >> 16) & 0xFF), state,
                                      GetKeyboardLayout(0));
    return down ? gKeys.Press(vk, typed) : gKeys.Release(vk, typed);
}

LRESULT CALLBACK ForwardingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!gProc) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_DPICHANGED) {
        // Per-monitor aware: the size the system suggests on the new monitor.
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    if (message == WM_KEYDOWN || message == WM_KEYUP) wParam = CoreKey(message, wParam, lParam);
    // No release comes for keys held while the focus is elsewhere.
    if (message == WM_KILLFOCUS || (message == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE))
        gKeys.Clear();
    return static_cast<LRESULT>(gProc(reinterpret_cast<platform::WindowHandle>(hwnd), message,
                                      static_cast<platform::WParam>(wParam),
                                      static_cast<platform::LParam>(lParam)));
}

// Filled on the first call only; later calls reuse it as it is.
const PIXELFORMATDESCRIPTOR& Descriptor(int colourBits) {
    static const PIXELFORMATDESCRIPTOR descriptor = [colourBits] {
        PIXELFORMATDESCRIPTOR d;
        const int bits = colourBits < 0 ? 0 : (colourBits > 255 ? 255 : colourBits);
        win32::FillPixelFormat(&d, static_cast<BYTE>(bits));
        return d;
    }();
    return descriptor;
}

// Asks for one swap per display refresh once per context, where offered,
// so the loop does not spin hundreds of frames a second.
void RequestVsync(HGLRC context) {
    static HGLRC requested = nullptr;
    if (context == requested) return;
    requested = context;
    using SwapInterval = BOOL(WINAPI*)(int);
    const PROC proc = wglGetProcAddress("wglSwapIntervalEXT");
    if (!proc) return;
    SwapInterval swapInterval;
    static_assert(sizeof swapInterval == sizeof proc, "function pointer sizes");
    CopyMemory(&swapInterval, &proc, sizeof proc);
    swapInterval(1);
}

}  // namespace

namespace platform {

using win32::Hdc;
using win32::Hglrc;
using win32::Hinstance;
using win32::Hwnd;

InstanceHandle ModuleInstance() {
    return reinterpret_cast<InstanceHandle>(GetModuleHandleW(nullptr));
}

bool RegisterWindowClass(InstanceHandle instance, WindowProc proc) {
    if (!proc) return false;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    wc.lpfnWndProc = ForwardingProc;
    wc.hInstance = Hinstance(instance);
    // The program's own icon, at the sizes the system asks for; the
    // system's one if the resources lack it.
    wc.hIcon = static_cast<HICON>(LoadImageW(wc.hInstance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), LR_SHARED));
    wc.hIconSm = static_cast<HICON>(LoadImageW(wc.hInstance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    // The system's ids are integer resources, the same for both forms.
    if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kClassName;
    // Set first: the class may receive messages as soon as a window exists.
    const WindowProc previous = gProc;
    gProc = proc;
    if (!RegisterClassExW(&wc)) {
        gProc = previous;
        return false;
    }
    return true;
}

bool UnregisterWindowClass(InstanceHandle instance) {
    return UnregisterClassW(kClassName, Hinstance(instance)) != FALSE;
}

WindowHandle CreateMainWindow(InstanceHandle instance, const char* title, int clientWidth,
                              int clientHeight) {
    RECT rect{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&rect, kStyle, FALSE, kExStyle);
    const std::wstring text = win32::Widen(title ? title : "");
    const HWND hwnd = CreateWindowExW(kExStyle, kClassName, text.c_str(),
                                      kStyle | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                                      rect.right - rect.left, rect.bottom - rect.top, nullptr,
                                      nullptr, Hinstance(instance), nullptr);
    // Files dropped onto the window arrive as WM_DROPFILES.
    if (hwnd) DragAcceptFiles(hwnd, TRUE);
    return reinterpret_cast<WindowHandle>(hwnd);
}

bool DestroyMainWindow(WindowHandle window) { return DestroyWindow(Hwnd(window)) != FALSE; }

DeviceContext AcquireDeviceContext(WindowHandle window) {
    return reinterpret_cast<DeviceContext>(GetDC(Hwnd(window)));
}

bool ReleaseDeviceContext(WindowHandle window, DeviceContext dc) {
    return ReleaseDC(Hwnd(window), Hdc(dc)) != 0;
}

int ChooseSurfaceFormat(DeviceContext dc, int colourBits) {
    return ChoosePixelFormat(Hdc(dc), &Descriptor(colourBits));
}

bool SetSurfaceFormat(DeviceContext dc, int format, int colourBits) {
    return SetPixelFormat(Hdc(dc), format, &Descriptor(colourBits)) != FALSE;
}

RenderContext CreateGLContext(DeviceContext dc) {
    return reinterpret_cast<RenderContext>(wglCreateContext(Hdc(dc)));
}

bool MakeGLContextCurrent(DeviceContext dc, RenderContext rc) {
    if (!wglMakeCurrent(Hdc(dc), Hglrc(rc))) return false;
    if (rc) RequestVsync(Hglrc(rc));
    return true;
}

bool DeleteGLContext(RenderContext rc) { return wglDeleteContext(Hglrc(rc)) != FALSE; }

void ShowMainWindow(WindowHandle window) {
    ShowWindow(Hwnd(window), SW_SHOW);
    SetForegroundWindow(Hwnd(window));
    SetFocus(Hwnd(window));
}

void SwapWindowBuffers(DeviceContext dc) {
    const HDC hdc = Hdc(dc);
    SwapBuffers(hdc);
    // Mesa's software rasteriser takes a new window size only at the first
    // GL call after a swap, so the frame just shown may have been drawn at
    // the old size: a resting core is asked for one more.
    static HWND swappedWindow = nullptr;
    static LONG swappedWidth = -1, swappedHeight = -1;
    const HWND hwnd = WindowFromDC(hdc);
    RECT client;
    if (!hwnd || !GetClientRect(hwnd, &client)) return;
    if (hwnd != swappedWindow || client.right != swappedWidth || client.bottom != swappedHeight) {
        swappedWindow = hwnd;
        swappedWidth = client.right;
        swappedHeight = client.bottom;
        InvalidateRect(hwnd, nullptr, FALSE);
    }
}

namespace {

BOOL CALLBACK AddWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    MONITORINFO info;
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info)) {
        const RECT& r = info.rcWork;
        reinterpret_cast<std::vector<Rect>*>(data)->push_back(Rect{r.left, r.top, r.right, r.bottom});
    }
    return TRUE;
}

// GetWindowPlacement's restored rectangle, in screen coordinates: it
// comes in work-area coordinates, shifted by any task bar at the left or
// top of its monitor.
bool RestoredRect(HWND hwnd, RECT* rect) {
    WINDOWPLACEMENT placement;
    placement.length = sizeof placement;
    if (!GetWindowPlacement(hwnd, &placement)) return false;
    *rect = placement.rcNormalPosition;
    if (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) return true;
    MONITORINFO info;
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(MonitorFromRect(rect, MONITOR_DEFAULTTONEAREST), &info))
        OffsetRect(rect, info.rcWork.left - info.rcMonitor.left,
                   info.rcWork.top - info.rcMonitor.top);
    return true;
}

}  // namespace

std::vector<Rect> ScreenWorkAreas() {
    std::vector<Rect> areas;
    EnumDisplayMonitors(nullptr, nullptr, AddWorkArea, reinterpret_cast<LPARAM>(&areas));
    return areas;
}

void PlaceWindow(WindowHandle window, const Rect& outer) {
    SetWindowPos(Hwnd(window), nullptr, outer.left, outer.top, outer.right - outer.left,
                 outer.bottom - outer.top, SWP_SHOWWINDOW | SWP_NOZORDER);
}

Rect WindowOuterRect(WindowHandle window) {
    Rect result;
    RECT rect;
    // A minimised window sits at -32000, -32000: its place when restored
    // is what counts.
    if (IsIconic(Hwnd(window)) && RestoredRect(Hwnd(window), &rect)) {
        result.left = rect.left;
        result.top = rect.top;
        result.right = rect.right;
        result.bottom = rect.bottom;
    } else if (GetWindowRect(Hwnd(window), &rect)) {
        result.left = rect.left;
        result.top = rect.top;
        result.right = rect.right;
        result.bottom = rect.bottom;
    }
    return result;
}

void SetWindowTitle(WindowHandle window, const char* title) {
    // The title is UTF-8; names still in the ANSI code page are taken as such.
    SetWindowTextW(Hwnd(window), win32::Widen(title ? title : "").c_str());
}

bool WindowPositionKnown() { return true; }

double WindowScale(WindowHandle window) {
    // Windows 10 and later; older ones scale nothing for us.
    using GetDpi = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpi>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    const UINT dpi = getDpi && window ? getDpi(Hwnd(window)) : 0;
    return dpi ? dpi / 96.0 : 1.0;
}

bool PointerPosition(WindowHandle window, std::int32_t* x, std::int32_t* y) {
    POINT point;
    if (!GetCursorPos(&point) || !ScreenToClient(Hwnd(window), &point)) return false;
    *x = point.x;
    *y = point.y;
    return true;
}

bool TakeMessage(Message* out) {
    if (!out) return false;
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    gTaken = msg;
    out->window = reinterpret_cast<WindowHandle>(msg.hwnd);
    out->message = msg.message;
    out->wParam = static_cast<WParam>(msg.wParam);
    out->lParam = static_cast<LParam>(msg.lParam);
    return true;
}

void WaitForMessages(std::uint32_t timeoutMs) {
    // kWaitForever is INFINITE. Folder watches end the wait too.
    constexpr std::size_t kMost = MAXIMUM_WAIT_OBJECTS - 1;
    HANDLE watches[kMost];
    const auto count = static_cast<DWORD>(win32::FolderWatchHandles(watches, kMost));
    // MWMO_INPUTAVAILABLE: input a peek already saw still ends the wait.
    const DWORD woke = MsgWaitForMultipleObjectsEx(count, count ? watches : nullptr, timeoutMs,
                                                   QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke >= WAIT_OBJECT_0 && woke < WAIT_OBJECT_0 + count)
        win32::FolderWatchSignalled(watches[woke - WAIT_OBJECT_0]);
}

void DispatchTaken(const Message& message) {
    MSG msg = gTaken;
    const bool same = msg.hwnd == Hwnd(message.window) && msg.message == message.message &&
                      msg.wParam == static_cast<WPARAM>(message.wParam) &&
                      msg.lParam == static_cast<LPARAM>(message.lParam);
    if (!same) {
        const DWORD pos = GetMessagePos();
        msg.hwnd = Hwnd(message.window);
        msg.message = message.message;
        msg.wParam = static_cast<WPARAM>(message.wParam);
        msg.lParam = static_cast<LPARAM>(message.lParam);
        msg.time = static_cast<DWORD>(GetMessageTime());
        msg.pt.x = static_cast<short>(LOWORD(pos));
        msg.pt.y = static_cast<short>(HIWORD(pos));
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void PostWindowMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                       LParam lParam) {
    PostMessageW(Hwnd(window), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

LResult DefaultWindowProc(WindowHandle window, std::uint32_t message, WParam wParam,
                          LParam lParam) {
    return static_cast<LResult>(DefWindowProcW(Hwnd(window), message,
                                               static_cast<WPARAM>(wParam),
                                               static_cast<LPARAM>(lParam)));
}

}  // namespace platform
