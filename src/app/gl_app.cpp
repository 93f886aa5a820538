#include "app/gl_app.h"

#include <algorithm>
#include <iterator>

#include "app/window_placement.h"
#include "platform/gl.h"
#include "render/texture_bank.h"

GLApp* gApplication = nullptr;

using platform::LResult;

LResult AppWindowProc(platform::WindowHandle window, std::uint32_t message, platform::WParam wParam,
                      platform::LParam lParam) {
    if (!gApplication) return platform::DefaultWindowProc(window, message, wParam, lParam);
    return gApplication->HandleMessage(window, message, wParam, lParam);
}

namespace {

void ShowError(const char* text) {
    platform::ShowMessageBox(nullptr, text, "ERROR", MB_ICONEXCLAMATION);
}

void ShowShutdownError(const char* text) {
    platform::ShowMessageBox(nullptr, text, "SHUTDOWN ERROR", MB_ICONINFORMATION);
}

// The longest sleep of a loop whose scene names no earlier wake.
constexpr std::uint32_t kRestMs = 500;

}  // namespace

GLApp::GLApp() = default;

bool GLApp::Init() {
    if (!CreateWindowAndContext("Zintra - Zintra", 512, 512, 32)) return false;
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glMatrixMode(GL_PROJECTION);
    glEnable(GL_DEPTH_TEST);
    return true;
}

bool GLApp::CreateWindowAndContext(const char* title, int width, int height, int bits) {
    instance = platform::ModuleInstance();
    if (!platform::RegisterWindowClass(instance, AppWindowProc)) {
        ShowError("Failed To Register The Window Class.");
        return false;
    }

    const char* failure = nullptr;
    int format = 0;
    window = platform::CreateMainWindow(instance, title, width, height);
    if (!window) {
        failure = "Window Creation Error.";
    } else if (!(deviceContext = platform::AcquireDeviceContext(window))) {
        failure = "Can't Create A GL Device Context.";
    } else if ((format = platform::ChooseSurfaceFormat(deviceContext, bits)) == 0) {
        failure = "Can't Find A Suitable PixelFormat.";
    } else if (!platform::SetSurfaceFormat(deviceContext, format, bits)) {
        failure = "Can't Set The PixelFormat.";
    } else if (!(renderContext = platform::CreateGLContext(deviceContext))) {
        failure = "Can't Create A GL Rendering Context.";
    } else if (!platform::MakeGLContextCurrent(deviceContext, renderContext)) {
        failure = "Can't Activate The GL Rendering Context.";
    }
    if (failure) {
        // The box is shown with the window already gone.
        DestroyWindowAndContext();
        ShowError(failure);
        return false;
    }

    platform::ShowMainWindow(window);
    ResizeViewport(static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
    return true;
}

void GLApp::DestroyWindowAndContext() {
    if (renderContext) {
        if (!platform::MakeGLContextCurrent(nullptr, nullptr))
            ShowShutdownError("Release Of DC And RC Failed.");
        if (!platform::DeleteGLContext(renderContext))
            ShowShutdownError("Release Rendering Context Failed.");
        renderContext = nullptr;
    }
    if (deviceContext) {
        if (!platform::ReleaseDeviceContext(window, deviceContext))
            ShowShutdownError("Release Device Context Failed.");
        deviceContext = nullptr;
    }
    if (window) {
        if (!platform::DestroyMainWindow(window)) ShowShutdownError("Could Not Release hWnd.");
        window = nullptr;
    }
    if (!platform::UnregisterWindowClass(instance)) ShowShutdownError("Could Not Unregister Class.");
}

int GLApp::TakeKeyPresses(std::uint8_t key) {
    const int presses = keyPresses[key];
    keyPresses[key] = 0;
    return presses;
}

void GLApp::ResizeViewport(std::uint16_t width, std::uint16_t height) {
    viewportChanged = true;
    viewportWidth = width;
    viewportHeight = height;
    glViewport(0, 0, width, height);
}

platform::LResult GLApp::HandleMessage(WindowHandle hwnd, std::uint32_t message, WParam wParam,
                                       LParam lParam) {
    // Keys let go while another window has the focus send no release:
    // every key counts as up from here (WA_INACTIVE is 0). Presses already
    // counted still act.
    if (message == WM_KILLFOCUS || (message == WM_ACTIVATE && LOWORD(wParam) == 0))
        std::fill(std::begin(keyDown), std::end(keyDown), false);
    switch (message) {
    case WM_SIZE:
        ResizeViewport(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_CLOSE:
        Quit();
        return 0;
    case WM_KEYDOWN:
        // Auto-repeat keeps the key down and is no new press.
        if (!keyDown[wParam & 0xFF] && keyPresses[wParam & 0xFF] < 0xFF) ++keyPresses[wParam & 0xFF];
        keyDown[wParam & 0xFF] = true;
        return 0;
    case WM_KEYUP:
        keyDown[wParam & 0xFF] = false;
        return 0;
    case WM_COMMAND:
        if (OnCommand(hwnd, WM_COMMAND, wParam, lParam)) return 0;
        return platform::DefaultWindowProc(hwnd, message, wParam, lParam);
    case WM_SYSCOMMAND:
        // Compared whole: screen saver and monitor power-down stay off.
        if (wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER) return 0;
        return platform::DefaultWindowProc(hwnd, message, wParam, lParam);
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MOUSEWHEEL:
    case WM_MOUSELEAVE:
        OnMouse(hwnd, message, wParam, lParam);
        return 0;
    default:
        if (OnMessage(hwnd, message, wParam, lParam)) return 0;
        return platform::DefaultWindowProc(hwnd, message, wParam, lParam);
    }
}

int GLApp::Run(platform::InstanceHandle, platform::InstanceHandle, const char*, int,
               Scene* firstScene) {
    // A rectangle saved on a screen that is gone, or edited by hand, must
    // still give a window the user can see and reach.
    windowRect = FitWindowRect(windowRect, platform::ScreenWorkAreas());
    platform::PlaceWindow(window, windowRect);
    SetScene(firstScene);

    platform::Message message;
    // Nothing is on screen yet; after that, whatever a message changed
    // (an uncovered window included) is drawn once.
    bool redraw = true;
    for (;;) {
        if (platform::TakeMessage(&message)) {
            if (message.message == WM_QUIT) break;
            platform::DispatchTaken(message);
            redraw = true;
            continue;
        }
        if (!currentScene) {
            platform::WaitForMessages(kRestMs);
            continue;
        }
        currentScene->Update();
        // Update may have switched scenes or quit.
        if (!currentScene) continue;
        std::uint32_t wake = kRestMs;
        const bool resting = currentScene->Resting(&wake);
        if (!resting || redraw) {
            currentScene->Draw();
            redraw = false;
        }
        if (resting) platform::WaitForMessages(wake);
    }

    DestroyWindowAndContext();
    return static_cast<int>(message.wParam);
}

void GLApp::SetScene(Scene* scene) {
    gTextureBank.SetAlpha(1.0f);
    if (currentScene) currentScene->Leave();
    currentScene = scene;
    if (scene) {
        scene->Enter();
        if (currentScene) currentScene->Update();
    }
}

void GLApp::Quit() {
    currentScene = nullptr;
    SetScene(nullptr);
    platform::PostWindowMessage(window, WM_QUIT, 0, 0);
}

bool GLApp::OnCommand(WindowHandle, std::uint32_t, WParam, LParam) { return false; }

void GLApp::OnMouse(WindowHandle, std::uint32_t, WParam, LParam) {}

bool GLApp::OnMessage(WindowHandle, std::uint32_t, WParam, LParam) { return false; }
