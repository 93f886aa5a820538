// The menu bar (File, Commands, Options, Help) and the Commands menu that
// also opens at the cursor. Menus are replaced whole on every rebuild.
#include <utility>

#include "app/command_ids.h"
#include "app/tester_app.h"
#include "viewer/command_table.h"

void TesterApp::BuildMenuBar() {
    // The previous bar holds the previous drop-downs; discarding it
    // discards them. It never holds the current Commands menu.
    if (menuBar) {
        platform::DestroyMenuTree(menuBar);
    } else {
        platform::DestroyMenuTree(fileMenu);
        platform::DestroyMenuTree(optionsMenu);
        platform::DestroyMenuTree(helpMenu);
        platform::DestroyMenuTree(viewMenu);
    }
    menuBar = fileMenu = optionsMenu = helpMenu = viewMenu = nullptr;

    fileMenu = platform::NewMenu();
    platform::AppendMenuItem(fileMenu, IDM_BROWSE, "Br&owse to...");
    platform::AppendMenuItem(fileMenu, IDM_EDIT, "&Edit");
    platform::AppendMenuItem(fileMenu, IDM_CHOOSE_EDITOR, "&Choose Editor...");
    platform::AppendMenuSeparator(fileMenu);
    platform::AppendMenuItem(fileMenu, IDM_EXIT, "E&xit");

    optionsMenu = platform::NewMenu();
    platform::AppendMenuItem(optionsMenu, IDM_SHOW_HUD, "Show &HUD");
    platform::AppendMenuItem(optionsMenu, IDM_AUTO_REFRESH, "Auto &Refresh");
    platform::AppendMenuItem(optionsMenu, IDM_ALL_IMAGE_TYPES, "All &Image Types");
    if (viewer && viewer->showHud) platform::SetMenuItemChecked(optionsMenu, IDM_SHOW_HUD, true);
    if (viewer && viewer->autoRefresh)
        platform::SetMenuItemChecked(optionsMenu, IDM_AUTO_REFRESH, true);
    if (viewer && viewer->allImageTypes)
        platform::SetMenuItemChecked(optionsMenu, IDM_ALL_IMAGE_TYPES, true);

    viewMenu = platform::NewMenu();
    for (const ToolBinding& binding : kToolBindings) {
        if (!binding.id) continue;
        if (binding.separatorBefore) platform::AppendMenuSeparator(viewMenu);
        platform::AppendMenuItem(viewMenu, binding.id, MenuLabel(binding).c_str());
    }
    CheckViewMenu();

    helpMenu = platform::NewMenu();
    platform::AppendMenuItem(helpMenu, IDM_CONTROLS, "&Controls");
    platform::AppendMenuItem(helpMenu, IDM_CHANGE_LOG, "Change &Log");
    platform::AppendMenuItem(helpMenu, IDM_ABOUT, "&About Zintra");

    menuBar = platform::NewMenuBar();
    platform::AppendMenuSubmenu(menuBar, fileMenu, "&File");
    platform::AppendMenuSubmenu(menuBar, commandMenu, "&Commands");
    platform::AppendMenuSubmenu(menuBar, viewMenu, "&View");
    platform::AppendMenuSubmenu(menuBar, optionsMenu, "&Options");
    platform::AppendMenuSubmenu(menuBar, helpMenu, "&Help");
    platform::AttachMenuBar(window, menuBar);
}

void TesterApp::BuildCommandMenu() {
    // Discarding the old Commands menu also discards the jump list it
    // holds, unless the scan already replaced that list.
    platform::DestroyMenuTree(commandMenu);
    commandMenu = platform::NewMenu();
    const bool hasList = viewer && viewer->pathCount > 0 && viewer->jumpMenu;
    platform::AppendMenuSubmenu(commandMenu, hasList ? viewer->jumpMenu : nullptr, "Jump to...");
    if (viewer && !hasList) viewer->jumpMenu = nullptr;  // went with the old menu
    platform::AppendMenuItem(commandMenu, IDM_REFRESH, "Refresh");
    platform::AppendMenuSeparator(commandMenu);
    platform::AppendMenuItem(commandMenu, IDM_NEXT, "Next");
    platform::AppendMenuItem(commandMenu, IDM_PREV, "Prev");
    platform::AppendMenuSeparator(commandMenu);
    platform::AppendMenuItem(commandMenu, IDM_MOVE, "Move");
    platform::AppendMenuItem(commandMenu, IDM_ZOOM, "Zoom");
    platform::AppendMenuItem(commandMenu, IDM_ROTATE, "Rotate");
    BuildMenuBar();
}

void TesterApp::CheckViewMenu() {
    if (!viewer || !viewMenu) return;
    platform::SetMenuItemChecked(viewMenu, IDM_READOUT, viewer->readout);
    platform::SetMenuItemChecked(viewMenu, IDM_TILE_MARKS, viewer->tileMarks);
    platform::SetMenuItemChecked(viewMenu, IDM_SEAM_VIEW, viewer->seamView);
    const std::pair<unsigned, RepeatMode> modes[] = {{IDM_REPEAT_GRID, RepeatMode::Grid},
                                                     {IDM_REPEAT_ACROSS, RepeatMode::Across},
                                                     {IDM_REPEAT_DOWN, RepeatMode::Down},
                                                     {IDM_REPEAT_MIRRORED, RepeatMode::Mirrored}};
    for (const auto& mode : modes)
        platform::SetMenuItemChecked(viewMenu, mode.first, viewer->repeatMode == mode.second);
}

void TesterApp::ShowPopup(platform::MenuHandle menu, int x, int y) {
    platform::TrackPopup(menu, x, y, window);
}
