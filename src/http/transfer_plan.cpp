#include "http/transfer_plan.h"

#include "http/byte_text.h"
#include "http/request_headers.h"
#include "http/url_parts.h"

namespace http {
namespace {

bool has_control_bytes(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    return false;
}

bool is_host_name(std::string_view host) {
    if (host.empty())
        return false;
    for (const char c : host)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_'))
            return false;
    return true;
}

// A space cannot stand in a request line; curl escapes bytes above 0x7F of the path itself.
std::string escape_spaces(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (const char c : path) {
        if (c == ' ')
            out += "%20";
        else
            out += c;
    }
    return out;
}

} // namespace

TransferPlan plan_transfer(const RequestRecord& record) {
    TransferPlan plan;
    const std::string& url = record[RequestRecord::Url];
    const std::string& method = record[RequestRecord::Method];
    plan.secure = is_secure_url(url);
    plan.host = host_of_url(url);
    plan.port = port_of_url(url);
    plan.path = path_of_url(url);
    plan.user_agent = user_agent_of(record[RequestRecord::ExtraHeaders]);
    if (!plan.secure)
        plan.proxy = record[RequestRecord::Proxy];
    plan.send = method == "GET" || method == "POST";
    plan.post = method == "POST";
    plan.use_jar = is_blank(record[RequestRecord::Cookies]);
    plan.follow_redirects = record[RequestRecord::FollowRedirects] == kFollow;
    plan.header_text = compose_headers(url, method, record[RequestRecord::ExtraHeaders], record[RequestRecord::Body],
                                       record[RequestRecord::Cookies]);
    plan.header_lines = curl_header_lines(plan.header_text, plan.post);
    // Control bytes in the URL would reach the request line and the Referer line unescaped.
    plan.can_open = is_host_name(plan.host) && plan.port > 0 && !has_control_bytes(url);
    // The default port stays unwritten, so the URL a response is reported under (the browser
    // takes its cookies by it) is the plain one.
    if (plan.can_open)
        plan.url = (plan.secure ? "https://" : "http://") + plan.host +
                   (plan.port == (plan.secure ? 443 : 80) ? std::string() : ":" + std::to_string(plan.port)) +
                   escape_spaces(plan.path);
    return plan;
}

} // namespace http
