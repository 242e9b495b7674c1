#include "engine/run_loop.h"

#include "common/clock.h"
#include "common/text.h"
#include "common/wait.h"
#include "engine/refresher.h"
#include "engine/run_view.h"
#include "engine/selection.h"
#include "store/plan_store.h"

#include <QCoreApplication>

#include <algorithm>

namespace engine {
namespace {

constexpr long long kSweepPauseMs = 200;

// 8时5分0秒: numbers without leading zeros.
std::string run_state_time(const common::LocalTime& t) {
    return std::to_string(t.hour) + "时" + std::to_string(t.minute) + "分" + std::to_string(t.second) + "秒";
}

} // namespace

RunLoop::RunLoop(const common::Clock& clock, store::PlanStore& store, Refresher& refresher, RunView& view)
    : clock_(clock), store_(store), refresher_(refresher), view_(view), counters_(clock, store, view) {}

void RunLoop::start() {
    if (in_run_)
        return;
    in_run_ = true;
    view_.set_start_enabled(false);
    // Lets the button repaint disabled before the first sweep holds the thread.
    QCoreApplication::processEvents();
    running_ = 1;
    while (running_ == 1) {
        sweep();
        common::paced_wait(kSweepPauseMs);
    }
    view_.set_start_enabled(true);
    view_.show_run_state("任务已经停止");
    in_run_ = false;
}

void RunLoop::append_log(const std::string& message) {
    const common::LocalTime t = clock_.local_now();
    view_.append_log_line(common::two_digits(t.hour) + ":" + common::two_digits(t.minute) + ":" +
                          common::two_digits(t.second) + "  " + message + "\r\n");
}

void RunLoop::sweep() {
    ++sweeps_;
    // Rows added or removed during the sweep do not change how many are visited.
    const int rows = view_.plan_row_count();
    view_.show_run_state("任务执行中 " + run_state_time(clock_.local_now()));
    if (seen_.size() != static_cast<std::size_t>(rows))
        seen_.resize(static_cast<std::size_t>(std::max(rows, 0)));
    // Rows visited without a wait in between see the database as of the first of them; a firing
    // waits, and handlers or other programs may change plans meanwhile, so a new batch follows.
    store_.begin_read_batch();
    std::uint64_t version = store_.plans_version();
    for (int row = 0; row < rows; ++row) {
        const std::string name = view_.plan_name_at(row);
        const std::int64_t now_ms = clock_.now_ms();
        const Minute& minute = minute_of(now_ms);
        if (version != seen_version_ || minute.start_ms != seen_minute_) {
            for (SeenRow& seen : seen_)
                seen.node_this_minute = true;
            seen_version_ = version;
            seen_minute_ = minute.start_ms;
        }
        SeenRow& seen = seen_[static_cast<std::size_t>(row)];
        if (seen.node_this_minute || seen.name != name) {
            // Read afresh: an edit saved during a wait counts at once.
            const common::Plan plan = store_.load_plan_by_name(name);
            seen.name = name;
            seen.node_this_minute = plan.times.find(minute.hh_mm) != std::string::npos;
            if (seen.node_this_minute && fired_.fire_test(plan, common::to_local(now_ms))) {
                store_.end_read_batch();
                fire_plan(plan);
                store_.begin_read_batch();
                version = store_.plans_version();
            }
        }
        // Handlers run inside the waits of a firing and may have stopped the run.
        if (running_ == 0)
            break;
    }
    store_.end_read_batch();
}

const RunLoop::Minute& RunLoop::minute_of(std::int64_t now_ms) {
    if (now_ms >= minute_.start_ms && now_ms < minute_.end_ms)
        return minute_;
    const common::LocalTime t = common::to_local(now_ms);
    minute_.start_ms = now_ms - (t.second * 1000LL + t.millisecond);
    minute_.end_ms = minute_.start_ms + 60'000;
    minute_.hh_mm = common::two_digits(t.hour) + ":" + common::two_digits(t.minute);
    return minute_;
}

void RunLoop::fire_plan(const common::Plan& plan) {
    const std::string& nick = plan.nick;
    append_log(nick + " 符合时间节点");
    const std::string selection = select_ids(plan);
    if (selection.empty()) {
        append_log(nick + " 未取到需要刷新的id");
        return;
    }
    append_log(nick + " 正在刷新");
    // Once a plan has fired, every selected ID is sent, even after a stop.
    for (const std::string& id : common::split_at_comma(selection)) {
        const std::string outcome = refresh_with_retry(id);
        if (outcome == kRefreshSucceeded) {
            append_log(nick + " " + id + "  成功");
            counters_.count_success(nick);
        } else {
            append_log(nick + " " + id + "  " + outcome);
        }
    }
    store_.set_progress(nick, progress_of(selection));
}

std::string RunLoop::refresh_with_retry(const std::string& id) {
    const std::string first = refresher_.refresh_listing(id);
    if (first == kRefreshSucceeded)
        return first;
    common::paced_wait(1, 1);
    return refresher_.refresh_listing(id);
}

} // namespace engine
