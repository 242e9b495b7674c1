// The run loop against the local site simulator, through the wired program (its own clock, no
// power-off).
//
//   site_run_bench latency <plans>   a clock just before a minute that every plan has as a time
//                                     node; time from the minute's start to the first refresh
//                                     request reaching the simulator (median of several minutes)
//   site_run_bench requests          one plan of 1,000 IDs through the run loop, beside a bare
//                                     libcurl loop sending the same GETs over one kept-alive
//                                     handle; the ratio of their spans on the simulator's clock
//
// Run with QT_QPA_PLATFORM=offscreen and QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu".

#include "bench_support.h"

#include "app/program.h"
#include "common/encoding.h"
#include "engine/refresher.h"
#include "site-sim/simulator.h"
#include "site/hosts.h"
#include "store/plan_store.h"
#include "store/settings.h"
#include "testsupport/message_box_recorder.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

namespace {

constexpr int kRequestIds = 1000;

common::LocalTime at(int hour, int minute, int second = 0, int ms = 0) {
    return {.year = 2024, .month = 3, .day = 5, .hour = hour, .minute = minute, .second = second, .millisecond = ms};
}

// Trial k runs in minute 10:(2k+1), so every trial is a node no earlier trial has fired.
int trial_minute(int k) { return 2 * k + 1; }

std::string trial_times(int trials) {
    std::string times;
    for (int k = 0; k < trials; ++k)
        times += (times.empty() ? "" : ",") + std::string("10:") + (trial_minute(k) < 10 ? "0" : "") +
                 std::to_string(trial_minute(k));
    return times;
}

std::vector<sitesim::RecordedRequest> refresh_requests(sitesim::Simulator& sim) {
    std::vector<sitesim::RecordedRequest> requests = sim.requests();
    std::erase_if(requests, [](const sitesim::RecordedRequest& r) { return r.target.find("action=refhouse") == std::string::npos; });
    return requests;
}

double span_seconds(const std::vector<sitesim::RecordedRequest>& requests) {
    const auto [first, last] = std::minmax_element(requests.begin(), requests.end(), [](const auto& a, const auto& b) {
        return a.received_at < b.received_at;
    });
    return requests.empty() ? 0 : last->received_at - first->received_at;
}

// The site's answer to a refresh that went through.
bool is_success_answer(const std::string& body) {
    static const std::string success = common::to_gbk(engine::kRefreshSucceeded);
    return body.find(success) != std::string::npos;
}

std::size_t keep_body(char* data, std::size_t size, std::size_t count, void* body) {
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

// The same GETs as the run loop sent, one easy handle, the connection kept alive. Returns how
// many the site answered with a success.
std::size_t bare_curl_loop(sitesim::Simulator& sim, const std::vector<sitesim::RecordedRequest>& sent) {
    CURL* curl = curl_easy_init();
    std::string body;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, keep_body);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    // A site that stops answering ends the loop instead of holding it; no signal for the limit,
    // as other threads run.
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    std::size_t succeeded = 0;
    for (const sitesim::RecordedRequest& r : sent) {
        const std::string url = sim.url(r.target);
        body.clear();
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        if (curl_easy_perform(curl) == CURLE_OK && is_success_answer(body))
            ++succeeded;
    }
    curl_easy_cleanup(curl);
    return succeeded;
}

// The same GETs through the program's request runner alone, without the run loop around it.
// Returns how many the site answered with a success.
std::size_t runner_loop(http::RequestRunner& runner, sitesim::Simulator& sim,
                        const std::vector<sitesim::RecordedRequest>& sent) {
    std::size_t succeeded = 0;
    for (const sitesim::RecordedRequest& r : sent) {
        std::string url = sim.url(r.target);
        if (is_success_answer(runner.http_request(url)))
            ++succeeded;
    }
    return succeeded;
}

// The log line of a refresh that did not succeed ("HH:MM:SS  方案1 10001  <outcome>"), or empty.
// Only a refresh's line has two blanks after the plan name and ID.
std::string failed_refresh_line(const QString& line) {
    const qsizetype outcome = line.indexOf(QStringLiteral("  "), 10);
    if (outcome < 0 || line.mid(outcome + 2) == QStringLiteral("成功"))
        return {};
    return line.toStdString();
}

// Steps the trials from a timer that fires inside the run's waits, so the run goes on
// underneath; each trial ends once the sweep that fired it has finished. A trial that has not
// ended within the limit is given up.
class Trials final {
public:
    Trials(app::Program& program, bench::TrialClock& clock, int plans, int trials,
           std::function<void(int trial, double minute_start)> on_trial_end, std::function<void(const std::string&)> on_stuck)
        : program_(program), clock_(clock), plans_(plans), trials_(trials), on_trial_end_(std::move(on_trial_end)),
          on_stuck_(std::move(on_stuck)) {
        QObject::connect(&tick_, &QTimer::timeout, [this] { step(); });
        begin(0);
        tick_.start(5);
    }

private:
    static constexpr double kTrialLimitSeconds = 120;

