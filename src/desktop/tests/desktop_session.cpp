#include "desktop_session.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace testsupport {
namespace {

// Polls `ready` every 50 ms until it holds or `ms` have passed.
template <typename Ready> bool wait_until(Ready ready, int ms) {
    const QDeadlineTimer deadline(ms);
    while (!ready()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

std::pair<int, int> display_range() {
    const QByteArray wanted = qgetenv("QICHENG_TEST_DISPLAYS");
    const QList<QByteArray> ends = wanted.split('-');
    if (ends.size() == 2 && ends[0].toInt() > 0 && ends[1].toInt() >= ends[0].toInt())
        return {ends[0].toInt(), ends[1].toInt()};
    const int first = 100 + static_cast<int>(getpid() % 400);
    return {first, first + 99};
}

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

// A process that ends with the test, also when the test itself crashes.
std::unique_ptr<QProcess> child_process() {
    auto process = std::make_unique<QProcess>();
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    return process;
}

} // namespace

DesktopSession::DesktopSession(Parts parts) {
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return;
    }
    if (!start_x_server() || !start_bus())
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
    stop(x_server_);
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

bool DesktopSession::start_x_server() {
    const auto [first, last] = display_range();
    for (int n = first; n <= last; ++n) {
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
        if (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)) || QFileInfo::exists(socket))
            continue;
        x_server_ = child_process();
        x_server_->setStandardOutputFile(QProcess::nullDevice());
        x_server_->setStandardErrorFile(QProcess::nullDevice());
        x_server_->start(QStringLiteral("Xvfb"), {QStringLiteral(":%1").arg(n), QStringLiteral("-nolisten"),
                                                   QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                                                   QStringLiteral("1024x768x24")});
        // Another server may take the number first: then this one ends, and the next is tried.
        if (x_server_->waitForStarted(5000) &&
            wait_until([&] { return QFileInfo::exists(socket) || x_server_->state() == QProcess::NotRunning; },
                       10000) &&
            x_server_->state() == QProcess::Running) {
            display_ = QStringLiteral(":%1").arg(n);
            return true;
        }
        stop(x_server_);
    }
    error_ = QStringLiteral("no X server could be started");
    return false;
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
    env.insert(QStringLiteral("DISPLAY"), display_);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_address_);
    return env;
}

void DesktopSession::enter() const {
    qputenv("DISPLAY", display_.toUtf8());
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
