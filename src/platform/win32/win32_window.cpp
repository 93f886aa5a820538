// The window class, the window, its GL pixel format and context, and the
// message queue, each step one Win32/WGL call whose success is reported.
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/win32_requests.h"

namespace {

constexpr char kClassName[] = "OpenGL";
constexpr DWORD kExStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;

platform::WindowProc gProc = nullptr;

// The last message taken, so dispatch hands the system the original
// (with its time and cursor point) rather than a rebuilt copy.
MSG gTaken{};

LRESULT CALLBACK ForwardingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!gProc) return DefWindowProcA(hwnd, message, wParam, lParam);
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
    return reinterpret_cast<InstanceHandle>(GetModuleHandleA(nullptr));
}

bool RegisterWindowClass(InstanceHandle instance, WindowProc proc) {
    if (!proc) return false;
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    wc.lpfnWndProc = ForwardingProc;
    wc.hInstance = Hinstance(instance);
    wc.hIcon = LoadIconA(nullptr, IDI_WINLOGO);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    // Set first: the class may receive messages as soon as a window exists.
    const WindowProc previous = gProc;
    gProc = proc;
    if (!RegisterClassA(&wc)) {
        gProc = previous;
        return false;
    }
    return true;
}

bool UnregisterWindowClass(InstanceHandle instance) {
    return UnregisterClassA(kClassName, Hinstance(instance)) != FALSE;
}

WindowHandle CreateMainWindow(InstanceHandle instance, const char* title, int clientWidth,
                              int clientHeight) {
    RECT rect{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&rect, kStyle, FALSE, kExStyle);
    const HWND hwnd = CreateWindowExA(kExStyle, kClassName, title ? title : "",
                                      kStyle | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                                      rect.right - rect.left, rect.bottom - rect.top, nullptr,
                                      nullptr, Hinstance(instance), nullptr);
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

void SwapWindowBuffers(DeviceContext dc) { SwapBuffers(Hdc(dc)); }

namespace {

BOOL CALLBACK AddWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    MONITORINFO info;
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(monitor, &info)) {
        const RECT& r = info.rcWork;
        reinterpret_cast<std::vector<Rect>*>(data)->push_back(Rect{r.left, r.top, r.right, r.bottom});
    }
    return TRUE;
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
    if (GetWindowRect(Hwnd(window), &rect)) {
        result.left = rect.left;
        result.top = rect.top;
        result.right = rect.right;
        result.bottom = rect.bottom;
    }
    return result;
}

void SetWindowTitle(WindowHandle window, const char* title) {
    // The title is UTF-8; names still in the ANSI code page are taken as such.
    const char* text = title ? title : "";
    UINT codePage = CP_UTF8;
    int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (length <= 0) {
        codePage = CP_ACP;
        length = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    }
    if (length <= 0) return;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text, -1, &wide[0], length);
    SetWindowTextW(Hwnd(window), wide.c_str());
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
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    gTaken = msg;
    out->window = reinterpret_cast<WindowHandle>(msg.hwnd);
    out->message = msg.message;
    out->wParam = static_cast<WParam>(msg.wParam);
    out->lParam = static_cast<LParam>(msg.lParam);
    return true;
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
    DispatchMessageA(&msg);
}

void PostWindowMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                       LParam lParam) {
    PostMessageA(Hwnd(window), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

LResult DefaultWindowProc(WindowHandle window, std::uint32_t message, WParam wParam,
                          LParam lParam) {
    return static_cast<LResult>(DefWindowProcA(Hwnd(window), message,
                                               static_cast<WPARAM>(wParam),
                                               static_cast<LPARAM>(lParam)));
}

}  // namespace platform
