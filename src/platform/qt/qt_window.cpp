// The window, its GL surface and context, and the message queue.
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QKeyEvent>
#include <QLibrary>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QScreen>
#include <QSurfaceFormat>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <xcb/xcb.h>

#include "platform/qt/qt_internal.h"

namespace platform {
namespace qt {

Backend& State() {
    static Backend backend;
    return backend;
}

bool HaveApplication() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

namespace {

// Qt objects must go before the application object does.
void CleanupAtExit() {
    Backend& s = State();
    if (QOpenGLContext* current = QOpenGLContext::currentContext()) current->doneCurrent();
    s.contexts.clear();
    s.windows.clear();
    s.queue.clear();
    s.destroyWatch.reset();
}

// Qt says nothing when another X client destroys one of its windows; the
// program would go on drawing to nothing and never save.
class DestroyWatch : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != XCB_DESTROY_NOTIFY) return false;
        const WId id = static_cast<const xcb_destroy_notify_event_t*>(message)->window;
        for (auto& w : State().windows) w->NoteDestroyed(id);
        return false;
    }
};

// Whether the native window still exists; true when that cannot be asked.
// The backend links no X library of its own: the two calls come from the
// one Qt already loaded.
bool NativeWindowAlive(WId id) {
    using GetGeometry = xcb_get_geometry_cookie_t (*)(xcb_connection_t*, xcb_drawable_t);
    using GetGeometryReply =
        xcb_get_geometry_reply_t* (*)(xcb_connection_t*, xcb_get_geometry_cookie_t, xcb_generic_error_t**);
    const QString library = QStringLiteral("xcb");
    static const auto getGeometry =
        reinterpret_cast<GetGeometry>(QLibrary::resolve(library, 1, "xcb_get_geometry"));
    static const auto getGeometryReply =
        reinterpret_cast<GetGeometryReply>(QLibrary::resolve(library, 1, "xcb_get_geometry_reply"));
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection || !getGeometry || !getGeometryReply) return true;
    xcb_generic_error_t* error = nullptr;
    xcb_get_geometry_reply_t* reply =
        getGeometryReply(connection, getGeometry(connection, static_cast<xcb_drawable_t>(id)), &error);
    const bool alive = reply != nullptr;
    std::free(reply);
    std::free(error);
    return alive;
}

// Mesa's software rasteriser asks for the window's size at the first GL
// call after a swap and uses the answer unchecked: for a window another
// client destroyed, that corrupts memory. So, before the core draws again,
// ask first, and have Mesa ask right after (clearing the stencil buffer the
// core neither requests nor uses draws nothing), leaving the other client
// microseconds instead of a whole update to slip in.
void CheckWindowsBeforeDrawing() {
    State().probeAfterSwap = false;
    for (auto& w : State().windows) {
        if (w->NativeGone() || !w->Surface()->handle()) continue;
        const WId surface = w->Surface()->winId();
        if (!NativeWindowAlive(surface)) {
            w->NoteDestroyed(surface);
            continue;
        }
        QOpenGLContext* context = QOpenGLContext::currentContext();
        if (context && context->surface() == w->Surface())
            context->functions()->glClear(GL_STENCIL_BUFFER_BIT);
    }
}

LParam PackPoint(int x, int y) {
    const auto clamp16 = [](int v) {
        return static_cast<std::uint16_t>(static_cast<std::int16_t>(std::clamp(v, -32768, 32767)));
    };
    return static_cast<LParam>(static_cast<std::uint32_t>(clamp16(x)) |
                               (static_cast<std::uint32_t>(clamp16(y)) << 16));
}

WParam MouseKeys(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    WParam keys = 0;
    if (buttons & Qt::LeftButton) keys |= MK_LBUTTON;
    if (buttons & Qt::RightButton) keys |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) keys |= MK_MBUTTON;
    if (modifiers & Qt::ShiftModifier) keys |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier) keys |= MK_CONTROL;
    return keys;
}

QSurfaceFormat FormatFor(int id) {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setVersion(2, 1);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setSwapInterval(1);
    format.setDepthBufferSize(16);
    format.setStencilBufferSize(0);
    if (id == 1) {
        format.setRedBufferSize(8);
        format.setGreenBufferSize(8);
        format.setBlueBufferSize(8);
    } else {
        format.setRedBufferSize(5);
        format.setGreenBufferSize(6);
        format.setBlueBufferSize(5);
    }
    return format;
}

