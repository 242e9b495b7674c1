#pragma once
// The day's successful refreshes: the total over all plans (table `num`, status pane 2) and
// each plan's own count (columns today/date1, column 3 of its list row).

#include <string>

namespace common { class Clock; }
namespace store { class PlanStore; }

namespace engine {

class RunView;

class DailyCounters final {
public:
    DailyCounters(const common::Clock& clock, store::PlanStore& store, RunView& view)
        : clock_(clock), store_(store), view_(view) {}
    DailyCounters(const DailyCounters&) = delete;
    DailyCounters& operator=(const DailyCounters&) = delete;

    // After each listing that refreshed: counts it in today's total, shows the total, counts
    // it for the plan and shows the plan's count in its list row.
    void count_success(const std::string& nick);
    // Shows today's total in status pane 2.
    void show_today_total();

private:
    void show_total_of(const std::string& date);

    const common::Clock& clock_;
    store::PlanStore& store_;
    RunView& view_;
};

} // namespace engine
