// The folder and editor dialogs, the editor launch and message boxes.
#include <cstring>
#include <filesystem>
#include <string>

#include "app/install_paths.h"
#include "app/settings_file.h"
#include "app/tester_app.h"
#include "ui/window_title.h"

namespace {

constexpr const char* kCaption = "Zintra";

// Copies `text` into a dialog buffer; an over-long one leaves it empty.
void Prefill(char (&buffer)[platform::kDialogPath], const std::string& text) {
    if (text.size() < sizeof buffer) std::memcpy(buffer, text.c_str(), text.size() + 1);
}

}  // namespace

void TesterApp::BrowseForDirectory() {
    char buffer[platform::kDialogPath] = {};
    if (viewer && viewer->textureDir) Prefill(buffer, *viewer->textureDir);
    if (!platform::ChooseFolder(window, "Choose Texture Directory", buffer)) return;
    // The dialog's closing may have run a quit through the nested loop.
    if (!viewer) return;
    if (!StorableInSettings(buffer)) {
        ShowMessage(kCaption, (std::string("This folder's name holds a line break, which the "
                                           "settings file cannot keep:\n\n") + buffer +
                               "\n\nRename the folder or choose another one.").c_str());
        return;
    }
    if (viewer) viewer->SetDirectory(buffer, true);
}

bool TesterApp::ChooseEditor() {
    char buffer[platform::kDialogPath] = "Photoshp.exe";
    if (editorPath) Prefill(buffer, *editorPath);
    if (!platform::ChooseEditor(window, buffer)) return false;
    if (!StorableInSettings(buffer)) {
        ShowMessage(kCaption, (std::string("This editor's path holds a line break, which the "
                                           "settings file cannot keep:\n\n") + buffer).c_str());
        return false;
    }
    editorPath = std::string(buffer);
    return true;
}

void TesterApp::LaunchEditor() {
    const char* current = viewer ? viewer->CurrentTexturePath() : nullptr;
    editorArgument = std::string(current ? current : "");
    // A relative folder could make the path look like an option ("-x/a.png").
    if (!editorArgument->empty()) {
        std::error_code error;
        // UTF-8 both ways: a narrow path is read in the ANSI code page on Windows.
        const std::filesystem::path absolute =
            std::filesystem::absolute(std::filesystem::u8path(*editorArgument), error);
        const auto utf8 = absolute.u8string();
        if (!error) editorArgument = std::string(utf8.begin(), utf8.end());
    }

    if (!editorPath && !ChooseEditor()) return;
    // A launch that names no program starts nothing; skip it.
    if (!editorPath || editorPath->empty()) return;
    if (!platform::LaunchEditor(window, editorPath->c_str(), editorArgument->c_str()))
        ShowMessage(kCaption, ("The editor could not be started:\n\n" + *editorPath +
                               "\n\nChoose another one with File > Choose Editor...").c_str());
}

void TesterApp::OpenPath(const std::string& path, bool now) {
    const bool allImageTypes = !viewer || viewer->allImageTypes;
    const OpenTarget target = ResolveOpenTarget(path, allImageTypes);
    const char* problem = nullptr;
    if (target.kind == OpenTarget::Missing) problem = "There is no such file or folder.";
    if (target.kind == OpenTarget::NotImage)
        problem = allImageTypes ? "It is not a PNG file or a folder, nor another image Zintra reads."
                                : "It is not a PNG file or a folder.";
    if (!problem && (!StorableInSettings(target.folder) ||
                     target.folder.size() > ViewerScene::kMaxDirLength))
        problem = "Its folder's name is too long or holds a line break.";
    if (problem) {
        ShowMessage(kCaption, ("Zintra cannot open\n\n" + path + "\n\n" + problem).c_str());
        return;
    }
    if (!viewer) return;
    viewer->startFile = target.file;
    viewer->SetDirectory(target.folder.c_str(), now);
}

void TesterApp::ShownChanged() {
    if (!viewer) return;
    ShownFile shown;
    shown.folder = viewer->textureDir ? viewer->textureDir->c_str() : nullptr;
    shown.path = viewer->CurrentTexturePath();
    shown.folderUnreadable = viewer->folderUnreadable;
    shown.allImageTypes = viewer->allImageTypes;
    shown.readable = viewer->shownReadable;
    shown.width = viewer->textureWidth;
    shown.height = viewer->textureHeight;
    shown.index = viewer->currentIndex;
    shown.count = viewer->pathCount;
    shown.reloaded = viewer->JustReloaded();
    shown.previous = viewer->comparing;
    shown.readout = viewer->ReadoutText().c_str();
    shown.seams = viewer->SeamText().c_str();
    std::string title = WindowTitle(shown);
    // A notice from the start stays until the first picture gives way.
    if (!startNotice_.empty()) {
        if (noticePath_.empty() && shown.path) noticePath_ = shown.path;
        if (shown.path && noticePath_ != shown.path) startNotice_.clear();
        else title += " \u2014 " + startNotice_;
    }
    platform::SetWindowTitle(window, title.c_str());
    CheckViewMenu();
}

void TesterApp::ShowMessage(const char* caption, const char* text) {
    platform::ShowMessageBox(window, text, caption, MB_OK);
}
