#include "run_rig.h"

namespace faults {

common::Plan due_plan(const std::string& nick, const std::string& ids) {
    common::Plan plan;
    plan.nick = nick;
    plan.id = ids;
    plan.times = "08:00,08:05";
    plan.sort = "1";
    plan.numall = "0";
    return plan;
}

std::string LineView::plan_name_at(int row) const {
    return row >= 0 && row < plan_row_count() ? names_[static_cast<std::size_t>(row)] : std::string();
}

RunRig::RunRig(const std::filesystem::path& database, const std::string& backoffice, int time_limit_seconds,
               std::vector<std::string> plan_names, LineView::LineHandler on_line)
    : refresher(runner, site::SiteHosts{backoffice, backoffice}, session, [this] { loop.stop(); },
                time_limit_seconds),
      view(std::move(plan_names), std::move(on_line)), loop(clock, store, refresher, view) {
    store.open(database);
    session.set_agent_id("4321");
}

} // namespace faults
