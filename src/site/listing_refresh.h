#pragma once
// The listing refresh request: one GET to the back office's refresh action per listing, its
// answer reduced to the outcome text the run loop logs and compares with "刷新成功".

#include "engine/refresher.h"
#include "site/hosts.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace http { class RequestRunner; }

namespace site {

class SiteSession;

inline constexpr const char* kNotSignedIn = "未登录账号";

// What an answer of the refresh action says.
struct RefreshOutcome {
    bool signed_out = false; // the site asked for a sign-in
    std::string text;        // "未登录账号", "刷新成功" or the site's message (possibly empty)
    bool operator==(const RefreshOutcome&) const = default;
};

// The refresh address for one listing: "[agent]" then "[id]" replaced. Letters, digits and
// "-._~" go in unchanged; every other byte of the value's GBK form is percent-encoded.
std::string refresh_url(const SiteHosts& hosts, std::string_view agent_id, std::string_view listing_id);

// Classifies an answer already decoded to UTF-8, in this order: "请先登录" means signed out;
// "('刷新成功！" means success; otherwise the text between the first "('" and the next "'".
RefreshOutcome classify_refresh_answer(std::string_view answer);

class ListingRefresher final : public engine::Refresher {
public:
    // `on_signed_out` runs for every answer that asks for a sign-in, before "未登录账号" is
    // returned; the window layer tells the agent and stops the run through it.
    // `time_limit_seconds` is the request runner's limit; empty keeps its default of 60 s
    // (tests shorten it to see a silent site without waiting a minute).
    ListingRefresher(http::RequestRunner& runner, SiteHosts hosts, const SiteSession& session,
                     std::function<void()> on_signed_out, std::optional<int> time_limit_seconds = {});
    ListingRefresher(const ListingRefresher&) = delete;
    ListingRefresher& operator=(const ListingRefresher&) = delete;

    std::string refresh_listing(const std::string& listing_id) override;

private:
    http::RequestRunner& runner_;
    SiteHosts hosts_;
    const SiteSession& session_;
    std::function<void()> on_signed_out_;
    std::optional<int> time_limit_seconds_;
};

} // namespace site
