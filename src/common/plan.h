#pragma once
// One row of table `data`: a refresh plan.

#include <string>

namespace common {

// Column `sort`.
enum class PlanMode { Neither, FixedPoint, BatchRotation };
// Column `sort1`.
enum class ListingKind { Neither, Sale, Rent };

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

    // `sort` and `sort1` as what they mean. "1" and "2" are compared here alone; any other
    // text reads as Neither, which is written "0".
    PlanMode mode() const { return from_code(sort, PlanMode::FixedPoint, PlanMode::BatchRotation, PlanMode::Neither); }
    void set_mode(PlanMode mode) { sort = code_of(mode, PlanMode::FixedPoint, PlanMode::BatchRotation); }
    ListingKind listing_kind() const { return from_code(sort1, ListingKind::Sale, ListingKind::Rent, ListingKind::Neither); }
    void set_listing_kind(ListingKind kind) { sort1 = code_of(kind, ListingKind::Sale, ListingKind::Rent); }

private:
    template <typename Value>
    static Value from_code(const std::string& code, Value one, Value two, Value neither) {
        return code == "1" ? one : code == "2" ? two : neither;
    }
    template <typename Value>
    static std::string code_of(Value value, Value one, Value two) {
        return value == one ? "1" : value == two ? "2" : "0";
    }
};

} // namespace common
