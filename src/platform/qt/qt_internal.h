// Shared pieces of the Qt backend. How the Win32 concepts the core speaks
// in map onto Qt here:
//   window (HWND)          MainWindow: a QMainWindow with the menu bar
//   device context (HDC)   GLWindow: the QWindow the GL context draws on
//   GL context (HGLRC)     QOpenGLContext, owned by Backend
//   message queue          Backend::queue, drained by TakeMessage
//   window procedure       Backend::proc, registered as the "class"
//   menu handle (HMENU)    menu_tree data, turned into QMenus when shown
//   nested modal loop      QDialog/QMenu::exec, counted by modalDepth
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QSocketNotifier>
#include <QWindow>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <optional>
#include <vector>

#include "platform/platform.h"

class QAbstractNativeEventFilter;
class QAction;
class QDragEnterEvent;
class QDropEvent;
class QOpenGLContext;
class QMenuBar;

namespace platform {
namespace qt {

class MainWindow;

// The GL area: a native window inside the main window's container.
class GLWindow : public QWindow {
public:
    explicit GLWindow(MainWindow* owner);

    MainWindow* Owner() const { return owner_; }
    // Its owner is being destroyed: events from now on are dropped.
    void Detach() { owner_ = nullptr; }

protected:
    void exposeEvent(QExposeEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool event(QEvent* event) override;

private:
    void PostMouse(std::uint32_t message, QMouseEvent* event);

    MainWindow* owner_;
    bool exposed_ = false;
};

class MainWindow : public QMainWindow {
public:
    MainWindow(const QString& title, int clientWidth, int clientHeight);
    ~MainWindow() override;

    WindowHandle Handle() { return reinterpret_cast<WindowHandle>(this); }
    GLWindow* Surface() const { return surface_; }
    QWidget* Container() const { return container_; }
    // Client size of the GL area in device pixels.
    QSize ClientPixels() const;
    // Posts WM_SIZE unless the same size was the last one posted.
    void PostSize(bool force);
    void Activate();

    // Puts the frame on `outer` (screen coordinates, frame included). The
    // window manager frames the window only after it is shown, so the
    // client is placed again once the frame's margins are known.
    void PlaceOuter(const QRect& outer);
    // The frame's rectangle; the last one known once the window is gone.
    QRect OuterRect();
    // Whether another client destroyed the native window (or its GL area).
    bool NativeGone() const { return nativeGone_; }
    // Called with each native window destroyed: posts the close request
    // when it was this window's, as the window manager's close would.
    void NoteDestroyed(WId id);
    // Notes the frame's rectangle after a move, resize or exposure, and
    // places the client again when the frame's margins changed.
    void TrackFrame();

    MenuHandle attachedBar = nullptr;
    bool menuDirty = false;
    QSize swappedSize;  // the client size at the last swap
    int formatId = 0;
    bool shownOnce = false;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void PostKey(QKeyEvent* event, bool down);
    QMargins FrameMargins() const;
    // Places the client inside `wantedOuter_` with the margins known now.
    void ApplyPlacement();

    GLWindow* surface_;
    QWidget* container_;
    QSize lastPosted_;
    bool wasActive_ = false;
    bool activatedOnce_ = false;
    // Pending until the frame stands there; margins it was placed with.
    std::optional<QRect> wantedOuter_;
    QMargins placedMargins_;
    QRect lastOuter_;
    bool nativeGone_ = false;
    // Virtual key sent for each held physical key, so the release matches
    // the press even when Qt reports another symbol for it (Shift changes).
    std::uint8_t heldVk_[256] = {};
};

// Qt action alive for a command entry, so a check mark set later shows.
struct LiveAction {
    MenuHandle menu;
    std::uint32_t id;
    QPointer<QAction> action;
};

// Everything the backend keeps, in one place.
struct Backend {
    InstanceHandle instance = nullptr;
    WindowProc proc = nullptr;
    std::deque<Message> queue;
    std::vector<std::unique_ptr<MainWindow>> windows;
    std::vector<std::unique_ptr<QOpenGLContext>> contexts;
    std::vector<LiveAction> liveActions;
    // Sees native windows destroyed by other clients.
    std::unique_ptr<QAbstractNativeEventFilter> destroyWatch;
    // Wakes the wait when a folder watch has news.
    std::unique_ptr<QSocketNotifier> folderNews;
    bool newsCame = false;
    int modalDepth = 0;
    bool swapped = false;
    // A swap happened since the windows were last checked (TakeMessage).
    bool probeAfterSwap = false;
    bool cleanupRegistered = false;
    bool screenSaverHeld = false;
    unsigned screenSaverCookie = 0;
};
Backend& State();

// Whether a QApplication runs: without one no widget may be made.
bool HaveApplication();
// Whether Qt talks Wayland, which hides where windows are.
bool OnWayland();

// Local files dropped on the window: kept for DroppedPaths and announced
// with WM_DROPFILES; false (the drop refused) when none is a local file.
bool AcceptDrop(MainWindow* window, QDropEvent* event, bool dropped);
std::vector<std::string>& DroppedNames();

// Live main window for a handle; null for anything else.
MainWindow* FindWindow(WindowHandle window);
MainWindow* FindWindowBySurface(DeviceContext dc);

// Qt key (with its modifiers) to a Win32 virtual-key code; 0 when unmapped.
std::uint8_t VirtualKeyFor(int key, Qt::KeyboardModifiers modifiers);

// Watches for native windows other clients destroy; checks the windows
// before the core draws again after a swap.
void InstallDestroyWatch();
void CheckWindowsBeforeDrawing();

// Queues WM_PAINT for the window unless one waits already.
void RequestPaint(MainWindow* window);

// Nested loops (modal dialogs, popups): the GL window repaints its last
// frame on exposure while one runs, since the core cannot draw then.
void EnterModal();
void LeaveModal();
bool InModal();
bool HasSwapped();

// Menus: rebuilds a window's Qt bar from the data when it changed.
void RefreshMenuBar(MainWindow* window);
void MarkMenusChanged();

// Screen-saver inhibition held while a window is shown.
void InhibitScreenSaver();
void ReleaseScreenSaver();

QWidget* DialogParent(WindowHandle owner);

}  // namespace qt
}  // namespace platform
