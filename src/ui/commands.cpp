// Menu commands, the mouse, and the refresh when the window regains focus.
#include <string>
#include <vector>

#include "app/command_ids.h"
#include "app/tester_app.h"
#include "ui/help_texts.h"
#include "viewer/command_table.h"

namespace {

std::int16_t LowSigned(platform::LParam value) {
    return static_cast<std::int16_t>(LOWORD(value));
}

std::int16_t HighSigned(platform::LParam value) {
    return static_cast<std::int16_t>(HIWORD(value));
}

}  // namespace

bool TesterApp::OnCommand(WindowHandle, std::uint32_t, WParam wParam, LParam) {
    const WParam id = wParam;
    if (id == IDM_CHOOSE_EDITOR) {
        ChooseEditor();
        return true;
    }
    if (id == IDM_ALL_IMAGE_TYPES) {
        if (viewer) {
            viewer->allImageTypes = !viewer->allImageTypes;
            platform::SetMenuItemChecked(optionsMenu, IDM_ALL_IMAGE_TYPES, viewer->allImageTypes);
            viewer->Rescan(false);
        }
        return true;
    }
    if (const ToolBinding* binding = BindingForCommand(static_cast<unsigned>(id))) {
        if (viewer) viewer->RunTool(binding->tool);
        return true;
    }
    if (id < IDM_BROWSE) return false;
    // Messages that arrive after Quit released the viewer change nothing.
    if (!viewer) return true;

    switch (id) {
    case IDM_BROWSE:
        BrowseForDirectory();
        break;
    case IDM_EDIT:
        LaunchEditor();
        break;
    case IDM_EXIT:
        Quit();
        return true;
    case IDM_SHOW_HUD:
        viewer->showHud = !viewer->showHud;
        platform::SetMenuItemChecked(optionsMenu, IDM_SHOW_HUD, viewer->showHud);
        break;
    case IDM_AUTO_REFRESH:
        viewer->autoRefresh = !viewer->autoRefresh;
        platform::SetMenuItemChecked(optionsMenu, IDM_AUTO_REFRESH, viewer->autoRefresh);
        break;
    case IDM_CONTROLS:
        ShowMessage(kControlsCaption, ControlsText().c_str());
        break;
    case IDM_CHANGE_LOG:
        ShowMessage(kChangeLogCaption, kChangeLogText);
        break;
    case IDM_ABOUT:
        ShowMessage(kAboutCaption, kAboutText);
        break;
    case IDM_REFRESH:
        viewer->Rescan(true);
        break;
    case IDM_NEXT:
        viewer->StepTexture(true, false);
        break;
    case IDM_PREV:
        viewer->StepTexture(false, false);
        break;
    case IDM_MOVE:
    case IDM_ZOOM:
    case IDM_ROTATE: {
        // The pointer moved while the menu was open, unseen by the viewer.
        std::int32_t x = 0, y = 0;
        if (platform::PointerPosition(window, &x, &y)) viewer->StartModeAt(x, y);
        if (id == IDM_MOVE) viewer->moveMode = true;
        if (id == IDM_ZOOM) viewer->zoomMode = true;
        if (id == IDM_ROTATE) viewer->rotateMode = true;
        break;
    }
    default: {
        // Identifiers past the list wrap to entry 0 in JumpTo; keep the
        // index inside 16 bits so a huge one cannot wrap negative.
        const WParam index = id - IDM_JUMP_FIRST;
        viewer->JumpTo(static_cast<std::int16_t>(index > 0x7FFF ? 0x7FFF : index));
        break;
    }
    }
    return true;
}

void TesterApp::OnMouse(WindowHandle, std::uint32_t message, WParam wParam, LParam lParam) {
    if (!viewer) return;
    const int x = LowSigned(lParam);
    const int y = HighSigned(lParam);
    const bool anyMode = viewer->moveMode || viewer->rotateMode || viewer->zoomMode;

    switch (message) {
    case WM_MOUSEMOVE:
        viewer->SetMousePosition(x, y);
        break;
    case WM_LBUTTONDOWN:
        if (popupShown) popupShown = false;
        else viewer->moveMode = true;
        break;
    case WM_MBUTTONDOWN:
        if (popupShown) popupShown = false;
        else viewer->rotateMode = true;
        break;
    case WM_LBUTTONUP:
    case WM_MBUTTONUP:
    case WM_RBUTTONUP:
        if (anyMode) {
            viewer->EndDrag();
        } else if (message == WM_RBUTTONUP) {
            const platform::Rect outer = platform::WindowOuterRect(window);
            popupShown = true;
            ShowPopup(commandMenu, outer.left + x, outer.top + y + 40);
        }
        break;
    case WM_MOUSEWHEEL: {
        if (viewer->zoomMode) break;
        const std::int16_t delta = static_cast<std::int16_t>(HIWORD(wParam));
        if (delta == 0) break;
        // Only the sign counts: every message gives three steps.
        for (int i = 0; i < 3 && viewer; ++i) viewer->ZoomStep(delta > 0);
        break;
    }
    default:
        break;
    }
}

bool TesterApp::OnMessage(WindowHandle, std::uint32_t message, WParam wParam, LParam) {
    if (message == WM_DROPFILES) {
        // Opened as a command-line argument would be; the first name only.
        const std::vector<std::string> dropped = platform::DroppedPaths(wParam);
        if (!dropped.empty() && viewer && currentScene == viewer.get()) OpenPath(dropped.front(), true);
        return true;
    }
    if (message != WM_SETFOCUS) return false;
    // Only while the viewer is on show: not before it was entered, not
    // after Quit released it.
    if (!initialised || !viewer || currentScene != viewer.get() || !viewer->autoRefresh)
        return false;
    viewer->Rescan(false);
    return true;
}
