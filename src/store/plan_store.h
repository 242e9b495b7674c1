#pragma once
// The plan database: tables `data` (one row per plan) and `num` (successes per day) in one
// SQLite file. Every value reaches a statement as a bound parameter.

#include "common/plan.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace store {

// What the plan list shows of one row of `data`.
struct PlanRow {
    std::string nick, numall, today;
};

class PlanStore final {
public:
    PlanStore();
    ~PlanStore();
    PlanStore(const PlanStore&) = delete;
    PlanStore& operator=(const PlanStore&) = delete;

    // Opens (creating the folder, the file and both tables when missing). False when the file
    // cannot be used as the database: a folder in its place, not a database, no permission.
    bool open(const std::filesystem::path& file);
    bool is_open() const;

    // Every row of `data` in the order SQLite returns them; `row` is called for each row.
    void list_plans(const std::function<void(const PlanRow&)>& row);
    // The first row with that name, or the empty plan.
    common::Plan load_plan_by_name(const std::string& nick);
    // Between these two, lookups by name look at whether another program changed the file only
    // once, at the first lookup; this store's own writes are seen at once as always. The run
    // loop opens one batch for each stretch of a sweep in which nothing waits and no handler
    // runs: the stretch then sees the file as of its start, as if another program's commit had
    // come just after it, and a sweep of a thousand plans costs one look instead of a thousand.
    void begin_read_batch();
    void end_read_batch();
    // A number that moves on whenever a plan may have changed since it was last asked: a write of
    // this store, another program's commit (looked at as lookups look, once per read batch), the
    // file opened again. While it stands still every plan reads as it read before.
    std::uint64_t plans_version();
    // Replaces every row of that name by one new row (nick, id, times, sort, num, interval,
    // sort1, numall), in one transaction: when the insert fails the earlier rows stay.
    bool save_plan(const common::Plan& plan);
    void delete_plan(const std::string& nick);
    bool set_progress(const std::string& nick, const std::string& progress);
    // today + 1 when the stored date1 equals `date`, else 1; writes today and date1 back.
    long long set_today_plan_count(const std::string& nick, const std::string& date);
    // `num` of the row of `date`, 0 without one.
    long long read_today_total(const std::string& date);
    // Adds one to the row of `date`, or inserts it with "1".
    void count_one_success_today(const std::string& date);
    // `nick` and `today` of every row of `data` whose `date1` is `date`, in list order.
    void list_plan_counts_on(const std::string& date,
                             const std::function<void(const std::string& nick, const std::string& today)>& row);
    // Both counts of one success, in one transaction: count_one_success_today, then the day's
    // total as read back, then set_today_plan_count.
    struct SuccessCounts {
        long long total = 0;
        long long plan_today = 1;
    };
    SuccessCounts count_success(const std::string& nick, const std::string& date);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace store
