#include "engine/fired_nodes.h"

#include "common/text.h"

namespace engine {
namespace {

std::string hh_mm(const common::LocalTime& now) { return common::two_digits(now.hour) + ":" + common::two_digits(now.minute); }

} // namespace

std::string fired_key(const std::string& nick, const common::LocalTime& now) {
    return common::date_text(now) + nick + hh_mm(now);
}

bool FiredNodes::fire_test(const common::Plan& plan, const common::LocalTime& now) {
    // A plain search of the node text. The hour is always two digits, so "18:05" does not
    // match at 08:05, and a node written "8:05" never matches at all. Searched before the key
    // is built: the run loop asks for every plan several times a second and nearly always
    // the minute is not a node.
    if (plan.times.find(hh_mm(now)) == std::string::npos)
        return false;
    // Any other day, also one the clock was set back to: the keys held are not today's.
    if (std::string today = common::date_text(now); today != day_) {
        keys_.clear();
        day_ = std::move(today);
    }
    return keys_.insert(fired_key(plan.nick, now)).second;
}

bool FiredNodes::has_fired(const std::string& nick, const common::LocalTime& now) const {
    return keys_.contains(fired_key(nick, now));
}

} // namespace engine
