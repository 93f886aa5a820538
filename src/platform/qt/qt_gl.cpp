// The GL surface and context: formats, current context, swaps.
#include <QOpenGLContext>
#include <QSurfaceFormat>

#include <algorithm>
#include <memory>

#include "platform/qt/qt_internal.h"

namespace platform {
namespace qt {
namespace {

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
}  // namespace qt

using qt::FindWindow;
using qt::FindWindowBySurface;
using qt::MainWindow;
using qt::State;

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

}  // namespace platform