    engine::RunLoop& loop() { return program_.window().run_loop(); }

    void begin(int k) {
        trial_ = k;
        fired_sweep_ = 0;
        give_up_at_ = bench::monotonic_seconds() + kTrialLimitSeconds;
        // Trials begin right after a sweep; a lead of 300 to 500 ms spreads the minute's start
        // over the whole sweep pause, as a real clock does.
        clock_.start_at(at(10, trial_minute(k) - 1, 59, 500 + (k * 71) % 200));
        minute_start_ = clock_.epoch_seconds_at(at(10, trial_minute(k)));
    }

    void step() {
        if (bench::monotonic_seconds() > give_up_at_) {
            on_stuck_("trial " + std::to_string(trial_ + 1) + " did not end within " +
                      bench::format("%.0f s", kTrialLimitSeconds));
            return;
        }
        const std::size_t expected = static_cast<std::size_t>(plans_) * static_cast<std::size_t>(trial_ + 1);
        if (fired_sweep_ == 0) {
            if (loop().fired_nodes().size() >= expected)
                fired_sweep_ = loop().sweep_count();
            return;
        }
        if (loop().sweep_count() == fired_sweep_)
            return;
        on_trial_end_(trial_, minute_start_);
        if (trial_ + 1 < trials_) {
            begin(trial_ + 1);
        } else {
            tick_.stop();
            loop().stop();
        }
    }