QOpenGLContext* FindContext(RenderContext rc) {
    for (auto& context : State().contexts)
        if (reinterpret_cast<RenderContext>(context.get()) == rc) return context.get();
    return nullptr;
}

// The GL window needs a native window before a context can be made current
// on it, and the core does that before it shows the main window.
bool EnsureNative(MainWindow* window) {
    if (!window->Surface()->handle()) {
        window->winId();
        if (!window->Surface()->handle()) window->Surface()->create();
    }
    return window->Surface()->handle() != nullptr;
}

}  // namespace

// --- GLWindow -------------------------------------------------------------

GLWindow::GLWindow(MainWindow* owner) : owner_(owner) {
    setSurfaceType(QSurface::OpenGLSurface);
    // Keys go to the main window; a focusable GL window lets the menu bar
    // keep the keyboard after it was used.
    setFlag(Qt::WindowDoesNotAcceptFocus);
}

void GLWindow::exposeEvent(QExposeEvent*) {
    if (!owner_) return;
    // The first exposure follows the window manager's framing, which moves
    // and sizes nothing Qt would report.
    owner_->TrackFrame();
    if (!isExposed()) return;
    // A resting core draws only when told: an uncovered window is a paint request.
    if (!InModal()) {
        RequestPaint(owner_);
        return;
    }
    // The core draws only from its own loop; inside a dialog or popup loop
    // show the last frame again instead of stale menu pixels.
    if (!HasSwapped()) return;
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (context && context->surface() == this) {
        context->swapBuffers(this);
        State().probeAfterSwap = true;
    }
}

void GLWindow::resizeEvent(QResizeEvent*) {
    if (owner_) owner_->PostSize(false);
}

void GLWindow::PostMouse(std::uint32_t message, QMouseEvent* event) {
    const qreal ratio = devicePixelRatio();
    const QPointF p = event->position() * ratio;
    PostWindowMessage(owner_->Handle(), message, MouseKeys(event->buttons(), event->modifiers()),
                      PackPoint(qRound(p.x()), qRound(p.y())));
}

void GLWindow::mousePressEvent(QMouseEvent* event) {
    if (owner_->isActiveWindow() && !owner_->Container()->hasFocus())
        owner_->Container()->setFocus(Qt::MouseFocusReason);
    switch (event->button()) {
        case Qt::LeftButton: PostMouse(WM_LBUTTONDOWN, event); break;
        case Qt::RightButton: PostMouse(WM_RBUTTONDOWN, event); break;
        case Qt::MiddleButton: PostMouse(WM_MBUTTONDOWN, event); break;
        default: return;
    }
    event->accept();
}

void GLWindow::mouseReleaseEvent(QMouseEvent* event) {
    switch (event->button()) {
        case Qt::LeftButton: PostMouse(WM_LBUTTONUP, event); break;
        case Qt::RightButton: PostMouse(WM_RBUTTONUP, event); break;
        case Qt::MiddleButton: PostMouse(WM_MBUTTONUP, event); break;
        default: return;
    }
    event->accept();
}

void GLWindow::mouseMoveEvent(QMouseEvent* event) {
    PostMouse(WM_MOUSEMOVE, event);
    event->accept();
}

void GLWindow::wheelEvent(QWheelEvent* event) {
    const int delta = std::clamp(event->angleDelta().y(), -32768, 32767);
    if (delta == 0) return;
    const WParam keys = MouseKeys(event->buttons(), event->modifiers()) |
                        (static_cast<WParam>(static_cast<std::uint16_t>(static_cast<std::int16_t>(delta)))
                         << 16);
    // As with Win32, the wheel reports the cursor in screen coordinates.
    const QPointF p = event->globalPosition() * devicePixelRatio();
    PostWindowMessage(owner_->Handle(), WM_MOUSEWHEEL, keys, PackPoint(qRound(p.x()), qRound(p.y())));
    event->accept();
}

bool GLWindow::event(QEvent* event) {
    if (owner_ && event->type() == QEvent::Leave) PostWindowMessage(owner_->Handle(), WM_MOUSELEAVE, 0, 0);
    // Drops over the GL area reach this native window, not the main one.
    if (owner_ && (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
                   event->type() == QEvent::Drop))
        return AcceptDrop(owner_, static_cast<QDropEvent*>(event), event->type() == QEvent::Drop);
    return QWindow::event(event);
}

// --- Drops ----------------------------------------------------------------

