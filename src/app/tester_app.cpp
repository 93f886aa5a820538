#include "app/tester_app.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/install_paths.h"
#include "app/options_file.h"
#include "app/settings_file.h"

TesterApp::TesterApp() : viewer(std::make_unique<ViewerScene>(this, this)) {}

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

std::string TesterApp::HudDir() const {
    return systemDir.empty() ? exeDir + platform::kPathSeparator + "system" : systemDir;
}

std::string TesterApp::SettingsPath() const {
    return (settingsDir.empty() ? exeDir : settingsDir) + platform::kPathSeparator + kSettingsName;
}

std::string TesterApp::OptionsPath() const {
    return (settingsDir.empty() ? exeDir : settingsDir) + platform::kPathSeparator + kOptionsName;
}

int AppMain(platform::InstanceHandle instance, const std::vector<std::string>& arguments) {
    // The application lives until the process ends.
    auto* app = new TesterApp;
    gApplication = app;
    // A file named at launch is decoded while the window and context are made.
    if (!arguments.empty()) {
        const OpenTarget target = ResolveOpenTarget(arguments.front());
        if (target.kind == OpenTarget::File) app->viewer->PrefetchStart(target.file);
    }
    if (!app->Init()) return 0;

    const std::string path = platform::ExecutablePath();
    app->exeDir = path.substr(0, std::min(path.size(), path.rfind(platform::kPathSeparator)));
    const InstallPaths paths =
        ChooseInstallPaths(app->exeDir, IsFolder(app->exeDir + platform::kPathSeparator + "system"),
                           std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"), std::getenv("APPDATA"));
    app->systemDir = paths.systemDir;
    app->settingsDir = paths.settingsDir;

    app->ReadSettings();
    // The first argument only: one folder is on show at a time.
    if (!arguments.empty()) app->OpenPath(arguments.front(), false);
    return app->Run(instance, nullptr, "", 0, app->viewer.get());
}

void TesterApp::ReadSettings() {
    Settings settings;
    settings.windowRect = windowRect;
    if (viewer) {
        settings.showHud = viewer->showHud;
        settings.autoRefresh = viewer->autoRefresh;
    }
    files::OpenStatus status = files::OpenStatus::Missing;
    if (ReadSettingsFile(SettingsPath(), &settings, &status)) {
        if (settings.editorPath) editorPath = settings.editorPath;
        windowRect = settings.windowRect;
        if (viewer) {
            if (settings.textureDir) viewer->SetDirectory(settings.textureDir->c_str(), false);
            viewer->showHud = settings.showHud;
            viewer->autoRefresh = settings.autoRefresh;
        }
    }
    keepSettingsFile_ = status == files::OpenStatus::Unreadable;

    // Read whenever it is there, with or without the settings file.
    ViewOptions options;
    status = files::OpenStatus::Missing;
    if (ReadOptionsFile(OptionsPath(), &options, &status) && viewer) {
        viewer->readout = options.readout;
        viewer->tileMarks = options.tileMarks;
        viewer->seamView = options.seamView;
        RepeatModeFromName(options.repeat.c_str(), &viewer->repeatMode);
        viewer->allImageTypes = options.allImageTypes;
    }
    keepOptionsFile_ = status == files::OpenStatus::Unreadable;

    // A file the user made unreadable is left as it is, and they are told
    // once why their settings will not stick.
    std::string kept;
    const auto tell = [&kept](bool keep, const std::string& path, const char* name) {
        if (!keep) return;
        std::fprintf(stderr, "zintra: %s cannot be read; it is left as it is\n", path.c_str());
        kept += (kept.empty() ? "" : ", ") + std::string(name);
    };
    tell(keepSettingsFile_, SettingsPath(), kSettingsName);
    tell(keepOptionsFile_, OptionsPath(), kOptionsName);
    if (!kept.empty()) startNotice_ = kept + " cannot be read, left as it is";
}

void TesterApp::WriteSettings() {
    Settings settings;
    settings.editorPath = editorPath;
    if (viewer) {
        settings.textureDir = viewer->textureDir;
        settings.showHud = viewer->showHud;
        settings.autoRefresh = viewer->autoRefresh;
    }
    settings.windowRect = platform::WindowOuterRect(window);
    if (!platform::WindowPositionKnown()) {
        // Where the window system hides the place (Wayland), the one given
        // at start stands with the size the window has now, so the next run
        // elsewhere puts it where it was.
        platform::Rect& r = settings.windowRect;
        r = {windowRect.left, windowRect.top, windowRect.left + (r.right - r.left),
             windowRect.top + (r.bottom - r.top)};
    }
    const std::string dir = settingsDir.empty() ? exeDir : settingsDir;
    // The user's settings folder may not exist yet.
    const bool saved =
        keepSettingsFile_ || (MakeFolders(dir) && WriteSettingsFile(SettingsPath(), settings));
    if (!saved && !saveFailureShown_) {
        saveFailureShown_ = true;
        ShowMessage("Zintra", ("The settings could not be saved in\n\n" + dir +
                               "\n\nThe folder may be read-only. The previous settings are kept.").c_str());
    }
    if (!viewer) return;
    ViewOptions options;
    options.readout = viewer->readout;
    options.tileMarks = viewer->tileMarks;
    options.seamView = viewer->seamView;
    options.repeat = RepeatModeName(viewer->repeatMode);
    options.allImageTypes = viewer->allImageTypes;
    if (!keepOptionsFile_) WriteOptionsFile(OptionsPath(), options);
}
