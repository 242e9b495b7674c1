// The statistics window's figures from a real database, and what the window shows of them.

#include "testsupport/clocks.h"
#include "stats/daily_figures.h"
#include "stats/statistics_window.h"
#include "store/plan_store.h"
#include "store/sqlite.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QValueAxis>

namespace {

const common::LocalTime kToday{.year = 2024, .month = 3, .day = 5, .hour = 20};

// A database in a temporary folder; rows go in as an older program or another tool may have
// left them.
struct Database {
    QTemporaryDir dir;
    std::filesystem::path file = std::filesystem::path(dir.path().toStdString()) / "data.db";
    store::PlanStore store;

    Database() { store.open(file); }
    void num_row(const std::string& date, const std::string& num) {
        store::Database db;
        QVERIFY(db.open(file));
        QVERIFY(store::Statement(db, "INSERT INTO num (date1, num) VALUES (?1, ?2)").run({date, num}));
    }
    void plan_row(const std::string& nick, const std::string& today, const std::string& date1) {
        store::Database db;
        QVERIFY(db.open(file));
        QVERIFY(store::Statement(db, "INSERT INTO data (nick, today, date1) VALUES (?1, ?2, ?3)").run({nick, today, date1}));
    }
};

std::vector<stats::DayCount> zero_days(const QDate& last, int days) {
    std::vector<stats::DayCount> counts;
    for (int back = days - 1; back >= 0; --back) {
        const QDate d = last.addDays(-back);
        counts.push_back({std::to_string(d.year()) + "年" + std::to_string(d.month()) + "月" + std::to_string(d.day()) + "日", 0});
    }
    return counts;
}

} // namespace

class StatsTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void daily_counts_fill_gaps_and_leave_out_unreadable_dates() {
        Database db;
        db.num_row("2024年3月5日", "7");
        db.num_row("2024年3月3日", "2");
        db.num_row("2024年3月3日", "100");     // a second row of a day: the first one counts
        db.num_row("2024年2月5日", "4");       // the first of the thirty days (2024 is a leap year)
        db.num_row("2024年2月4日", "9");       // one day too early
        db.num_row("2024年03月04日", "5");     // not a date text of this program
        db.num_row("昨天", "3");
        db.num_row("2024年3月1日", "abc");     // unreadable count: 0
        db.num_row("2024年2月29日", " 12次");  // read as the program reads it: 12

        std::vector<stats::DayCount> expected = zero_days(QDate(2024, 3, 5), 30);
        QCOMPARE(expected.front().date, std::string("2024年2月5日"));
        expected[0].count = 4;
        expected[24].count = 12; // 2月29日
        expected[27].count = 2;  // 3月3日
        expected[29].count = 7;
        QCOMPARE(stats::daily_counts(db.store, kToday), expected);

        // Across the turn of a year.
        const std::vector<stats::DayCount> january = stats::daily_counts(db.store, {.year = 2025, .month = 1, .day = 2}, 3);
        QCOMPARE(january, (std::vector<stats::DayCount>{{"2024年12月31日", 0}, {"2025年1月1日", 0}, {"2025年1月2日", 0}}));
    }

    void plan_counts_are_todays_only_most_first() {
        Database db;
        db.plan_row("甲", "3", "2024年3月5日");
        db.plan_row("乙", "9", "2024年3月4日"); // yesterday's count: none today
        db.plan_row("丙", "5", "2024年3月5日");
        db.plan_row("甲", "3", "2024年3月5日"); // an older database's second row of a name
        db.plan_row("丁", "3", "2024年3月5日");
        db.plan_row("戊", "", "");              // saved, never refreshed
        QCOMPARE(stats::plan_counts_today(db.store, "2024年3月5日"),
                 (std::vector<stats::PlanCount>{{"丙", 5}, {"甲", 3}, {"丁", 3}}));
    }

    void window_shows_the_figures_read_when_opened() {
        Database db;
        testsupport::ManualClock clock(kToday);
        QWidget owner;
        stats::StatisticsWindow window(&owner, db.store, clock);

        // Nothing yet: a scale, a title that says so, and a word where the plans would be.
        window.open();
        QVERIFY(window.isVisible());
        auto* view = window.findChild<QChartView*>(QStringLiteral("图表每日刷新"));
        auto* plans = window.findChild<QTreeWidget*>(QStringLiteral("列表框今日方案"));
        auto* no_plans = window.findChild<QLabel*>(QStringLiteral("标签今日无记录"));
        auto* total = window.findChild<QLabel*>(QStringLiteral("标签今日发布"));
        QVERIFY(view && plans && no_plans && total);
        QCOMPARE(view->chart()->title(), QStringLiteral("最近30天没有成功的刷新"));
        auto* counts_axis = qobject_cast<QValueAxis*>(view->chart()->axes(Qt::Vertical).value(0));
        QVERIFY(counts_axis && counts_axis->max() >= 5);
        QCOMPARE(plans->topLevelItemCount(), 0);
        QVERIFY(no_plans->isVisibleTo(&window));
        QCOMPARE(total->text(), QStringLiteral("今日发布:0"));

        // Successes meanwhile show at the next opening.
        db.num_row("2024年3月4日", "40");
        db.store.count_one_success_today("2024年3月5日");
        db.plan_row("甲", "1", "2024年3月5日");
        window.open();
        QChart* chart = view->chart();
        QCOMPARE(chart->title(), QStringLiteral("最近30天每日成功刷新"));
        auto* series = qobject_cast<QBarSeries*>(chart->series().value(0));
        QVERIFY(series && series->count() == 1);
        const QBarSet* bars = series->barSets().first();
        QCOMPARE(bars->count(), 30);
        QCOMPARE(bars->at(28), 40.0);
        QCOMPARE(bars->at(29), 1.0);
        QCOMPARE(bars->at(0), 0.0);
        auto* dates = qobject_cast<QBarCategoryAxis*>(chart->axes(Qt::Horizontal).value(0));
        QVERIFY(dates);
        QCOMPARE(dates->categories().first(), QStringLiteral("2024年2月5日"));
        QCOMPARE(dates->categories().last(), QStringLiteral("2024年3月5日"));
        QCOMPARE(plans->topLevelItemCount(), 1);
        QCOMPARE(plans->topLevelItem(0)->text(0), QStringLiteral("甲"));
        QCOMPARE(plans->topLevelItem(0)->text(1), QStringLiteral("1"));
        QVERIFY(!no_plans->isVisibleTo(&window));
        QCOMPARE(total->text(), QStringLiteral("今日发布:1"));

        // Closing it leaves the program running even when it was the only window shown.
        QVERIFY(!window.testAttribute(Qt::WA_QuitOnClose));
    }
};

QTEST_MAIN(StatsTests)
#include "stats_tests.moc"
