#include "http/url_parts.h"

#include "common/text.h"
#include "http/byte_text.h"

namespace http {
namespace {

constexpr std::string_view kHttp = "http://";
constexpr std::string_view kHttps = "https://";

bool starts_with_ignore_case(std::string_view text, std::string_view prefix) {
    return common::find_ignore_case(text.substr(0, prefix.size()), prefix) == 0;
}

std::size_t scheme_length(std::string_view url) {
    if (starts_with_ignore_case(url, kHttps))
        return kHttps.size();
    return starts_with_ignore_case(url, kHttp) ? kHttp.size() : 0;
}

} // namespace

std::string text_before(std::string_view text, std::string_view marker) {
    const std::size_t at = text.find(marker);
    return at == std::string_view::npos ? std::string() : std::string(text.substr(0, at));
}

bool is_secure_url(std::string_view url) { return starts_with_ignore_case(url, kHttps); }

std::string with_scheme(std::string_view url) {
    if (url.starts_with(kHttp) || url.starts_with(kHttps))
        return std::string(url);
    return std::string(kHttp) + std::string(url);
}

std::string host_of_url(std::string_view url) {
    // The leading scheme goes in any letter case, as a secure URL may be written "HTTPS://".
    url.remove_prefix(scheme_length(url));
    const std::string bare = common::replace_all(common::replace_all(url, kHttps, ""), kHttp, "");
    std::string_view host = bare;
    host = host.substr(0, host.find('/'));
    host = host.substr(0, host.find(':'));
    return lower_ascii(host);
}

std::string path_of_url(std::string_view url) {
    // Searched from after the scheme: a host such as "t" also occurs inside "http://".
    const std::size_t host_at = common::find_ignore_case(url, host_of_url(url), scheme_length(url));
    const std::size_t slash = url.find('/', host_at == std::string_view::npos ? 0 : host_at);
    return slash == std::string_view::npos ? std::string("/") : std::string(url.substr(slash));
}

int port_of_url(std::string_view url) {
    const bool secure = is_secure_url(url);
    url.remove_prefix(scheme_length(url));
    const std::string_view host_and_port = url.substr(0, url.find('/'));
    const std::size_t colon = host_and_port.find(':');
    const int fallback = secure ? 443 : 80;
    if (colon == std::string_view::npos)
        return fallback;
    const long long port = common::text_to_int(host_and_port.substr(colon + 1));
    if (port == 0)
        return fallback;
    // Out of range stays out of range, so the request fails instead of reaching a port nobody named.
    return port < 0 || port > 65535 ? -1 : static_cast<int>(port);
}

} // namespace http
