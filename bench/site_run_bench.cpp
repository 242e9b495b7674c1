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
#include "site-sim/simulator.h"
#include "site/hosts.h"
#include "store/settings.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
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

std::size_t discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

// The same GETs as the run loop sent, one easy handle, the connection kept alive.
void bare_curl_loop(sitesim::Simulator& sim, const std::vector<sitesim::RecordedRequest>& sent) {
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    for (const sitesim::RecordedRequest& r : sent) {
        const std::string url = sim.url(r.target);
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_perform(curl);
    }
    curl_easy_cleanup(curl);
}

// The same GETs through the program's request runner alone, without the run loop around it.
void runner_loop(http::RequestRunner& runner, sitesim::Simulator& sim, const std::vector<sitesim::RecordedRequest>& sent) {
    for (const sitesim::RecordedRequest& r : sent) {
        std::string url = sim.url(r.target);
        runner.http_request(url);
    }
}

// Steps the trials from a timer that fires inside the run's waits, so the run goes on
// underneath; each trial ends once the sweep that fired it has finished.
class Trials final {
public:
    Trials(app::Program& program, bench::TrialClock& clock, int plans, int trials,
           std::function<void(int trial, double minute_start)> on_trial_end)
        : program_(program), clock_(clock), plans_(plans), trials_(trials), on_trial_end_(std::move(on_trial_end)) {
        QObject::connect(&tick_, &QTimer::timeout, [this] { step(); });
        begin(0);
        tick_.start(5);
    }

private:
    engine::RunLoop& loop() { return program_.window().run_loop(); }

    void begin(int k) {
        trial_ = k;
        fired_sweep_ = 0;
        // Trials begin right after a sweep; a lead of 300 to 500 ms spreads the minute's start
        // over the whole sweep pause, as a real clock does.
        clock_.start_at(at(10, trial_minute(k) - 1, 59, 500 + (k * 71) % 200));
        minute_start_ = clock_.epoch_seconds_at(at(10, trial_minute(k)));
    }

    void step() {
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
    QTimer tick_;
    int trial_ = 0;
    std::uint64_t fired_sweep_ = 0;
    double minute_start_ = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    // Made before the application: the browser writes its profile until the application ends.
    QTemporaryDir home;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "latency";
    const bool latency = mode == "latency";
    const int plans = latency ? (argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000) : 1;
    const int trials = latency ? 7 : 3;

    sitesim::Simulator sim;
    if (!sim.start() || !home.isValid() || !sim.set_knob("require_login", "0")) {
        std::fprintf(stderr, "cannot start the simulator\n");
        return 1;
    }
    const std::filesystem::path data = std::filesystem::path(home.path().toStdString()) / "data";
    std::filesystem::create_directories(data);
    site::write_site_hosts(store::SettingsFile(data / "pz.ini"), {sim.host(), sim.host()});
    std::string ids = "10001";
    if (!latency) {
        for (int i = 1; i < kRequestIds; ++i)
            ids += "," + std::to_string(10001 + i);
    }
    if (!bench::write_plans(data / "data.db", plans, ids, trial_times(trials))) {
        std::fprintf(stderr, "cannot write the plans\n");
        return 1;
    }

    bench::TrialClock clock(at(9, 0));
    app::Program program(data, clock, nullptr, 5);
    if (!program.ready())
        return 1;
    program.window().show();
    while (program.window().plan_row_count() < plans)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    http::CookieStore bare_jar;
    http::CurlRequestRunner bare_runner(bare_jar);
    std::vector<double> latencies_ms, run_spans, curl_spans, runner_spans, ratios, runner_ratios;
    std::size_t sent = 0;
    Trials driver(program, clock, plans, trials, [&](int, double minute_start) {
        std::vector<sitesim::RecordedRequest> requests = refresh_requests(sim);
        sent += requests.size();
        if (!requests.empty()) {
            const double first = std::min_element(requests.begin(), requests.end(), [](const auto& a, const auto& b) {
                                     return a.received_at < b.received_at;
                                 })->received_at;
            latencies_ms.push_back((first - minute_start) * 1000);
        }
        if (!latency) {
            sim.clear_requests();
            bare_curl_loop(sim, requests);
            const std::vector<sitesim::RecordedRequest> bare = refresh_requests(sim);
            run_spans.push_back(span_seconds(requests));
            curl_spans.push_back(span_seconds(bare));
            sim.clear_requests();
            runner_loop(bare_runner, sim, requests);
            runner_spans.push_back(span_seconds(refresh_requests(sim)));
            if (curl_spans.back() > 0) {
                ratios.push_back(run_spans.back() / curl_spans.back());
                runner_ratios.push_back(runner_spans.back() / curl_spans.back());
            }
        }
        sim.clear_requests();
    });
    // The whole run happens inside this click, until the driver stops it.
    program.window().findChild<QPushButton*>(QStringLiteral("按钮开始操作"))->click();

    if (latency) {
        const double ms = bench::median(latencies_ms);
        const double worst = latencies_ms.empty() ? 0 : *std::max_element(latencies_ms.begin(), latencies_ms.end());
        std::fprintf(stderr, "latency, %d plans: median %.0f ms, slowest %.0f ms over %zu minutes, %zu requests\n",
                     plans, ms, worst, latencies_ms.size(), sent);
        bench::print_row("node to first request, " + std::to_string(plans) + (plans == 1 ? " plan" : " plans"),
                         plans == 1000 ? "<= 250 ms" : "-",
                         bench::format("median %.0f ms", ms) + bench::format(", slowest %.0f ms", worst) +
                             bench::format(" of %.0f minutes", static_cast<double>(latencies_ms.size())) +
                             (plans == 1000 ? (ms <= 250 ? ": met" : ": MISSED") : ""));
    } else {
        const double ratio = bench::median(ratios);
        std::fprintf(stderr, "requests: run loop %.3f s, bare libcurl %.3f s for %d GETs (medians of %zu), ratio %.2f\n",
                     bench::median(run_spans), bench::median(curl_spans), kRequestIds, ratios.size(), ratio);
        bench::print_row("1,000 refreshes, run loop : bare libcurl", "<= 1.2",
                         bench::format("%.2f", ratio) + bench::format(" (%.2f s", bench::median(run_spans)) +
                             bench::format(" : %.2f s", bench::median(curl_spans)) +
                             bench::format(", median of %.0f)", static_cast<double>(ratios.size())) +
                             (ratio <= 1.2 ? ": met" : ": MISSED"));
        bench::print_row("1,000 requests, request runner alone : bare libcurl", "-",
                         bench::format("%.2f", bench::median(runner_ratios)) +
                             bench::format(" (%.2f s", bench::median(runner_spans)) +
                             bench::format(" : %.2f s)", bench::median(curl_spans)));
    }
    return 0;
}
