#pragma once
// A desktop of the test's own: an X server (OwnX11Display), a private session bus without
// service activation, and on request a notification server (dunst) that records every
// notification it shows, and a tray host (trayer). Every process ends with the object.

#include "testsupport/x11_display.h"

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
    const QString& display() const { return x_server_.name(); }
    const QString& bus_address() const { return bus_address_; }

    // DISPLAY and DBUS_SESSION_BUS_ADDRESS of this desktop in this process's environment; call
    // before the QApplication exists, since Qt reads both once. The platform is left as it is.
    void enter() const;
    // The same for a child program.
    QProcessEnvironment environment() const;

    // What the notification server has shown so far, one "summary|body|urgency" each, in order.
    QStringList notifications() const;

    void stop_notification_server();
    bool start_tray_host();
    void stop_tray_host();

private:
    bool start_bus();
    bool start_notification_server();
    void stop(std::unique_ptr<QProcess>& process);

    QTemporaryDir dir_;
    QString error_;
    // Declared first of the processes, so it ends last: the others are its clients.
    OwnX11Display x_server_{false};
    QString bus_address_;
    std::unique_ptr<QProcess> bus_, notification_server_, tray_host_;
};

} // namespace testsupport
