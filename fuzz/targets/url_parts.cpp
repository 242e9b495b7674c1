// Host, path and port of any URL, as the HTTP transaction derives them.

#include "fuzz_target.h"

#include "http/url_parts.h"

QICHENG_FUZZ_TARGET(url_parts) {
    const std::string_view url(reinterpret_cast<const char*>(data), size);
    const std::string host = http::host_of_url(url);
    const std::string path = http::path_of_url(url);
    const int port = http::port_of_url(url);
    const std::string full = http::with_scheme(url);
    FUZZ_CHECK(host.find('/') == std::string::npos && host.find(':') == std::string::npos);
    FUZZ_CHECK(!path.empty() && path.front() == '/');
    // A port out of range is -1, so the request fails instead of reaching a port nobody named.
    FUZZ_CHECK(port == -1 || (port >= 1 && port <= 65535));
    FUZZ_CHECK(full.size() >= url.size());
    // The scheme test is case-sensitive by design: "HTTPS://x" becomes "http://HTTPS://x".
    FUZZ_CHECK(full.starts_with("http://") || full.starts_with("https://"));
    (void)http::text_before(url, "?");
    return 0;
}
