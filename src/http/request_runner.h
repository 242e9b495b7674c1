#pragma once
// The single entry through which the program sends its own HTTP(S) requests. A request runs
// on a worker thread while the calling thread's event loop keeps running.

#include <optional>
#include <string>

namespace http {

// The optional parameters of http_request; a default-constructed value omits them all.
struct RequestOptions {
    int method = 0;                   // 1 sends POST, any other value GET
    std::string proxy;                // proxy for plain-HTTP requests, host[:port]
    std::string extra_headers;        // header lines, each ended by "\r\n" (GBK bytes)
    std::string body;                 // sent with POST only
    std::string cookies;              // Cookie header text; when set the store's cookies are not sent
    std::optional<int> time_limit;    // seconds; 60 when omitted
    std::string* returned_headers = nullptr; // receives the raw response headers
    int body_conversion = 0;          // 1 UTF-8 -> GBK, 2 Big5 -> simplified GBK, else raw
    std::string* returned_cookies = nullptr; // receives "name=value;" per Set-Cookie line
    bool follow_redirects = true;
};

// The GBK bytes of the text returned when the time limit passes.
const std::string& timeout_message();

class RequestRunner {
public:
    virtual ~RequestRunner() = default;
    // Returns the response body (bytes), the time-out message, or empty bytes when nothing was
    // sent or received. `url` is normalised in place ("http://" put in front when it has no
    // scheme). Never throws.
    virtual std::string http_request(std::string& url, const RequestOptions& options = {}) = 0;
};

} // namespace http