bool AcceptDrop(MainWindow* window, QDropEvent* event, bool dropped) {
    std::vector<std::string> names;
    if (const QMimeData* data = event->mimeData())
        for (const QUrl& url : data->urls())
            if (url.isLocalFile()) names.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    if (names.empty()) {
        event->ignore();
        return false;
    }
    event->acceptProposedAction();
    if (dropped) {
        // The core asks for the names when WM_DROPFILES reaches it.
        DroppedNames() = std::move(names);
        PostWindowMessage(window->Handle(), WM_DROPFILES, 0, 0);
    }
    return true;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) { AcceptDrop(this, event, false); }

void MainWindow::dropEvent(QDropEvent* event) { AcceptDrop(this, event, true); }

// --- MainWindow -----------------------------------------------------------

MainWindow::MainWindow(const QString& title, int clientWidth, int clientHeight) {
    setWindowTitle(title);
    surface_ = new GLWindow(this);
    container_ = QWidget::createWindowContainer(surface_, this);
    container_->setFocusPolicy(Qt::StrongFocus);
    setCentralWidget(container_);
    setAcceptDrops(true);
    resize(std::max(1, clientWidth), std::max(1, clientHeight));
}

// The GL window goes with the base class, after this object's members.
MainWindow::~MainWindow() { surface_->Detach(); }

QSize MainWindow::ClientPixels() const {
    const qreal ratio = surface_->devicePixelRatio();
    return QSize(qRound(surface_->width() * ratio), qRound(surface_->height() * ratio));
}

void MainWindow::PostSize(bool force) {
    const QSize size = ClientPixels();
    if (!force && size == lastPosted_) return;
    lastPosted_ = size;
    const auto w = static_cast<std::uint32_t>(std::clamp(size.width(), 0, 0xFFFF));
    const auto h = static_cast<std::uint32_t>(std::clamp(size.height(), 0, 0xFFFF));
    PostWindowMessage(Handle(), WM_SIZE, 0, static_cast<LParam>(w | (h << 16)));
}

void MainWindow::Activate() {
    show();
    raise();
    activateWindow();
    container_->setFocus(Qt::ActiveWindowFocusReason);
}

void MainWindow::PostKey(QKeyEvent* event, bool down) {
    const int scan = static_cast<int>(event->nativeScanCode() & 0xFF);
    std::uint8_t vk = 0;
    if (down) {
        vk = VirtualKeyFor(event->key(), event->modifiers());
        if (scan != 0 && vk != 0) heldVk_[scan] = vk;
    } else {
        // Auto-repeat keeps the key down, as Win32 does.
        if (event->isAutoRepeat()) {
            event->accept();
            return;
        }
        vk = (scan != 0 && heldVk_[scan] != 0) ? heldVk_[scan]
                                                 : VirtualKeyFor(event->key(), event->modifiers());
        if (scan != 0) heldVk_[scan] = 0;
    }
    if (vk == 0) {
        event->ignore();
        return;
    }
    const bool system = (event->modifiers() & Qt::AltModifier) || vk == VK_MENU;
    std::uint32_t message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    // X key codes are PC scan codes plus 8.
    std::uint32_t lParam = 1u | (static_cast<std::uint32_t>(scan >= 8 ? scan - 8 : 0) << 16);
    if (!down) lParam |= (1u << 30) | (1u << 31);
    else if (event->isAutoRepeat()) lParam |= 1u << 30;
    PostWindowMessage(Handle(), message, vk, static_cast<LParam>(lParam));
    event->accept();
}

void MainWindow::keyPressEvent(QKeyEvent* event) { PostKey(event, true); }

void MainWindow::keyReleaseEvent(QKeyEvent* event) { PostKey(event, false); }

void MainWindow::closeEvent(QCloseEvent* event) {
    // The window goes only at DestroyMainWindow, after the core has quit.
    event->ignore();
    PostWindowMessage(Handle(), WM_CLOSE, 0, 0);
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) {
        const bool active = isActiveWindow();
        if (active != wasActive_) {
            wasActive_ = active;
            if (active) {
                container_->setFocus(Qt::ActiveWindowFocusReason);
                // The first activation follows ShowMainWindow, where Win32
                // delivers its WM_SETFOCUS before the core is initialised.
                if (activatedOnce_) PostWindowMessage(Handle(), WM_SETFOCUS, 0, 0);
                activatedOnce_ = true;
            } else {
                PostWindowMessage(Handle(), WM_KILLFOCUS, 0, 0);
            }
        }
    }
    QMainWindow::changeEvent(event);
}

// Tab is a key the viewer may poll, not a focus move.
bool MainWindow::focusNextPrevChild(bool) { return false; }

