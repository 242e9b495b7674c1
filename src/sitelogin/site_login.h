#pragma once
// Opening the site login window "登录提取": the agent signs in to the site in its embedded
// browser, and may tick listings on the back office's pages and take their IDs.

#include <string>

class QWidget;
namespace http { class RequestRunner; }
namespace site {
struct SiteHosts;
class SiteSession;
} // namespace site
namespace store { class SettingsFile; }
namespace webpage { class PageAutomation; }

namespace sitelogin {

class BrowserProfile;

// What the window works with; all of it outlives the window.
struct SiteLoginDeps {
    http::RequestRunner& runner;
    const site::SiteHosts& hosts;
    site::SiteSession& session;
    // pz.ini, where the site credentials are remembered.
    const store::SettingsFile& settings;
    BrowserProfile& profile;
    // The program's page-automation instance, used for picking listings.
    webpage::PageAutomation& automation;
};

// Sets the start address, shows the window modally and returns the IDs picked in it, each
// followed by "," (empty when the agent cancelled).
std::string pick_listings(QWidget* parent, const SiteLoginDeps& deps, const std::string& start_address);

// The main window's "登录网站": the window opened on the portal home; its picks are not used.
void open_site_login(QWidget* parent, const SiteLoginDeps& deps);

} // namespace sitelogin
