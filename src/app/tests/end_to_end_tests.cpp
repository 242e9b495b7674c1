// The wired program against the site simulator: a plan due now, start pressed, and what the
// agent sees and the site receives, the designed message box included.

#include "app/program.h"
#include "common/clock.h"
#include "site/hosts.h"
#include "store/plan_store.h"
#include "store/settings.h"
#include "site-sim/simulator.h"
#include "testsupport/clocks.h"
#include "testsupport/message_box_recorder.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <fstream>

namespace {

const common::LocalTime kAt0805{2024, 3, 5, 8, 5, 0, 0};
const std::string kToday = "2024年3月5日";

std::string refresh_target(const std::string& agent, const std::string& id) {
    return "/Magent/House/HouseListAction.aspx?businesstype=cs&page=1&pagesize=20&flag=1&agentid=" + agent +
           "&mendianID=0&action=refhouse&houseid=" + id +
           "&pageurl=%2fmagent%2fhouse%2fhouselist.aspx%3fbusinesstype%3dcs%26page%3d1%26pagesize%3d20%26flag%3d1";
}

// Signed in before start-up, as a saved jar after a restart; both site hosts at the simulator;
// one plan 甲 of `ids`, due at 08:05.
void prepare_data_folder(sitesim::Simulator& sim, const std::filesystem::path& data, const std::string& ids) {
    std::filesystem::create_directories(data);
    const store::SettingsFile settings(data / "pz.ini");
    QVERIFY(site::write_site_hosts(settings, {sim.host(), sim.host()}));
    std::ofstream(data / "cookies.txt") << sim.netscape_cookie_line(sim.sign_in()) << "\n";
    store::PlanStore plans;
    QVERIFY(plans.open(data / "data.db"));
    common::Plan plan;
    plan.nick = "甲";
    plan.id = ids;
    plan.times = "08:00,08:05";
    plan.sort = "1";
    plan.numall = "6";
    QVERIFY(plans.save_plan(plan));
}

} // namespace

class EndToEndTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void a_due_plan_refreshes_through_the_site() {
        sitesim::Simulator sim;
        QVERIFY(sim.start());
        QTemporaryDir home;
        const std::filesystem::path data = std::filesystem::path(home.path().toStdString()) / "data";
        prepare_data_folder(sim, data, "10001,10002,10003");
        if (QTest::currentTestFailed())
            return;
        QVERIFY(sim.set_knob("refresh.10001", "success"));
        QVERIFY(sim.set_knob("refresh.10002", "login"));
        QVERIFY(sim.set_knob("refresh.10003", "silent"));

        testsupport::MessageBoxRecorder boxes;
        testsupport::ManualClock clock(kAt0805);
        app::Program program(data, clock, nullptr, 1);
        QVERIFY(program.ready());
        program.session().set_agent_id("4321");
        mainwin::MainWindow& window = program.window();
        window.show();
        QTRY_COMPARE(window.pane_text(2), QStringLiteral("今日发布:0"));

        window.findChild<QPushButton*>(QStringLiteral("按钮开始操作"))->click();

        // The signed-out answer stopped the run after the plan's last ID.
        QVERIFY(!window.run_loop().running());
        QCOMPARE(window.pane_text(1), QStringLiteral("任务已经停止"));
        QCOMPARE(window.log_text(), std::string("操作记录....\r\n"
                                                "08:05:00  甲 符合时间节点\r\n"
                                                "08:05:00  甲 正在刷新\r\n"
                                                "08:05:00  甲 10001  成功\r\n"
                                                "08:05:00  甲 10002  未登录账号\r\n"
                                                "08:05:00  甲 10003  \r\n"));
        QCOMPARE(boxes.texts(), (QStringList{QStringLiteral("您未登录账号"), QStringLiteral("您未登录账号")}));

        QCOMPARE(window.pane_text(2), QStringLiteral("今日发布:1"));
        auto* list = window.findChild<QTreeWidget*>(QStringLiteral("超级列表框1"));
        QCOMPARE(list->topLevelItem(0)->text(3), QStringLiteral("1"));

        store::PlanStore check;
        QVERIFY(check.open(data / "data.db"));
        const common::Plan after = check.load_plan_by_name("甲");
        QCOMPARE(after.progress, std::string("10003"));
        QCOMPARE(after.today, std::string("1"));
        QCOMPARE(after.date1, kToday);
        QCOMPARE(check.read_today_total(kToday), 1LL);

        std::vector<std::string> targets;
        for (const auto& request : sim.requests())
            targets.push_back(request.target);
        const std::vector<std::string> expected{refresh_target("4321", "10001"), refresh_target("4321", "10002"),
                                                refresh_target("4321", "10002"), refresh_target("4321", "10003"),
                                                refresh_target("4321", "10003")};
        QCOMPARE(targets, expected);
        // Signed in through the jar alone: the login window never opened, so no browser started.
        QVERIFY(!program.browser_started());

        window.hide();
    }

    // No recorder here: the box really opens, modal, its event loop nested in the refresh inside
    // the run, and is answered with Enter once the window's own clock has ticked beneath it.
    void the_signed_out_box_opens_in_the_middle_of_a_run() {
        sitesim::Simulator sim;
        QVERIFY(sim.start());
        QTemporaryDir home;
        const std::filesystem::path data = std::filesystem::path(home.path().toStdString()) / "data";
        prepare_data_folder(sim, data, "10002");
        if (QTest::currentTestFailed())
            return;
        // Signed out at first; the retry a second later goes through.
        QVERIFY(sim.set_knob("refresh.10002", "login||success"));

        testsupport::ManualClock clock(kAt0805);
        app::Program program(data, clock, nullptr, 1);
        QVERIFY(program.ready());
        program.session().set_agent_id("4321");
        mainwin::MainWindow& window = program.window();
        window.show();
        QTRY_COMPARE(window.pane_text(2), QStringLiteral("今日发布:0"));

        QStringList shown;
        QPointer<QMessageBox> seen;
        int ticks_under_box = 0;
        bool enter_answered = true;
        connect(&window, &mainwin::MainWindow::clock_ticked, this, [&] {
            if (QApplication::activeModalWidget())
                ++ticks_under_box;
        });
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            if (box != seen) {
                seen = box;
                shown << box->windowTitle() + QLatin1Char('|') + box->text();
                QCOMPARE(box->parentWidget(), &window);
                ticks_under_box = 0;
            }
            if (ticks_under_box < 1)
                return;
            QTest::keyClick(box, Qt::Key_Return);
            if (box->isVisible()) {
                // Never leave the run waiting on a box.
                enter_answered = false;
                box->done(QMessageBox::Ok);
            }
        });
        answer.start(20);

        window.findChild<QPushButton*>(QStringLiteral("按钮开始操作"))->click();
        answer.stop();

        QCOMPARE(shown, QStringList{QStringLiteral("信息：|您未登录账号")});
        QVERIFY(enter_answered);
        QVERIFY(!QApplication::activeModalWidget());
        // The box stopped the run; the plan's ID was still finished by its retry.
        QVERIFY(!window.run_loop().running());
        QCOMPARE(window.pane_text(1), QStringLiteral("任务已经停止"));
        QVERIFY(window.log_text().ends_with("08:05:00  甲 10002  成功\r\n"));
        QCOMPARE(window.pane_text(2), QStringLiteral("今日发布:1"));
        QCOMPARE(sim.requests().size(), std::size_t{2});

        window.hide();
    }
};

QTEST_MAIN(EndToEndTests)
#include "end_to_end_tests.moc"