    app::Program& program_;
    bench::TrialClock& clock_;
    const int plans_, trials_;
    std::function<void(int, double)> on_trial_end_;
    std::function<void(const std::string&)> on_stuck_;
    QTimer tick_;
    int trial_ = 0;
    std::uint64_t fired_sweep_ = 0;
    double minute_start_ = 0;
    double give_up_at_ = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir home;
    QApplication app(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "latency";
    const bool latency = mode == "latency";
    const int plans = latency ? (argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000) : 1;
    const int trials = latency ? 7 : 3;
    const std::size_t per_trial = latency ? static_cast<std::size_t>(plans) : kRequestIds;

    // This mode's rows, so that every one of them can say FAILED.
    struct RowName {
        std::string figure, target;
    };
    std::vector<RowName> rows;
    if (latency) {
        rows.push_back({"node to first request, " + std::to_string(plans) + (plans == 1 ? " plan" : " plans"),
                        plans == 1000 ? "<= 250 ms" : "-"});
    } else {
        rows.push_back({"1,000 refreshes, run loop : bare libcurl", "<= 1.5"});
        rows.push_back({"1,000 requests, request runner alone : bare libcurl", "<= 1.1"});
    }
    bench::Report report;
    const auto fail_every_row = [&](const std::string& reason) {
        for (const RowName& row : rows)
            report.failed(row.figure, row.target, reason);
        return report.exit_status();
    };

    sitesim::Simulator sim;
    if (!home.isValid() || !bench::start_site(sim) || !sim.set_knob("require_login", "0"))
        return fail_every_row("the site simulator did not start");
    const std::filesystem::path data = std::filesystem::path(home.path().toStdString()) / "data";
    std::filesystem::create_directories(data);
    site::write_site_hosts(store::SettingsFile(data / "pz.ini"), {sim.host(), sim.host()});
    std::string ids = "10001";
    if (!latency) {
        for (int i = 1; i < kRequestIds; ++i)
            ids += "," + std::to_string(10001 + i);
    }
    if (!bench::write_plans(data / "data.db", plans, ids, trial_times(trials)))
        return fail_every_row("cannot write the plans");

    bench::TrialClock clock(at(9, 0));
    app::Program program(data, clock, nullptr, 5);
    if (!program.ready())
        return fail_every_row("the plan database did not open");
    program.window().show();
    const double give_up = bench::monotonic_seconds() + 60;
    while (program.window().plan_row_count() < plans && bench::monotonic_seconds() < give_up)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (program.window().plan_row_count() != plans)
        return fail_every_row("the plan list shows " + std::to_string(program.window().plan_row_count()) + " plans");

    // A run that cannot measure any more ends the benchmark at once: every refresh that fails
    // waits a second before its retry, and a thousand of them would take a quarter of an hour.
    const auto give_up_run = [&](const std::string& reason) {
        fail_every_row(reason);
        home.remove();
        report.end_now();
    };
    // The program's boxes would wait for a person; one that opens ends the measurement.
    testsupport::MessageBoxRecorder boxes;
    boxes.on_show([&](const QString& text) { give_up_run("the program showed the box \"" + text.toStdString() + "\""); });
    const auto* log = program.window().findChild<QPlainTextEdit*>(QStringLiteral("编辑框记录"));
    if (!log)
        return fail_every_row("the main window has no log");
    QObject::connect(log->document(), &QTextDocument::contentsChanged, log, [&] {
        // The last line is the empty one after the line just written.
        const std::string failed = failed_refresh_line(log->document()->lastBlock().previous().text());
        if (!failed.empty())
            give_up_run("a refresh did not succeed: \"" + failed + "\"");
    });
    store::PlanStore counts;
    const std::string day = common::date_text(at(10, 0));
    if (!counts.open(data / "data.db"))
        return fail_every_row("cannot read the day's count");

    http::NetworkThread bare_network;
    http::CurlRequestRunner bare_runner(bare_network);
    std::vector<double> latencies_ms, run_spans, curl_spans, runner_spans, ratios, runner_ratios;
    std::size_t sent = 0;
    long long counted_before = counts.read_today_total(day);
    bench::Checks checks, runner_checks;
    Trials driver(
        program, clock, plans, trials,
        [&](int trial, double minute_start) {
            const std::string name = "trial " + std::to_string(trial + 1) + ": ";
            std::vector<sitesim::RecordedRequest> requests = refresh_requests(sim);
            sent += requests.size();
            const long long counted = counts.read_today_total(day);
            checks.require(requests.size() == per_trial, name + std::to_string(requests.size()) + " refresh requests reached the site of " +
                                                             std::to_string(per_trial))
                .require(counted - counted_before == static_cast<long long>(per_trial),
                         name + std::to_string(counted - counted_before) + " refreshes succeeded of " + std::to_string(per_trial));
            counted_before = counted;
            if (!requests.empty()) {
                const double first = std::min_element(requests.begin(), requests.end(), [](const auto& a, const auto& b) {
                                         return a.received_at < b.received_at;
                                     })->received_at;
                latencies_ms.push_back((first - minute_start) * 1000);
            }
            if (!latency) {
                sim.clear_requests();
                const std::size_t curl_answered = bare_curl_loop(sim, requests);
                const std::vector<sitesim::RecordedRequest> bare = refresh_requests(sim);
                checks.require(curl_answered == requests.size() && bare.size() == requests.size(),
                               name + "bare libcurl: " + std::to_string(curl_answered) + " successes, " +
                                   std::to_string(bare.size()) + " requests arrived of " + std::to_string(requests.size()));
                run_spans.push_back(span_seconds(requests));
                curl_spans.push_back(span_seconds(bare));
                sim.clear_requests();
                const std::size_t runner_answered = runner_loop(bare_runner, sim, requests);
                const std::vector<sitesim::RecordedRequest> by_runner = refresh_requests(sim);
                runner_checks.require(runner_answered == requests.size() && by_runner.size() == requests.size(),
                                      name + "request runner: " + std::to_string(runner_answered) + " successes, " +
                                          std::to_string(by_runner.size()) + " requests arrived of " +
                                          std::to_string(requests.size()));
                runner_spans.push_back(span_seconds(by_runner));
                if (curl_spans.back() > 0) {
                    ratios.push_back(run_spans.back() / curl_spans.back());
                    runner_ratios.push_back(runner_spans.back() / curl_spans.back());
                }
            }
            sim.clear_requests();
        },
        give_up_run);
    // The whole run happens inside this click, until the driver stops it.
    program.window().findChild<QPushButton*>(QStringLiteral("按钮开始操作"))->click();

    const double measured_trials = static_cast<double>(trials);
    if (latency) {
        checks.require(latencies_ms.size() == static_cast<std::size_t>(trials),
                       std::to_string(latencies_ms.size()) + " minutes measured of " + std::to_string(trials));
        const double ms = bench::median(latencies_ms);
        const double worst = latencies_ms.empty() ? 0 : *std::max_element(latencies_ms.begin(), latencies_ms.end());
        std::fprintf(stderr, "latency, %d plans: median %.0f ms, slowest %.0f ms over %zu minutes, %zu requests\n",
                     plans, ms, worst, latencies_ms.size(), sent);
        report.row(rows[0].figure, rows[0].target, checks,
                   bench::format("median %.0f ms", ms) + bench::format(", slowest %.0f ms", worst) +
                       bench::format(" of %.0f minutes", measured_trials) +
                       bench::format(", %.0f requests", static_cast<double>(sent)) +
                       (plans == 1000 ? bench::verdict(ms <= 250) : ""));
    } else {
        checks.require(ratios.size() == static_cast<std::size_t>(trials),
                       std::to_string(ratios.size()) + " rounds measured of " + std::to_string(trials));
        runner_checks.require(checks.passed(), checks.failure());
        const double ratio = bench::median(ratios);
        const double gets = static_cast<double>(sent) / measured_trials;
        std::fprintf(stderr, "requests: run loop %.3f s, bare libcurl %.3f s for %.0f GETs (medians of %zu), ratio %.2f\n",
                     bench::median(run_spans), bench::median(curl_spans), gets, ratios.size(), ratio);
        report.row(rows[0].figure, rows[0].target, checks,
                   bench::format("%.2f", ratio) + bench::format(" (%.2f s", bench::median(run_spans)) +
                       bench::format(" : %.2f s", bench::median(curl_spans)) + bench::format(" for %.0f GETs", gets) +
                       bench::format(", median of %.0f)", measured_trials) + bench::verdict(ratio <= 1.5));
        const double runner_ratio = bench::median(runner_ratios);
        report.row(rows[1].figure, rows[1].target, runner_checks,
                   bench::format("%.2f", runner_ratio) + bench::format(" (%.2f s", bench::median(runner_spans)) +
                       bench::format(" : %.2f s", bench::median(curl_spans)) +
                       bench::format(", median of %.0f)", measured_trials) + bench::verdict(runner_ratio <= 1.1));
    }
    return report.exit_status();
}
