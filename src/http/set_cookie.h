#pragma once
// Reading the cookies a response sets from its raw header text.

#include "http/cookie_store.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace http {

// The values of the header lines that begin with "Set-Cookie:" (any letter case), blanks after
// the colon skipped; lines end at "\r\n" or a lone "\n".
std::vector<std::string> set_cookie_values(std::string_view raw_headers);

// Each value's leading name=value pair (the whole value when it has no attributes) followed
// by ";", joined without separators: "a=1;b=2;".
std::string cookie_pairs(const std::vector<std::string>& values);

// The cookie that `value` sets when the response came from `host`: a host-only cookie unless a
// Domain attribute the host belongs to makes it a domain cookie; path "/" unless one is given;
// Max-Age before Expires. Nothing when the value has no name or names a foreign domain.
// `path_given` tells whether a Path attribute set the path.
std::optional<Cookie> parse_set_cookie(std::string_view value, std::string_view host, long long now,
                                       bool* path_given = nullptr);

} // namespace http
