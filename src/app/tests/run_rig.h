#pragma once
// Test support: the real run loop over the real refresher, request runner and plan store,
// pointed at the simulator, with a view that hands every log line to the caller as it is
// appended. Shared by the fault tests and the child program they kill in the middle of a run.

#include "common/clock.h"
#include "engine/run_loop.h"
#include "engine/run_view.h"
#include "http/curl_request_runner.h"
#include "http/network_thread.h"
#include "site/listing_refresh.h"
#include "site/session.h"
#include "store/plan_store.h"
#include "testsupport/clocks.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace faults {

// 08:05 on 5 March 2024: the moment every rig runs at.
inline const common::LocalTime kRunMoment{2024, 3, 5, 8, 5, 0, 0};
inline const std::string kRunDay = "2024年3月5日";

// A plan due at kRunMoment in fixed-point mode over `ids`.
common::Plan due_plan(const std::string& nick, const std::string& ids);

class LineView final : public engine::RunView {
public:
    using LineHandler = std::function<void(const std::string& line)>;
    LineView(std::vector<std::string> plan_names, LineHandler on_line)
        : names_(std::move(plan_names)), on_line_(std::move(on_line)) {}

    int plan_row_count() const override { return static_cast<int>(names_.size()); }
    std::string plan_name_at(int row) const override;
    void show_run_state(const std::string&) override {}
    void show_today_total(long long total) override { today_total = total; }
    void show_plan_today(const std::string&, long long count) override { plan_today = count; }
    void append_log_line(const std::string& line) override { on_line_(line); }
    void set_start_enabled(bool) override {}

    long long today_total = -1;
    long long plan_today = -1;

private:
    std::vector<std::string> names_;
    LineHandler on_line_;
};

class RunRig final {
public:
    // `database` is opened (and created) at once; `backoffice` is the simulator's host.
    RunRig(const std::filesystem::path& database, const std::string& backoffice, int time_limit_seconds,
           std::vector<std::string> plan_names, LineView::LineHandler on_line);
    RunRig(const RunRig&) = delete;
    RunRig& operator=(const RunRig&) = delete;

    bool database_open() const { return store.is_open(); }

    testsupport::ManualClock clock{kRunMoment};
    store::PlanStore store;
    http::NetworkThread network;
    http::CurlRequestRunner runner{network};
    site::SiteSession session;
    site::ListingRefresher refresher;
    LineView view;
    engine::RunLoop loop;
};

} // namespace faults
