#include "ui/DesktopNotice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QStringList>
#include <QVariantMap>

namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
constexpr int kExpireDefault = -1;  // the server's own time-out

// Whether the desktop has a session bus. Without one, asking for it would make the D-Bus
// library start a bus daemon of its own for the display (X11 autolaunch), which nobody ends and
// no notification service listens on.
bool HasSessionBus()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo(runtime + QStringLiteral("/bus")).exists();
}

}  // namespace

bool DesktopNotice::Show(const std::wstring& summary, const std::wstring& body)
{
    if (!HasSessionBus())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    call << QStringLiteral("Talvora") << 0u << QStringLiteral("talvora") << QString::fromStdWString(summary)
         << QString::fromStdWString(body) << QStringList() << QVariantMap() << kExpireDefault;
    // Sent, not called: no reply is awaited, and a missing service's error goes unread.
    return bus.send(call);
}
