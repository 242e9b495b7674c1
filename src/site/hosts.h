#pragma once
// The two hosts of the listing site and the addresses the program uses on them. Built-in
// defaults live here alone; keys `portal` and `backoffice` of section "搜房网" of pz.ini
// override them, which is how tests and the demo point the program at the simulator.

#include <string>
#include <string_view>

namespace store { class SettingsFile; }

namespace site {

inline constexpr std::string_view kDefaultPortalHost = "agent.soufang.com";
inline constexpr std::string_view kDefaultBackofficeHost = "manage.soufang.com";

inline constexpr std::string_view kPortalHomePath = "/";
inline constexpr std::string_view kSaleListingPath = "/magent/house/houselist.aspx?businesstype=cs";
inline constexpr std::string_view kRentListingPath = "/magent/house/houselist.aspx?businesstype=cz";
inline constexpr std::string_view kTopPagePath = "/magent/top.aspx";
// The refresh action; "[agent]" and "[id]" are filled per request. businesstype stays "cs"
// for rent listings too, and pageurl is sent already percent-encoded.
inline constexpr std::string_view kRefreshPathTemplate =
    "/Magent/House/HouseListAction.aspx?businesstype=cs&page=1&pagesize=20&flag=1&agentid=[agent]"
    "&mendianID=0&action=refhouse&houseid=[id]"
    "&pageurl=%2fmagent%2fhouse%2fhouselist.aspx%3fbusinesstype%3dcs%26page%3d1%26pagesize%3d20%26flag%3d1";

// Each value is a host or host:port; every address is plain HTTP.
struct SiteHosts {
    std::string portal{kDefaultPortalHost};
    std::string backoffice{kDefaultBackofficeHost};

    std::string portal_home() const;
    std::string sale_listing_page() const;
    std::string rent_listing_page() const;
    std::string top_page() const;
    std::string refresh_url_template() const;

    bool operator==(const SiteHosts&) const = default;
};

// The host part of a settings value: blanks trimmed, a leading "http://" or "https://" and
// anything from the first "/" dropped, so a pasted address still names its host. Empty when
// nothing is left.
std::string host_from_setting(std::string_view value);

// The defaults, overridden by the settings file where it names a host.
SiteHosts load_site_hosts(const store::SettingsFile& settings);
// Writes both hosts into the settings file (tests and the demo point the program elsewhere
// this way); false when the file could not be written.
bool write_site_hosts(const store::SettingsFile& settings, const SiteHosts& hosts);

} // namespace site
