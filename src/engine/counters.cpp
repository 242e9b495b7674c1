#include "engine/counters.h"

#include "common/clock.h"
#include "engine/run_view.h"
#include "store/plan_store.h"

namespace engine {

void DailyCounters::count_success(const std::string& nick) {
    // One reading: a success just before midnight is counted, shown and kept for the same day.
    const std::string date = common::date_text(clock_.local_now());
    const store::PlanStore::SuccessCounts counts = store_.count_success(nick, date);
    view_.show_today_total(counts.total);
    view_.show_plan_today(nick, counts.plan_today);
}

void DailyCounters::show_today_total() { show_total_of(common::date_text(clock_.local_now())); }

void DailyCounters::show_total_of(const std::string& date) { view_.show_today_total(store_.read_today_total(date)); }

} // namespace engine
