#pragma once
// What every benchmark here shares: process CPU time, resident memory, medians, the rows of the
// table scripts/bench collects (and how a row that measured nothing says so), the site simulator
// and a plan database to start from.

#include "common/clock.h"
#include "common/plan.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace sitesim { class Simulator; }

namespace bench {

// CPU time of the whole process (every thread), in seconds.
double process_cpu_seconds();
// Seconds on a monotonic clock.
double monotonic_seconds();
// Seconds since the epoch, the clock the simulator stamps its requests with.
double epoch_seconds();
// VmRSS of this process in kilobytes; 0 when /proc cannot be read.
long resident_kb();
// Proportional set size (each shared page counted in part, for each process that maps it) and
// resident size of this process and every process it started, directly or not, in kilobytes,
// from /proc/<pid>/smaps_rollup; `processes` counts them.
struct ProcessTreeMemory {
    long pss_kb = 0, rss_kb = 0;
    int processes = 0;
};
ProcessTreeMemory memory_of_this_process_tree();
// Seconds since the kernel started this process (10 ms resolution).
double seconds_since_process_start();

// NaN for no values, so a median of nothing meets no target.
double median(std::vector<double> values);

std::string format(const char* pattern, double value);
// ": met" or ": MISSED", the verdict after a figure that has a target.
std::string verdict(bool met);

// What a measurement must show before its figure means anything. A measurement that did not
// happen (a child that failed, a window that never appeared, fewer requests than were sent)
// reads as 0 and would pass every target.
class Checks final {
public:
    // Notes `reason` unless `condition` holds; the first failed check is the one reported.
    Checks& require(bool condition, const std::string& reason);
    bool passed() const { return failure_.empty(); }
    const std::string& failure() const { return failure_; }

private:
    std::string failure_;
};

// The rows of the table scripts/bench prints, each one line on standard output:
// "ROW<TAB>figure<TAB>target<TAB>measured". A row whose checks failed shows
// "FAILED: <reason>" in place of its figure, and the benchmark ends with a non-zero status.
class Report final {
public:
    // The row with `measured` when every check held, else FAILED with the first failed check.
    void row(const std::string& figure, const std::string& target, const Checks& checks, const std::string& measured);
    void failed(const std::string& figure, const std::string& target, const std::string& reason);
    // What main() returns: 0 when every row measured what it says, else 1.
    int exit_status() const { return failed_ ? 1 : 0; }
    // Ends the process at once with exit_status(), for a benchmark that can no longer measure
    // and would otherwise take minutes to run out (failed rows are reported first). Nothing is
    // destroyed: the caller removes its temporary files before.
    [[noreturn]] void end_now() const;

private:
    bool failed_ = false;
};

// A duration from the environment (QICHENG_BENCH_SECONDS), else `fallback`.
double bench_seconds(double fallback);

// Starts the local site simulator. QICHENG_BENCH_SITE_FAULT=<answer> (close, reset, silent …,
// the answers of the simulator's `fault` knob) bends every answer of the site that way: how
// scripts/bench shows that rows which need the site say FAILED when it does not answer.
bool start_site(sitesim::Simulator& sim);

// `count` plans named "方案<n>" written to the plan database at `file` before the program
// opens it. Every plan sends `ids` in fixed-point mode at the time nodes `times`.
bool write_plans(const std::filesystem::path& file, int count, const std::string& ids, const std::string& times);

// The real clock shifted so that it reads a chosen moment now; it can be moved again, which a
// run of several trials needs. Read on the user-interface thread only, like every clock here.
class TrialClock final : public common::Clock {
public:
    explicit TrialClock(const common::LocalTime& start) { start_at(start); }
    void start_at(const common::LocalTime& start);
    std::int64_t now_ms() const override;
    // Seconds since the epoch at which this clock reads `moment`.
    double epoch_seconds_at(const common::LocalTime& moment) const;

private:
    std::int64_t offset_ms_ = 0;
};

} // namespace bench
