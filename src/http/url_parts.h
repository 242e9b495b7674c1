#pragma once
// What a request's URL says about where it goes. URLs are GBK bytes; only ASCII letters are
// folded, so a double-byte character is never split or changed.

#include <string>
#include <string_view>

namespace http {

// The text before the first `marker`; empty when `marker` does not occur.
std::string text_before(std::string_view text, std::string_view marker);

// True when the URL begins with "https://" in any letter case.
bool is_secure_url(std::string_view url);

// The URL with "http://" put in front unless it begins with "http://" or "https://"; the test is
// case-sensitive, so "HTTP://x" gets it as well.
std::string with_scheme(std::string_view url);

// The host name, lower-cased: the leading scheme (any case) and every further "https://" and
// "http://" (exact case) removed, then the part before the first "/" and of that the part
// before the first ":".
std::string host_of_url(std::string_view url);

// From the first "/" at or after the host to the end, query included; "/" when none follows.
std::string path_of_url(std::string_view url);

// The number after the first ":" of the host-and-port part that follows the scheme; 80 for
// plain and 443 for secure URLs when none is written (or the number is 0).
int port_of_url(std::string_view url);

} // namespace http
