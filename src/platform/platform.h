// The one interface between the portable core and the window system.
// Each backend (qt/, win32/, headless/) defines every function below;
// the executable links exactly one of them. Events reach the core as
// Win32-style messages through the WindowProc given at class registration.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/messages.h"

namespace platform {

using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

struct InstanceTag;
struct WindowTag;
struct DeviceTag;
struct ContextTag;
struct MenuTag;
struct SearchTag;
struct FolderWatchTag;
using InstanceHandle = InstanceTag*;
using WindowHandle = WindowTag*;
using DeviceContext = DeviceTag*;
using RenderContext = ContextTag*;
using MenuHandle = MenuTag*;
using SearchHandle = SearchTag*;
using FolderWatchHandle = FolderWatchTag*;

struct Rect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct Message {
    WindowHandle window = nullptr;
    std::uint32_t message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
};

using WindowProc = LResult (*)(WindowHandle, std::uint32_t, WParam, LParam);

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// Size of the buffers the core hands to path-returning calls.
constexpr std::size_t kMaxPath = 260;
constexpr std::size_t kDialogPath = 512;
// A file name of 255 UTF-16 units, the most a folder holds, in UTF-8.
constexpr std::size_t kMaxName = 3 * 255 + 1;

// --- Process -----------------------------------------------------------
// The command line's arguments in UTF-8, without the program's name.
// `argc` and `argv` are main's; Windows reads its own wide command line.
std::vector<std::string> ProgramArguments(int argc, char** argv);
// Starts the window system, then runs `body` with the arguments the
// system left once it took its own; returns body's result.
int RunWindowSystem(int argc, char** argv, int (*body)(const std::vector<std::string>& arguments));
enum class Stream { Output, Error };
// Writes UTF-8 text where the one who started the program reads it: the
// terminal or console it was started from, or where that was redirected.
// False when the text reached nobody.
bool WriteStandard(Stream stream, const std::string& text);
InstanceHandle ModuleInstance();
// Full path of the running executable, whole however long; empty on failure.
std::string ExecutablePath();

// --- Window and GL context, one call per step of the host's creation ---
bool RegisterWindowClass(InstanceHandle instance, WindowProc proc);
bool UnregisterWindowClass(InstanceHandle instance);
// Creates the top-level window with the given client size (hidden).
WindowHandle CreateMainWindow(InstanceHandle instance, const char* title, int clientWidth,
                              int clientHeight);
bool DestroyMainWindow(WindowHandle window);
DeviceContext AcquireDeviceContext(WindowHandle window);
bool ReleaseDeviceContext(WindowHandle window, DeviceContext dc);
// Double-buffered RGBA with a 16-bit depth buffer; returns 0 when none fits.
int ChooseSurfaceFormat(DeviceContext dc, int colourBits);
bool SetSurfaceFormat(DeviceContext dc, int format, int colourBits);
RenderContext CreateGLContext(DeviceContext dc);
// MakeGLContextCurrent(nullptr, nullptr) releases the current context.
bool MakeGLContextCurrent(DeviceContext dc, RenderContext rc);
bool DeleteGLContext(RenderContext rc);
// Show, bring to the foreground and give the keyboard focus.
void ShowMainWindow(WindowHandle window);
void SwapWindowBuffers(DeviceContext dc);
// The part of each screen that windows may use (no task bars or panels),
// in the coordinates of window rectangles; empty when unknown.
std::vector<Rect> ScreenWorkAreas();
// Moves and sizes the window to an outer rectangle in screen coordinates.
void PlaceWindow(WindowHandle window, const Rect& outer);
Rect WindowOuterRect(WindowHandle window);
// The names (UTF-8) dropped onto the window with the WM_DROPFILES whose
// wParam is `drop`; the drop is released.
std::vector<std::string> DroppedPaths(WParam drop);
// Puts UTF-8 text on the clipboard.
void CopyText(WindowHandle window, const char* text);
// Replaces the title bar's text (UTF-8).
void SetWindowTitle(WindowHandle window, const char* title);
// Whether the window system tells programs where their windows are;
// Wayland does not (their place then reads as 0, 0).
bool WindowPositionKnown();
// Device pixels per logical pixel where the window is (1 at 96 DPI).
double WindowScale(WindowHandle window);
// The pointer's place now, in the GL area's client pixels; false if unknown.
bool PointerPosition(WindowHandle window, std::int32_t* x, std::int32_t* y);

// --- Messages ----------------------------------------------------------
// Takes the next queued message without waiting; false when none.
bool TakeMessage(Message* out);
// Translates and dispatches a taken message to the window procedure.
void DispatchTaken(const Message& message);
// Sleeps until a message is queued, a folder watch has news or timeoutMs
// passed (kWaitForever: no time limit); returns at once when one is
// queued already.
constexpr std::uint32_t kWaitForever = 0xFFFFFFFFu;
void WaitForMessages(std::uint32_t timeoutMs);
void PostWindowMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                       LParam lParam);
LResult DefaultWindowProc(WindowHandle window, std::uint32_t message, WParam wParam,
                          LParam lParam);

