#include "http/curl_request_runner.h"

#include "common/wait.h"
#include "http/byte_text.h"
#include "http/http_transaction.h"
#include "http/request_record.h"
#include "http/text_conversions.h"
#include "http/url_parts.h"

#include <atomic>

namespace http {
namespace {

constexpr long long kDefaultLimitMs = 60'000;

RequestRecord record_for(const std::string& url, const RequestOptions& options) {
    RequestRecord record;
    record[RequestRecord::Url] = url;
    record[RequestRecord::Method] = options.method == 1 ? "POST" : "GET";
    record[RequestRecord::Proxy] = options.proxy;
    record[RequestRecord::ExtraHeaders] = options.extra_headers;
    record[RequestRecord::Body] = options.body;
    record[RequestRecord::Cookies] = options.cookies;
    record[RequestRecord::FollowRedirects] = options.follow_redirects ? kFollow : kDontFollow;
    return record;
}

std::string converted_body(const std::string& body, int conversion) {
    switch (conversion) {
    case 1:
        return utf8_to_gbk(body);
    case 2:
        return big5_to_gbk_simplified(body);
    default:
        return body;
    }
}

} // namespace

// Owned jointly by the call and its worker, so a worker that ends after its call gave up
// writes into memory that is still its own.
struct CurlRequestRunner::Call {
    explicit Call(RequestRecord r) : record(std::move(r)) {}
    RequestRecord record;
    std::atomic<bool> cancelled = false;
    std::atomic<bool> ended = false;
    std::shared_ptr<common::Completion> completion = std::make_shared<common::Completion>();
};

CurlRequestRunner::CurlRequestRunner(CookieStore& jar) : jar_(jar) {}

CurlRequestRunner::~CurlRequestRunner() {
    std::lock_guard lock(abandoned_mutex_);
    for (AbandonedWorker& worker : abandoned_)
        worker.thread.join();
}

std::string CurlRequestRunner::http_request(std::string& url, const RequestOptions& options) {
    join_ended_workers();
    if (is_blank(url))
        return {};
    url = with_scheme(url);

    std::shared_ptr<Call> call;
    std::thread worker;
    try {
        call = std::make_shared<Call>(record_for(url, options));
        worker = std::thread([call, &jar = jar_] {
            RequestRecord record = std::move(call->record);
            http_transaction(record, jar, &call->cancelled);
            call->record = std::move(record);
            call->completion->signal();
            call->ended = true;
        });
    } catch (...) {
        return {};
    }

    const long long limit_ms = options.time_limit ? *options.time_limit * 1000LL : kDefaultLimitMs;
    common::WaitOutcome outcome = common::WaitOutcome::TimedOut;
    try {
        outcome = common::wait_for(call->completion, std::chrono::milliseconds(limit_ms));
    } catch (...) {
    }
    if (outcome == common::WaitOutcome::TimedOut) {
        give_up(std::move(worker), call);
        return timeout_message();
    }
    worker.join();

    try {
        const RequestRecord& record = call->record;
        if (options.returned_headers)
            *options.returned_headers = record[RequestRecord::ResponseHeaders];
        if (options.returned_cookies)
            *options.returned_cookies = record[RequestRecord::ResponseCookies];
        return converted_body(record[RequestRecord::ResponseBody], options.body_conversion);
    } catch (...) {
        return {};
    }
}

void CurlRequestRunner::give_up(std::thread worker, const std::shared_ptr<Call>& call) noexcept {
    call->cancelled = true;
    try {
        std::lock_guard lock(abandoned_mutex_);
        // Room first: once the thread is moved into the list nothing may throw.
        abandoned_.reserve(abandoned_.size() + 1);
        abandoned_.push_back({std::move(worker), call});
    } catch (...) {
        // Not even room to remember it: the worker owns its state and ends by itself.
        if (worker.joinable())
            worker.detach();
    }
}

void CurlRequestRunner::join_ended_workers() {
    std::lock_guard lock(abandoned_mutex_);
    std::erase_if(abandoned_, [](AbandonedWorker& worker) {
        if (!worker.call->ended)
            return false;
        worker.thread.join();
        return true;
    });
}

} // namespace http
