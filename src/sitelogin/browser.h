#pragma once
// The embedded browser's side of the program, seen from the rest of it. Qt WebEngine (its
// libraries, the OpenGL context its views share, its processes) weighs more than all the rest
// of the program together, and most days nobody opens the site login window; so this side is
// built as a module of its own, which the program loads when the window is first wanted. Until
// then the cookie jar alone carries the sign-in; at the start it is handed to the browser.
// Nothing here includes Qt WebEngine. The module carries its own copies of the libraries it is
// built from: it shares with the program only what BrowserDeps hands it.

#include <filesystem>
#include <string>

class QWidget;
namespace http {
class NetworkThread;
class RequestRunner;
} // namespace http
namespace site {
struct SiteHosts;
class SiteSession;
} // namespace site
namespace store { class SettingsFile; }

namespace sitelogin {

class Browser {
public:
    virtual ~Browser() = default;
    // The main window's "登录网站": the site login window on the portal home.
    virtual void open_site_login(QWidget* parent) = 0;
    // The plan editor's "选择房源": the window on `start_address`; the IDs picked in it, each
    // followed by "," (empty when the agent cancelled).
    virtual std::string pick_listings(QWidget* parent, const std::string& start_address) = 0;
};

// What the browser's side works with; all of it outlives it.
struct BrowserDeps {
    http::RequestRunner& runner;
    const site::SiteHosts& hosts;
    site::SiteSession& session;
    const store::SettingsFile& settings;
    // The jar the browser's cookies are kept in step with.
    http::NetworkThread& network;
    // The browser profile's folder.
    std::filesystem::path storage;
};

// The module's one entry point, looked up by this name: makes the browser's side (the caller
// owns it). Call it on the UI thread, with the application running.
using MakeBrowser = Browser* (*)(const BrowserDeps& deps);
inline constexpr const char* kMakeBrowser = "qicheng_make_browser";

} // namespace sitelogin
