#pragma once
// What the runner hands a worker and what the worker hands back: seven byte strings. The
// worker overwrites slots 0, 1 and 5 with its results, so those three mean one thing on the
// way in and another on the way back.

#include <array>
#include <string>
#include <string_view>

namespace http {

struct RequestRecord {
    enum Slot : std::size_t {
        // On the way to the worker.
        Url = 0,
        Method = 1,          // "GET" or "POST"
        Proxy = 2,
        ExtraHeaders = 3,
        Body = 4,
        Cookies = 5,         // the Cookie header text
        FollowRedirects = 6, // kFollow or kDontFollow; emptied when the request could not be opened
        // On the way back.
        ResponseBody = 0,
        ResponseCookies = 1, // "name=value;" per cookie the response set
        ResponseHeaders = 5, // status line and header lines, each ended by "\r\n"
    };

    std::array<std::string, 7> slots;

    std::string& operator[](Slot slot) { return slots[slot]; }
    const std::string& operator[](Slot slot) const { return slots[slot]; }
};

inline constexpr std::string_view kFollow = "真";
inline constexpr std::string_view kDontFollow = "假";

} // namespace http
