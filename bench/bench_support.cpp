#include "bench_support.h"

#include "site-sim/simulator.h"
#include "store/plan_store.h"
#include "testsupport/clocks.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <limits>
#include <sstream>
#include <unistd.h>

namespace bench {
namespace {

double seconds_of(clockid_t id) {
    timespec t{};
    clock_gettime(id, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

} // namespace

double process_cpu_seconds() { return seconds_of(CLOCK_PROCESS_CPUTIME_ID); }
double monotonic_seconds() { return seconds_of(CLOCK_MONOTONIC); }
double epoch_seconds() { return seconds_of(CLOCK_REALTIME); }

long resident_kb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return 0;
}

double seconds_since_process_start() {
    // Field 22 of /proc/self/stat is the start time in clock ticks after boot; the command
    // name (field 2) may hold blanks, so the fields are counted from its closing parenthesis.
    std::ifstream stat_file("/proc/self/stat");
    const std::string stat((std::istreambuf_iterator<char>(stat_file)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    const double started = std::atof(field.c_str()) / static_cast<double>(sysconf(_SC_CLK_TCK));
    std::ifstream uptime_file("/proc/uptime");
    double uptime = 0;
    uptime_file >> uptime;
    return uptime - started;
}

double median(std::vector<double> values) {
    if (values.empty())
        return std::numeric_limits<double>::quiet_NaN();
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

std::string verdict(bool met) { return met ? ": met" : ": MISSED"; }

Checks& Checks::require(bool condition, const std::string& reason) {
    if (!condition && failure_.empty())
        failure_ = reason.empty() ? "a check failed" : reason;
    return *this;
}

void Report::row(const std::string& figure, const std::string& target, const Checks& checks, const std::string& measured) {
    if (!checks.passed()) {
        failed(figure, target, checks.failure());
        return;
    }
    std::printf("ROW\t%s\t%s\t%s\n", figure.c_str(), target.c_str(), measured.c_str());
    std::fflush(stdout);
}

void Report::failed(const std::string& figure, const std::string& target, const std::string& reason) {
    failed_ = true;
    std::printf("ROW\t%s\t%s\tFAILED: %s\n", figure.c_str(), target.c_str(), reason.c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "FAILED: %s: %s\n", figure.c_str(), reason.c_str());
}

void Report::end_now() const {
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(exit_status());
}

std::string format(const char* pattern, double value) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

double bench_seconds(double fallback) {
    const char* text = std::getenv("QICHENG_BENCH_SECONDS");
    const double value = text ? std::atof(text) : 0;
    return value > 0 ? value : fallback;
}

bool start_site(sitesim::Simulator& sim) {
    if (!sim.start())
        return false;
    const char* fault = std::getenv("QICHENG_BENCH_SITE_FAULT");
    return !fault || !*fault || sim.set_knob("fault", fault);
}

bool write_plans(const std::filesystem::path& file, int count, const std::string& ids, const std::string& times) {
    store::PlanStore plans;
    if (!plans.open(file))
        return false;
    for (int i = 0; i < count; ++i) {
        common::Plan plan;
        plan.nick = "方案" + std::to_string(i + 1);
        plan.id = ids;
        plan.times = times;
        plan.sort = "1";
        plan.num = "1";
        plan.sort1 = "出售";
        plan.numall = std::to_string(times.size() / 6 + 1);
        if (!plans.save_plan(plan))
            return false;
    }
    return true;
}

void TrialClock::start_at(const common::LocalTime& start) {
    const testsupport::ShiftedClock shifted(start);
    offset_ms_ = shifted.now_ms() - common::SystemClock().now_ms();
}

std::int64_t TrialClock::now_ms() const { return common::SystemClock().now_ms() + offset_ms_; }

double TrialClock::epoch_seconds_at(const common::LocalTime& moment) const {
    return static_cast<double>(common::from_local(moment) - offset_ms_) / 1000.0;
}

} // namespace bench
