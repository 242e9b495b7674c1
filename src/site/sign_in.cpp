#include "site/sign_in.h"

#include "common/encoding.h"
#include "common/text.h"
#include "http/request_runner.h"
#include "site/hosts.h"
#include "site/session.h"

namespace site {
namespace {

// Pages are GBK; searching the decoded text keeps markers on character boundaries.
std::string fetch_text(http::RequestRunner& runner, std::string url) {
    return common::from_gbk(runner.http_request(url));
}

} // namespace

std::string choose_first_page(const SiteHosts& hosts, std::string_view start_address,
                              std::string_view sale_listing_answer) {
    const std::string home = hosts.portal_home();
    if (start_address != home)
        return std::string(start_address);
    // A failed or timed-out check holds no prompt either and counts as signed in: the listing
    // page then shows the site's own prompt if it is needed.
    if (sale_listing_answer.find("请先登录！") != std::string_view::npos)
        return home;
    return hosts.sale_listing_page();
}

std::string first_page(http::RequestRunner& runner, const SiteHosts& hosts, const SiteSession& session) {
    const std::string answer = fetch_text(runner, hosts.sale_listing_page());
    return choose_first_page(hosts, session.start_address(), answer);
}

std::string agent_id_in(std::string_view top_page) { return common::text_between(top_page, "AgentId: '", "'"); }

bool read_agent_id(http::RequestRunner& runner, const SiteHosts& hosts, SiteSession& session) {
    session.set_agent_id(agent_id_in(fetch_text(runner, hosts.top_page())));
    return !session.agent_id().empty();
}

} // namespace site
