// Times the main window's plan-list reload over many plans and the log over long runs and
// oversized lines. Run by hand: QT_QPA_PLATFORM=offscreen main_window_bench [plans]

#include "common/clock.h"
#include "engine/refresher.h"
#include "mainwin/main_window.h"
#include "store/plan_store.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

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

    QElapsedTimer timer;
    timer.start();
    window.reload_plan_list();
    std::printf("reload of %d plans: %lld ms\n", plans, static_cast<long long>(timer.elapsed()));

    timer.restart();
    for (int i = 0; i < 20'000; ++i)
        window.append_log_line("08:05:00  方案1 101  成功\r\n");
    QCoreApplication::processEvents();
    std::printf("20000 log lines: %lld ms\n", static_cast<long long>(timer.elapsed()));

    timer.restart();
    window.append_log_line("08:05:00  方案1 101  " + std::string(1'000'000, 'x') + "\r\n");
    QCoreApplication::processEvents();
    std::printf("one log line of a megabyte: %lld ms\n", static_cast<long long>(timer.elapsed()));
    return 0;
}
