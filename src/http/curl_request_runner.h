#pragma once
// The request runner on libcurl: one worker thread per request, the caller's event loop kept
// running while it waits.

#include "http/cookie_store.h"
#include "http/request_runner.h"

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace http {

class CurlRequestRunner final : public RequestRunner {
public:
    // `jar` must outlive the runner: workers still running when the runner goes use it.
    explicit CurlRequestRunner(CookieStore& jar);
    // Waits for the workers given up on at their time limit; they are cancelled and end soon.
    ~CurlRequestRunner() override;
    CurlRequestRunner(const CurlRequestRunner&) = delete;
    CurlRequestRunner& operator=(const CurlRequestRunner&) = delete;

    std::string http_request(std::string& url, const RequestOptions& options = {}) override;

private:
    struct Call;
    struct AbandonedWorker {
        std::thread thread;
        std::shared_ptr<Call> call;
    };

    void give_up(std::thread worker, const std::shared_ptr<Call>& call) noexcept;
    void join_ended_workers();

    CookieStore& jar_;
    std::mutex abandoned_mutex_;
    std::vector<AbandonedWorker> abandoned_;
};

} // namespace http
