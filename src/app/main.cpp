// The program qicheng: wires the subsystems together and shows the main window; it ends when
// the main window is closed.

#include "app/logind_power_off.h"
#include "common/clock.h"
#include "common/paths.h"
#include "editor/plan_editor.h"
#include "http/cookie_store.h"
#include "http/curl_request_runner.h"
#include "mainwin/main_window.h"
#include "site/hosts.h"
#include "site/listing_refresh.h"
#include "site/session.h"
#include "sitelogin/browser_profile.h"
#include "sitelogin/site_login.h"
#include "store/plan_store.h"
#include "store/settings.h"
#include "uikit/message_box.h"
#include "webpage/page_automation.h"

#include <QApplication>
#include <QFont>

int main(int argc, char* argv[]) {
    // The embedded browser needs shared GL contexts, set before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 9));

    common::SystemClock clock;
    // A folder that cannot be made shows up as the database failing to open.
    common::ensure_data_dir();
    const auto data = common::data_dir();
    const store::SettingsFile settings(data / "pz.ini");

    http::CookieStore jar(data / "cookies.txt");
    jar.load();
    http::CurlRequestRunner runner(jar);
    const site::SiteHosts hosts = site::load_site_hosts(settings);
    site::SiteSession session;

    webpage::PageAutomation automation;
    sitelogin::BrowserProfile profile(data / "browser", &jar);
    const sitelogin::SiteLoginDeps login{runner, hosts, session, settings, profile, automation};

    store::PlanStore store;
    app::LogindPowerOff power_off;
    mainwin::MainWindow* window = nullptr;
    site::ListingRefresher refresher(runner, hosts, session, [&window] {
        uikit::show_message(window, QStringLiteral("您未登录账号"));
        if (window)
            window->run_loop().stop();
    });

    mainwin::MainWindow main_window({
        .clock = clock,
        .store = store,
        .database_file = data / "data.db",
        .refresher = refresher,
        .open_site_login = [&login](QWidget* parent) { sitelogin::open_site_login(parent, login); },
        .open_plan_editor =
            [&](QWidget* parent, const std::string& name) {
                editor::open_plan_editor(parent, store, settings, name, [&login, parent](bool sale) {
                    // Over the plan editor, which is the modal window at that moment.
                    QWidget* over = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : parent;
                    return sitelogin::pick_listings(over, login,
                                                    sale ? login.hosts.sale_listing_page()
                                                         : login.hosts.rent_listing_page());
                });
            },
        .power_off = &power_off,
        .unlock_password = [&settings] { return settings.read("搜房网", "pass"); },
    });
    if (!main_window.database_open())
        return 1;
    window = &main_window;
    main_window.show();
    return QApplication::exec();
}
