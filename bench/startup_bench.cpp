// Start-up and memory of the wired program (its own clock, no power-off).
//
//   startup_bench           runs itself five times each way and prints the medians
//   startup_bench --once    one start: seconds from process start to the main window's first
//                           expose, resident memory then, and after 100,000 log lines and
//                           100,000 fired keys
//   startup_bench --bare    one start of a bare Qt window, the baseline
//   startup_bench --running one start over 1,000 plans, the run loop sweeping (none due), the
//                           login window never opened: the proportional set size of every
//                           process of the program
//
// Run with QT_QPA_PLATFORM=offscreen and QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu".

#include "bench_support.h"

#include "app/program.h"
#include "common/wait.h"
#include "mainwin/operation_log.h"
#include "testsupport/clocks.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstring>
#include <map>
#include <optional>

namespace {

constexpr int kRuns = 5;
constexpr int kLines = 100'000;
constexpr int kKeys = 100'000;
constexpr int kRunningPlans = 1000;

// Notes the first expose of the window it watches.
class ExposeWatch final : public QObject {
public:
    std::optional<double> at;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && !at)
            at = bench::seconds_since_process_start();
        return QObject::eventFilter(watched, event);
    }
};

// Seconds from process start to the window's first expose; nothing when it never came.
std::optional<double> wait_for_expose(QWidget& window) {
    ExposeWatch watch;
    window.show();
    window.windowHandle()->installEventFilter(&watch);
    const double give_up = bench::monotonic_seconds() + 30;
    while (!watch.at && bench::monotonic_seconds() < give_up)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return watch.at;
}

// A child's numbers go to standard output as "name=value" fields; one without "exposed=1"
// never showed its window.
int bare() {
    QWidget window;
    window.resize(880, 520);
    const std::optional<double> startup = wait_for_expose(window);
    std::printf("exposed=%d startup=%.3f\n", startup ? 1 : 0, startup.value_or(0));
    return startup ? 0 : 1;
}

int once(const QTemporaryDir& home) {
    const std::filesystem::path data = std::filesystem::path(home.path().toStdString()) / "data";
    std::filesystem::create_directories(data);
    const common::SystemClock clock;
    app::Program program(data, clock, nullptr);
    if (!program.ready())
        return 1;
    const std::optional<double> startup = wait_for_expose(program.window());
    if (!startup) {
        std::printf("exposed=0\n");
        return 1;
    }
    // The plan list is read and the browser profile settles right after the first showing.
    common::paced_wait(1000);
    const long rss_start = bench::resident_kb();

    engine::RunLoop& loop = program.window().run_loop();
    const auto append_lines = [&loop] {
        for (int i = 0; i < kLines; ++i) {
            loop.append_log("方案" + std::to_string(i % 1000) + " " + std::to_string(10001 + i) + "  成功");
            if (i % 1000 == 0)
                QCoreApplication::processEvents();
        }
    };
    append_lines();
    common::Plan plan;
    plan.times = "08:05";
    const common::LocalTime now{.year = 2024, .month = 3, .day = 5, .hour = 8, .minute = 5};
    for (int i = 0; i < kKeys; ++i) {
        plan.nick = "方案" + std::to_string(i);
        loop.fired_nodes().fire_test(plan, now);
    }
    common::paced_wait(500);
    const long rss_after = bench::resident_kb();
    // As many lines again: a bounded log holds its size.
    append_lines();
    common::paced_wait(500);
    const long rss_again = bench::resident_kb();
    const auto* log = program.window().findChild<QPlainTextEdit*>(QStringLiteral("编辑框记录"));
    std::printf("exposed=1 startup=%.3f rss_start=%ld rss_after=%ld rss_again=%ld log_lines=%d keys=%zu\n", *startup,
                rss_start, rss_after, rss_again, log ? log->blockCount() : -1, loop.fired_nodes().size());
    return 0;
}

// The program as it stands most days: a run sweeping a thousand plans, none of them due, and
// nobody signing in from the login window, so the browser never starts.
int running(const QTemporaryDir& home) {
    const std::filesystem::path data = std::filesystem::path(home.path().toStdString()) / "data";
    std::filesystem::create_directories(data);
    if (!bench::write_plans(data / "data.db", kRunningPlans, "10001,10002,10003", "08:00,08:10,08:20,08:30,08:40,08:50"))
        return 1;
    const testsupport::ManualClock clock({.year = 2024, .month = 3, .day = 5, .hour = 12});
    app::Program program(data, clock, nullptr);
    if (!program.ready() || !wait_for_expose(program.window())) {
        std::printf("exposed=0\n");
        return 1;
    }
    const double give_up = bench::monotonic_seconds() + 60;
    while (program.window().plan_row_count() < kRunningPlans && bench::monotonic_seconds() < give_up)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    // Measured from inside the run after it swept for a while; the run ends then.
    engine::RunLoop& loop = program.window().run_loop();
    bench::ProcessTreeMemory memory;
    std::uint64_t sweeps = 0;
    QTimer::singleShot(5000, &program.window(), [&] {
        sweeps = loop.sweep_count();
        memory = bench::memory_of_this_process_tree();
        loop.stop();
    });
    program.window().findChild<QPushButton*>(QStringLiteral("按钮开始操作"))->click();
    std::printf("exposed=1 plans=%d sweeps=%llu pss=%ld rss=%ld processes=%d browser=%d\n", program.window().plan_row_count(),
                static_cast<unsigned long long>(sweeps), memory.pss_kb, memory.rss_kb, memory.processes,
                program.browser_started() ? 1 : 0);
    return 0;
}

