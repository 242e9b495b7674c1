#include "common/clock.h"
#include "mainwin/lock_window.h"
#include "mainwin/power_off.h"
#include "engine/refresher.h"
#include "mainwin/main_window.h"
#include "mainwin/operation_log.h"
#include "store/plan_store.h"
#include "store/sqlite.h"
#include "testsupport/clocks.h"
#include "testsupport/message_box_recorder.h"
#include "testsupport/power_off_recorder.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <memory>

using mainwin::MainWindow;

namespace {

const common::LocalTime kAt0805{.year = 2024, .month = 3, .day = 5, .hour = 8, .minute = 5, .second = 0};
const std::string kToday = "2024年3月5日";

QString q(const std::string& text) { return QString::fromStdString(text); }

QStringList texts(std::initializer_list<const char*> items) {
    QStringList list;
    for (const char* text : items)
        list << QString::fromUtf8(text);
    return list;
}

class ScriptedRefresher final : public engine::Refresher {
public:
    // Answers "刷新成功" unless the script says otherwise.
    std::function<std::string(const std::string& id)> script;
    QStringList calls;

    std::string refresh_listing(const std::string& listing_id) override {
        calls << q(listing_id);
        return script ? script(listing_id) : std::string(engine::kRefreshSucceeded);
    }
};

// A real window over a database in a temporary folder, with the clock at 08:05:00.
struct Fixture {
    QTemporaryDir dir;
    testsupport::ManualClock clock{kAt0805};
    store::PlanStore store;
    ScriptedRefresher refresher;
    QStringList editor_opened;
    std::function<void()> editor_action;
    mainwin::PowerOff* power_off = nullptr;
    std::string unlock_password;
    std::unique_ptr<MainWindow> window;

    std::filesystem::path database_file() const { return std::filesystem::path(dir.path().toStdString()) / "data" / "data.db"; }

    void make_window(const std::filesystem::path& file) {
        window = std::make_unique<MainWindow>(mainwin::MainWindowDeps{
            .clock = clock,
            .store = store,
            .database_file = file,
            .refresher = refresher,
            .open_plan_editor =
                [this](QWidget*, const std::string& name) {
                    editor_opened << q(name);
                    if (editor_action)
                        editor_action();
                },
            .power_off = power_off,
            .unlock_password = [this] { return unlock_password; },
        });
    }
    void make_window() { make_window(database_file()); }

    void add_plan(const std::string& nick, const std::string& ids, const std::string& times = "08:05",
                  const std::string& numall = "2") {
        common::Plan plan;
        plan.nick = nick;
        plan.id = ids;
        plan.times = times;
        plan.sort = "1";
        plan.sort1 = "1";
        plan.numall = numall;
        QVERIFY(store.save_plan(plan));
    }

    // A second row of the same name, as older databases may hold (a save keeps only one).
    void add_twin(const std::string& nick) {
        store::Database db;
        QVERIFY(db.open(database_file()));
        store::Statement insert(db, "insert into data (nick, id, times, sort) values (?1, '9', '08:05', '1')");
        QVERIFY(insert.run({nick}));
    }

    // Shows the window and waits for its first activation to fill the list.
    void show() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTRY_VERIFY(!window->pane_text(2).isEmpty());
    }

    QTreeWidget* list() const { return window->findChild<QTreeWidget*>(QStringLiteral("超级列表框1")); }
    QPushButton* button(const char* name) const { return window->findChild<QPushButton*>(QString::fromUtf8(name)); }

