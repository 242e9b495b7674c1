#include "http/set_cookie.h"

#include "common/text.h"
#include "http/byte_text.h"

#include <curl/curl.h>

#include <algorithm>
#include <climits>

namespace http {
namespace {

constexpr std::string_view kSetCookie = "Set-Cookie:";

std::string_view trim_space_and_tab(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

struct Attributes {
    std::optional<std::string> domain;
    std::optional<std::string> path;
    std::optional<long long> max_age;
    std::optional<long long> expires;
    bool secure = false;
    bool http_only = false;
};

void read_attribute(std::string_view attribute, Attributes& out) {
    const std::size_t eq = attribute.find('=');
    const std::string key = lower_ascii(trim_space_and_tab(attribute.substr(0, eq)));
    const std::string value(eq == std::string_view::npos ? std::string_view() : trim_space_and_tab(attribute.substr(eq + 1)));
    if (key == "domain" && !value.empty()) {
        out.domain = lower_ascii(value.front() == '.' ? std::string_view(value).substr(1) : std::string_view(value));
    } else if (key == "path" && value.starts_with('/')) {
        out.path = value;
    } else if (key == "max-age" && !value.empty()) {
        out.max_age = common::text_to_int(value);
    } else if (key == "expires") {
        const time_t when = curl_getdate(value.c_str(), nullptr);
        if (when != -1)
            out.expires = static_cast<long long>(when);
    } else if (key == "secure") {
        out.secure = true;
    } else if (key == "httponly") {
        out.http_only = true;
    }
}

bool host_belongs_to(std::string_view host, std::string_view domain) {
    return host == domain || (host.size() > domain.size() && host.ends_with(domain) &&
                              host[host.size() - domain.size() - 1] == '.');
}

} // namespace

std::vector<std::string> set_cookie_values(std::string_view raw_headers) {
    std::vector<std::string> values;
    while (!raw_headers.empty()) {
        const std::size_t end = raw_headers.find('\n');
        std::string_view line = raw_headers.substr(0, end);
        raw_headers.remove_prefix(end == std::string_view::npos ? raw_headers.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (common::find_ignore_case(line.substr(0, kSetCookie.size()), kSetCookie) == 0)
            values.emplace_back(trim_space_and_tab(line.substr(kSetCookie.size())));
    }
    return values;
}

std::string cookie_pairs(const std::vector<std::string>& values) {
    std::string pairs;
    for (const std::string& value : values) {
        const std::string_view pair = trim_space_and_tab(std::string_view(value).substr(0, value.find(';')));
        if (pair.empty())
            continue;
        pairs += pair;
        pairs += ';';
    }
    return pairs;
}

std::optional<Cookie> parse_set_cookie(std::string_view value, std::string_view host, long long now,
                                       bool* path_given) {
    const std::size_t semicolon = value.find(';');
    const std::string_view pair = value.substr(0, semicolon);
    const std::size_t eq = pair.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    Cookie cookie;
    cookie.name = trim_space_and_tab(pair.substr(0, eq));
    cookie.value = trim_space_and_tab(pair.substr(eq + 1));
    if (cookie.name.empty())
        return std::nullopt;
    Attributes attributes;
    for (std::string_view rest = semicolon == std::string_view::npos ? std::string_view() : value.substr(semicolon + 1);
         !rest.empty();) {
        const std::size_t next = rest.find(';');
        read_attribute(rest.substr(0, next), attributes);
        rest.remove_prefix(next == std::string_view::npos ? rest.size() : next + 1);
    }
    cookie.domain = lower_ascii(host);
    if (attributes.domain) {
        if (!host_belongs_to(cookie.domain, *attributes.domain))
            return std::nullopt;
        cookie.domain = *attributes.domain;
        cookie.host_only = false;
    }
    // Without a Path attribute a cookie holds for the whole host.
    cookie.path = attributes.path.value_or("/");
    if (path_given)
        *path_given = attributes.path.has_value();
    cookie.secure = attributes.secure;
    cookie.http_only = attributes.http_only;
    // An expiry in the past (or Max-Age 0) deletes the cookie; 1 is the earliest moment that
    // still reads as "expired" rather than as a session cookie.
    if (attributes.max_age)
        cookie.expires = *attributes.max_age <= 0          ? 1
                         : *attributes.max_age > LLONG_MAX - now ? LLONG_MAX
                                                                 : now + *attributes.max_age;
    else if (attributes.expires)
        cookie.expires = std::max(1LL, *attributes.expires);
    return cookie;
}

} // namespace http
