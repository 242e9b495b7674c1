// A run against a site that misbehaves: slow past the time limit, connections reset, bodies
// cut short, huge or in the wrong encoding. The run goes on, each listing is retried once and
// its second outcome logged, and only what succeeded is counted. Then the program is killed in
// the middle of counting successes: the database stays sound and agrees with the log.

#include "run_rig.h"

#include "common/encoding.h"
#include "common/text.h"
#include "site-sim/simulator.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

#include <algorithm>
#include <utility>

namespace {

using Knobs = std::vector<std::pair<std::string, std::string>>;
using Lines = std::vector<std::string>;

const std::string kRefreshPath = "/Magent/House/HouseListAction.aspx";

// The log without its time stamps, which all read 08:05:00.
Lines messages_of(const Lines& lines) {
    Lines messages;
    for (const std::string& line : lines)
        messages.push_back(line.substr(std::string("08:05:00  ").size(), line.size() - 12));
    return messages;
}

bool is_success_line(const std::string& line) {
    const std::string tail = "  成功\r\n";
    return line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
}

int refresh_requests_for(sitesim::Simulator& sim, const std::string& id) {
    const auto requests = sim.requests();
    return static_cast<int>(std::count_if(requests.begin(), requests.end(), [&](const auto& request) {
        return request.path() == kRefreshPath && request.target.find("houseid=" + id + "&") != std::string::npos;
    }));
}

std::string integrity_of(const std::filesystem::path& file) {
    sqlite3* db = nullptr;
    std::string result = "cannot open";
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) == SQLITE_OK) {
            result.clear();
            while (sqlite3_step(statement) == SQLITE_ROW)
                result += reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return result;
}

} // namespace

Q_DECLARE_METATYPE(Knobs)
Q_DECLARE_METATYPE(Lines)

class FaultTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(sim_.start()); }
    void init() {
        QVERIFY(sim_.reset());
        QVERIFY(sim_.set_knob("require_login", "0"));
    }

    void a_misbehaving_site_neither_stops_the_run_nor_counts_a_failure() {
        QFETCH(Knobs, knobs);
        QFETCH(int, time_limit);
        QFETCH(Lines, outcome_lines);
        QFETCH(int, tries_of_first);
        QFETCH(long long, counted);
        for (const auto& [name, value] : knobs)
            QVERIFY2(sim_.set_knob(name, value), name.c_str());

        QTemporaryDir home;
        Lines lines;
        engine::RunLoop* loop = nullptr;
        faults::RunRig rig(home.filePath(QStringLiteral("data.db")).toStdString(), sim_.host(), time_limit, {"甲"},
                           [&](const std::string& line) {
                               lines.push_back(line);
                               // The plan fires once at 08:05; its last log line ends the run.
                               if (line.find(" 10002  ") != std::string::npos)
                                   loop->stop();
                           });
        loop = &rig.loop;
        QVERIFY(rig.store.save_plan(faults::due_plan("甲", "10001,10002")));
        rig.loop.start();

        Lines expected{"甲 符合时间节点", "甲 正在刷新"};
        expected.insert(expected.end(), outcome_lines.begin(), outcome_lines.end());
        QCOMPARE(messages_of(lines), expected);
        QCOMPARE(refresh_requests_for(sim_, "10001"), tries_of_first);
        QCOMPARE(rig.store.read_today_total(faults::kRunDay), counted);
        const common::Plan after = rig.store.load_plan_by_name("甲");
        QCOMPARE(after.today, counted ? std::to_string(counted) : std::string());
        QCOMPARE(after.progress, std::string("10002"));
    }
    void a_misbehaving_site_neither_stops_the_run_nor_counts_a_failure_data() {
        QTest::addColumn<Knobs>("knobs");
        QTest::addColumn<int>("time_limit");
        QTest::addColumn<Lines>("outcome_lines"); // what is logged for 10001 and 10002
        QTest::addColumn<int>("tries_of_first");
        QTest::addColumn<long long>("counted");

        const std::string ok1 = "甲 10001  成功", ok2 = "甲 10002  成功";
        const std::string failed1 = "甲 10001  ", failed2 = "甲 10002  ";
        QTest::newRow("slow past the limit, every try")
            << Knobs{{"fault_path", kRefreshPath}, {"delay_ms", "1600"}} << 1 << Lines{failed1, failed2} << 2 << 0LL;
        QTest::newRow("silent, then answers the retry")
            << Knobs{{"refresh.10001", "silent||success"}} << 1 << Lines{ok1, ok2} << 2 << 2LL;
        QTest::newRow("reset twice") << Knobs{{"refresh.10001", "reset"}} << 1 << Lines{failed1, ok2} << 2 << 1LL;
        QTest::newRow("reset, then answers the retry")
            << Knobs{{"refresh.10001", "reset||success"}} << 1 << Lines{ok1, ok2} << 2 << 2LL;
        QTest::newRow("closed without an answer")
            << Knobs{{"refresh.10001", "close"}} << 1 << Lines{failed1, ok2} << 2 << 1LL;
        // The connection drops before the promised length, but the part that came holds the
        // site's whole answer: the refresh happened, and it counts like any other.
        QTest::newRow("body cut short after the answer")
            << Knobs{{"refresh.10001", "truncate"}} << 1 << Lines{ok1, ok2} << 1 << 2LL;
        QTest::newRow("50 MB body ending in the answer")
            << Knobs{{"refresh.10001", "huge:52428800"}} << 20 << Lines{ok1, ok2} << 1 << 2LL;
        // Bytes GBK lacks become U+FFFD and the markers after them still match.
        QTest::newRow("invalid GBK before the answer")
            << Knobs{{"refresh.10001", "invalid_gbk"}} << 1 << Lines{ok1, ok2} << 1 << 2LL;
        // UTF-8 read as GBK matches no marker: the quoted text, garbled, is the outcome.
        QTest::newRow("answer in UTF-8")
            << Knobs{{"refresh.10001", "utf8"}} << 1
            << Lines{failed1 + common::from_gbk("刷新成功！"), ok2} << 2 << 1LL;
        QTest::newRow("site message, then success")
            << Knobs{{"refresh.10001", "message:稍后再试||success"}} << 1 << Lines{ok1, ok2} << 2 << 2LL;
    }

    // The kill lands while successes are being counted. Each line is logged before its
    // bookkeeping, so the last logged success may be counted in the total, in the plan's count,
    // in both or in neither; every earlier one is counted exactly once in each.
    void a_kill_in_the_middle_of_counting_keeps_the_database_sound() {
        QTemporaryDir home;
        const std::filesystem::path database = home.filePath(QStringLiteral("data.db")).toStdString();
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QStringLiteral(QICHENG_FAULT_RUN_CHILD),
                    {QString::fromStdString(database.string()), QString::fromStdString(sim_.host()),
                     QStringLiteral("2000")});
        QVERIFY(child.waitForStarted());

        Lines lines;
        std::string pending;
        const auto read_lines = [&] {
            pending += child.readAllStandardOutput().toStdString();
            for (std::size_t end; (end = pending.find("\r\n")) != std::string::npos; pending.erase(0, end + 2))
                lines.push_back(pending.substr(0, end + 2));
        };
        const auto successes = [&] { return std::count_if(lines.begin(), lines.end(), is_success_line); };
        QTRY_VERIFY_WITH_TIMEOUT((read_lines(), successes() >= 40), 60000);
        child.kill();
        QVERIFY(child.waitForFinished());
        read_lines();
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        const long long logged = successes();
        QVERIFY2(logged < 2000, "the run ended before the kill");

        QCOMPARE(integrity_of(database), std::string("ok"));
        store::PlanStore store;
        QVERIFY(store.open(database));
        const long long total = store.read_today_total(faults::kRunDay);
        const long long plan_count = common::text_to_int(store.load_plan_by_name("甲").today);
        QVERIFY2(total == logged || total == logged - 1, qPrintable(QStringLiteral("total %1, logged %2").arg(total).arg(logged)));
        QVERIFY2(plan_count == logged || plan_count == logged - 1,
                 qPrintable(QStringLiteral("plan %1, logged %2").arg(plan_count).arg(logged)));
    }

private:
    sitesim::Simulator sim_;
};

QTEST_GUILESS_MAIN(FaultTests)
#include "fault_tests.moc"
