// Notifications as a real notification server (dunst, on an X server and a session bus of the
// test's own) receives them; and a bus on which no server runs.

#include "desktop/notifications.h"
#include "testsupport/desktop_session.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QTest>

namespace {

testsupport::DesktopSession* g_session = nullptr;

} // namespace

class NotificationX11Tests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void the_server_shows_summary_body_and_urgency() {
        desktop::notify(QStringLiteral("账号未登录，刷新已停止"), desktop::Urgency::Critical);
        desktop::notify(QStringLiteral("将在 1 分钟后关机"));
        QTRY_COMPARE_WITH_TIMEOUT(g_session->notifications(),
                                  (QStringList{QStringLiteral("栖橙|账号未登录，刷新已停止|CRITICAL"),
                                               QStringLiteral("栖橙|将在 1 分钟后关机|NORMAL")}),
                                  10000);
    }

    void without_a_server_on_the_bus_nothing_happens() {
        g_session->stop_notification_server();
        QStringList warnings;
        static QStringList* sink = nullptr;
        sink = &warnings;
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& text) { sink->append(text); });
        desktop::notify(QStringLiteral("将在 1 分钟后关机"));
        // A call answered by the bus itself comes back after the bus's error answer to the
        // notification, which is dropped meanwhile.
        const QDBusMessage ping = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")));
        QCOMPARE(ping.type(), QDBusMessage::ReplyMessage);
        qInstallMessageHandler(previous);
        QCOMPARE(warnings, QStringList());
        QCOMPARE(g_session->notifications().size(), 2);
    }
};

int main(int argc, char** argv) {
    testsupport::DesktopSession session({.notifications = true});
    if (!session.ok()) {
        qCritical("%s", qPrintable(session.error()));
        return 1;
    }
    session.enter();
    g_session = &session;
    QApplication app(argc, argv);
    NotificationX11Tests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "notification_x11_tests.moc"
