// The application: the window host plus the settings file, the menus,
// the command handlers and the one ViewerScene it owns.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/gl_app.h"
#include "viewer/viewer_host.h"
#include "viewer/viewer_scene.h"

class TesterApp final : public GLApp, public ViewerHost {
public:
    static constexpr const char* kSettingsName = "zintra.cfg";
    static constexpr const char* kOptionsName = "zintra.ini";
    std::string settingsDir;  // empty: beside the executable

    TesterApp();

    bool Init() override;
    void Quit() override;
    bool OnCommand(WindowHandle window, std::uint32_t message, WParam wParam,
                   LParam lParam) override;
    void OnMouse(WindowHandle window, std::uint32_t message, WParam wParam,
                 LParam lParam) override;
    bool OnMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                   LParam lParam) override;

    // Settings file beside the executable.
    // Opens a folder, or a PNG file's folder with that file on show, as a
    // command-line argument or a dropped name asks; anything else gets a
    // message and changes nothing. `now`: scan at once (else at Enter).
    void OpenPath(const std::string& path, bool now);

    std::string SettingsPath() const;
    std::string OptionsPath() const;
    void ReadSettings();
    void WriteSettings();

    // Menus.
    void BuildMenuBar();
    void BuildCommandMenu() override;
    void ShowPopup(platform::MenuHandle menu, int x, int y);
    // The View menu's check marks.
    void CheckViewMenu();

    bool HoldsViewer(const ViewerScene* scene) const override { return viewer.get() == scene; }
    // The viewer's view of the window host.
    const bool* KeyTable() const override { return keyDown; }
    int TakeKeyPresses(std::uint8_t key) override { return GLApp::TakeKeyPresses(key); }
    int ViewportWidth() const override { return viewportWidth; }
    int ViewportHeight() const override { return viewportHeight; }
    bool ViewportChanged() const override { return viewportChanged; }
    void SetViewportChanged(bool changed) override { viewportChanged = changed; }
    double DisplayScale() const override { return platform::WindowScale(window); }
    platform::WindowHandle Window() const override { return window; }
    void PresentFrame() override { platform::SwapWindowBuffers(deviceContext); }
    std::string HudDir() const override;
    // Names what is on show in the title.
    void ShownChanged() override;

    // Dialogs.
    void BrowseForDirectory() override;
    void LaunchEditor();
    // Lets the user pick the editor (again); false when cancelled or refused.
    bool ChooseEditor();
    void ShowMessage(const char* caption, const char* text);

    std::optional<std::string> editorPath;
    std::optional<std::string> editorArgument;
    bool popupShown = false;
    bool initialised = false;
    platform::MenuHandle menuBar = nullptr;
    platform::MenuHandle fileMenu = nullptr;
    platform::MenuHandle optionsMenu = nullptr;
    platform::MenuHandle helpMenu = nullptr;
    platform::MenuHandle viewMenu = nullptr;
    platform::MenuHandle commandMenu = nullptr;
    std::unique_ptr<ViewerScene> viewer;

private:
    bool quitting_ = false;
    bool saveFailureShown_ = false;
    // Files there at start but unreadable: never written over.
    bool keepSettingsFile_ = false;
    bool keepOptionsFile_ = false;
    // Said in the title until the first picture gives way to another.
    std::string startNotice_;
    std::string noticePath_;
};

// Program entry shared by every backend's main; returns the exit status.
// `arguments` are the command line's, without the program's own name.
int AppMain(platform::InstanceHandle instance, const std::vector<std::string>& arguments);
