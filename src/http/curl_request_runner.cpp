#include "http/curl_request_runner.h"

#include "common/wait.h"
#include "http/byte_text.h"
#include "http/text_conversions.h"
#include "http/url_parts.h"

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

std::string CurlRequestRunner::http_request(std::string& url, const RequestOptions& options) {
    if (is_blank(url))
        return {};
    url = with_scheme(url);

    std::shared_ptr<Exchange> exchange;
    try {
        exchange = network_.start(record_for(url, options));
    } catch (...) {
        return {};
    }

    const long long limit_ms = options.time_limit ? *options.time_limit * 1000LL : kDefaultLimitMs;
    common::WaitOutcome outcome = common::WaitOutcome::TimedOut;
    try {
        outcome = common::wait_for(exchange->completion, std::chrono::milliseconds(limit_ms));
    } catch (...) {
    }
    if (outcome == common::WaitOutcome::TimedOut) {
        network_.abandon(exchange);
        return timeout_message();
    }

    try {
        const RequestRecord& record = exchange->record;
        if (options.returned_headers)
            *options.returned_headers = record[RequestRecord::ResponseHeaders];
        if (options.returned_cookies)
            *options.returned_cookies = record[RequestRecord::ResponseCookies];
        return converted_body(record[RequestRecord::ResponseBody], options.body_conversion);
    } catch (...) {
        return {};
    }
}

} // namespace http
