// Keeps the desktop's screen saver off while the program shows a window,
// through the freedesktop ScreenSaver service when a session bus exists.
#include "platform/qt/qt_internal.h"

#ifdef ZINTRA_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>

#include <cstdlib>
#endif

namespace platform {
namespace qt {

#ifdef ZINTRA_HAVE_DBUS

namespace {

constexpr int kTimeoutMs = 1000;

// Only an existing bus: connecting without one may spawn a bus daemon.
bool SessionBusExists() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && *runtime && QFileInfo::exists(QString::fromLocal8Bit(runtime) + "/bus");
}

QDBusMessage Call(const char* method) {
    return QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
        QStringLiteral("org.freedesktop.ScreenSaver"), QString::fromLatin1(method));
}

}  // namespace

void InhibitScreenSaver() {
    if (State().screenSaverHeld || !SessionBusExists()) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage call = Call("Inhibit");
    call << QStringLiteral("Zintra") << QStringLiteral("Showing textures");
    const QDBusMessage reply = bus.call(call, QDBus::Block, kTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
    State().screenSaverCookie = reply.arguments().constFirst().toUInt();
    State().screenSaverHeld = true;
}

void ReleaseScreenSaver() {
    if (!State().screenSaverHeld) return;
    State().screenSaverHeld = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage call = Call("UnInhibit");
    call << State().screenSaverCookie;
    bus.call(call, QDBus::Block, kTimeoutMs);
}

#else

void InhibitScreenSaver() {}
void ReleaseScreenSaver() {}

#endif

}  // namespace qt
}  // namespace platform
