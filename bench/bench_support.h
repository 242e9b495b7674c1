#pragma once
// What every benchmark here shares: process CPU time, resident memory, medians, the table row
// scripts/bench collects, and a data folder pointed at the local site simulator.

#include "common/clock.h"
#include "common/plan.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

// CPU time of the whole process (every thread), in seconds.
double process_cpu_seconds();
// Seconds on a monotonic clock.
double monotonic_seconds();
// Seconds since the epoch, the clock the simulator stamps its requests with.
double epoch_seconds();
// VmRSS of this process in kilobytes; 0 when /proc cannot be read.
long resident_kb();
// Seconds since the kernel started this process (10 ms resolution).
double seconds_since_process_start();

double median(std::vector<double> values);

// One row of the table scripts/bench prints: "ROW<TAB>figure<TAB>target<TAB>measured".
void print_row(const std::string& figure, const std::string& target, const std::string& measured);
std::string format(const char* pattern, double value);

// A duration from the environment (QICHENG_BENCH_SECONDS), else `fallback`.
double bench_seconds(double fallback);

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
