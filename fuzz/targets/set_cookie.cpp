// Cookies harvested from any raw header text. Input: host, "\n", the raw headers.

#include "fuzz_target.h"

#include "http/set_cookie.h"

QICHENG_FUZZ_TARGET(set_cookie) {
    fuzz::Pieces pieces(data, size);
    const std::string host(pieces.next());
    const std::string_view headers = pieces.rest();
    const std::vector<std::string> values = http::set_cookie_values(headers);
    std::size_t total = 0;
    for (const std::string& value : values) {
        total += value.size();
        FUZZ_CHECK(value.find('\n') == std::string::npos);
        if (const auto cookie = http::parse_set_cookie(value, host, 1700000000)) {
            FUZZ_CHECK(!cookie->name.empty());
            FUZZ_CHECK(!cookie->path.empty());
        }
    }
    FUZZ_CHECK(total <= headers.size());
    const std::string pairs = http::cookie_pairs(values);
    FUZZ_CHECK(pairs.size() <= total + values.size());
    return 0;
}
