#include "editor/time_nodes.h"

#include "common/text.h"

#include <climits>

namespace editor {
namespace {

long long saturating_add(long long a, long long b) {
    long long sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? LLONG_MAX : LLONG_MIN;
    return sum;
}

long long saturating_multiply(long long a, long long b) {
    long long product = 0;
    if (__builtin_mul_overflow(a, b, &product))
        return (a < 0) != (b < 0) ? LLONG_MIN : LLONG_MAX;
    return product;
}

long long minutes_since_midnight(const std::string& hour, const std::string& minute) {
    return saturating_add(saturating_multiply(common::text_to_int(hour), 60), common::text_to_int(minute));
}

} // namespace

GeneratedNodes generate_time_nodes(const TimeNodeBoxes& boxes) {
    const long long start = minutes_since_midnight(boxes.start_hour, boxes.start_minute);
    const long long end = minutes_since_midnight(boxes.end_hour, boxes.end_minute);
    if (start >= end)
        return {{}, "请正确填写开始时间和结束时间"};
    const long long interval = common::text_to_int(boxes.interval);
    if (interval < 1)
        return {{}, "间隔时间不能小于1分钟"};
    // The remainder takes the sign of the minute, never of the divisor, so a negative filter
    // leaves out the same nodes as its absolute value.
    const long long filter = common::text_to_int(boxes.filter);

    std::string text;
    long long t = start;
    for (long long made = 0; made < kMaxTimeNodes; ++made) {
        const long long minute = t % 60;
        if (filter == 0 || minute % filter != 0) {
            if (!text.empty())
                text += ',';
            text += common::two_digits(t / 60);
            text += ':';
            text += common::two_digits(minute);
        }
        // A step past the largest number is past every end.
        if (__builtin_add_overflow(t, interval, &t) || t > end)
            break;
    }
    return {std::move(text), {}};
}

long long count_entries(std::string_view text) {
    return text.empty() ? 0 : static_cast<long long>(common::count_occurrences(text, ",")) + 1;
}

long long refresh_count(std::string_view times, std::string_view ids, long long count, common::PlanMode mode) {
    const long long nodes = count_entries(times);
    switch (mode) {
    case common::PlanMode::FixedPoint:
        return saturating_multiply(nodes, count_entries(ids));
    case common::PlanMode::BatchRotation:
        return saturating_multiply(nodes, count);
    case common::PlanMode::Neither:
        break;
    }
    return -1;
}

} // namespace editor