QMargins MainWindow::FrameMargins() const {
    const QWindow* native = windowHandle();
    return native ? native->frameMargins() : QMargins();
}

void MainWindow::PlaceOuter(const QRect& outer) {
    wantedOuter_ = outer;
    ApplyPlacement();
    if (!isVisible()) show();
}

void MainWindow::ApplyPlacement() {
    placedMargins_ = FrameMargins();
    const QRect client = wantedOuter_->marginsRemoved(placedMargins_);
    setGeometry(client.x(), client.y(), std::max(1, client.width()), std::max(1, client.height()));
}

void MainWindow::TrackFrame() {
    if (nativeGone_) return;
    const QMargins margins = FrameMargins();
    lastOuter_ = geometry().marginsAdded(margins);
    if (!wantedOuter_) return;
    // Without a frame (no window manager, or none yet) the placement
    // stands; a frame that arrives moves the client inside it.
    if (!margins.isNull() && lastOuter_ == *wantedOuter_) wantedOuter_.reset();
    else if (margins != placedMargins_) ApplyPlacement();
}

void MainWindow::moveEvent(QMoveEvent* event) {
    TrackFrame();
    QMainWindow::moveEvent(event);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    TrackFrame();
    QMainWindow::resizeEvent(event);
}

QRect MainWindow::OuterRect() {
    // A destroyed window must not be asked: its last rectangle stands.
    if (!nativeGone_) lastOuter_ = geometry().marginsAdded(FrameMargins());
    return lastOuter_;
}

void MainWindow::NoteDestroyed(WId id) {
    if (nativeGone_ || id == 0) return;
    const bool mine = id == internalWinId() || (surface_->handle() && id == surface_->winId());
    if (!mine) return;
    nativeGone_ = true;
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (context && context->surface() == surface_) context->doneCurrent();
    PostWindowMessage(Handle(), WM_CLOSE, 0, 0);
}

// --- shared helpers -------------------------------------------------------

MainWindow* FindWindow(WindowHandle window) {
    if (!window) return nullptr;
    for (auto& w : State().windows)
        if (w->Handle() == window) return w.get();
    return nullptr;
}

MainWindow* FindWindowBySurface(DeviceContext dc) {
    if (!dc) return nullptr;
    for (auto& w : State().windows)
        if (reinterpret_cast<DeviceContext>(w->Surface()) == dc) return w.get();
    return nullptr;
}

void RequestPaint(MainWindow* window) {
    // One at a time, as Win32 coalesces them.
    const WindowHandle handle = window->Handle();
    const auto& queue = State().queue;
    if (std::none_of(queue.begin(), queue.end(), [handle](const Message& m) {
            return m.window == handle && m.message == WM_PAINT;
        }))
        PostWindowMessage(handle, WM_PAINT, 0, 0);
}

void EnterModal() { ++State().modalDepth; }
void LeaveModal() {
    if (State().modalDepth > 0) --State().modalDepth;
}
bool InModal() { return State().modalDepth > 0; }
bool HasSwapped() { return State().swapped; }

void MarkMenusChanged() {
    for (auto& w : State().windows)
        if (w->attachedBar) w->menuDirty = true;
}

QWidget* DialogParent(WindowHandle owner) { return FindWindow(owner); }

}  // namespace qt

using qt::FindWindow;
using qt::FindWindowBySurface;
using qt::MainWindow;
using qt::State;

InstanceHandle ModuleInstance() {
    static char instance;
    return reinterpret_cast<InstanceHandle>(&instance);
}

bool RegisterWindowClass(InstanceHandle instance, WindowProc proc) {
    qt::Backend& s = State();
    if (!instance || !proc || s.proc || !qt::HaveApplication()) return false;
    s.instance = instance;
    s.proc = proc;
    if (!s.cleanupRegistered) {
        qAddPostRoutine(qt::CleanupAtExit);
        s.cleanupRegistered = true;
    }
    return true;
}

bool UnregisterWindowClass(InstanceHandle instance) {
    qt::Backend& s = State();
    if (!s.proc || instance != s.instance || !s.windows.empty()) return false;
    s.proc = nullptr;
    s.instance = nullptr;
    return true;
}

