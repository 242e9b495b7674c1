#include "http/http_transaction.h"

#include "http/set_cookie.h"
#include "http/transfer_plan.h"

#include <curl/curl.h>

#include <ctime>
#include <memory>
#include <new>

namespace http {
namespace {

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// What the callbacks collect while curl runs.
struct Transfer {
    CURL* handle = nullptr;
    const std::atomic<bool>* cancelled = nullptr;
    std::string body;
    std::string headers; // of the response being read; a new status line starts them again
    std::vector<std::pair<std::string, std::string>> response_cookies; // (URL, Set-Cookie value)
    bool out_of_memory = false;

    bool is_cancelled() const { return cancelled && cancelled->load(); }
};

size_t on_body(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    if (transfer.is_cancelled())
        return 0;
    try {
        transfer.body.append(data, size * count);
    } catch (const std::bad_alloc&) {
        transfer.out_of_memory = true;
        return 0;
    }
    return size * count;
}

size_t on_header(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    std::string_view line(data, size * count);
    try {
        if (line.starts_with("HTTP/"))
            transfer.headers.clear();
        while (line.ends_with('\n') || line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.empty())
            return size * count;
        transfer.headers.append(line);
        transfer.headers.append("\r\n");
        for (std::string& value : set_cookie_values(line)) {
            const char* url = nullptr;
            curl_easy_getinfo(transfer.handle, CURLINFO_EFFECTIVE_URL, &url);
            transfer.response_cookies.emplace_back(url ? url : "", std::move(value));
        }
    } catch (const std::bad_alloc&) {
        transfer.out_of_memory = true;
        return 0;
    }
    return size * count;
}

int on_progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Transfer*>(user)->is_cancelled() ? 1 : 0;
}

void configure(CURL* handle, const TransferPlan& plan, const RequestRecord& record, curl_slist* headers,
               Transfer& transfer, CookieStore& jar) {
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
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &on_header);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &on_progress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
}

void fail_to_open(RequestRecord& record) {
    record[RequestRecord::ResponseBody].clear();
    record[RequestRecord::ResponseCookies].clear();
    record[RequestRecord::ResponseHeaders].clear();
    record[RequestRecord::FollowRedirects].clear();
}

// A response that came with cookie text was read without the jar: its cookies are kept for
// the request's host here, as the jar would have kept them.
void keep_response_cookies(const std::vector<std::string>& values, const TransferPlan& plan, CookieStore& jar) {
    std::vector<Cookie> cookies;
    const auto now = static_cast<long long>(std::time(nullptr));
    for (const std::string& value : values)
        if (auto cookie = parse_set_cookie(value, plan.host, now))
            cookies.push_back(std::move(*cookie));
    if (!cookies.empty())
        jar.set_cookies(cookies);
}

} // namespace

void http_transaction(RequestRecord& record, CookieStore& jar, const std::atomic<bool>* cancelled) {
    try {
        const TransferPlan plan = plan_transfer(record);
        std::unique_ptr<CURL, EasyDeleter> handle(plan.can_open ? curl_easy_init() : nullptr);
        if (!handle) {
            fail_to_open(record);
            return;
        }
        Transfer transfer;
        transfer.handle = handle.get();
        transfer.cancelled = cancelled;
        if (plan.send) {
            curl_slist* lines = nullptr;
            for (const std::string& line : plan.header_lines)
                if (curl_slist* longer = curl_slist_append(lines, line.c_str()))
                    lines = longer;
            const std::unique_ptr<curl_slist, ListDeleter> headers(lines);
            configure(handle.get(), plan, record, headers.get(), transfer, jar);
            // The outcome shows in what arrived: nothing, a part, or all of it.
            curl_easy_perform(handle.get());
        }
        handle.reset();
        if (transfer.out_of_memory)
            transfer.body.clear();

        const std::vector<std::string> values = set_cookie_values(transfer.headers);
        if (!plan.use_jar)
            keep_response_cookies(values, plan, jar);
        jar.save_if_changed();
        for (const auto& [url, value] : transfer.response_cookies)
            jar.notify_response_cookie(url, value);

        record[RequestRecord::ResponseBody] = std::move(transfer.body);
        record[RequestRecord::ResponseCookies] = cookie_pairs(values);
        record[RequestRecord::ResponseHeaders] = std::move(transfer.headers);
    } catch (...) {
        // A worker has no one to throw to; what did not come back counts as nothing received.
        fail_to_open(record);
    }
}

} // namespace http
