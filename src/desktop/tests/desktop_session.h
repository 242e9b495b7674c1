#pragma once
// Test support: a desktop of the test's own. An X server (Xvfb), a private session bus without
// service activation, and on request a notification server (dunst) that records every
// notification it shows, and a tray host (trayer). Every process ends with the object.
//
// Display numbers are taken from $QICHENG_TEST_DISPLAYS ("140-149"), else from a range that
// starts at a number drawn from the process ID; a number in use is passed over.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace testsupport {

class DesktopSession final {
public:
    struct Parts {
        bool notifications = false;
        bool tray = false;
    };
    explicit DesktopSession(Parts parts);
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    // False, with the reason in error(), when a part could not be started.
    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }
    const QString& display() const { return display_; }
    const QString& bus_address() const { return bus_address_; }

    // DISPLAY and DBUS_SESSION_BUS_ADDRESS of this desktop in this process's environment; call
    // before the QApplication exists, since Qt reads both once.
    void enter() const;
    // The same for a child program.
    QProcessEnvironment environment() const;

    // What the notification server has shown so far, one "summary|body|urgency" each, in order.
    QStringList notifications() const;

    void stop_notification_server();
    bool start_tray_host();
    void stop_tray_host();

private:
    bool start_x_server();
    bool start_bus();
    bool start_notification_server();
    void stop(std::unique_ptr<QProcess>& process);

    QTemporaryDir dir_;
    QString error_;
    QString display_;
    QString bus_address_;
    std::unique_ptr<QProcess> x_server_, bus_, notification_server_, tray_host_;
};

} // namespace testsupport
