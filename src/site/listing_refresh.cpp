#include "site/listing_refresh.h"

#include "common/encoding.h"
#include "common/text.h"
#include "http/request_runner.h"
#include "site/session.h"

namespace site {

namespace {

// Digits, the IDs the site hands out, go in as they are. Anything else is sent as its GBK
// bytes percent-encoded: a stray "#" or "&" in a typed ID must not cut the query short or
// add a parameter, and a blank must not break the request line.
std::string query_value(std::string_view text) { return common::percent_encode(common::to_gbk(text)); }

} // namespace

std::string refresh_url(const SiteHosts& hosts, std::string_view agent_id, std::string_view listing_id) {
    return common::replace_all(common::replace_all(hosts.refresh_url_template(), "[agent]", query_value(agent_id)),
                               "[id]", query_value(listing_id));
}

RefreshOutcome classify_refresh_answer(std::string_view answer) {
    if (answer.find("请先登录") != std::string_view::npos)
        return {true, kNotSignedIn};
    if (answer.find("('刷新成功！") != std::string_view::npos)
        return {false, engine::kRefreshSucceeded};
    return {false, common::text_between(answer, "('", "'")};
}

ListingRefresher::ListingRefresher(http::RequestRunner& runner, SiteHosts hosts, const SiteSession& session,
                                   std::function<void()> on_signed_out, std::optional<int> time_limit_seconds)
    : runner_(runner), hosts_(std::move(hosts)), session_(session), on_signed_out_(std::move(on_signed_out)),
      time_limit_seconds_(time_limit_seconds) {}

std::string ListingRefresher::refresh_listing(const std::string& listing_id) {
    std::string url = refresh_url(hosts_, session_.agent_id(), listing_id);
    // Decoded before searching, so a marker never matches across two double-byte characters.
    http::RequestOptions options;
    options.time_limit = time_limit_seconds_;
    RefreshOutcome outcome = classify_refresh_answer(common::from_gbk(runner_.http_request(url, options)));
    if (outcome.signed_out && on_signed_out_)
        on_signed_out_();
    return std::move(outcome.text);
}

} // namespace site
