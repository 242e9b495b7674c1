#include "bench_support.h"

#include "site-sim/simulator.h"
#include "store/plan_store.h"
#include "testsupport/clocks.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
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

namespace {

// The "Pss:" and "Rss:" lines of a process's smaps_rollup; false when it cannot be read.
bool add_memory_of(int pid, ProcessTreeMemory& memory) {
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    bool read = false;
    for (std::string line; std::getline(rollup, line);) {
        if (line.rfind("Pss:", 0) == 0) {
            memory.pss_kb += std::atol(line.c_str() + 4);
            read = true;
        } else if (line.rfind("Rss:", 0) == 0) {
            memory.rss_kb += std::atol(line.c_str() + 4);
        }
    }
    return read;
}

// The parent of every process, from /proc/<pid>/stat (the field after the name in parentheses).
std::vector<std::pair<int, int>> parents() {
    std::vector<std::pair<int, int>> pairs;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string text;
        std::getline(stat, text);
        const std::size_t close = text.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(text.substr(close + 1));
        std::string state;
        int parent = 0;
        if (rest >> state >> parent)
            pairs.emplace_back(std::atoi(name.c_str()), parent);
    }
    return pairs;
}

} // namespace

ProcessTreeMemory memory_of_this_process_tree() {
    ProcessTreeMemory memory;
    const std::vector<std::pair<int, int>> all = parents();
    std::vector<int> tree{static_cast<int>(::getpid())};
    for (std::size_t i = 0; i < tree.size(); ++i)
        for (const auto& [pid, parent] : all)
            if (parent == tree[i])
                tree.push_back(pid);
    for (const int pid : tree)
        if (add_memory_of(pid, memory))
            ++memory.processes;
    return memory;
}

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
