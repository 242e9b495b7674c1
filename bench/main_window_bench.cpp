// Times the main window's plan-list reload over many plans and the log over long runs and
// oversized lines, medians of five. QT_QPA_PLATFORM=offscreen main_window_bench [plans]

#include "bench_support.h"

#include "common/clock.h"
#include "engine/refresher.h"
#include "mainwin/main_window.h"
#include "store/plan_store.h"

#include <QApplication>
#include <QElapsedTimer>
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
    for (int i = 0; i < plans; ++i) {
        common::Plan plan;
        plan.nick = "方案" + std::to_string(i);
        plan.id = "1";
        plan.times = "08:00";
        plan.numall = "1";
        store.save_plan(plan);
    }
    window.show();
    QCoreApplication::processEvents();

    // Medians of five, the machine being shared.
    constexpr int kRepeats = 5;
    const auto median_ms = [](const std::function<void()>& work) {
        std::vector<double> times;
        for (int i = 0; i < kRepeats; ++i) {
            QElapsedTimer timer;
            timer.start();
            work();
            QCoreApplication::processEvents();
            times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        }
        return bench::median(times);
    };
    const double reload = median_ms([&] { window.reload_plan_list(); });
    const double lines = median_ms([&] {
        for (int i = 0; i < 4'000; ++i)
            window.append_log_line("08:05:00  方案1 101  成功\r\n");
    });
    const double huge = median_ms([&] { window.append_log_line("08:05:00  方案1 101  " + std::string(1'000'000, 'x') + "\r\n"); });
    std::fprintf(stderr, "reload of %d plans: %.0f ms; 4000 log lines: %.0f ms; a log line of a megabyte: %.1f ms\n", plans,
                 reload, lines, huge);
    bench::print_row("plan list reload, " + std::to_string(plans) + " plans", "-", bench::format("median %.0f ms", reload));
    bench::print_row("log, 1,000 lines appended", "-", bench::format("median %.0f ms", lines / 4));
    bench::print_row("log, one line of a megabyte", "-", bench::format("median %.1f ms", huge));
    return 0;
}
