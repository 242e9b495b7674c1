// The module the program loads when the embedded browser is first wanted (see browser.h).

#include "sitelogin/browser.h"
#include "sitelogin/browser_profile.h"
#include "sitelogin/site_login.h"
#include "webpage/page_automation.h"

#include <QOpenGLContext>

namespace QtWebEngineCore {
// Qt WebEngine's own set-up of the OpenGL context its views share with the application. Qt runs
// it as the application starts when the program links Qt WebEngine; this one loads Qt WebEngine
// later, so it runs it itself before the first profile is made.
Q_DECL_IMPORT void initialize();
} // namespace QtWebEngineCore

namespace sitelogin {
namespace {

class EmbeddedBrowser final : public Browser {
public:
    explicit EmbeddedBrowser(const BrowserDeps& deps)
        : profile_(deps.storage, &deps.network),
          login_{deps.runner, deps.hosts, deps.session, deps.settings, profile_, automation_} {}

    void open_site_login(QWidget* parent) override { sitelogin::open_site_login(parent, login_); }
    std::string pick_listings(QWidget* parent, const std::string& start_address) override {
        return sitelogin::pick_listings(parent, login_, start_address);
    }

private:
    // The program's page-automation instance; made with the browser it works on.
    webpage::PageAutomation automation_;
    BrowserProfile profile_;
    const SiteLoginDeps login_;
};

} // namespace
} // namespace sitelogin

extern "C" Q_DECL_EXPORT sitelogin::Browser* qicheng_make_browser(const sitelogin::BrowserDeps& deps) {
    if (!QOpenGLContext::globalShareContext())
        QtWebEngineCore::initialize();
    try {
        return new sitelogin::EmbeddedBrowser(deps);
    } catch (...) {
        return nullptr;
    }
}
