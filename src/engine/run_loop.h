#pragma once
// The run loop: sweeps the plan list until the run flag drops, fires the plans that are due,
// refreshes their listings (one retry after a second) and counts the successes.

#include "common/clock.h"
#include "engine/counters.h"
#include "engine/fired_nodes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace store { class PlanStore; }

namespace engine {

class Refresher;
class RunView;

class RunLoop final {
public:
    RunLoop(const common::Clock& clock, store::PlanStore& store, Refresher& refresher, RunView& view);
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // Runs until stop(); returns when the run has ended. Window messages run inside its waits,
    // so stop() and other handlers take effect in the middle of a run. A start() from inside a
    // run returns at once.
    void start();
    // Sets the run flag to 0; the plan being visited is finished first.
    void stop() { running_ = 0; }
    bool running() const { return running_ == 1; }
    // True from start() until it returns, also while the loop unwinds after the flag dropped.
    bool in_run() const { return in_run_; }

    // Appends "HH:MM:SS  message\r\n" to the log.
    void append_log(const std::string& message);

    FiredNodes& fired_nodes() { return fired_; }
    // Sweeps begun since the loop was made; benchmarks read it to price one sweep.
    std::uint64_t sweep_count() const { return sweeps_; }
    DailyCounters& counters() { return counters_; }

private:
    // Each row as the last sweep saw it: whether its plan has a node in the minute it was read
    // for. While the row's name, the minute and the store's plans stand still, a plan without a
    // node in this minute cannot fire, and the row needs neither a lookup nor a fire test.
    struct SeenRow {
        std::string name;
        bool node_this_minute = true;
    };
    // The local minute of a clock reading, converted once per minute rather than once per row.
    struct Minute {
        std::int64_t start_ms = 0, end_ms = 0; // [start, end) of the minute the time is in
        std::string hh_mm;
    };

    void sweep();
    const Minute& minute_of(std::int64_t now_ms);
    void fire_plan(const common::Plan& plan);
    std::string refresh_with_retry(const std::string& id);

    const common::Clock& clock_;
    store::PlanStore& store_;
    Refresher& refresher_;
    RunView& view_;
    FiredNodes fired_;
    std::vector<SeenRow> seen_;
    std::uint64_t seen_version_ = 0; // the store's plans version the rows were seen with
    std::int64_t seen_minute_ = -1;   // start of the minute they were seen in
    Minute minute_;
    DailyCounters counters_;
    int running_ = 0;
    bool in_run_ = false;
    std::uint64_t sweeps_ = 0;
};

} // namespace engine
