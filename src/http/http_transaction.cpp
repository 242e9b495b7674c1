#include "http/http_transaction.h"

#include "http/set_cookie.h"

#include <curl/curl.h>

#include <new>

namespace http {

// What the callbacks collect while curl runs.
struct HttpTransaction::Received {
    CURL* handle = nullptr;
    std::string body;
    std::string headers; // of the response being read; a new status line starts them again
    std::vector<ResponseCookie> cookies; // of every response, redirects included
    bool out_of_memory = false;
};

namespace {

using Received = HttpTransaction::Received;

size_t on_body(char* data, size_t size, size_t count, void* user) {
    auto& received = *static_cast<Received*>(user);
    try {
        received.body.append(data, size * count);
    } catch (const std::bad_alloc&) {
        received.out_of_memory = true;
        return 0;
    }
    return size * count;
}

size_t on_header(char* data, size_t size, size_t count, void* user) {
    auto& received = *static_cast<Received*>(user);
    std::string_view line(data, size * count);
    try {
        if (line.starts_with("HTTP/"))
            received.headers.clear();
        while (line.ends_with('\n') || line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.empty())
            return size * count;
        received.headers.append(line);
        received.headers.append("\r\n");
        for (std::string& value : set_cookie_values(line)) {
            const char* url = nullptr;
            curl_easy_getinfo(received.handle, CURLINFO_EFFECTIVE_URL, &url);
            received.cookies.push_back({url ? url : "", std::move(value)});
        }
    } catch (const std::bad_alloc&) {
        received.out_of_memory = true;
        return 0;
    }
    return size * count;
}

void configure(CURL* handle, const TransferPlan& plan, const RequestRecord& record, curl_slist* headers,
               Received& received, CookieStore& jar) {
    if (jar.share())
        curl_easy_setopt(handle, CURLOPT_SHARE, jar.share());
    if (plan.use_jar)
        curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");
    curl_easy_setopt(handle, CURLOPT_URL, plan.url.c_str());
    curl_easy_setopt(handle, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, plan.follow_redirects ? 1L : 0L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 20L);
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    // An empty proxy also keeps curl from taking one from the environment.
    curl_easy_setopt(handle, CURLOPT_PROXY, plan.proxy.c_str());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, plan.user_agent.c_str());
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    if (plan.post) {
        const std::string& body = record[RequestRecord::Body];
        curl_easy_setopt(handle, CURLOPT_POST, 1L);
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.data());
    } else {
        curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &on_body);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &on_header);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &received);
}

void fail_to_open(RequestRecord& record) {
    record[RequestRecord::ResponseBody].clear();
    record[RequestRecord::ResponseCookies].clear();
    record[RequestRecord::ResponseHeaders].clear();
    record[RequestRecord::FollowRedirects].clear();
}

} // namespace

HttpTransaction::HttpTransaction(RequestRecord record, CookieStore& jar)
    : record_(std::move(record)), plan_(plan_transfer(record_)), received_(std::make_unique<Received>()) {
    if (!plan_.can_open || !plan_.send)
        return;
    CURL* handle = curl_easy_init();
    if (!handle)
        return;
    for (const std::string& line : plan_.header_lines)
        if (curl_slist* longer = curl_slist_append(header_lines_, line.c_str()))
            header_lines_ = longer;
    received_->handle = handle;
    configure(handle, plan_, record_, header_lines_, *received_, jar);
    handle_ = handle;
}

HttpTransaction::~HttpTransaction() {
    if (handle_)
        curl_easy_cleanup(handle_);
    curl_slist_free_all(header_lines_);
}

RequestRecord HttpTransaction::finish(CookieStore& jar, std::vector<Cookie>& heard) {
    if (!plan_.can_open || (plan_.send && !handle_)) {
        fail_to_open(record_);
        return std::move(record_);
    }
    Received& received = *received_;
    if (received.out_of_memory)
        received.body.clear();
    heard = jar.take_response_cookies(received.cookies, plan_.use_jar);
    record_[RequestRecord::ResponseBody] = std::move(received.body);
    record_[RequestRecord::ResponseCookies] = cookie_pairs(set_cookie_values(received.headers));
    record_[RequestRecord::ResponseHeaders] = std::move(received.headers);
    return std::move(record_);
}

} // namespace http
