#pragma once
// The site-facing side of the site login window: which page the browser opens first, and
// reading the signed-in agent's ID from the back office. These only return data; the window
// shows the messages and navigates.

#include <string>
#include <string_view>

namespace http { class RequestRunner; }

namespace site {

struct SiteHosts;
class SiteSession;

// The page the browser opens on: the start address unless that is the portal home; from the
// portal home a browser that is already signed in (the sale listing page does not say
// "请先登录！") goes straight to the sale listing page.
std::string choose_first_page(const SiteHosts& hosts, std::string_view start_address,
                              std::string_view sale_listing_answer);

// At the window's first activation: asks for the sale listing page with the shared cookies
// and chooses the first page by its answer.
std::string first_page(http::RequestRunner& runner, const SiteHosts& hosts, const SiteSession& session);

// The text between "AgentId: '" and the next "'" (any letter case), unchanged; empty when
// either is missing.
std::string agent_id_in(std::string_view top_page);

// Asks for the top page and stores the agent ID found on it in the session, replacing the one
// before even when nothing was found. True when the ID is not empty.
bool read_agent_id(http::RequestRunner& runner, const SiteHosts& hosts, SiteSession& session);

} // namespace site
