#include "app/system_power_off.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace app {

void SystemPowerOff::power_off() {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
    // true: interactive authorisation allowed. The answer is not awaited: a refused request
    // leaves the countdown to find the moment passed on a later tick.
    call << true;
    call.setInteractiveAuthorizationAllowed(true);
    QDBusConnection::systemBus().send(call);
}

} // namespace app
