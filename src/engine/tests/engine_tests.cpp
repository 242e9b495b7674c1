#include "common/clock.h"
#include "engine/fired_nodes.h"
#include "engine/refresher.h"
#include "engine/run_loop.h"
#include "engine/run_view.h"
#include "engine/selection.h"
#include "store/plan_store.h"
#include "testsupport/clocks.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <map>
#include <vector>

using common::LocalTime;
using common::Plan;

namespace {

constexpr LocalTime k0805{2024, 3, 5, 8, 5, 0};
const std::string kToday = "2024年3月5日";

// The main window as the loop sees it: rows of plan names, two panes, the log.
class FakeView final : public engine::RunView {
public:
    std::vector<std::string> rows;
    std::string log;
    std::vector<std::string> run_states;
    std::vector<long long> totals;
    std::map<int, std::vector<long long>> cells; // row -> counts written into column 3
    std::vector<bool> start_enabled;
    // Called as each sweep counts the rows, with the sweep's number from 1.
    std::function<void(int)> on_sweep;
    int sweeps = 0;
    // When set, the run is stopped as sweep `last_sweep` reaches its last row, so that sweep
    // is finished whole and no further one starts.
    engine::RunLoop* loop = nullptr;
    int last_sweep = 0;

    int plan_row_count() const override {
        auto* self = const_cast<FakeView*>(this);
        ++self->sweeps;
        if (on_sweep)
            on_sweep(sweeps);
        if (loop && rows.empty() && sweeps >= last_sweep)
            loop->stop();
        return static_cast<int>(rows.size());
    }
    std::string plan_name_at(int row) const override {
        if (loop && sweeps >= last_sweep && row + 1 >= static_cast<int>(rows.size()))
            loop->stop();
        return row < static_cast<int>(rows.size()) ? rows[static_cast<std::size_t>(row)] : std::string();
    }
    void show_run_state(const std::string& text) override { run_states.push_back(text); }
    void show_today_total(long long total) override { totals.push_back(total); }
    void show_plan_today(const std::string& nick, long long count) override {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i] == nick) {
                cells[static_cast<int>(i)].push_back(count);
                return;
            }
        }
    }
    void append_log_line(const std::string& line) override { log += line; }
    void set_start_enabled(bool enabled) override { start_enabled.push_back(enabled); }
};

// Answers from a script: each ID's outcomes in turn, "刷新成功" once the script runs out.
class ScriptedRefresher final : public engine::Refresher {
public:
    std::map<std::string, std::vector<std::string>> script;
    std::vector<std::string> calls;
    std::vector<qint64> call_ms;
    // Runs inside each request, as handlers and the clock do during the real wait.
    std::function<void(const std::string&)> during;
    QElapsedTimer elapsed;

    ScriptedRefresher() { elapsed.start(); }

    std::string refresh_listing(const std::string& id) override {
        calls.push_back(id);
        call_ms.push_back(elapsed.elapsed());
        if (during)
            during(id);
        auto& outcomes = script[id];
        if (outcomes.empty())
            return engine::kRefreshSucceeded;
        std::string outcome = outcomes.front();
        outcomes.erase(outcomes.begin());
        return outcome;
    }
};

Plan plan(const std::string& nick, const std::string& sort, const std::string& ids, const std::string& num = {},
          const std::string& times = "08:05") {
    Plan p;
    p.nick = nick;
    p.id = ids;
    p.times = times;
    p.sort = sort;
    p.num = num;
    return p;
}

// A real store on a temporary file, the fakes and a clock standing at 08:05:00.
struct Fixture {
    QTemporaryDir dir;
    store::PlanStore store;
    testsupport::ManualClock clock{k0805};
    FakeView view;
    ScriptedRefresher refresher;
    engine::RunLoop loop{clock, store, refresher, view};

