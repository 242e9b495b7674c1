#include "common/clock.h"

#include <chrono>
#include <ctime>

namespace common {

LocalTime to_local(std::int64_t epoch_ms) {
    std::int64_t secs = epoch_ms / 1000;
    std::int64_t ms = epoch_ms % 1000;
    if (ms < 0) {
        ms += 1000;
        --secs;
    }
    const std::time_t tt = static_cast<std::time_t>(secs);
    std::tm tm{};
    localtime_r(&tt, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms)};
}

std::int64_t from_local(const LocalTime& t) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm)) * 1000 + t.millisecond;
}

std::string date_text(const LocalTime& t) {
    return std::to_string(t.year) + "年" + std::to_string(t.month) + "月" + std::to_string(t.day) + "日";
}

std::int64_t SystemClock::now_ms() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace common
