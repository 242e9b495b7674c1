#pragma once
// Everything one transaction decides from its request record before anything goes out, kept
// apart from curl so the rules can be checked without a server.

#include "http/request_record.h"

#include <string>
#include <vector>

namespace http {

struct TransferPlan {
    bool can_open = false;    // false: the request cannot be opened (no host, bad port, control bytes)
    bool send = false;        // only GET and POST are sent
    bool post = false;
    bool secure = false;
    std::string host;         // lower-cased
    int port = 0;
    std::string path;
    std::string url;          // what curl is given: scheme, host, port and path
    std::string user_agent;
    std::string proxy;        // empty: a direct connection
    std::string header_text;  // the composed header text
    std::vector<std::string> header_lines; // the same as curl takes it
    // Without cookie text the jar's cookies go out and curl keeps what the response sets; with
    // it only the caller's Cookie line goes out, or the server would see two.
    bool use_jar = true;
    bool follow_redirects = true;
};

TransferPlan plan_transfer(const RequestRecord& record);

} // namespace http