WindowHandle CreateMainWindow(InstanceHandle instance, const char* title, int clientWidth,
                              int clientHeight) {
    qt::Backend& s = State();
    if (!s.proc || instance != s.instance || !qt::HaveApplication()) return nullptr;
    if (!s.destroyWatch) {
        s.destroyWatch = std::make_unique<qt::DestroyWatch>();
        QCoreApplication::instance()->installNativeEventFilter(s.destroyWatch.get());
    }
    s.windows.push_back(std::make_unique<MainWindow>(QString::fromLocal8Bit(title ? title : ""),
                                                     clientWidth, clientHeight));
    return s.windows.back()->Handle();
}

bool DestroyMainWindow(WindowHandle window) {
    qt::Backend& s = State();
    auto it = std::find_if(s.windows.begin(), s.windows.end(),
                           [window](const auto& w) { return w->Handle() == window; });
    if (it == s.windows.end()) return false;
    QOpenGLContext* current = QOpenGLContext::currentContext();
    if (current && current->surface() == (*it)->Surface()) current->doneCurrent();
    // Messages for a window that is gone are never delivered.
    s.queue.erase(std::remove_if(s.queue.begin(), s.queue.end(),
                                 [window](const Message& m) {
                                     return m.window == window && m.message != WM_QUIT;
                                 }),
                  s.queue.end());
    std::unique_ptr<MainWindow> doomed = std::move(*it);
    s.windows.erase(it);
    // A window another client destroyed takes no more requests.
    if (!doomed->NativeGone()) doomed->hide();
    doomed.reset();
    if (s.windows.empty()) qt::ReleaseScreenSaver();
    return true;
}

DeviceContext AcquireDeviceContext(WindowHandle window) {
    MainWindow* w = FindWindow(window);
    return w ? reinterpret_cast<DeviceContext>(w->Surface()) : nullptr;
}

bool ReleaseDeviceContext(WindowHandle window, DeviceContext dc) {
    MainWindow* w = FindWindow(window);
    return w && reinterpret_cast<DeviceContext>(w->Surface()) == dc;
}

int ChooseSurfaceFormat(DeviceContext dc, int colourBits) {
    if (!FindWindowBySurface(dc) || colourBits <= 0) return 0;
    return colourBits >= 24 ? 1 : 2;
}

bool SetSurfaceFormat(DeviceContext dc, int format, int) {
    MainWindow* w = FindWindowBySurface(dc);
    if (!w || (format != 1 && format != 2)) return false;
    // Like a pixel format, a surface format is set once per window.
    if (w->formatId != 0) return w->formatId == format;
    w->Surface()->setFormat(qt::FormatFor(format));
    w->formatId = format;
    return qt::EnsureNative(w);
}

RenderContext CreateGLContext(DeviceContext dc) {
    MainWindow* w = FindWindowBySurface(dc);
    if (!w || w->formatId == 0) return nullptr;
    auto context = std::make_unique<QOpenGLContext>();
    context->setFormat(w->Surface()->requestedFormat());
    context->setScreen(w->Surface()->screen());
    if (!context->create()) return nullptr;
    State().contexts.push_back(std::move(context));
    return reinterpret_cast<RenderContext>(State().contexts.back().get());
}

bool MakeGLContextCurrent(DeviceContext dc, RenderContext rc) {
    if (!dc && !rc) {
        if (QOpenGLContext* current = QOpenGLContext::currentContext()) current->doneCurrent();
        return true;
    }
    MainWindow* w = FindWindowBySurface(dc);
    QOpenGLContext* context = qt::FindContext(rc);
    if (!w || !context || !qt::EnsureNative(w)) return false;
    return context->makeCurrent(w->Surface());
}

bool DeleteGLContext(RenderContext rc) {
    qt::Backend& s = State();
    auto it = std::find_if(s.contexts.begin(), s.contexts.end(), [rc](const auto& c) {
        return reinterpret_cast<RenderContext>(c.get()) == rc;
    });
    if (it == s.contexts.end()) return false;
    if (QOpenGLContext::currentContext() == it->get()) (*it)->doneCurrent();
    s.contexts.erase(it);
    return true;
}

void ShowMainWindow(WindowHandle window) {
    MainWindow* w = FindWindow(window);
    if (!w) return;
    w->Activate();
    if (!w->shownOnce) {
        w->shownOnce = true;
        qt::InhibitScreenSaver();
    }
    w->PostSize(true);
}

void SwapWindowBuffers(DeviceContext dc) {
    MainWindow* w = FindWindowBySurface(dc);
    if (!w || w->NativeGone() || !w->Surface()->isExposed()) return;
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (!context || context->surface() != w->Surface()) return;
    context->swapBuffers(w->Surface());
    State().swapped = true;
    State().probeAfterSwap = true;
    // Mesa's software rasteriser takes a new window size only at the first
    // GL call after a swap, so the frame just shown may have been drawn at
    // the old size: a resting core is asked for one more.
    const QSize size = w->ClientPixels();
    if (size != w->swappedSize) {
        w->swappedSize = size;
        qt::RequestPaint(w);
    }
}

