// The unattended day of the wired program, with a real notification server (dunst) on a desktop
// of the test's own: the signed-out notification beside the designed box, the warning before a
// scheduled power-off, and the executable itself started with autorun and autostart on and off.

#include "app/program.h"
#include "testsupport/clocks.h"
#include "desktop/notifications.h"
#include "testsupport/desktop_session.h"
#include "site-sim/simulator.h"
#include "site/hosts.h"
#include "store/plan_store.h"
#include "store/settings.h"
#include "testsupport/message_box_recorder.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <list>
#include <sstream>

namespace {

namespace fs = std::filesystem;

testsupport::DesktopSession* g_session = nullptr;
// Data folders outlive the QApplication: the browser profile writes into them after the
// program has gone.
std::list<QTemporaryDir>* g_homes = nullptr;

// A data folder whose hosts point at the simulator, signed in, with one plan.
struct DataFolder {
    QTemporaryDir& home = g_homes->emplace_back();
    fs::path data = fs::path(home.path().toStdString()) / "data";
    store::SettingsFile settings{data / "pz.ini"};

    DataFolder(sitesim::Simulator& sim, const std::string& times, const std::string& ids) {
        fs::create_directories(data);
        QVERIFY(site::write_site_hosts(settings, {sim.host(), sim.host()}));
        std::ofstream(data / "cookies.txt") << sim.netscape_cookie_line(sim.sign_in()) << "\n";
        store::PlanStore plans;
        QVERIFY(plans.open(data / "data.db"));
        common::Plan plan;
        plan.nick = "甲";
        plan.id = ids;
        plan.times = times;
        plan.sort = "1";
        QVERIFY(plans.save_plan(plan));
    }
};

// What the notification server has shown that contains `text`, once every notification sent
// before this call has arrived: a marker sent last comes last.
int notifications_with(const QString& text) {
    static int markers = 0;
    const QString marker = QStringLiteral("marker %1").arg(++markers);
    desktop::notify(marker);
    if (!QTest::qWaitFor([&] { return g_session->notifications().join(u'\n').contains(marker); }, 10000))
        return -1;
    return static_cast<int>(g_session->notifications().filter(text).size());
}

std::string contents_of(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The executable, ended (killed: it may sit in a message box) when this goes.
class RunningProgram final {
public:
    explicit RunningProgram(const QProcessEnvironment& env) {
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedChannels);
        process_.start(QStringLiteral(QICHENG_EXECUTABLE), {});
    }
    ~RunningProgram() {
        process_.kill();
        process_.waitForFinished(10000);
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;
    bool started() { return process_.waitForStarted(10000); }

private:
    QProcess process_;
};

// Windows of the desktop whose name matches `pattern`.
bool window_exists(const QProcessEnvironment& env, const QString& pattern) {
    QProcess search;
    search.setProcessEnvironment(env);
    search.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--name"), pattern});
    return search.waitForFinished(5000) && !search.readAllStandardOutput().trimmed().isEmpty();
}

std::string every_minute() {
    std::string times;
    for (int minute = 0; minute < 24 * 60; ++minute) {
        char node[8];
        std::snprintf(node, sizeof node, "%02d:%02d", minute / 60, minute % 60);
        times += (times.empty() ? "" : ",") + std::string(node);
    }
    return times;
}

} // namespace

class UnattendedProgramTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void signed_out_notifies_once_per_stop() {
        sitesim::Simulator sim;
        QVERIFY(sim.start());
        DataFolder folder(sim, "08:05,08:06", "10001,10002");
        QVERIFY(sim.set_knob("refresh", "login"));
        testsupport::MessageBoxRecorder boxes;
        testsupport::ManualClock clock({2024, 3, 5, 8, 5, 0, 0});
        app::Program program(folder.data, clock, nullptr, 1);
        QVERIFY(program.ready());
        program.window().show();
        QTRY_COMPARE(program.window().pane_text(2), QStringLiteral("今日发布:0"));
        auto* start = program.window().findChild<QPushButton*>(QStringLiteral("按钮开始操作"));

        // Both IDs and their retries are answered "please sign in": four boxes, one notification.
        start->click();
        QCOMPARE(boxes.texts(), QStringList(4, QStringLiteral("您未登录账号")));
        QCOMPARE(notifications_with(QStringLiteral("未登录")), 1);
        QCOMPARE(g_session->notifications().first(), QStringLiteral("栖橙|账号未登录，刷新已停止|CRITICAL"));

