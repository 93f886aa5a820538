// The base application: one window with a double-buffered GL context,
// the key table scenes poll, the current scene and the loop, which sleeps
// while the scene rests.
#pragma once

#include <cstdint>
#include <string>

#include "app/scene.h"
#include "platform/platform.h"

class GLApp {
public:
    using WindowHandle = platform::WindowHandle;
    using WParam = platform::WParam;
    using LParam = platform::LParam;
    using LResult = platform::LResult;

    GLApp();

    virtual bool Init();
    virtual int Run(platform::InstanceHandle instance, platform::InstanceHandle previousInstance,
                    const char* commandLine, int showCommand, Scene* firstScene);
    virtual void SetScene(Scene* scene);
    virtual void Quit();
    virtual bool OnCommand(WindowHandle window, std::uint32_t message, WParam wParam,
                           LParam lParam);
    virtual void OnMouse(WindowHandle window, std::uint32_t message, WParam wParam,
                         LParam lParam);
    virtual bool OnMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                           LParam lParam);

    bool CreateWindowAndContext(const char* title, int width, int height, int bits);
    void DestroyWindowAndContext();
    void ResizeViewport(std::uint16_t width, std::uint16_t height);
    LResult HandleMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                          LParam lParam);

    bool viewportChanged = false;
    std::uint16_t viewportWidth = 0;
    std::uint16_t viewportHeight = 0;
    std::string exeDir;     // no trailing separator
    std::string systemDir;  // the HUD images; empty: "system" beside the executable
    bool keyDown[256] = {};
    // Presses (up-to-down changes) since the scene last took them, so a
    // press and release that both arrive between two passes still count.
    std::uint8_t keyPresses[256] = {};
    int TakeKeyPresses(std::uint8_t key);
    WindowHandle window = nullptr;
    platform::Rect windowRect{100, 100, 612, 612};
    platform::DeviceContext deviceContext = nullptr;
    platform::RenderContext renderContext = nullptr;
    platform::InstanceHandle instance = nullptr;
    Scene* currentScene = nullptr;

protected:
    // The application object lives until the process ends.
    ~GLApp() = default;
};

extern GLApp* gApplication;

// The window procedure: forwards every message to gApplication.
platform::LResult AppWindowProc(platform::WindowHandle window, std::uint32_t message,
                                platform::WParam wParam, platform::LParam lParam);
