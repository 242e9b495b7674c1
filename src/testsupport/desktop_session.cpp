#include "testsupport/desktop_session.h"

#include "testsupport/child_process.h"

#include <QFile>

namespace testsupport {
namespace {

bool write_file(const QString& path, const QByteArray& bytes, bool executable = false) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return !executable || file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

// A session bus that starts no service on demand: a notification server is there only when
// the test started one.
constexpr char kBusConfig[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

} // namespace

DesktopSession::DesktopSession(Parts parts) {
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return;
    }
    if (!x_server_.ok()) {
        error_ = QStringLiteral("no X server could be started");
        return;
    }
    if (!start_bus())
        return;
    if (parts.notifications && !start_notification_server())
        return;
    if (parts.tray)
        start_tray_host();
}

DesktopSession::~DesktopSession() {
    stop(tray_host_);
    stop(notification_server_);
    stop(bus_);
}

void DesktopSession::stop(std::unique_ptr<QProcess>& process) {
    if (!process)
        return;
    process->terminate();
    if (!process->waitForFinished(3000)) {
        process->kill();
        process->waitForFinished(3000);
    }
    process.reset();
}

bool DesktopSession::start_bus() {
    const QString config = dir_.filePath(QStringLiteral("bus.conf"));
    if (!write_file(config, kBusConfig)) {
        error_ = QStringLiteral("cannot write the bus configuration");
        return false;
    }
    bus_ = child_process();
    bus_->start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!bus_->waitForStarted(5000) || !wait_until([&] {
            bus_->waitForReadyRead(50);
            return bus_->canReadLine() || bus_->state() == QProcess::NotRunning;
        }, 10000) || !bus_->canReadLine()) {
        error_ = QStringLiteral("dbus-daemon did not start");
        return false;
    }
    bus_address_ = QString::fromUtf8(bus_->readLine()).trimmed();
    return true;
}

QProcessEnvironment DesktopSession::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_address_);
    return env;
}

void DesktopSession::enter() const {
    qputenv("DISPLAY", display().toUtf8());
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus_address_.toUtf8());
}

bool DesktopSession::start_notification_server() {
    // dunst runs the script of a matching rule for each notification it shows, with the
    // application name, summary, body, icon and urgency as arguments.
    const QString record = dir_.filePath(QStringLiteral("record.sh"));
    const QString config = dir_.filePath(QStringLiteral("dunstrc"));
    const QByteArray log = QFile::encodeName(dir_.filePath(QStringLiteral("notifications.txt")));
    if (!write_file(record, "#!/bin/sh\nprintf '%s|%s|%s\\n' \"$2\" \"$3\" \"$5\" >> '" + log + "'\n", true) ||
        !write_file(config, "[global]\n  font = WenQuanYi Micro Hei 10\n  stack_duplicates = false\n[record]\n  summary = \"*\"\n  script = " +
                                QFile::encodeName(record) + "\n")) {
        error_ = QStringLiteral("cannot write the notification server's files");
        return false;
    }
    notification_server_ = child_process();
    notification_server_->setProcessEnvironment(environment());
    notification_server_->setProcessChannelMode(QProcess::MergedChannels);
    notification_server_->setStandardOutputFile(dir_.filePath(QStringLiteral("dunst.log")));
    notification_server_->start(QStringLiteral("dunst"), {QStringLiteral("-config"), config});
    // Up once it owns the name on the bus.
    const auto owned = [&] {
        QProcess ask;
        ask.setProcessEnvironment(environment());
        ask.start(QStringLiteral("dbus-send"),
                  {QStringLiteral("--session"), QStringLiteral("--print-reply"), QStringLiteral("--dest=org.freedesktop.DBus"),
                   QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                   QStringLiteral("string:org.freedesktop.Notifications")});
        return ask.waitForFinished(5000) && ask.readAllStandardOutput().contains("boolean true");
    };
    if (!notification_server_->waitForStarted(5000) || !wait_until(owned, 15000)) {
        error_ = QStringLiteral("dunst did not start");
        return false;
    }
    return true;
}

QStringList DesktopSession::notifications() const {
    QFile file(dir_.filePath(QStringLiteral("notifications.txt")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

bool DesktopSession::start_tray_host() {
    tray_host_ = child_process();
    tray_host_->setProcessEnvironment(environment());
    tray_host_->setStandardOutputFile(QProcess::nullDevice());
    tray_host_->setStandardErrorFile(QProcess::nullDevice());
    tray_host_->start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                                                  QStringLiteral("right"), QStringLiteral("--widthtype"),
                                                  QStringLiteral("request"), QStringLiteral("--height"),
                                                  QStringLiteral("32"), QStringLiteral("--transparent"),
                                                  QStringLiteral("false"), QStringLiteral("--tint"),
                                                  QStringLiteral("0xffffff")});
    if (!tray_host_->waitForStarted(5000)) {
        error_ = QStringLiteral("trayer did not start");
        return false;
    }
    return true;
}

void DesktopSession::stop_notification_server() { stop(notification_server_); }

void DesktopSession::stop_tray_host() { stop(tray_host_); }

} // namespace testsupport