        // The next run stopped the same way tells again.
        clock.set({2024, 3, 5, 8, 6, 0, 0});
        start->click();
        QCOMPARE(boxes.texts().size(), 8);
        QCOMPARE(notifications_with(QStringLiteral("未登录")), 2);
        program.window().hide();
    }

    void a_scheduled_power_off_is_announced_a_minute_before() {
        sitesim::Simulator sim;
        QVERIFY(sim.start());
        DataFolder folder(sim, "", "");
        testsupport::ManualClock clock({2024, 3, 5, 20, 0, 0, 0});
        app::Program program(folder.data, clock, nullptr);
        mainwin::MainWindow& window = program.window();
        window.shutdown_time_box()->setDateTime(QDateTime(QDate(2024, 3, 5), QTime(20, 1, 30)));
        window.shutdown_check_box()->setChecked(true);

        const auto tick_at = [&](int seconds_after_eight) {
            clock.set({2024, 3, 5, 20, seconds_after_eight / 60, seconds_after_eight % 60, 0});
            Q_EMIT window.clock_ticked();
        };
        tick_at(0);
        tick_at(29);
        QCOMPARE(notifications_with(QStringLiteral("关机")), 0);
        tick_at(30); // 60 s before
        tick_at(31);
        tick_at(89);
        QCOMPARE(notifications_with(QStringLiteral("关机")), 1);
        QVERIFY(g_session->notifications().contains(QStringLiteral("栖橙|将在 1 分钟后关机|NORMAL")));
        window.shutdown_check_box()->setChecked(false);
    }

    void the_program_starts_its_run_and_its_entry_as_set() {
        sitesim::Simulator sim;
        QVERIFY(sim.start());
        DataFolder folder(sim, every_minute(), "10001");
        QVERIFY(sim.set_knob("refresh", "login"));
        QTemporaryDir config;
        const fs::path entry = fs::path(config.path().toStdString()) / "autostart" / "cn.qicheng.Qicheng.desktop";
        QProcessEnvironment env = g_session->environment();
        env.insert(QStringLiteral("QICHENG_HOME"), folder.home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        // Both on: the run is under way without a click, and signed out it tells the desktop.
        QVERIFY(folder.settings.write("运行", "autostart", "1"));
        QVERIFY(folder.settings.write("运行", "autorun", "1"));
        const qsizetype signed_out_before = g_session->notifications().filter(QStringLiteral("未登录")).size();
        {
            RunningProgram program(env);
            QVERIFY(program.started());
            QTRY_VERIFY_WITH_TIMEOUT(!sim.requests().empty(), 30000);
            QTRY_COMPARE_WITH_TIMEOUT(g_session->notifications().filter(QStringLiteral("未登录")).size(),
                                      signed_out_before + 1, 10000);
            QTRY_VERIFY_WITH_TIMEOUT(window_exists(env, QStringLiteral("^信息：$")), 10000);
        }
        QVERIFY(fs::exists(entry));
        const QString text = QString::fromStdString(contents_of(entry));
        QVERIFY2(text.contains(QStringLiteral("\nExec=env QICHENG_HOME=") + folder.home.path() + u' ' + QStringLiteral(QICHENG_EXECUTABLE) + u'\n'),
                 qPrintable(text));
        QProcess validate;
        validate.setProcessChannelMode(QProcess::MergedChannels);
        validate.start(QStringLiteral("desktop-file-validate"), {QString::fromStdString(entry.string())});
        QVERIFY(validate.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(validate.readAll()), QString());
        QCOMPARE(validate.exitCode(), 0);

        // Both off: the entry goes at start-up and nothing is sent.
        QVERIFY(folder.settings.write("运行", "autostart", "0"));
        QVERIFY(folder.settings.write("运行", "autorun", "0"));
        QVERIFY(sim.clear_requests());
        {
            RunningProgram program(env);
            QVERIFY(program.started());
            QTRY_VERIFY_WITH_TIMEOUT(!fs::exists(entry), 30000);
            // The plan is due every minute, so a run would send at its first sweep: a while
            // after the window is up, the simulator has still heard nothing.
            QTRY_VERIFY_WITH_TIMEOUT(window_exists(env, QStringLiteral("^栖橙$")), 30000);
            QTest::qWait(2000);
            QVERIFY(sim.requests().empty());
        }
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
    std::list<QTemporaryDir> homes;
    g_homes = &homes;
    QApplication app(argc, argv);
    UnattendedProgramTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "unattended_program_tests.moc"
