#pragma once
// One row of table `data`: a refresh plan.

#include <string>

namespace common {

struct Plan {
    std::string nick;     // plan name, the key of every statement
    std::string id;       // listing IDs joined by ","
    std::string times;    // time nodes HH:MM joined by ","
    std::string sort;     // "1" fixed-point, "2" batch rotation, "0" neither
    std::string num;      // batch size in rotation mode
    std::string interval; // never used, always stored empty
    std::string progress; // last ID of the most recent batch
    std::string sort1;    // "1" sale, "2" rent, "0" neither
    std::string numall;   // planned refreshes per day
    std::string today;    // successes on the day in date1
    std::string date1;    // date text the count belongs to

    // All texts empty stands for a plan that does not exist.
    bool empty() const {
        return nick.empty() && id.empty() && times.empty() && sort.empty() && num.empty() &&
               interval.empty() && progress.empty() && sort1.empty() && numall.empty() &&
               today.empty() && date1.empty();
    }
    bool operator==(const Plan&) const = default;
};

} // namespace common
