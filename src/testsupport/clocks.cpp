#include "testsupport/clocks.h"

namespace testsupport {

ShiftedClock::ShiftedClock(const common::LocalTime& start)
    : offset_ms_(common::from_local(start) - common::SystemClock().now_ms()) {}

std::int64_t ShiftedClock::now_ms() const { return common::SystemClock().now_ms() + offset_ms_; }

} // namespace testsupport