// One child's numbers by name, and why it did not measure when it did not.
struct ChildRun {
    std::map<std::string, double> values;
    std::string failure;
    double operator[](const std::string& name) const {
        const auto found = values.find(name);
        return found == values.end() ? 0 : found->second;
    }
};

// Runs this program with `flag` and reads the numbers it printed.
ChildRun run_child(const char* self, const char* flag) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QString::fromLocal8Bit(self), {QString::fromLatin1(flag)});
    ChildRun run;
    if (!child.waitForFinished(120'000)) {
        child.kill();
        child.waitForFinished();
        run.failure = std::string(flag) + " did not end within 120 s";
    } else if (child.exitStatus() != QProcess::NormalExit) {
        run.failure = std::string(flag) + " crashed";
    } else if (child.exitCode() != 0) {
        run.failure = std::string(flag) + " ended with status " + std::to_string(child.exitCode());
    }
    for (const QByteArray& field : child.readAllStandardOutput().simplified().split(' ')) {
        const qsizetype eq = field.indexOf('=');
        if (eq > 0)
            run.values[field.left(eq).toStdString()] = field.mid(eq + 1).toDouble();
    }
    if (run.failure.empty() && run["exposed"] != 1)
        run.failure = std::string(flag) + ": the window never appeared";
    return run;
}

} // namespace

int main(int argc, char* argv[]) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--once" || mode == "--bare" || mode == "--running") {
        QTemporaryDir home;
        QApplication app(argc, argv);
        return mode == "--once" ? once(home) : mode == "--bare" ? bare() : running(home);
    }
    QCoreApplication app(argc, argv);
    std::vector<double> startup, bare_startup, growth;
    double rss_start = 0, rss_after = 0, rss_again = 0, lines = 0;
    bench::Checks startup_checks, memory_checks;
    for (int i = 0; i < kRuns; ++i) {
        // Side by side, so both see the same load on the machine.
        const ChildRun bare_run = run_child(argv[0], "--bare");
        const ChildRun run = run_child(argv[0], "--once");
        startup_checks.require(bare_run.failure.empty(), bare_run.failure).require(run.failure.empty(), run.failure);
        memory_checks.require(run.failure.empty(), run.failure)
            .require(run["rss_start"] > 0 && run["rss_after"] > 0 && run["rss_again"] > 0, "no resident memory read")
            .require(run["keys"] == kKeys, bench::format("%.0f fired keys held", run["keys"]) + " of " + std::to_string(kKeys))
            .require(run["log_lines"] == mainwin::OperationLog::kMaxLines,
                     bench::format("the log holds %.0f lines", run["log_lines"]) + ", not its bound of " +
                         std::to_string(mainwin::OperationLog::kMaxLines));
        if (!run.failure.empty() || !bare_run.failure.empty())
            break;
        bare_startup.push_back(bare_run["startup"]);
        startup.push_back(run["startup"]);
        growth.push_back((run["rss_after"] - run["rss_start"]) / 1024);
        rss_start = run["rss_start"] / 1024;
        rss_after = run["rss_after"] / 1024;
        rss_again = run["rss_again"] / 1024;
        lines = run["log_lines"];
    }
    // The program's processes with a run under way and the browser never started, side by side
    // with the starts above.
    const ChildRun sweeping = run_child(argv[0], "--running");
    bench::Checks running_checks;
    running_checks.require(sweeping.failure.empty(), sweeping.failure)
        .require(sweeping["plans"] == kRunningPlans, bench::format("the plan list shows %.0f plans", sweeping["plans"]))
        .require(sweeping["sweeps"] >= 10, bench::format("the run swept %.0f times in 5 s", sweeping["sweeps"]))
        .require(sweeping["processes"] >= 1 && sweeping["pss"] > 0, "no proportional set size read")
        .require(sweeping["browser"] == 0, "the browser started");
    const double pss_mb = sweeping["pss"] / 1024;

    const double s = bench::median(startup);
    const double g = bench::median(growth);
    std::fprintf(stderr, "start-up: median %.0f ms (bare Qt window %.0f ms); memory %.0f MB, then %.0f MB (log %.0f lines)\n",
                 s * 1000, bench::median(bare_startup) * 1000, rss_start, rss_after, lines);
    bench::Report report;
    report.row("start-up to the main window shown", "< 1.5 s", startup_checks,
               bench::format("median %.2f s", s) + bench::format(" (bare Qt window %.2f s)", bench::median(bare_startup)) +
                   bench::verdict(s < 1.5));
    report.row("memory after 100,000 log lines and fired keys", "<= +50 MB", memory_checks,
               bench::format("+%.0f MB", g) + bench::format(" (%.0f MB", rss_start) +
                   bench::format(" -> %.0f MB", rss_after) + bench::format(", %.0f MB after 100,000 more lines", rss_again) +
                   bench::format("; the log holds %.0f lines)", lines) + bench::verdict(g <= 50));
    report.row("memory, 1000 plans, running, login window never opened", "<= 80 MB", running_checks,
               bench::format("%.0f MB", pss_mb) + bench::format(" proportional set size of %.0f process(es)", sweeping["processes"]) +
                   bench::format(" (resident %.0f MB)", sweeping["rss"] / 1024) + bench::verdict(pss_mb <= 80));
    return report.exit_status();
}
