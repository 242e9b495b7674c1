#include "stats/daily_figures.h"

#include "common/text.h"
#include "store/plan_store.h"

#include <QDate>

#include <algorithm>
#include <set>

namespace stats {

std::vector<DayCount> daily_counts(store::PlanStore& store, const common::LocalTime& today, int days) {
    std::vector<DayCount> counts;
    const QDate last(today.year, today.month, today.day);
    for (int back = days - 1; back >= 0; --back) {
        const QDate day = last.addDays(-back);
        const std::string date =
            common::date_text({.year = day.year(), .month = day.month(), .day = day.day()});
        counts.push_back({date, store.read_today_total(date)});
    }
    return counts;
}

std::vector<PlanCount> plan_counts_today(store::PlanStore& store, const std::string& today_text) {
    std::vector<PlanCount> counts;
    std::set<std::string> seen;
    // Rows of one name carry the same count (it is written to all of them); the first speaks.
    store.list_plan_counts_on(today_text, [&](const std::string& nick, const std::string& today) {
        if (seen.insert(nick).second)
            counts.push_back({nick, common::text_to_int(today)});
    });
    std::stable_sort(counts.begin(), counts.end(),
                     [](const PlanCount& a, const PlanCount& b) { return a.count > b.count; });
    return counts;
}

} // namespace stats
