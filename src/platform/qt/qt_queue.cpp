// The message queue the core drains, and the window procedure it feeds.
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QElapsedTimer>
#include <QOpenGLContext>
#include <QTimer>

#include <algorithm>

#include "platform/posix/posix_watch.h"
#include "platform/qt/qt_internal.h"

namespace platform {
namespace qt {

Backend& State() {
    static Backend backend;
    return backend;
}

bool OnWayland() { return QGuiApplication::platformName() == QLatin1String("wayland"); }

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
    s.folderNews.reset();
}

// Watches the descriptor folder news comes on, once there is one; the
// news is read at once so the descriptor does not stay readable.
void ListenForFolderNews() {
    Backend& s = State();
    const int fd = posix::FolderNewsDescriptor();
    if (fd < 0 || s.folderNews) return;
    s.folderNews = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(s.folderNews.get(), &QSocketNotifier::activated, [] {
        posix::GatherFolderNews();
        State().newsCame = true;
    });
}

}  // namespace

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

}  // namespace qt

using qt::FindWindow;
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
    qt::ListenForFolderNews();
    s.newsCame = false;
    QElapsedTimer clock;
    clock.start();
    QTimer alarm;
    alarm.setSingleShot(true);
    alarm.setTimerType(Qt::PreciseTimer);
    // Qt's own events (timers, the screen saver's bus) end a turn without
    // a message for the core: sleep on until one comes or time is up.
    const bool endless = timeoutMs == kWaitForever;
    for (;;) {
        if (!endless) {
            const qint64 left = static_cast<qint64>(timeoutMs) - clock.elapsed();
            if (left <= 0) return;
            alarm.start(static_cast<int>(left));
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        AfterEvents();
        if (!s.queue.empty() || s.newsCame) return;
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