    QStringList column(int col) const {
        QStringList cells;
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            cells << list()->topLevelItem(i)->text(col);
        return cells;
    }
    QString ticks() const {
        QString marks;
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            marks += list()->topLevelItem(i)->checkState(0) == Qt::Checked ? u'1' : u'0';
        return marks;
    }
    void set_ticks(const QString& marks) {
        for (int i = 0; i < marks.size(); ++i)
            list()->topLevelItem(i)->setCheckState(0, marks[i] == u'1' ? Qt::Checked : Qt::Unchecked);
    }
    void menu_item(const QString& text) {
        auto* menu = window->findChild<QMenu*>(QStringLiteral("右键"));
        QVERIFY(menu);
        for (QAction* action : menu->actions()) {
            if (action->text() == text) {
                action->trigger();
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no menu item ") + text));
    }
    // Presses start; returns when the run has ended.
    void press_start() { QTest::mouseClick(button("按钮开始操作"), Qt::LeftButton); }
};

} // namespace

class MainWindowTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        // Closing the window in a test must not end the test program.
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QRect>("place");
        QTest::addColumn<QString>("caption");
        QTest::newRow("group") << "分组框1" << "QGroupBox" << QRect(0, 3, 458, 397) << "方案列表  勾选ID右键可删除方案";
        QTest::newRow("list") << "超级列表框1" << "QTreeWidget" << QRect(1, 21, 455, 373) << "";
        QTest::newRow("label") << "标签1" << "QLabel" << QRect(312, 213, 96, 32) << "";
        QTest::newRow("log") << "编辑框记录" << "QPlainTextEdit" << QRect(459, 11, 403, 386) << "";
        QTest::newRow("login") << "按钮登录网站" << "QPushButton" << QRect(5, 400, 80, 32) << "登录网站";
        QTest::newRow("settings") << "按钮刷新设置" << "QPushButton" << QRect(101, 400, 80, 32) << "方案设置";
        QTest::newRow("start") << "按钮开始操作" << "QPushButton" << QRect(212, 400, 80, 32) << "开始操作";
        QTest::newRow("stop") << "按钮停止" << "QPushButton" << QRect(317, 400, 80, 32) << "停止";
        QTest::newRow("date") << "日期框1" << "QDateTimeEdit" << QRect(464, 401, 168, 24) << "";
        QTest::newRow("shutdown") << "选择框1" << "QCheckBox" << QRect(632, 400, 104, 24) << "定时关机";
        QTest::newRow("lock") << "按钮锁定界面" << "QPushButton" << QRect(775, 400, 77, 24) << "锁定界面";
        QTest::newRow("status") << "状态条1" << "QWidget" << QRect(0, 455, 862, 20) << "";
    }
    void controls() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QRect, place);
        QFETCH(QString, caption);
        Fixture f;
        f.make_window();
        auto* control = f.window->findChild<QWidget*>(name);
        QVERIFY(control);
        QVERIFY(control->inherits(kind.toLatin1().constData()));
        QCOMPARE(control->geometry(), place);
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            QCOMPARE(button->text(), caption);
        if (auto* group = qobject_cast<QGroupBox*>(control))
            QCOMPARE(group->title(), caption);
    }

    void initial_state() {
        Fixture f;
        f.make_window();
        MainWindow& w = *f.window;
        QCOMPARE(w.windowTitle(), QStringLiteral("栖橙"));
        QCOMPARE(w.log_text(), std::string("操作记录....\r\n"));
        QCOMPARE(f.column(0), QStringList());
        QStringList titles;
        QList<int> widths;
        for (int c = 0; c < f.list()->columnCount(); ++c) {
            titles << f.list()->headerItem()->text(c);
            widths << f.list()->columnWidth(c);
        }
        QCOMPARE(titles, texts({"ID", "方案名", "刷新次数", "已刷新"}));
        QCOMPARE(widths, (QList<int>{50, 200, 100, 100}));

        QList<int> pane_widths;
        for (int i = 0; i < 4; ++i)
            pane_widths << w.findChild<QLabel*>(QStringLiteral("状态条1_窗格%1").arg(i))->width();
        QCOMPARE(pane_widths, (QList<int>{60, 280, 200, 200}));
        QCOMPARE(w.pane_text(0), QStringLiteral("状态栏"));

        auto* date = w.findChild<QDateTimeEdit*>(QStringLiteral("日期框1"));
        QCOMPARE(date->displayFormat(), QStringLiteral("yyyy/MM/dd HH:mm:ss ddd"));
        QCOMPARE(date->dateTime(), QDateTime(QDate(2024, 3, 5), QTime(8, 5, 0)));
        QVERIFY(!w.findChild<QCheckBox*>(QStringLiteral("选择框1"))->isChecked());
        QVERIFY(w.findChild<QLabel*>(QStringLiteral("标签1"))->isHidden());

        auto* timer = w.findChild<QTimer*>(QStringLiteral("时钟1"));
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), 1000);
        QSignalSpy ticks(&w, &MainWindow::clock_ticked);
        QVERIFY(ticks.wait(2000));

        QStringList items;
        for (QAction* action : w.findChild<QMenu*>(QStringLiteral("右键"))->actions())
            items << action->text();
        // The designed five come first; the switches of the unattended day follow them.
        QCOMPARE(items.mid(0, 5), texts({"刷新显示", "全部勾选", "反向勾选", "取消勾选", "删除勾选项"}));
    }

    void database_failure_data() {
        QTest::addColumn<QString>("what");
        QTest::newRow("folder in place of the file") << "folder";
        QTest::newRow("not a database") << "garbage";
    }
    void database_failure() {
        QFETCH(QString, what);
        Fixture f;
        const auto file = std::filesystem::path(f.dir.path().toStdString()) / "data.db";
        if (what == u"folder")
            std::filesystem::create_directories(file);
        else
            std::ofstream(file) << std::string(4096, 'x');
        testsupport::MessageBoxRecorder boxes;
        f.make_window(file);
        QVERIFY(!f.window->database_open());
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("数据库连接失败")});
    }

    void first_activation_data() {
        QTest::addColumn<int>("plans");
        QTest::addColumn<int>("successes_today");
        QTest::newRow("empty table") << 0 << 0;
        QTest::newRow("three plans") << 3 << 2;
    }
    void first_activation() {
        QFETCH(int, plans);
        QFETCH(int, successes_today);
        Fixture f;
        f.make_window();
        const std::vector<std::string> names = {"早班", "晚班's \"plan\"", "午班"};
        for (int i = 0; i < plans; ++i)
            f.add_plan(names[static_cast<std::size_t>(i)], "1", "08:05", std::to_string(10 * (i + 1)));
        if (plans > 0)
            f.store.set_today_plan_count(names[0], kToday);
        for (int i = 0; i < successes_today; ++i)
            f.store.count_one_success_today(kToday);
        f.store.count_one_success_today("2024年3月4日");
        f.show();
        QCOMPARE(f.window->pane_text(2), QStringLiteral("今日发布:%1").arg(successes_today));
        if (plans == 0) {
            QCOMPARE(f.column(0), QStringList());
            return;
        }
        QCOMPARE(f.column(0), texts({"1", "2", "3"}));
        QCOMPARE(f.column(1), texts({"早班", "晚班's \"plan\"", "午班"}));
        QCOMPARE(f.column(2), texts({"10", "20", "30"}));
        QCOMPARE(f.column(3), texts({"1", "", ""}));
        QCOMPARE(f.ticks(), QStringLiteral("000"));
    }

    void tick_items_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("tick all") << "全部勾选" << "0100" << "1111";
        QTest::newRow("invert") << "反向勾选" << "0110" << "1001";
        QTest::newRow("untick all") << "取消勾选" << "1101" << "0000";
    }
    void tick_items() {
        QFETCH(QString, item);
        QFETCH(QString, before);
        QFETCH(QString, after);
        Fixture f;
        f.make_window();
        for (const char* name : {"a", "b", "c", "d"})
            f.add_plan(name, "1");
        f.show();
        f.set_ticks(before);
        f.menu_item(item);
        QCOMPARE(f.ticks(), after);
    }

    void delete_ticked() {
        Fixture f;
        f.make_window();
        for (const char* name : {"甲", "乙"})
            f.add_plan(name, "1");
        f.add_twin("甲");
        for (const char* name : {"O'Brien \"x\"", "丙"})
            f.add_plan(name, "1");
        f.show();
        QCOMPARE(f.column(1).size(), 5);

        // Nothing ticked: nothing goes, the list is read again (a plan added meanwhile shows).
        f.add_plan("丁", "1");
        f.menu_item(QStringLiteral("删除勾选项"));
        QCOMPARE(f.column(1), texts({"甲", "乙", "甲", "O'Brien \"x\"", "丙", "丁"}));

        // The first 甲 ticked takes its twin along; a quote in a name is only a character.
        f.set_ticks(QStringLiteral("100100"));
        f.menu_item(QStringLiteral("删除勾选项"));
        QCOMPARE(f.column(1), texts({"乙", "丙", "丁"}));
        QCOMPARE(f.column(0), texts({"1", "2", "3"}));
        QVERIFY(f.store.load_plan_by_name("甲").empty());
        QVERIFY(f.store.load_plan_by_name("O'Brien \"x\"").empty());
        QCOMPARE(f.store.load_plan_by_name("乙").nick, std::string("乙"));
    }

    void reload_inside_reload_lists_each_plan_once() {
        Fixture f;
        f.make_window();
        for (const char* name : {"a", "b", "c"})
            f.add_plan(name, "1");
        f.show();
        // A second reload that runs in the event processing between two rows of the first.
        QTimer::singleShot(0, f.window.get(), [&f] { f.window->reload_plan_list(); });
        f.window->reload_plan_list();
        QCOMPARE(f.column(1), texts({"a", "b", "c"}));
        QCOMPARE(f.column(0), texts({"1", "2", "3"}));
    }

    void plan_editor_openings() {
        Fixture f;
        f.make_window();
        f.add_plan("早班", "1");
        f.add_plan("晚班", "2");
        f.show();
        QWidget* viewport = f.list()->viewport();

        // Nothing selected: a double click opens nothing.
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(200, 300));
        QCOMPARE(f.editor_opened, QStringList());

        const QRect second = f.list()->visualItemRect(f.list()->topLevelItem(1));
        QTest::mouseClick(viewport, Qt::LeftButton, {}, second.center());
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, second.center());
        QCOMPARE(f.editor_opened, QStringList{QStringLiteral("晚班")});
        QCOMPARE(f.window->edited_plan_name(), std::string("晚班"));

        // "方案设置" opens the editor for a new plan; the list shows what the editor saved.
        f.editor_action = [&f] { f.add_plan("新方案", "3"); };
        f.button("按钮刷新设置")->click();
        QCOMPARE(f.editor_opened.last(), QString());
        QCOMPARE(f.window->edited_plan_name(), std::string());
        QCOMPARE(f.column(1), texts({"早班", "晚班", "新方案"}));
    }

    void log_shows_one_line_per_log_line() {
        Fixture f;
        f.make_window();
        f.window->append_log_line("08:05:00  甲 1  第一行\n第二行\r\n");
        f.window->append_log_line("08:05:01  乙\r\n");
        QCOMPARE(f.window->log_text(), std::string("操作记录....\r\n08:05:00  甲 1  第一行 第二行\r\n08:05:01  乙\r\n"));
        auto* box = f.window->findChild<QPlainTextEdit*>(QStringLiteral("编辑框记录"));
        QCOMPARE(box->blockCount(), 4); // three lines and the empty one the caret waits on
        QVERIFY(box->textCursor().atEnd());

        // A megabyte-long site message shows cut short instead of holding the window.
        f.window->append_log_line("08:05:02  丙 3  " + std::string(1'000'000, 'x') + "\r\n");
        QCOMPARE(box->blockCount(), 5);
        const QString shown = box->document()->findBlockByNumber(3).text();
        QCOMPARE(shown.size(), mainwin::OperationLog::kMaxLineLength + 1);
        QVERIFY(shown.startsWith(QStringLiteral("08:05:02  丙 3  xxx")));
        QVERIFY(shown.endsWith(QStringLiteral("x…")));
    }

    void run_refreshes_logs_and_counts() {
        Fixture f;
        f.make_window();
        f.add_plan("早班", "101,102");
        f.add_plan("晚班", "201", "18:05");
        f.show();
        QPushButton* start = f.button("按钮开始操作");
        bool start_was_disabled = false;
        f.refresher.script = [&](const std::string& id) -> std::string {
            start_was_disabled = !start->isEnabled();
            if (id == "102") {
                f.window->run_loop().stop();
                return "今日刷新次数已用完";
            }
            return engine::kRefreshSucceeded;
        };
        f.press_start();

        QCOMPARE(f.window->log_text(), std::string("操作记录....\r\n"
                                                   "08:05:00  早班 符合时间节点\r\n"
                                                   "08:05:00  早班 正在刷新\r\n"
                                                   "08:05:00  早班 101  成功\r\n"
                                                   "08:05:00  早班 102  今日刷新次数已用完\r\n"));
        QCOMPARE(f.refresher.calls, texts({"101", "102", "102"}));
        QVERIFY(start_was_disabled);
        QVERIFY(start->isEnabled());
        QCOMPARE(f.window->pane_text(1), QStringLiteral("任务已经停止"));
        QCOMPARE(f.window->pane_text(2), QStringLiteral("今日发布:1"));
        QCOMPARE(f.column(3), texts({"1", ""}));
        const common::Plan plan = f.store.load_plan_by_name("早班");
        QCOMPARE(plan.today, std::string("1"));
        QCOMPARE(plan.date1, kToday);
        QCOMPARE(f.store.read_today_total(kToday), 1LL);
    }

    void stop_ends_the_run_after_the_current_plan() {
        Fixture f;
        f.make_window();
        f.add_plan("甲", "1,2");
        f.add_plan("乙", "3");
        f.show();
        f.refresher.script = [&f](const std::string& id) -> std::string {
            if (id == "1")
                f.button("按钮停止")->click();
            return engine::kRefreshSucceeded;
        };
        f.press_start();
        QCOMPARE(f.refresher.calls, texts({"1", "2"}));
        QCOMPARE(f.window->pane_text(1), QStringLiteral("任务已经停止"));
        QVERIFY(!f.window->run_loop().running());

        // Stop while idle changes nothing visible.
        const std::string log = f.window->log_text();
        f.button("按钮停止")->click();
        QCOMPARE(f.window->log_text(), log);
        QCOMPARE(f.window->pane_text(1), QStringLiteral("任务已经停止"));
    }

    void close_question_no_keeps_window_and_run() {
        Fixture f;
        f.make_window();
        f.show();
        testsupport::MessageBoxRecorder boxes;
        boxes.answer_questions(false);
        bool closed = true, running_after_no = false, visible_after_no = false;
        // No plans: the run only sweeps and pauses, and the timers act in its pauses.
        QTimer::singleShot(100, f.window.get(), [&] {
            closed = f.window->close();
            running_after_no = f.window->run_loop().running();
            visible_after_no = f.window->isVisible();
            QTimer::singleShot(300, f.window.get(), [&f] { f.window->run_loop().stop(); });
        });
        f.press_start();
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("确认要关闭软件吗？")});
        QVERIFY(!closed);
        QVERIFY(running_after_no);
        QVERIFY(visible_after_no);
        QVERIFY(f.window->isVisible());
        QCOMPARE(f.window->pane_text(1), QStringLiteral("任务已经停止"));
    }

    void close_question_yes_during_run_finishes_the_plan_first() {
        Fixture f;
        f.make_window();
        f.add_plan("甲", "1,2");
        f.add_plan("乙", "3");
        f.show();
        testsupport::MessageBoxRecorder boxes;
        QStringList visible_at;
        f.refresher.script = [&](const std::string& id) -> std::string {
            if (f.window->isVisible())
                visible_at << q(id);
            if (id == "1")
                f.window->close();
            return engine::kRefreshSucceeded;
        };
        f.press_start();
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("确认要关闭软件吗？")});
        // The plan under way was finished with the window still there, then the run ended.
        QCOMPARE(f.refresher.calls, texts({"1", "2"}));
        QCOMPARE(visible_at, texts({"1", "2"}));
        QVERIFY(!f.window->isVisible());
        QVERIFY(!f.window->run_loop().running());
        QVERIFY(f.window->log_text().ends_with("甲 2  成功\r\n"));
        QCOMPARE(f.store.load_plan_by_name("甲").today, std::string("2"));
        QCOMPARE(f.store.read_today_total(kToday), 2LL);
    }

    void lock_button_and_shutdown_timer_are_wired() {
        testsupport::PowerOffRecorder recorder;
        Fixture f;
        f.power_off = &recorder;
        f.unlock_password = "pw";
        f.make_window();
        f.show();

        f.window->shutdown_time_box()->setDateTime(QDateTime(QDate(2024, 3, 5), QTime(8, 5, 10)));
        f.window->shutdown_check_box()->setChecked(true);
        // The window's own once-a-second timer drives the countdown.
        QTRY_COMPARE_WITH_TIMEOUT(f.window->pane_text(3), QStringLiteral("距离开机时间还有 0时0分10秒"), 3000);
        f.clock.advance_ms(10'000);
        QTRY_VERIFY_WITH_TIMEOUT(recorder.requests >= 1, 3000);

        f.window->lock_button()->click();
        QVERIFY(!f.window->isVisible());
        QVERIFY(f.window->lock_controller().lock_window());
    }

    void close_question_yes_while_idle_closes() {
        Fixture f;
        f.make_window();
        f.show();
        testsupport::MessageBoxRecorder boxes;
        QVERIFY(f.window->close());
        QVERIFY(!f.window->isVisible());
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("确认要关闭软件吗？")});
    }
};

QTEST_MAIN(MainWindowTests)
#include "main_window_tests.moc"
