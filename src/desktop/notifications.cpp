#include "desktop/notifications.h"

#include "common/application.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace desktop {

void notify(const QString& body, Urgency urgency) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    const QString name = QString::fromUtf8(common::kDisplayName);
    const QString id = QString::fromUtf8(common::kApplicationId);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), id},
                            {QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(urgency))}};
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: the
    // server's choice).
    call << name << 0U << id << name << body << QStringList() << hints << -1;
    // The reply (or the error of a bus without a server) is dropped: the run must not wait on
    // the desktop.
    bus.send(call);
}

} // namespace desktop
