#pragma once
// The one source of the local date and time. Tests put the program at any moment with a clock
// of their own (testsupport/clocks.h).

#include <cstdint>
#include <string>

namespace common {

struct LocalTime {
    int year = 1970, month = 1, day = 1; // month 1..12
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    bool operator==(const LocalTime&) const = default;
};

// Milliseconds since the epoch <-> local calendar time of this machine's time zone.
LocalTime to_local(std::int64_t epoch_ms);
std::int64_t from_local(const LocalTime& t);

// Year, "年", month, "月", day, "日", without leading zeros: 2024年3月5日.
std::string date_text(const LocalTime& t);

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t now_ms() const = 0;
    LocalTime local_now() const { return to_local(now_ms()); }
};

class SystemClock final : public Clock {
public:
    std::int64_t now_ms() const override;
};

} // namespace common
