#include "app/tester_app.h"

#include <cstring>

TesterApp::TesterApp() : viewer(std::make_unique<ViewerScene>(this)) {}

bool TesterApp::Init() {
    const bool created = GLApp::Init();
    if (created) BuildMenuBar();
    initialised = true;
    return created;
}

void TesterApp::Quit() {
    // A second request (say a close dispatched behind Exit) must not write
    // a settings file without the viewer's values.
    if (quitting_) return;
    quitting_ = true;
    WriteSettings();
    viewer.reset();
    GLApp::Quit();
}

std::string TesterApp::SettingsPath() const {
    return exeDir + platform::kPathSeparator + kSettingsName;
}

int AppMain(platform::InstanceHandle instance) {
    // The application lives until the process ends.
    auto* app = new TesterApp;
    gApplication = app;
    if (!app->Init()) return 0;

    char path[platform::kMaxPath] = {};
    platform::ExecutablePath(path, sizeof path);
    if (char* cut = std::strrchr(path, platform::kPathSeparator)) *cut = '\0';
    app->exeDir = path;

    app->ReadSettings();
    return app->Run(instance, nullptr, "", 0, app->viewer.get());
}
