// The folder and editor dialogs, the editor launch and message boxes.
#include <cstring>

#include "app/tester_app.h"

void TesterApp::BrowseForDirectory() {
    char buffer[platform::kDialogPath] = {};
    if (!platform::ChooseFolder(window, "Choose Texture Directory", buffer)) return;
    // The dialog's closing may have run a quit through the nested loop.
    if (viewer) viewer->SetDirectory(buffer, true);
}

void TesterApp::LaunchEditor() {
    const char* current = viewer ? viewer->CurrentTexturePath() : nullptr;
    editorArgument = std::string(current ? current : "");

    if (!editorPath) {
        char buffer[platform::kDialogPath] = "Photoshp.exe";
        if (platform::ChooseEditor(window, buffer)) editorPath = std::string(buffer);
    }
    // A launch that names no program starts nothing; skip it.
    if (!editorPath || editorPath->empty()) return;
    platform::LaunchEditor(window, editorPath->c_str(), editorArgument->c_str());
}

void TesterApp::ShowMessage(const char* caption, const char* text) {
    platform::ShowMessageBox(window, text, caption, MB_OK);
}
