#include "site/hosts.h"

#include "common/text.h"
#include "store/settings.h"
#include "store/settings_keys.h"

namespace site {
namespace {

std::string address(const std::string& host, std::string_view path) {
    return "http://" + host + std::string(path);
}

} // namespace

std::string SiteHosts::portal_home() const { return address(portal, kPortalHomePath); }
std::string SiteHosts::sale_listing_page() const { return address(backoffice, kSaleListingPath); }
std::string SiteHosts::rent_listing_page() const { return address(backoffice, kRentListingPath); }
std::string SiteHosts::top_page() const { return address(backoffice, kTopPagePath); }
std::string SiteHosts::refresh_url_template() const { return address(backoffice, kRefreshPathTemplate); }

std::string host_from_setting(std::string_view value) {
    std::string host = common::trim_spaces(value);
    // The site's addresses are plain HTTP whatever scheme a pasted address carried.
    for (const std::string_view scheme : {std::string_view("http://"), std::string_view("https://")})
        if (common::find_ignore_case(host, scheme) == 0)
            host.erase(0, scheme.size());
    return host.substr(0, host.find('/'));
}

SiteHosts load_site_hosts(const store::SettingsFile& settings) {
    SiteHosts hosts;
    if (std::string portal = host_from_setting(settings.read(store::keys::kSiteSection, store::keys::kPortalHost)); !portal.empty())
        hosts.portal = std::move(portal);
    if (std::string backoffice = host_from_setting(settings.read(store::keys::kSiteSection, store::keys::kBackofficeHost)); !backoffice.empty())
        hosts.backoffice = std::move(backoffice);
    return hosts;
}

bool write_site_hosts(const store::SettingsFile& settings, const SiteHosts& hosts) {
    const bool portal_written = settings.write(store::keys::kSiteSection, store::keys::kPortalHost, hosts.portal);
    return settings.write(store::keys::kSiteSection, store::keys::kBackofficeHost, hosts.backoffice) && portal_written;
}

} // namespace site
