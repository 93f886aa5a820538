// The catalogue's targets through the real Qt backend (offscreen): the
// whole focus refresh against reloading the file on show, and a rescan of
// a large folder against two bare passes of the directory search.
#include <QApplication>
#include <QMenuBar>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/tester_app.h"
#include "bench_support.h"
#include "platform/qt/qt_internal.h"
#include "render/texture_bank.h"

namespace {

constexpr int kRepetitions = 9;

// Everything the host loop does between two frames when nothing is queued:
// Qt's events, deferred deletes and the lazy menu bar rebuild.
void Drain() {
    platform::Message message;
    while (platform::TakeMessage(&message)) {
        if (message.message == WM_QUIT) break;
        platform::DispatchTaken(message);
    }
}

bool MakeFolder(const std::string& dir, int count, unsigned bigSide) {
    std::filesystem::create_directories(dir);
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/tile_%05d.png", i);
        const bool big = i == 0 && bigSide > 0;
        if (!bench::WriteTexturePng(dir + name, big ? bigSide : 8, big ? bigSide : 8,
                                    big ? bench::Content::Painted : bench::Content::Flat))
            return false;
    }
    return true;
}

int CountActions(platform::WindowHandle window) {
    platform::qt::MainWindow* w = platform::qt::FindWindow(window);
    return w ? int(w->menuBar()->findChildren<QAction*>().size()) : -1;
}

void TwoSearchPasses(const std::string& dir) {
    const std::string pattern = dir + platform::kPathSeparator + "*.png";
    for (int pass = 0; pass < 2; ++pass) {
        platform::FindData data{};
        platform::SearchHandle search = platform::SearchFirst(pattern.c_str(), &data);
        if (!search) continue;
        while (platform::SearchNext(search, &data)) {
        }
        platform::SearchClose(search);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);

    bench::TempFolder folder;
    if (!folder.ok()) return 1;
    const std::string exeDir = folder.path() + "/exe";
    const std::string focusDir = folder.path() + "/focus";
    const std::string manyDir = folder.path() + "/many";
    std::filesystem::create_directories(exeDir + "/system");
    for (const char* hud : {"legal.png", "web.png", "controls.png", "mouse.png"})
        if (!bench::WriteTexturePng(exeDir + "/system/" + hud, 16, 16, bench::Content::Flat))
            return 1;
    if (!MakeFolder(focusDir, 2000, 1024) || !MakeFolder(manyDir, 10000, 0)) {
        std::printf("cannot write the inputs\n");
        return 1;
    }
    const std::string onShow = focusDir + "/tile_00000.png";

    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    bench::SoftwareContext context;
    if (!context.ok()) {
        std::printf("no OSMesa context\n");
        return 1;
    }

    // The host without its Qt GL context: GL runs on the OSMesa one.
    auto app = std::make_unique<TesterApp>();
    gApplication = app.get();
    app->exeDir = exeDir;
    app->instance = platform::ModuleInstance();
    if (!platform::RegisterWindowClass(app->instance, AppWindowProc)) return 1;
    app->window = platform::CreateMainWindow(app->instance, "Zintra", 512, 512);
    if (!app->window) return 1;
    app->BuildMenuBar();
    app->initialised = true;
    app->ResizeViewport(512, 512);
    ViewerScene& viewer = *app->viewer;
    viewer.SetDirectory(focusDir.c_str(), false);
    app->currentScene = &viewer;
    viewer.Enter();
    Drain();
    if (viewer.pathCount != 2000 || viewer.textureWidth != 1024) {
        std::printf("focus folder not loaded (%d files)\n", int(viewer.pathCount));
        return 1;
    }

    const bench::Pair focus = bench::MedianPair(
        kRepetitions,
        [&] {
            app->OnMessage(app->window, WM_SETFOCUS, 0, 0);
            Drain();
            glFinish();
        },
        [&] {
            std::uint16_t size[2];
            gTextureBank.ResetPool(2, 1);
            gTextureBank.LoadPng(onShow.c_str(), size, 2, 1);
            glFinish();
        });
    std::printf("  focus refresh %.1f ms, reload alone %.1f ms, %d Qt actions in the bar\n",
                focus.a, focus.b, CountActions(app->window));

    viewer.SetDirectory(manyDir.c_str(), true);
    Drain();
    if (viewer.pathCount != 10000) {
        std::printf("large folder not scanned (%d files)\n", int(viewer.pathCount));
        return 1;
    }
    const bench::Pair rescan = bench::MedianPair(
        kRepetitions,
        [&] {
            viewer.Rescan(false);
            Drain();
        },
        [&] { TwoSearchPasses(manyDir); });
    std::printf("  rescan %.1f ms (8 x 8 file on show), two search passes %.1f ms\n", rescan.a,
                rescan.b);

    bool pass = true;
    pass &= bench::Report("focus_refresh_2000", focus.a / focus.b, 1.5);
    pass &= bench::Report("rescan_10000", rescan.a / rescan.b, 3);

    app->Quit();
    Drain();
    platform::DestroyMainWindow(app->window);
    app->window = nullptr;
    gTextureBank.ReleaseAll();
    return pass ? 0 : 3;
}