// --- Menus -------------------------------------------------------------
MenuHandle NewMenuBar();
// A drop-down, submenu or popup menu.
MenuHandle NewMenu();
void AppendMenuItem(MenuHandle menu, std::uint32_t id, const char* label);
void AppendMenuSubmenu(MenuHandle menu, MenuHandle submenu, const char* label);
void AppendMenuSeparator(MenuHandle menu);
void SetMenuItemChecked(MenuHandle menu, std::uint32_t id, bool checked);
// Discards the menu and every submenu it holds.
void DestroyMenuTree(MenuHandle menu);
void AttachMenuBar(WindowHandle window, MenuHandle bar);
// Shows a popup with its top-left corner at a screen point and returns
// when it closes; a chosen entry arrives as WM_COMMAND.
void TrackPopup(MenuHandle menu, int x, int y, WindowHandle owner);

// --- Dialogs and shell -------------------------------------------------
int ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                   std::uint32_t flags);
// Folder chooser. `path` (kDialogPath bytes) holds the folder to open in
// (or "") on entry and the chosen folder on success.
bool ChooseFolder(WindowHandle owner, const char* title, char* path);
// Editor chooser; `path` (kDialogPath bytes) holds the pre-filled name
// on entry and the chosen program on success.
bool ChooseEditor(WindowHandle owner, char* path);
// Starts `program` with `argument` as its one parameter; false when it
// could not be started.
bool LaunchEditor(WindowHandle owner, const char* program, const char* argument);

// --- Directory search --------------------------------------------------
struct FindData {
    char name[kMaxName];
};
// `pattern` is "<dir><sep>*.png"; nullptr when nothing matches.
SearchHandle SearchFirst(const char* pattern, FindData* data);
bool SearchNext(SearchHandle search, FindData* data);
void SearchClose(SearchHandle search);
// Whether `dir` is there but cannot be listed (no right to read it).
bool FolderUnreadable(const char* dir);

// --- File stamps -------------------------------------------------------
// What tells a file (or folder) changed: size and modification time.
struct FileStamp {
    bool exists = false;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // nanoseconds, or the finest the system has
    bool operator==(const FileStamp& o) const {
        return exists == o.exists && size == o.size && modified == o.modified;
    }
    bool operator!=(const FileStamp& o) const { return !(*this == o); }
};
// Never opens the file, so it cannot stand in an editor's way.
FileStamp StampOf(const char* path);
// Whether another program holds the file so that it cannot be read now
// (open without sharing, or locked), as an editor may while it saves.
bool FileInUse(const char* path);

// --- Folder watches ---------------------------------------------------
// The system's word that something in a folder changed: an entry added,
// removed or renamed, or a file's contents or stamps. nullptr where the
// system gives none for `dir` (no such folder, too many watches, a file
// system that sends nothing): the caller then looks by itself.
FolderWatchHandle OpenFolderWatch(const char* dir);
enum class FolderNews { None, Changed, Lost };
// What came since the last call. Lost: the watch stopped telling (the
// folder went, or news was dropped for good); it stays lost.
FolderNews TakeFolderNews(FolderWatchHandle watch);
void CloseFolderWatch(FolderWatchHandle watch);

// --- Clock -------------------------------------------------------------
// High-resolution counter; false when the platform has none.
bool CounterFrequency(std::int64_t* countsPerSecond);
bool CounterNow(std::int64_t* count);
// Millisecond timer that wraps at 2^32.
std::uint32_t MillisecondTime();

}  // namespace platform