    Fixture() {
        if (!store.open(dir.path().toStdString() + "/data/data.db"))
            qFatal("the test database did not open");
    }
    void add(const Plan& p) {
        store.save_plan(p);
        view.rows.push_back(p.nick);
    }
    // Runs one start that ends after `sweeps` whole sweeps.
    void run(int sweeps = 1) {
        view.sweeps = 0;
        view.loop = &loop;
        view.last_sweep = sweeps;
        loop.start();
        view.loop = nullptr;
    }
};

std::string line(const std::string& time, const std::string& message) { return time + "  " + message + "\r\n"; }

// What gives a plan a node in the current minute between two sweeps.
enum Change { OtherProgram, ThisProgram, Clock, Row };

} // namespace

class EngineTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void select_ids_data() {
        QTest::addColumn<QString>("sort");
        QTest::addColumn<QString>("ids");
        QTest::addColumn<QString>("num");
        QTest::addColumn<QString>("progress");
        QTest::addColumn<QString>("selected");
        QTest::newRow("fixed point takes the list as stored") << "1" << "a,,b," << "9" << "b" << "a,,b,";
        QTest::newRow("fixed point, no IDs") << "1" << "" << "" << "" << "";
        QTest::newRow("no mode") << "0" << "a,b" << "1" << "" << "";
        QTest::newRow("unknown mode") << " 2" << "a,b" << "1" << "" << "";
        QTest::newRow("rotation, no IDs") << "2" << "" << "3" << "" << "";
        QTest::newRow("first batch") << "2" << "a,b,c,d,e" << "2" << "" << "a,b";
        QTest::newRow("past the end takes A1") << "2" << "A1,A2,A3" << "5" << "" << "A1,A2,A3,A1,A1";
        QTest::newRow("next batch") << "2" << "a,b,c,d,e" << "2" << "b" << "c,d";
        QTest::newRow("batch wraps") << "2" << "a,b,c,d,e" << "2" << "d" << "e,a";
        QTest::newRow("short rest then from the start") << "2" << "a,b,c,d,e" << "3" << "d" << "e,a,b";
        QTest::newRow("progress is the last ID") << "2" << "a,b,c" << "4" << "c" << "a,b,c,a";
        QTest::newRow("progress not in the list") << "2" << "a,b,c" << "2" << "x" << "a,b";
        QTest::newRow("progress twice") << "2" << "a,x,b,x,c" << "2" << "x" << "b,c";
        QTest::newRow("whole IDs only") << "2" << "1,11,111" << "1" << "11" << "111";
        QTest::newRow("size 0 after a found progress") << "2" << "a,b,c" << "0" << "a" << "b";
        QTest::newRow("negative size after a found progress") << "2" << "a,b,c" << "-1" << "a" << "b";
        QTest::newRow("size at the bottom of the range after a found progress")
            << "2" << "a,b,c" << "-9223372036854775808" << "a" << "b";
        QTest::newRow("size at the bottom of the range, no progress") << "2" << "a,b,c" << "-9223372036854775808" << "" << "";
        QTest::newRow("size empty") << "2" << "a,b" << "" << "" << "";
        QTest::newRow("size 0") << "2" << "a,b" << "0" << "" << "";
        QTest::newRow("size read from leading digits") << "2" << "a,b,c" << " 2x" << "" << "a,b";
        QTest::newRow("final comma adds no ID") << "2" << "a,b," << "3" << "" << "a,b,a";
        QTest::newRow("adjacent commas keep an empty ID") << "2" << "a,,b" << "3" << "" << "a,,b";
    }
    void select_ids() {
        QFETCH(QString, sort);
        QFETCH(QString, ids);
        QFETCH(QString, num);
        QFETCH(QString, progress);
        QFETCH(QString, selected);
        Plan p = plan("p", sort.toStdString(), ids.toStdString(), num.toStdString());
        p.progress = progress.toStdString();
        QCOMPARE(QString::fromStdString(engine::select_ids(p)), selected);
    }

    void huge_batch_size_is_bounded() {
        const std::string batch = engine::select_ids(plan("p", "2", "a,b", "99999999999999"));
        QCOMPARE(std::count(batch.begin(), batch.end(), ',') + 1, engine::kMaxBatchRepeats);
        QVERIFY(batch.starts_with("a,b,a,a,"));
    }

    void rotation_goes_round() {
        Plan p = plan("p", "2", "a,b,c,d,e", "2");
        std::vector<std::string> batches;
        for (int i = 0; i < 4; ++i) {
            batches.push_back(engine::select_ids(p));
            p.progress = engine::progress_of(batches.back());
        }
        QCOMPARE(batches, (std::vector<std::string>{"a,b", "c,d", "e,a", "b,c"}));
    }

    void progress_of_data() {
        QTest::addColumn<QString>("selection");
        QTest::addColumn<QString>("progress");
        QTest::newRow("last of two") << "c,d" << "d";
        QTest::newRow("single ID") << "a" << "a";
        QTest::newRow("empty last ID") << "a," << "";
        QTest::newRow("hash inside an ID ends the walk") << "x,b#c,d" << "b";
    }
    void progress_of() {
        QFETCH(QString, selection);
        QFETCH(QString, progress);
        QCOMPARE(QString::fromStdString(engine::progress_of(selection.toStdString())), progress);
    }

    void fire_test() {
        engine::FiredNodes fired;
        const Plan early = plan("早班", "1", "1", "", "07:00,08:05,09:10");
        QVERIFY(fired.fire_test(early, k0805));
        QCOMPARE(engine::fired_key("早班", k0805), std::string("2024年3月5日早班08:05"));
        QVERIFY(!fired.fire_test(early, {2024, 3, 5, 8, 5, 59}));
        QVERIFY(fired.fire_test(early, {2024, 3, 5, 9, 10, 0}));
        QVERIFY(!fired.fire_test(early, {2024, 3, 5, 8, 6, 0}));

        QVERIFY(!fired.fire_test(plan("晚班", "1", "1", "", "18:05"), k0805));
        QVERIFY(!fired.fire_test(plan("短", "1", "1", "", "8:05"), k0805));
        QVERIFY(!fired.fire_test(Plan{}, k0805));
        // A name that is another plan's name plus a time does not hide that plan's node.
        QVERIFY(fired.fire_test(plan("x08:05", "1", "1"), k0805));
        QVERIFY(fired.fire_test(plan("x", "1", "1"), k0805));
        QCOMPARE(fired.size(), std::size_t(4));
        QVERIFY(fired.fire_test(early, {2024, 3, 6, 8, 5, 0}));
    }

    void fired_nodes_keep_only_todays_keys() {
        engine::FiredNodes fired;
        const Plan p = plan("早班", "1", "1", "", "08:05");
        for (int day = 1; day <= 31; ++day)
            QVERIFY(fired.fire_test(p, {2024, 3, day, 8, 5, 0}));
        // A month of days leaves today's key alone, and today's node still fires once.
        QCOMPARE(fired.size(), std::size_t(1));
        QVERIFY(fired.has_fired("早班", {2024, 3, 31, 8, 5, 0}));
        QVERIFY(!fired.fire_test(p, {2024, 3, 31, 8, 5, 30}));
    }

    void due_plan_refreshes_logs_and_counts() {
        Fixture f;
        f.add(plan("早班", "1", "101,102"));
        f.add(plan("晚班", "1", "201", "", "18:05"));
        // Yesterday's seven successes do not carry over.
        for (int i = 0; i < 7; ++i)
            f.store.set_today_plan_count("早班", "2024年3月4日");
        f.run(2);

        QCOMPARE(f.view.log, line("08:05:00", "早班 符合时间节点") + line("08:05:00", "早班 正在刷新") +
                                 line("08:05:00", "早班 101  成功") + line("08:05:00", "早班 102  成功"));
        QCOMPARE(f.refresher.calls, (std::vector<std::string>{"101", "102"}));
        QCOMPARE(f.view.run_states,
                 (std::vector<std::string>{"任务执行中 8时5分0秒", "任务执行中 8时5分0秒", "任务已经停止"}));
        QCOMPARE(f.view.start_enabled, (std::vector<bool>{false, true}));
        QCOMPARE(f.view.totals, (std::vector<long long>{1, 2}));
        QCOMPARE(f.view.cells[0], (std::vector<long long>{1, 2}));
        QVERIFY(!f.view.cells.contains(1));

        const Plan stored = f.store.load_plan_by_name("早班");
        QCOMPARE(stored.progress, std::string("102"));
        QCOMPARE(stored.today, std::string("2"));
        QCOMPARE(stored.date1, kToday);
        QCOMPARE(f.store.read_today_total(kToday), 2LL);
        QVERIFY(f.store.load_plan_by_name("晚班").progress.empty());
        QVERIFY(!f.loop.running());
    }

    void failed_refresh_is_retried_once_after_a_second() {
        Fixture f;
        f.add(plan("早班", "1", "1,2,3"));
        f.refresher.script = {{"1", {"已刷新过"}}, {"2", {"已刷新过", "今日刷新次数已用完"}}, {"3", {"", ""}}};
        // A request that does not succeed takes the clock on by a second.
        f.refresher.during = [&](const std::string&) { f.clock.advance_ms(1000); };
        f.run();

        QCOMPARE(f.view.log, line("08:05:00", "早班 符合时间节点") + line("08:05:00", "早班 正在刷新") +
                                 line("08:05:02", "早班 1  成功") + line("08:05:04", "早班 2  今日刷新次数已用完") +
                                 line("08:05:06", "早班 3  "));
        QCOMPARE(f.refresher.calls, (std::vector<std::string>{"1", "1", "2", "2", "3", "3"}));
        for (std::size_t retry : {1, 3, 5})
            QVERIFY(f.refresher.call_ms[retry] - f.refresher.call_ms[retry - 1] >= 990);
        QCOMPARE(f.view.totals, std::vector<long long>{1});
        QCOMPARE(f.store.load_plan_by_name("早班").progress, std::string("3"));
    }

    void empty_selection_and_rotation_across_runs() {
        Fixture f;
        f.add(plan("空", "2", "a,b", "0", "08:05,08:06"));
        f.add(plan("轮换", "2", "a,b,c,d,e", "2", "08:05,08:06"));
        f.run();
        QCOMPARE(f.view.log, line("08:05:00", "空 符合时间节点") + line("08:05:00", "空 未取到需要刷新的id") +
                                 line("08:05:00", "轮换 符合时间节点") + line("08:05:00", "轮换 正在刷新") +
                                 line("08:05:00", "轮换 a  成功") + line("08:05:00", "轮换 b  成功"));
        QVERIFY(f.store.load_plan_by_name("空").progress.empty());

        // Stop and start within the same minute fires nothing again.
        f.view.log.clear();
        f.run();
        QVERIFY(f.view.log.empty());

        f.clock.set({2024, 3, 5, 8, 6, 0});
        f.run();
        QCOMPARE(f.refresher.calls, (std::vector<std::string>{"a", "b", "c", "d"}));
        QCOMPARE(f.store.load_plan_by_name("轮换").progress, std::string("d"));
    }

    void stop_during_a_sweep_ends_after_the_current_plan() {
        Fixture f;
        f.add(plan("上", "1", "1,2"));
        f.add(plan("下", "1", "3"));
        // As when the site says the agent is not signed in: the flag drops in the first request.
        f.refresher.during = [&](const std::string& id) {
            if (id == "1")
                f.loop.stop();
        };
        f.view.sweeps = 0;
        f.loop.start();
        QCOMPARE(f.view.sweeps, 1);
        QCOMPARE(f.refresher.calls, (std::vector<std::string>{"1", "2"}));
        QCOMPARE(f.store.load_plan_by_name("上").progress, std::string("2"));
        QCOMPARE(f.view.run_states.back(), std::string("任务已经停止"));
        QCOMPARE(f.view.start_enabled, (std::vector<bool>{false, true}));

        // The lower plan was never visited, so its node is still open in this minute.
        f.refresher.during = nullptr;
        f.run();
        QCOMPARE(f.refresher.calls, (std::vector<std::string>{"1", "2", "3"}));
    }

    void a_slow_plan_makes_the_next_one_miss_its_minute() {
        Fixture f;
        f.add(plan("上", "1", "1"));
        f.add(plan("下", "1", "2"));
        f.refresher.during = [&](const std::string&) { f.clock.set({2024, 3, 5, 8, 6, 0}); };
        f.run();
        QCOMPARE(f.refresher.calls, std::vector<std::string>{"1"});
        QVERIFY(!f.loop.fired_nodes().has_fired("下", k0805));
    }

    void plans_vanishing_during_a_run() {
        Fixture f;
        f.add(plan("甲", "1", "1"));
        f.add(plan("乙", "1", "2"));
        f.add(plan("丙", "1", "3"));
        // While 甲 is refreshed the agent deletes 乙 and reloads the list, which is now shorter.
        f.refresher.during = [&](const std::string& id) {
            if (id == "1") {
                f.store.delete_plan("乙");
                f.view.rows = {"甲", "丙"};
            }
        };
        f.view.sweeps = 0;
        f.view.on_sweep = [&](int n) {
            if (n == 2)
                f.loop.stop();
        };
        f.loop.start();
        // Row 1 now holds 丙; row 2 no longer exists and reads as no plan.
        QCOMPARE(f.refresher.calls, (std::vector<std::string>{"1", "3"}));
    }

    // A sweep skips plans that have no node in the current minute; whatever gives a plan one
    // between two sweeps makes it fire at the second.
    void a_plan_that_becomes_due_between_sweeps_fires_at_the_next_data() {
        QTest::addColumn<int>("change");
        QTest::newRow("another program saves its node") << int(OtherProgram);
        QTest::newRow("this program saves its node") << int(ThisProgram);
        QTest::newRow("the clock reaches its node") << int(Clock);
        QTest::newRow("a due plan takes over the row") << int(Row);
    }
    void a_plan_that_becomes_due_between_sweeps_fires_at_the_next() {
        QFETCH(int, change);
        Fixture f;
        if (change == Clock) {
            f.clock.set({2024, 3, 5, 8, 4, 59});
            f.add(plan("早班", "1", "101"));
        } else {
            f.add(plan("早班", "1", "101", "", "09:00"));
        }
        f.store.save_plan(plan("晚班", "1", "201"));
        f.view.on_sweep = [&](int sweep) {
            if (sweep != 2)
                return;
            if (change == OtherProgram) {
                store::PlanStore other;
                QVERIFY(other.open(f.dir.path().toStdString() + "/data/data.db"));
                QVERIFY(other.save_plan(plan("早班", "1", "101")));
            } else if (change == ThisProgram) {
                QVERIFY(f.store.save_plan(plan("早班", "1", "101")));
            } else if (change == Clock) {
                f.clock.set(k0805);
            } else {
                f.view.rows = {"晚班"};
            }
        };
        f.run(2);
        QCOMPARE(f.refresher.calls, std::vector<std::string>{change == Row ? "201" : "101"});
    }

    void empty_list_gives_empty_sweeps() {
        Fixture f;
        f.run(3);
        QCOMPARE(f.view.run_states.size(), std::size_t(4));
        QCOMPARE(f.view.run_states.front(), std::string("任务执行中 8时5分0秒"));
        QVERIFY(f.view.log.empty());
        // A stop while idle changes nothing.
        f.loop.stop();
        QCOMPARE(f.view.run_states.size(), std::size_t(4));
    }
};

QTEST_GUILESS_MAIN(EngineTests)
#include "engine_tests.moc"
