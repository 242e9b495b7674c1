// What the run loop costs while nothing is due: the main window (offscreen) with a real plan
// database of 10 to 10,000 plans, none of them due, sweeping for a while. Prints the CPU time of
// one sweep (median of one-second slices) and the process's share of one core over the run,
// beside the share of the same window sitting idle.
//
//   QT_QPA_PLATFORM=offscreen sweep_bench [plans ...]     (QICHENG_BENCH_SECONDS, default 30)

#include "bench_support.h"

#include "common/clock.h"
#include "common/wait.h"
#include "engine/refresher.h"
#include "mainwin/main_window.h"
#include "store/plan_store.h"
#include "testsupport/clocks.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

class CountingRefresher final : public engine::Refresher {
public:
    std::string refresh_listing(const std::string&) override {
        ++calls;
        return {};
    }
    int calls = 0;
};

struct Sample {
    double wall, cpu;
    std::uint64_t sweeps;
};

Sample sample(const mainwin::MainWindow& window) {
    return {bench::monotonic_seconds(), bench::process_cpu_seconds(),
            const_cast<mainwin::MainWindow&>(window).run_loop().sweep_count()};
}

void measure(bench::Report& report, int plans, double seconds) {
    const std::string figure = "sweep, " + std::to_string(plans) + " plans, none due";
    const std::string target = plans == 1000 ? "<= 0.1 % of a core" : "-";
    QTemporaryDir dir;
    const std::filesystem::path file = std::filesystem::path(dir.path().toStdString()) / "data.db";
    // Nodes at 08:00 to 08:50; the clock stands at noon.
    if (!bench::write_plans(file, plans, "10001,10002,10003", "08:00,08:10,08:20,08:30,08:40,08:50")) {
        report.failed(figure, target, "cannot write the plans");
        return;
    }
    const testsupport::ManualClock clock({.year = 2024, .month = 3, .day = 5, .hour = 12});
    store::PlanStore store;
    CountingRefresher refresher;
    mainwin::MainWindow window({.clock = clock, .store = store, .database_file = file, .refresher = refresher});
    window.show();
    const double give_up = bench::monotonic_seconds() + 60;
    while (window.plan_row_count() < plans && bench::monotonic_seconds() < give_up)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (window.plan_row_count() != plans) {
        report.failed(figure, target, "the list shows " + std::to_string(window.plan_row_count()) + " plans");
        return;
    }

    // The idle window first, as the baseline of the share.
    const Sample idle_start = sample(window);
    common::paced_wait(static_cast<long long>(std::max(2.0, seconds / 6) * 1000));
    const Sample idle_end = sample(window);
    const double idle_share = (idle_end.cpu - idle_start.cpu) / (idle_end.wall - idle_start.wall);

    std::vector<double> per_sweep_ms;
    Sample first{}, previous{};
    bool started = false;
    // Sampled from a timer that fires inside the run's waits; a wait of its own here would
    // hold the run underneath it.
    QTimer tick;
    double end = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const Sample now = sample(window);
        if (!started) {
            // The first second is left out: the run is still starting.
            first = now;
            end = now.wall + seconds;
            started = true;
        } else if (now.sweeps > previous.sweeps) {
            per_sweep_ms.push_back((now.cpu - previous.cpu) * 1000 /
                                   static_cast<double>(now.sweeps - previous.sweeps));
        }
        previous = now;
        if (now.wall >= end) {
            tick.stop();
            window.run_loop().stop();
        }
    });
    tick.start(1000);
    // The click runs the whole run inside this call, until the timer stops it.
    window.findChild<QPushButton*>(QStringLiteral("按钮开始操作"))->click();

    const double wall = previous.wall - first.wall;
    const double share = (previous.cpu - first.cpu) / wall;
    const std::uint64_t sweeps = previous.sweeps - first.sweeps;
    const double sweeps_per_second = static_cast<double>(sweeps) / wall;
    const double ms = bench::median(per_sweep_ms);
    std::fprintf(stderr,
                 "sweep, %d plans: %.3f ms CPU per sweep (median of %zu slices), %.1f sweeps/s, process %.2f %% of a "
                 "core (idle window %.2f %%), %d refreshes\n",
                 plans, ms, per_sweep_ms.size(), sweeps_per_second, share * 100, idle_share * 100, refresher.calls);
    bench::Checks checks;
    checks.require(started && wall > 0, "the run did not start")
        .require(sweeps > 0 && !per_sweep_ms.empty(), "the run loop did not sweep")
        .require(refresher.calls == 0, std::to_string(refresher.calls) + " refreshes sent although none was due");
    report.row(figure, target, checks,
               bench::format("%.2f %% of a core", share * 100) + bench::format(" (idle %.2f %%)", idle_share * 100) +
                   bench::format(", %.3f ms CPU/sweep", ms) + bench::format(", %.1f sweeps/s", sweeps_per_second) +
                   (plans == 1000 ? bench::verdict(share <= 0.001) : ""));
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const double seconds = bench::bench_seconds(30);
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {10, 100, 1000, 10000};
    bench::Report report;
    for (const int plans : sizes)
        measure(report, plans, seconds);
    return report.exit_status();
}
