#pragma once
// Time nodes generated from a start time, an end time, an interval and a filter, and the
// number of refreshes a day a plan makes.

#include "common/plan.h"

#include <string>
#include <string_view>

namespace editor {

// The texts of the generator's boxes, as typed; each is read with common::text_to_int.
struct TimeNodeBoxes {
    std::string start_hour, start_minute;
    std::string end_hour, end_minute;
    std::string interval;
    std::string filter;
};

// Either the time-node text (empty when the filter left out every node) or, when the boxes
// give no range, the message to show; the time box is then left as it was.
struct GeneratedNodes {
    std::string nodes;
    std::string message;
    bool ok() const { return message.empty(); }
};

// Absurd boxes (an end hour of many digits, an interval of 1) would otherwise make billions
// of nodes: generation stops after this many nodes from the start, counted before the
// filter. 10000 one-minute steps run past 166:00, far beyond any time a clock can show.
inline constexpr long long kMaxTimeNodes = 10000;

// Nodes HH:MM joined by ",", from the start on in steps of the interval while they do not
// pass the end. Minutes are not limited to 0-59 and hours are not folded at 24; a node whose
// minute is a multiple of the filter N (its absolute value; 0 means none) is left out, so
// any N other than 0 leaves out every full hour.
GeneratedNodes generate_time_nodes(const TimeNodeBoxes& boxes);

// Entries of a comma-joined text: every "," counts, so an empty entry between two commas and
// a comma at the end each add one; an empty text has none.
long long count_entries(std::string_view text);

// Refreshes a day: nodes × IDs in fixed-point mode, nodes × `count` in batch rotation mode,
// -1 in neither. Saturates instead of overflowing.
long long refresh_count(std::string_view times, std::string_view ids, long long count, common::PlanMode mode);

} // namespace editor
