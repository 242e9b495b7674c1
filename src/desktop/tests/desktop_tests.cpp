// The autostart entry and the switches of "运行", the power-off warning rule, and notifications
// where no session bus answers. The notification server itself is met in notification_x11_tests.

#include "common/application.h"
#include "desktop/autostart.h"
#include "desktop/notifications.h"
#include "desktop/run_options.h"
#include "desktop/shutdown_warning.h"
#include "store/settings.h"
#include "testsupport/ordinary_user_files.h"
#include "testsupport/message_box_recorder.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <sstream>
#include <sys/fsuid.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string contents_of(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// desktop-file-validate's complaints; empty for a valid entry.
QString validation_errors(const fs::path& file) {
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start(QStringLiteral("desktop-file-validate"), {QString::fromStdString(file.string())});
    if (!validate.waitForFinished(10000))
        return QStringLiteral("desktop-file-validate did not run");
    const QString out = QString::fromUtf8(validate.readAll());
    return validate.exitCode() == 0 && out.isEmpty() ? QString() : out + QStringLiteral(" (exit %1)").arg(validate.exitCode());
}

// Sets an environment variable for the scope, putting back what was there.
class ScopedEnv final {
public:
    ScopedEnv(const char* name, const QByteArray& value) : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

using testsupport::OrdinaryUserFiles;

constexpr auto kReadOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                           fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;

QAction* find_action(const desktop::RunOptions& options, const char* text) {
    for (QAction* action : options.actions())
        if (action->text() == QString::fromUtf8(text))
            return action;
    return nullptr;
}

} // namespace

class DesktopTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Expected values are written out by hand from the desktop-entry rules: quotes around an
    // argument with a reserved character, a backslash before " ` $ \ inside them, % doubled,
    // and then the file's own string escapes (every backslash doubled, tab and line break).
    void exec_lines_quote_by_the_desktop_entry_rules_data() {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << "/usr/bin/qicheng" << "" << "/usr/bin/qicheng";
        QTest::newRow("blank and chinese") << "/opt/栖橙 程序/qicheng" << "" << "\"/opt/栖橙 程序/qicheng\"";
        QTest::newRow("percent") << "/srv/100%/qicheng" << "" << "/srv/100%%/qicheng";
        QTest::newRow("quote, dollar, backtick") << "/tmp/a\"b$c`d/qicheng" << ""
                                                 << "\"/tmp/a\\\\\"b\\\\$c\\\\`d/qicheng\"";
        QTest::newRow("backslash") << "/tmp/a\\b/qicheng" << "" << "\"/tmp/a\\\\\\\\b/qicheng\"";
        QTest::newRow("single quote and tab") << "/tmp/it's\tq/qicheng" << "" << "\"/tmp/it's\\tq/qicheng\"";
        QTest::newRow("home") << "/opt/q/qicheng" << "/home/agent/portable" << "env QICHENG_HOME=/home/agent/portable /opt/q/qicheng";
        QTest::newRow("home with blank and percent") << "/opt/q/qicheng" << "/home/a/我的 数据 100%"
                                                     << "env \"QICHENG_HOME=/home/a/我的 数据 100%%\" /opt/q/qicheng";
    }
    void exec_lines_quote_by_the_desktop_entry_rules() {
        QFETCH(QString, executable);
        QFETCH(QString, home);
        QFETCH(QString, exec);
        const std::string command = desktop::autostart_command(executable.toStdString(), home.toStdString());
        QCOMPARE(QString::fromStdString(desktop::exec_value(command)), exec);

        // And the whole entry is one the desktop accepts.
        QTemporaryDir dir;
        const desktop::AutostartEntry entry(fs::path(dir.path().toStdString()) / "autostart" / "cn.qicheng.Qicheng.desktop",
                                            command);
        QVERIFY(entry.apply(true));
        QCOMPARE(validation_errors(entry.file()), QString());
        QVERIFY(QString::fromStdString(contents_of(entry.file())).contains(QStringLiteral("\nExec=") + exec + u'\n'));
    }

    void autostart_folder_follows_xdg_config_home_data() {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QString>("folder");
        QTest::newRow("set") << QByteArray("/etc/agent-config") << "/etc/agent-config/autostart";
        QTest::newRow("empty") << QByteArray("") << "/home/agent/.config/autostart";
        QTest::newRow("relative, so ignored") << QByteArray("conf") << "/home/agent/.config/autostart";
    }
    void autostart_folder_follows_xdg_config_home() {
        QFETCH(QByteArray, config);
        QFETCH(QString, folder);
        const ScopedEnv home("HOME", "/home/agent");
        const ScopedEnv xdg("XDG_CONFIG_HOME", config);
        QCOMPARE(QString::fromStdString(desktop::autostart_folder().string()), folder);
    }

    void this_programs_entry_starts_it_with_its_data_folder() {
        QTemporaryDir dir;
        const ScopedEnv xdg("XDG_CONFIG_HOME", dir.path().toUtf8());
        const QString exe = QCoreApplication::applicationFilePath();
        {
            const ScopedEnv home("QICHENG_HOME", "");
            const desktop::AutostartEntry entry = desktop::AutostartEntry::for_this_program();
            QCOMPARE(QString::fromStdString(entry.file().string()),
                     dir.path() + QStringLiteral("/autostart/cn.qicheng.Qicheng.desktop"));
            QVERIFY(QString::fromStdString(entry.text()).contains(QStringLiteral("\nExec=") + exe + u'\n'));
        }
        {
            // A relative home is made absolute: the session starts the program elsewhere.
            const ScopedEnv home("QICHENG_HOME", "portable/../copy");
            const QString expected = QDir::current().absoluteFilePath(QStringLiteral("copy"));
            const QString text = QString::fromStdString(desktop::AutostartEntry::for_this_program().text());
            QVERIFY2(text.contains(QStringLiteral("\nExec=env QICHENG_HOME=") + expected + u' ' + exe + u'\n'),
                     qPrintable(text));
            QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\nType=Application\nName=栖橙\n")));
            QVERIFY(text.contains(QStringLiteral("\nIcon=cn.qicheng.Qicheng\n")));
        }
    }

    void entry_is_brought_in_line_with_the_setting_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("entry");
        QTest::newRow("1") << "1" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("missing") << QString() << false;
        QTest::newRow("other text") << "yes" << false;
    }
    void entry_is_brought_in_line_with_the_setting() {
        QFETCH(QString, value);
        QFETCH(bool, entry);
        QTemporaryDir dir;
        const fs::path root = dir.path().toStdString();
        const store::SettingsFile settings(root / "pz.ini");
        if (!value.isNull())
            QVERIFY(settings.write("运行", "autostart", value.toStdString()));
        const desktop::AutostartEntry autostart(root / "config" / "autostart" / "q.desktop", "/opt/q/qicheng");

        // From every state: this program's entry goes when the setting is off; another copy's
        // entry (elsewhere, or the same program with another data folder) stays then, and is
        // taken over when the setting is on.
        const std::string mine = autostart.text();
        const std::string other_copy = "[Desktop Entry]\nType=Application\nExec=/old/place/qicheng\n";
        const std::string other_home = "[Desktop Entry]\nExec=env QICHENG_HOME=/demo /opt/q/qicheng\n";
        for (const std::string& before : {std::string(), mine, other_copy, other_home}) {
            fs::create_directories(autostart.file().parent_path());
            fs::remove(autostart.file());
            if (!before.empty())
                std::ofstream(autostart.file()) << before;
            QVERIFY(desktop::bring_autostart_in_line(settings, autostart));
            const std::string after = entry ? mine : before == mine ? std::string() : before;
            QCOMPARE(fs::exists(autostart.file()), !after.empty());
            QCOMPARE(contents_of(autostart.file()), after);
        }
    }

    void switches_show_and_write_the_settings() {
        QTemporaryDir dir;
        const fs::path root = dir.path().toStdString();
        const store::SettingsFile settings(root / "pz.ini");
        QVERIFY(settings.write("运行", "autostart", "1"));
        QVERIFY(settings.write("运行", "autorun", "yes"));
        const desktop::AutostartEntry entry(root / "autostart" / "q.desktop", "/opt/q/qicheng");
        desktop::RunOptions options(&settings, entry, nullptr);
        QAction* autostart = find_action(options, "开机自动启动");
        QAction* autorun = find_action(options, "启动后自动开始刷新");
        QVERIFY(autostart && autorun && find_action(options, "刷新统计"));
        QVERIFY(autostart->isChecked() && !autorun->isChecked() && !options.autorun_on());

        autorun->trigger();
        QCOMPARE(settings.read("运行", "autorun"), std::string("1"));
        QVERIFY(options.autorun_on());
        autostart->trigger();
        QCOMPARE(settings.read("运行", "autostart"), std::string("0"));
        QVERIFY(!fs::exists(entry.file()));
        autostart->trigger();
        QCOMPARE(settings.read("运行", "autostart"), std::string("1"));
        QCOMPARE(contents_of(entry.file()), entry.text());

        // Changed by another program: shown as the file says before a menu opens.
        QVERIFY(settings.write("运行", "autorun", "0"));
        options.show_settings();
        QVERIFY(!autorun->isChecked());

        // Without a settings file the switches cannot be used.
        desktop::RunOptions without(nullptr, entry, nullptr);
        QVERIFY(!find_action(without, "开机自动启动")->isEnabled() && !find_action(without, "启动后自动开始刷新")->isEnabled());
    }

    void a_folder_that_cannot_be_written_loses_nothing_data() {
        QTest::addColumn<bool>("config_read_only");
        QTest::addColumn<bool>("settings_read_only");
        QTest::newRow("config folder read-only") << true << false;
        QTest::newRow("settings file read-only") << false << true;
    }
    void a_folder_that_cannot_be_written_loses_nothing() {
        QFETCH(bool, config_read_only);
        QFETCH(bool, settings_read_only);
        QTemporaryDir dir;
        const fs::path root = dir.path().toStdString();
        fs::create_directories(root / "data");
        const store::SettingsFile settings(root / "data" / "pz.ini");
        QVERIFY(settings.write("搜房网", "user", "agent"));
        const fs::path config = root / "config";
        fs::create_directories(config);
        const desktop::AutostartEntry entry(config / "autostart" / "q.desktop", "/opt/q/qicheng");
        if (config_read_only)
            fs::permissions(config, kReadOnly);
        if (settings_read_only)
            fs::permissions(settings.path(), fs::perms::owner_read);

        testsupport::MessageBoxRecorder boxes;
        desktop::RunOptions options(&settings, entry, nullptr);
        QAction* autostart = find_action(options, "开机自动启动");
        {
            OrdinaryUserFiles ordinary(root);
            autostart->trigger();
            // At the next start the entry is tried again, and fails as quietly.
            QCOMPARE(desktop::bring_autostart_in_line(settings, entry), !config_read_only);
        }
        fs::permissions(config, fs::perms::owner_all);
        QVERIFY(!fs::exists(entry.file()));
        QCOMPARE(settings.read("搜房网", "user"), std::string("agent"));
        if (config_read_only) {
            // The choice is kept and shown, and the agent is told the entry is missing.
            QCOMPARE(settings.read("运行", "autostart"), std::string("1"));
            QVERIFY(autostart->isChecked());
            QCOMPARE(boxes.texts(), QStringList{QStringLiteral("无法更改开机自动启动项：") +
                                                 QString::fromStdString(entry.file().string())});
        } else {
            // Not saved: the check mark goes back, nothing is written anywhere.
            QCOMPARE(settings.read("运行", "autostart"), std::string());
            QVERIFY(!autostart->isChecked());
            QVERIFY(boxes.texts().isEmpty());
            QVERIFY(!fs::exists(config / "autostart"));
        }
    }

    void power_off_warning_comes_once_a_minute_before() {
        desktop::ShutdownWarning warning;
        const std::int64_t moment = 1'000'000, other = 2'000'000;
        struct Tick {
            bool armed;
            std::int64_t moment;
            long long remaining;
            bool due;
        };
        const Tick ticks[] = {
            {true, moment, 3600, false}, {true, moment, 61, false},
            {true, moment, 59, true}, // a skipped tick still warns
            {true, moment, 58, false},    {true, moment, 0, false},  {true, moment, -1, false},
            {false, moment, 50, false},   {true, moment, 50, true},  // disarmed and armed again
            {true, other, 120, false},    {true, other, 60, true},   // another moment
            {true, other, 1, false},      {false, other, 0, false},  {true, 3, 0, false}, // at 0 it is too late
        };
        for (const Tick& t : ticks)
            QCOMPARE(warning.due(t.armed, t.moment, t.remaining), t.due);
    }

    void without_a_session_bus_a_notification_is_nothing() {
        // main() points the session bus at a socket nobody listens on.
        QStringList warnings;
        static QStringList* sink = nullptr;
        sink = &warnings;
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& text) { sink->append(text); });
        desktop::notify(QStringLiteral("账号未登录，刷新已停止"), desktop::Urgency::Critical);
        desktop::notify(QStringLiteral("将在 1 分钟后关机"));
        qInstallMessageHandler(previous);
        QCOMPARE(warnings, QStringList());
    }
};

int main(int argc, char** argv) {
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/qicheng-test-bus");
    QApplication app(argc, argv);
    DesktopTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "desktop_tests.moc"