std::vector<Rect> ScreenWorkAreas() {
    std::vector<Rect> areas;
    if (!qt::HaveApplication()) return areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        areas.push_back(Rect{area.x(), area.y(), area.x() + area.width(), area.y() + area.height()});
    }
    return areas;
}

void PlaceWindow(WindowHandle window, const Rect& outer) {
    MainWindow* w = FindWindow(window);
    if (!w) return;
    // In 64 bits and within Qt's limits: any 32-bit edges are safe.
    const auto clampCoordinate = [](std::int64_t v) {
        return static_cast<int>(std::clamp<std::int64_t>(v, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    };
    const auto side = [](std::int32_t low, std::int32_t high) {
        return static_cast<int>(std::clamp<std::int64_t>(std::int64_t{high} - low, 1, QWIDGETSIZE_MAX));
    };
    w->PlaceOuter(QRect(clampCoordinate(outer.left), clampCoordinate(outer.top),
                        side(outer.left, outer.right), side(outer.top, outer.bottom)));
    w->PostSize(true);
}

Rect WindowOuterRect(WindowHandle window) {
    Rect rect;
    MainWindow* w = FindWindow(window);
    if (!w) return rect;
    const QRect frame = w->OuterRect();
    rect.left = frame.x();
    rect.top = frame.y();
    rect.right = frame.x() + frame.width();
    rect.bottom = frame.y() + frame.height();
    return rect;
}

void SetWindowTitle(WindowHandle window, const char* title) {
    if (MainWindow* w = FindWindow(window)) w->setWindowTitle(QString::fromUtf8(title ? title : ""));
}

bool PointerPosition(WindowHandle window, std::int32_t* x, std::int32_t* y) {
    MainWindow* w = FindWindow(window);
    if (!w) return false;
    const QPoint local = w->Surface()->mapFromGlobal(QCursor::pos());
    const qreal ratio = w->Surface()->devicePixelRatio();
    *x = qRound(local.x() * ratio);
    *y = qRound(local.y() * ratio);
    return true;
}

namespace {

// What follows every turn of Qt's loop outside exec(): deletions Qt only
// does in a loop of its own, and menu bars changed since.
void AfterEvents() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (auto& w : State().windows) qt::RefreshMenuBar(w.get());
}

}  // namespace

bool TakeMessage(Message* out) {
    qt::Backend& s = State();
    if (!out) return false;
    if (s.queue.empty() && QCoreApplication::instance()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        AfterEvents();
    }
    if (s.queue.empty() && s.probeAfterSwap) qt::CheckWindowsBeforeDrawing();
    if (s.queue.empty()) return false;
    *out = s.queue.front();
    s.queue.pop_front();
    return true;
}

void WaitForMessages(std::uint32_t timeoutMs) {
    qt::Backend& s = State();
    if (!s.queue.empty() || !QCoreApplication::instance()) return;
    // Menus the last pass changed show before the sleep, not after it.
    AfterEvents();
    if (!s.queue.empty()) return;
    QElapsedTimer clock;
    clock.start();
    QTimer alarm;
    alarm.setSingleShot(true);
    alarm.setTimerType(Qt::PreciseTimer);
    // Qt's own events (timers, the screen saver's bus) end a turn without
    // a message for the core: sleep on until one comes or time is up.
    for (;;) {
        const qint64 left = static_cast<qint64>(timeoutMs) - clock.elapsed();
        if (left <= 0) return;
        alarm.start(static_cast<int>(left));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        AfterEvents();
        if (!s.queue.empty()) return;
    }
}

void DispatchTaken(const Message& message) {
    qt::Backend& s = State();
    // Thread messages (no live window) have no procedure, as with Win32.
    if (s.proc && FindWindow(message.window))
        s.proc(message.window, message.message, message.wParam, message.lParam);
}

void PostWindowMessage(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam) {
    State().queue.push_back(Message{window, message, wParam, lParam});
}

LResult DefaultWindowProc(WindowHandle window, std::uint32_t message, WParam wParam, LParam) {
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE && FindWindow(window))
        PostWindowMessage(window, WM_CLOSE, 0, 0);
    return 0;
}

}  // namespace platform
