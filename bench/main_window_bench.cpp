// Times the main window's plan-list reload over many plans and the log over long runs and
// oversized lines, medians of five. QT_QPA_PLATFORM=offscreen main_window_bench [plans]

#include "bench_support.h"

#include "common/clock.h"
#include "engine/refresher.h"
#include "mainwin/main_window.h"
#include "store/plan_store.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

class SilentRefresher final : public engine::Refresher {
public:
    std::string refresh_listing(const std::string&) override { return {}; }
};

constexpr int kLogLines = 1'000;

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int plans = argc > 1 ? std::atoi(argv[1]) : 5000;
    QTemporaryDir dir;
    common::SystemClock clock;
    store::PlanStore store;
    SilentRefresher refresher;
    mainwin::MainWindow window({.clock = clock,
                                .store = store,
                                .database_file = dir.path().toStdString() + "/data.db",
                                .refresher = refresher});
    int saved = 0;
    for (int i = 0; i < plans; ++i) {
        common::Plan plan;
        plan.nick = "方案" + std::to_string(i);
        plan.id = "1";
        plan.times = "08:00";
        plan.numall = "1";
        saved += store.save_plan(plan) ? 1 : 0;
    }
    window.show();
    QCoreApplication::processEvents();
    const auto* log = window.findChild<QPlainTextEdit*>(QStringLiteral("编辑框记录"));
    const auto log_lines = [log] { return log ? log->blockCount() : -1; };

    // Medians of five, the machine being shared. `work` says whether it did what it is timed for.
    constexpr int kRepeats = 5;
    const auto median_ms = [](bench::Checks& checks, const std::function<bool()>& work, const std::string& reason) {
        std::vector<double> times;
        for (int i = 0; i < kRepeats; ++i) {
            QElapsedTimer timer;
            timer.start();
            const bool done = work();
            QCoreApplication::processEvents();
            times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            checks.require(done, reason);
        }
        return bench::median(times);
    };
    bench::Checks reload_checks;
    reload_checks.require(window.database_open(), "the plan database did not open")
        .require(saved == plans, std::to_string(saved) + " of " + std::to_string(plans) + " plans saved");
    const double reload = median_ms(
        reload_checks, [&] { window.reload_plan_list(); return window.plan_row_count() == plans; },
        "the list did not show every plan");

    bench::Checks lines_checks;
    const double lines = median_ms(
        lines_checks,
        [&] {
            const int before = log_lines();
            for (int i = 0; i < kLogLines; ++i)
                window.append_log_line("08:05:00  方案1 101  成功\r\n");
            return before > 0 && log_lines() == before + kLogLines;
        },
        "the log did not grow by " + std::to_string(kLogLines) + " lines");

    bench::Checks huge_checks;
    const double huge = median_ms(
        huge_checks,
        [&] {
            const int before = log_lines();
            window.append_log_line("08:05:00  方案1 101  " + std::string(1'000'000, 'x') + "\r\n");
            return before > 0 && log_lines() == before + 1;
        },
        "the line did not reach the log");
    std::fprintf(stderr, "reload of %d plans: %.0f ms; %d log lines: %.0f ms; a log line of a megabyte: %.1f ms\n", plans,
                 reload, kLogLines, lines, huge);
    bench::Report report;
    report.row("plan list reload, " + std::to_string(plans) + " plans", "-", reload_checks,
               bench::format("median %.0f ms", reload));
    report.row("log, 1,000 lines appended", "-", lines_checks, bench::format("median %.0f ms", lines));
    report.row("log, one line of a megabyte", "-", huge_checks, bench::format("median %.1f ms", huge));
    return report.exit_status();
}
