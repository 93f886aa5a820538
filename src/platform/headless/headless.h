// Test controls of the headless backend: no window system; messages are
// queued in memory, menus kept as data, dialog answers scripted, and
// message boxes, launches, popups and swaps recorded.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/menu_tree.h"
#include "platform/platform.h"

namespace headless {

// Steps of window creation and teardown that a test can make fail.
enum class Step {
    RegisterClass,
    CreateWindow,
    AcquireDC,
    ChooseFormat,
    SetFormat,
    CreateContext,
    MakeCurrent,
    ReleaseCurrent,
    DeleteContext,
    ReleaseDC,
    DestroyWindow,
    UnregisterClass,
};

struct MessageBoxCall {
    platform::WindowHandle owner;
    std::string text;
    std::string caption;
    std::uint32_t flags;
};

struct LaunchCall {
    std::string program;
    std::string argument;
};

struct PopupCall {
    platform::MenuHandle menu;
    int x, y;
};

struct State {
    std::vector<Step> failing;
    std::vector<std::string> calls;  // every window/context step, in order
    std::deque<platform::Message> queue;
    platform::WindowProc proc = nullptr;
    platform::WindowHandle window = nullptr;
    platform::Rect outerRect{0, 0, 0, 0};
    double scale = 1.0;
    bool positionKnown = true;
    int pointerX = 0, pointerY = 0;  // PointerPosition's answer
    std::string title;
    std::string clipboard;
    std::vector<std::string> dropped;  // DroppedPaths's answer
    std::vector<platform::Rect> workAreas;  // ScreenWorkAreas's answer
    platform::MenuHandle attachedBar = nullptr;
    int swaps = 0;
    std::vector<platform::Message> defaultProcessed;  // reached DefaultWindowProc
    std::vector<MessageBoxCall> messageBoxes;
    std::vector<LaunchCall> launches;
    std::vector<PopupCall> popups;
    int folderDialogs = 0;
    std::string folderStart;  // the folder the last folder dialog opened in
    int editorDialogs = 0;
    std::string editorPrefill;
    std::optional<std::string> folderAnswer;  // none: cancelled
    std::optional<std::string> editorAnswer;  // none: cancelled
    bool launchFails = false;
    // Runs inside a modal call (message box, dialog, popup), as a nested
    // loop would dispatch messages meanwhile.
    std::function<void()> whileModal;
    // An entry chosen in the next popup (posted as WM_COMMAND); 0: none.
    std::uint32_t popupChoice = 0;
    // WaitForMessages returns at once; it counts its calls, keeps the last
    // timeout, and runs this first, as messages would arrive meanwhile.
    int waits = 0;
    std::uint32_t lastWaitMs = 0;
    std::function<void()> whileWaiting;
    // Runs after every swap.
    std::function<void()> afterSwap;
};

State& Get();
// Forgets everything, including every menu.
void Reset();
// Calls the registered window procedure directly, as SendMessage does.
platform::LResult Send(std::uint32_t message, platform::WParam wParam = 0,
                       platform::LParam lParam = 0);
// Queues a message for TakeMessage.
void Post(std::uint32_t message, platform::WParam wParam = 0, platform::LParam lParam = 0);
// Labels of a menu's entries, "-" for a separator, in order.
std::vector<std::string> Labels(platform::MenuHandle menu);

}  // namespace headless
