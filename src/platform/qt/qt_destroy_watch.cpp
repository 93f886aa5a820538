// Windows destroyed by other X clients: seen, closed, never drawn to.
#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QLibrary>
#include <QOpenGLContext>
#include <QOpenGLFunctions>

#include <cstdlib>
#include <memory>

#include <xcb/xcb.h>

#include "platform/qt/qt_internal.h"

namespace platform {
namespace qt {
namespace {

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

}  // namespace

void InstallDestroyWatch() {
    Backend& s = State();
    if (s.destroyWatch) return;
    s.destroyWatch = std::make_unique<DestroyWatch>();
    QCoreApplication::instance()->installNativeEventFilter(s.destroyWatch.get());
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

void MainWindow::NoteDestroyed(WId id) {
    if (nativeGone_ || id == 0) return;
    const bool mine = id == internalWinId() || (surface_->handle() && id == surface_->winId());
    if (!mine) return;
    nativeGone_ = true;
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (context && context->surface() == surface_) context->doneCurrent();
    PostWindowMessage(Handle(), WM_CLOSE, 0, 0);
}

}  // namespace qt
}  // namespace platform
