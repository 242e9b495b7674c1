// The main window's part in the unattended day: the switches after the plan list's designed
// menu items, the statistics window, and the run that starts by itself once the list is loaded.

#include "testsupport/clocks.h"
#include "desktop/run_options.h"
#include "engine/refresher.h"
#include "mainwin/desktop_parts.h"
#include "mainwin/main_window.h"
#include "stats/statistics_window.h"
#include "store/plan_store.h"
#include "store/settings.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

class StoppingRefresher final : public engine::Refresher {
public:
    mainwin::MainWindow* window = nullptr;
    QStringList calls;
    // Succeeds and ends the run, so a test that lets events run comes back.
    std::string refresh_listing(const std::string& id) override {
        calls << QString::fromStdString(id);
        window->run_loop().stop();
        return std::string(engine::kRefreshSucceeded);
    }
};

struct Fixture {
    QTemporaryDir dir;
    std::filesystem::path root = dir.path().toStdString();
    testsupport::ManualClock clock{{2024, 3, 5, 8, 5, 0, 0}};
    store::PlanStore store;
    store::SettingsFile settings{root / "pz.ini"};
    StoppingRefresher refresher;
    std::unique_ptr<mainwin::MainWindow> window;

    explicit Fixture(const char* autorun = nullptr) {
        if (autorun)
            settings.write("运行", "autorun", autorun);
        QVERIFY(store.open(root / "data.db"));
        common::Plan plan;
        plan.nick = "甲";
        plan.id = "10001";
        plan.times = "08:05";
        plan.sort = "1";
        QVERIFY(store.save_plan(plan));
        window = std::make_unique<mainwin::MainWindow>(mainwin::MainWindowDeps{
            .clock = clock, .store = store, .database_file = root / "data.db", .refresher = refresher, .settings = &settings});
        refresher.window = window.get();
    }
    // Shows the window and lets its first activation fill the list, and what that queued run.
    void show() {
        window->show();
        QTRY_VERIFY(!window->pane_text(2).isEmpty());
        QCoreApplication::processEvents();
    }
    QMenu* plan_menu() const { return window->findChild<QMenu*>(QStringLiteral("右键")); }
};

QStringList texts_of(const QMenu* menu) {
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

} // namespace

class UnattendedTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void plan_menu_ends_with_the_switches_showing_the_settings() {
        Fixture f("1");
        QMenu* menu = f.plan_menu();
        QVERIFY(menu);
        QCOMPARE(texts_of(menu), (QStringList{QStringLiteral("刷新显示"), QStringLiteral("全部勾选"), QStringLiteral("反向勾选"),
                                              QStringLiteral("取消勾选"), QStringLiteral("删除勾选项"), QStringLiteral("-"),
                                              QStringLiteral("开机自动启动"), QStringLiteral("启动后自动开始刷新"),
                                              QStringLiteral("刷新统计")}));
        QAction* autostart = menu->actions()[6];
        QAction* autorun = menu->actions()[7];
        QVERIFY(autostart->isCheckable() && autorun->isCheckable() && !menu->actions()[8]->isCheckable());
        QVERIFY(!autostart->isChecked() && autorun->isChecked());
        // The menu shows the file as it is when it opens.
        QVERIFY(f.settings.write("运行", "autorun", "0"));
        Q_EMIT menu->aboutToShow();
        QVERIFY(!autorun->isChecked());
        // No tray host on this platform: no tray icon, nothing else changes.
        QVERIFY(!f.window->desktop_parts().tray());
    }

    void statistics_opens_one_window_read_afresh() {
        Fixture f;
        f.show();
        QAction* statistics = f.plan_menu()->actions().last();
        statistics->trigger();
        stats::StatisticsWindow* window = f.window->desktop_parts().statistics_window();
        QVERIFY(window && window->isVisible());
        window->close();
        statistics->trigger();
        QCOMPARE(f.window->desktop_parts().statistics_window(), window);
        QVERIFY(window->isVisible());
    }

    void autorun_starts_the_run_once_the_list_is_loaded_data() {
        QTest::addColumn<QString>("autorun");
        QTest::addColumn<bool>("runs");
        QTest::newRow("1") << "1" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("missing") << QString() << false;
    }
    void autorun_starts_the_run_once_the_list_is_loaded() {
        QFETCH(QString, autorun);
        QFETCH(bool, runs);
        Fixture f(autorun.isNull() ? nullptr : autorun.toUtf8().constData());
        f.show();
        QCOMPARE(f.refresher.calls, runs ? QStringList{QStringLiteral("10001")} : QStringList());
        QVERIFY(!f.window->run_loop().in_run());
        QCOMPARE(f.window->pane_text(1), runs ? QStringLiteral("任务已经停止") : QString());
        if (runs)
            QVERIFY(f.window->log_text().find("甲 10001  成功") != std::string::npos);
    }
};

QTEST_MAIN(UnattendedTests)
#include "unattended_tests.moc"
