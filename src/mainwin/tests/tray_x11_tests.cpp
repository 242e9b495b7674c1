// The tray icon against a real tray host (trayer) on an X server of the test's own: shown nowhere
// until a host starts, then the icon, its tooltip, and a click and menu that follow the hot
// key's rules, also while the program is locked.

#include "testsupport/clocks.h"
#include "desktop/tray_icon.h"
#include "testsupport/desktop_session.h"
#include "engine/refresher.h"
#include "mainwin/desktop_parts.h"
#include "mainwin/lock_window.h"
#include "mainwin/main_window.h"
#include "store/plan_store.h"
#include "store/settings.h"
#include "testsupport/message_box_recorder.h"

#include <QAction>
#include <QElapsedTimer>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QProcess>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

testsupport::DesktopSession* g_session = nullptr;
const QColor kIconColour(255, 140, 0);

class RecordingRefresher final : public engine::Refresher {
public:
    std::function<void()> on_call;
    std::string refresh_listing(const std::string&) override {
        if (on_call)
            on_call();
        return std::string(engine::kRefreshSucceeded);
    }
};

struct Fixture {
    QTemporaryDir dir;
    std::filesystem::path root = dir.path().toStdString();
    testsupport::ManualClock clock{{2024, 3, 5, 8, 5, 0, 0}};
    store::PlanStore store;
    store::SettingsFile settings{root / "pz.ini"};
    RecordingRefresher refresher;
    std::unique_ptr<mainwin::MainWindow> window;

    Fixture() {
        QVERIFY(store.open(root / "data.db"));
        common::Plan plan;
        plan.nick = "甲";
        plan.id = "10001";
        plan.times = "08:05";
        plan.sort = "1";
        QVERIFY(store.save_plan(plan));
        window = std::make_unique<mainwin::MainWindow>(mainwin::MainWindowDeps{
            .clock = clock,
            .store = store,
            .database_file = root / "data.db",
            .refresher = refresher,
            .unlock_password = [] { return std::string("pw"); },
            .settings = &settings,
        });
    }
    desktop::TrayIcon* tray() const { return window->desktop_parts().tray(); }
    QAction* item(const char* text) const {
        for (QAction* action : tray()->menu().actions())
            if (action->text() == QString::fromUtf8(text))
                return action;
        return nullptr;
    }
    // Which of the menu's items can be chosen, as the menu is about to show.
    QStringList enabled_items() const {
        Q_EMIT tray()->menu().aboutToShow();
        QStringList texts;
        for (const QAction* action : tray()->menu().actions())
            if (!action->isSeparator() && action->isEnabled())
                texts << action->text();
        return texts;
    }
};

// A left click on the icon where the tray host shows it. Two clicks closer together than the
// double-click time would be one double click.
void click_icon(const desktop::TrayIcon& tray) {
    static QElapsedTimer since_last;
    if (since_last.isValid())
        QTest::qWait(std::max<int>(0, QApplication::doubleClickInterval() + 100 - static_cast<int>(since_last.elapsed())));
    // The host lays its icons out again as one comes, and shows one a moment after it took it:
    // click once the place holds still and the screen shows the icon's orange there.
    QRect place;
    QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                 const QRect now = tray.icon().geometry();
                                 const bool still = now.isValid() && now == place;
                                 place = now;
                                 return still && QGuiApplication::primaryScreen()
                                                         ->grabWindow(0, now.center().x(), now.center().y(), 1, 1)
                                                         .toImage()
                                                         .pixelColor(0, 0) == kIconColour;
                             }()),
                             10000);
    const QPoint at = place.center();
    QProcess xdotool;
    xdotool.setProcessEnvironment(g_session->environment());
    xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                                              QStringLiteral("click"), QStringLiteral("1")});
    QVERIFY(xdotool.waitForFinished(5000));
    QCOMPARE(xdotool.exitCode(), 0);
    since_last.start();
}

const QStringList kAllItems{QStringLiteral("显示/隐藏"), QStringLiteral("开始操作"), QStringLiteral("停止"),
                            QStringLiteral("开机自动启动"), QStringLiteral("启动后自动开始刷新"), QStringLiteral("刷新统计"),
                            QStringLiteral("退出")};

} // namespace

