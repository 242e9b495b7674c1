#pragma once
// The request header text: the caller's extra lines first, then the defaults the extra lines
// do not already name. The tests are searches for a word anywhere in the text, so a longer
// header name counts too ("Accept-Language" also names "Accept").

#include <string>
#include <string_view>
#include <vector>

namespace http {

inline constexpr std::string_view kDefaultUserAgent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727; .NET CLR 3.0.04506.648; "
    ".NET CLR 3.5.21022)";

// The value of the first "User-Agent:" of the extra headers without surrounding blanks (empty
// when no line end follows it); the default user agent when there is none.
std::string user_agent_of(std::string_view extra_headers);

// The header text for one request, each line ended by "\r\n"; with cookie text the Cookie line
// comes last and ends with an empty line.
std::string compose_headers(std::string_view url, std::string_view method, std::string_view extra_headers,
                            std::string_view body, std::string_view cookie_text);

// The header text as lines for curl, plus empty entries that keep curl from adding headers of
// its own (Accept, Expect, and Content-Type on POST) where the text has none of that name.
std::vector<std::string> curl_header_lines(std::string_view header_text, bool post);

} // namespace http
