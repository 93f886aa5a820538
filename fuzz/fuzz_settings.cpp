// The settings reader on any bytes, through the real file beside the
// "executable" (a scratch folder). Whatever it keeps must be within its
// limits, and what is then written must read back the same.
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "app/tester_app.h"
#include "fuzz_support.h"
#include "platform/headless/headless.h"

namespace {

// A value ending in CR (from a line ending in two) loses it when read back.
bool Writable(const std::string& text) { return text.back() != '\r'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string dir = fuzz::ScratchDir();
    FUZZ_CHECK(fuzz::WriteFile(dir + "/zintra.cfg", data, size));
    headless::Reset();

    TesterApp app;
    app.exeDir = dir;
    app.ReadSettings();
    FUZZ_CHECK(!app.editorPath || app.editorPath->size() <= TesterApp::kMaxEditorLength);
    const auto& textureDir = app.viewer->textureDir;
    FUZZ_CHECK(!textureDir || textureDir->size() <= ViewerScene::kMaxDirLength);
    // A NUL ends a line's value; an empty or "NULL" value means none.
    const std::optional<std::string>* values[] = {&app.editorPath, &textureDir};
    for (const std::optional<std::string>* value : values)
        FUZZ_CHECK(!*value || (!(*value)->empty() && **value != "NULL" &&
                               (*value)->find('\0') == std::string::npos));

    if (app.editorPath && !Writable(*app.editorPath)) return 0;
    if (textureDir && !Writable(*textureDir)) return 0;
    const platform::Rect rect = app.windowRect;
    headless::Get().outerRect = rect;
    app.WriteSettings();

    TesterApp again;
    again.exeDir = dir;
    again.ReadSettings();
    FUZZ_CHECK(again.editorPath == app.editorPath);
    FUZZ_CHECK(again.viewer->textureDir == textureDir);
    FUZZ_CHECK(again.viewer->showHud == app.viewer->showHud);
    FUZZ_CHECK(again.viewer->autoRefresh == app.viewer->autoRefresh);
    FUZZ_CHECK(again.windowRect.left == rect.left && again.windowRect.top == rect.top &&
               again.windowRect.right == rect.right && again.windowRect.bottom == rect.bottom);
    return 0;
}
