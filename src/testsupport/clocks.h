#pragma once
// Clocks that tests and benchmarks put in place of the system clock.

#include "common/clock.h"

#include <atomic>
#include <cstdint>

namespace testsupport {

// A clock that stands still until it is set or stepped; safe to read from any thread.
class ManualClock final : public common::Clock {
public:
    explicit ManualClock(const common::LocalTime& start) : ms_(common::from_local(start)) {}
    std::int64_t now_ms() const override { return ms_.load(); }
    void set(const common::LocalTime& t) { ms_.store(common::from_local(t)); }
    void set_ms(std::int64_t ms) { ms_.store(ms); }
    void advance_ms(std::int64_t ms) { ms_.fetch_add(ms); }

private:
    std::atomic<std::int64_t> ms_;
};

// Runs with the real passage of time, shifted so that it starts at a chosen moment.
class ShiftedClock final : public common::Clock {
public:
    explicit ShiftedClock(const common::LocalTime& start);
    std::int64_t now_ms() const override;

private:
    std::int64_t offset_ms_;
};

} // namespace testsupport
