#pragma once
// The one source of the local date and time. Tests put the program at any moment.

#include <atomic>
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

// A clock that stands still until it is set or stepped; safe to read from any thread.
class ManualClock final : public Clock {
public:
    explicit ManualClock(const LocalTime& start) : ms_(from_local(start)) {}
    std::int64_t now_ms() const override { return ms_.load(); }
    void set(const LocalTime& t) { ms_.store(from_local(t)); }
    void set_ms(std::int64_t ms) { ms_.store(ms); }
    void advance_ms(std::int64_t ms) { ms_.fetch_add(ms); }

private:
    std::atomic<std::int64_t> ms_;
};

// Runs with the real passage of time, shifted so that it starts at a chosen moment.
class ShiftedClock final : public Clock {
public:
    explicit ShiftedClock(const LocalTime& start);
    std::int64_t now_ms() const override;

private:
    std::int64_t offset_ms_;
};

} // namespace common
