// The main window: its GL area, input, drops, placement and title.
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QOpenGLContext>
#include <QScreen>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/qt/qt_internal.h"

namespace platform {
namespace qt {

namespace {

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
    const bool wasExposed = exposed_;
    exposed_ = isExposed();
    if (!exposed_) return;
    // Wayland gives a window a new surface each time it is shown: a context
    // made current before then draws to nothing until it is bound again.
    QOpenGLContext* current = QOpenGLContext::currentContext();
    if (!wasExposed && current && current->surface() == this) current->makeCurrent(this);
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

void MarkMenusChanged() {
    for (auto& w : State().windows)
        if (w->attachedBar) w->menuDirty = true;
}

QWidget* DialogParent(WindowHandle owner) { return FindWindow(owner); }

}  // namespace qt

using qt::FindWindow;
using qt::MainWindow;
using qt::State;

WindowHandle CreateMainWindow(InstanceHandle instance, const char* title, int clientWidth,
                              int clientHeight) {
    qt::Backend& s = State();
    if (!s.proc || instance != s.instance || !qt::HaveApplication()) return nullptr;
    qt::InstallDestroyWatch();
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
    MainWindow* w = FindWindow(window);
    if (!w) return;
    w->setWindowTitle(QString::fromUtf8(title ? title : ""));
    // On Wayland the title bar is drawn with the window's own pixels, and
    // those are painted again only when some widget is: ask for a pixel.
    if (qt::OnWayland()) w->update(QRect(0, 0, 1, 1));
}

bool WindowPositionKnown() {
    return !qt::OnWayland();
}

double WindowScale(WindowHandle window) {
    MainWindow* w = FindWindow(window);
    return w ? w->Surface()->devicePixelRatio() : 1.0;
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

}  // namespace platform
