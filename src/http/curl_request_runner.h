#pragma once
// The request runner on libcurl: each request is handed to the network thread, and the
// caller's event loop keeps running while it waits for the answer or its time limit.

#include "http/network_thread.h"
#include "http/request_runner.h"

namespace http {

class CurlRequestRunner final : public RequestRunner {
public:
    // `network` must outlive the runner.
    explicit CurlRequestRunner(NetworkThread& network) : network_(network) {}
    CurlRequestRunner(const CurlRequestRunner&) = delete;
    CurlRequestRunner& operator=(const CurlRequestRunner&) = delete;

    std::string http_request(std::string& url, const RequestOptions& options = {}) override;

private:
    NetworkThread& network_;
};

} // namespace http
