#pragma once
// The fired-node memory: which plan has fired at which time node today. It lives as long as
// the process, so a node fires once per day even across stop and start; a restart of the
// program forgets it. Keys of an earlier day can never match again and are dropped when the
// day changes, so a program left running for months keeps one day's keys.

#include "common/clock.h"
#include "common/plan.h"

#include <string>
#include <unordered_set>

namespace engine {

// Date text + plan name + "HH:MM": 2024年3月5日早班08:05.
std::string fired_key(const std::string& nick, const common::LocalTime& now);

class FiredNodes final {
public:
    FiredNodes() = default;
    FiredNodes(const FiredNodes&) = delete;
    FiredNodes& operator=(const FiredNodes&) = delete;

    // True when `now`'s HH:MM occurs in the plan's time nodes and has not fired for this plan
    // today; remembers it then. `now` is one reading of the clock.
    bool fire_test(const common::Plan& plan, const common::LocalTime& now);

    bool has_fired(const std::string& nick, const common::LocalTime& now) const;
    std::size_t size() const { return keys_.size(); }

private:
    // Whole keys, not one text searched for a key: a plan named like another plan plus a
    // time ("早班08:05") must not hide that plan's node.
    std::unordered_set<std::string> keys_;
    // The date text the keys belong to.
    std::string day_;
};

} // namespace engine
