#include "ui/DesktopNotice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
constexpr int kExpireDefault = -1;  // the server's own time-out

}  // namespace

bool DesktopNotice::Show(const std::wstring& summary, const std::wstring& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    call << QStringLiteral("Talvora") << 0u << QStringLiteral("talvora") << QString::fromStdWString(summary)
         << QString::fromStdWString(body) << QStringList() << QVariantMap() << kExpireDefault;
    // Sent, not called: no reply is awaited, and a missing service's error goes unread.
    return bus.send(call);
}
