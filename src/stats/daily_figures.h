#pragma once
// The figures of the statistics window, read from the plan store: the day's successes over the
// last days (table `num`) and each plan's successes today (`today` where `date1` is today).

#include "common/clock.h"

#include <string>
#include <vector>

namespace store { class PlanStore; }

namespace stats {

struct DayCount {
    std::string date; // the date text, as the table stores it: 2024年3月5日
    long long count = 0;
    bool operator==(const DayCount&) const = default;
};

struct PlanCount {
    std::string nick;
    long long count = 0;
    bool operator==(const PlanCount&) const = default;
};

// The `days` days up to and including `today`, oldest first. Each day's figure is read as the
// status bar reads today's total, so a day without a row shows 0 and a row whose date is not
// the program's date text of any of these days is left out.
std::vector<DayCount> daily_counts(store::PlanStore& store, const common::LocalTime& today, int days = 30);

// Plans whose count belongs to `today_text`, most successes first (list order among equals),
// each name once.
std::vector<PlanCount> plan_counts_today(store::PlanStore& store, const std::string& today_text);

} // namespace stats