class TrayX11Tests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        QPixmap orange(32, 32);
        orange.fill(kIconColour);
        QApplication::setWindowIcon(QIcon(orange));
    }

    void a_tray_host_that_starts_later_gets_the_icon() {
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        Fixture f;
        QVERIFY(f.tray());
        f.window->show();
        QTRY_COMPARE(f.window->pane_text(2), QStringLiteral("今日发布:0"));
        QVERIFY(!f.tray()->icon().geometry().isValid());
        QVERIFY(g_session->start_tray_host());
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
        click_icon(*f.tray());
        QTRY_VERIFY(!f.window->isVisible());
    }

    void icon_and_menu() {
        Fixture f;
        QVERIFY(f.tray());
        QVERIFY(f.tray()->icon().isVisible());
        QCOMPARE(f.tray()->icon().icon().cacheKey(), QApplication::windowIcon().cacheKey());
        QCOMPARE(f.tray()->menu().actions().size(), 9); // two separators
        QCOMPARE(f.enabled_items(), kAllItems);
        QCOMPARE(f.tray()->icon().toolTip(), QStringLiteral("任务已经停止\n今日发布:0"));

        // The switches are the plan list's: choosing one here writes the setting, and a tick
        // there shows here.
        f.item("启动后自动开始刷新")->trigger();
        QCOMPARE(f.settings.read("运行", "autorun"), std::string("1"));
        QVERIFY(f.item("启动后自动开始刷新")->isChecked());
        QVERIFY(f.settings.write("运行", "autorun", "0"));
        QCOMPARE(f.enabled_items(), kAllItems);
        QVERIFY(!f.item("启动后自动开始刷新")->isChecked());
    }

    void tooltip_follows_the_run_started_from_the_menu() {
        Fixture f;
        f.window->show();
        QTRY_COMPARE(f.window->pane_text(2), QStringLiteral("今日发布:0"));
        QString during;
        QStringList enabled_during;
        f.refresher.on_call = [&] {
            during = f.tray()->icon().toolTip();
            enabled_during = f.enabled_items();
            f.window->run_loop().stop();
        };
        f.item("开始操作")->trigger();
        QTRY_VERIFY(!during.isEmpty());
        QCOMPARE(during, QStringLiteral("任务执行中\n今日发布:0"));
        QVERIFY(!enabled_during.contains(QStringLiteral("开始操作")));
        QTRY_COMPARE(f.tray()->icon().toolTip(), QStringLiteral("任务已经停止\n今日发布:1"));
        QCOMPARE(f.enabled_items(), kAllItems);
    }

    void a_click_flips_the_window_and_never_shows_a_locked_one() {
        Fixture f;
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));

        click_icon(*f.tray());
        QTRY_VERIFY(!f.window->isVisible());
        click_icon(*f.tray());
        QTRY_VERIFY(f.window->isVisible());

        f.window->lock_button()->click();
        QPointer<mainwin::LockWindow> lock = f.window->lock_controller().lock_window();
        QVERIFY(lock && lock->isVisible());
        click_icon(*f.tray());
        QTRY_VERIFY(!lock->isVisible());
        QVERIFY(!f.window->isVisible());
        click_icon(*f.tray());
        QTRY_VERIFY(lock->isVisible());
        QVERIFY(!f.window->isVisible());

        // Locked, the menu offers the lock window alone.
        QCOMPARE(f.enabled_items(), QStringList{QStringLiteral("显示/隐藏")});
        f.item("显示/隐藏")->trigger();
        QVERIFY(!lock->isVisible() && !f.window->isVisible());
        f.item("显示/隐藏")->trigger();
        QVERIFY(lock->isVisible() && !f.window->isVisible());

        lock->findChild<QLineEdit*>(QStringLiteral("编辑框1"))->setText(QStringLiteral("pw"));
        lock->findChild<QPushButton*>(QStringLiteral("按钮1"))->click();
        QVERIFY(f.window->isVisible());
        QCOMPARE(f.enabled_items(), kAllItems);
        // The plan list's switches were never touched by the lock.
        QVERIFY(f.window->desktop_parts().options().autostart_action()->isEnabled());
    }

    void quit_from_the_tray_asks_and_ends_the_program_even_when_hidden() {
        Fixture f;
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        f.item("显示/隐藏")->trigger();
        QVERIFY(!f.window->isVisible());

        testsupport::MessageBoxRecorder boxes;
        boxes.answer_questions(true);
        QTimer::singleShot(0, f.item("退出"), &QAction::trigger);
        // Were the program to go on, this ends the loop with another code.
        QTimer::singleShot(10000, [] { QCoreApplication::exit(7); });
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("确认要关闭软件吗？")});
    }
};

int main(int argc, char** argv) {
    testsupport::DesktopSession session({});
    if (!session.ok()) {
        qCritical("%s", qPrintable(session.error()));
        return 1;
    }
    session.enter();
    qputenv("QT_QPA_PLATFORM", "xcb");
    g_session = &session;
    QApplication app(argc, argv);
    TrayX11Tests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tray_x11_tests.moc"
