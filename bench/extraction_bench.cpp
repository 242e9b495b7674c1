// One press of "提取勾选" on a listing page of 200 listings, half of them ticked: the median
// time of several presses. Runs against the local site simulator.

#include "bench_support.h"

#include "common/text.h"
#include "common/wait.h"
#include "http/network_thread.h"
#include "http/curl_request_runner.h"
#include "site-sim/simulator.h"
#include "site/hosts.h"
#include "site/session.h"
#include "sitelogin/browser_profile.h"
#include "sitelogin/site_login_window.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "webpage/page_automation.h"
#include "webpage/page_script.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

int main(int argc, char** argv) {
    // Made before the application: the browser writes its profile until the application ends.
    QTemporaryDir home;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    constexpr int kListings = 200;
    constexpr int kPresses = 9;
    const std::string figure = "extraction, 200 listings, 100 ticked";
    const std::string target = "<= 200 ms";
    bench::Report report;

    sitesim::Simulator sim;
    if (!home.isValid() || !bench::start_site(sim) || !sim.set_knob("page_size", std::to_string(kListings)) ||
        !sim.set_knob("listings_cs", std::to_string(kListings))) {
        report.failed(figure, target, "the site simulator did not start");
        return report.exit_status();
    }
    const std::filesystem::path data = std::filesystem::path(home.path().toStdString()) / "data";
    std::filesystem::create_directories(data);
    store::SettingsFile settings(data / "pz.ini");
    settings.write(store::keys::kSiteSection, store::keys::kPortalHost, sim.host());
    settings.write(store::keys::kSiteSection, store::keys::kBackofficeHost, sim.host());
    const site::SiteHosts hosts = site::load_site_hosts(settings);
    site::SiteSession session;
    http::NetworkThread network(data / "cookies.txt");
    http::CurlRequestRunner runner(network);
    webpage::PageAutomation automation;
    double median_ms = 0;
    bench::Checks checks;
    {
        sitelogin::BrowserProfile profile(data / "browser", &network);
        std::string sign_in = sim.url("/login?username=bench&password=bench");
        runner.http_request(sign_in);

        session.set_start_address(hosts.sale_listing_page());
        sitelogin::SiteLoginWindow window(nullptr, {runner, hosts, session, settings, profile, automation});
        auto loaded = std::make_shared<common::Completion>();
        auto load_ok = std::make_shared<bool>(false);
        QObject::connect(window.browser(), &QWebEngineView::loadFinished, [loaded, load_ok](bool ok) {
            *load_ok = ok;
            loaded->signal();
        });
        window.show();
        if (common::wait_for(loaded, std::chrono::seconds(30)) != common::WaitOutcome::Completed || !*load_ok) {
            report.failed(figure, target, "the listing page did not load");
            return report.exit_status();
        }
        // Every other box ticked; the script answers with the boxes there are and those ticked.
        const std::optional<std::string> boxes = webpage::run_page_script(
            window.browser()->page(),
            QStringLiteral("(() => { const boxes = [...document.getElementsByName('selectitem')];"
                           " boxes.forEach((b, i) => { b.checked = i % 2 == 0; });"
                           " return boxes.length + ',' + boxes.filter(b => b.checked).length; })()"),
            std::chrono::seconds(5));
        const std::string expected_boxes = std::to_string(kListings) + "," + std::to_string(kListings / 2);
        checks.require(boxes == expected_boxes, "the page has " + boxes.value_or("no answer for its") +
                                                    " boxes (all, ticked), not " + expected_boxes);

        auto* press = window.findChild<QPushButton*>(QStringLiteral("按钮提取勾选"));
        std::vector<double> times;
        for (int i = 0; i < kPresses; ++i) {
            QElapsedTimer clock;
            clock.start();
            press->click();
            times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
        std::sort(times.begin(), times.end());
        median_ms = times[times.size() / 2];
        // The first press takes the ticked IDs, the later ones find nothing new.
        const std::size_t picked = common::split_at_comma(window.picked_ids()).size();
        checks.require(picked == kListings / 2, std::to_string(picked) + " IDs taken of " + std::to_string(kListings / 2) + " ticked");
        std::fprintf(stderr, "extraction: %d listings, %s, %d presses: median %.1f ms (fastest %.1f, slowest %.1f)\n", kListings,
                    window.status_text(1).toStdString().c_str(), kPresses, median_ms, times.front(), times.back());
    }
    report.row(figure, target, checks, bench::format("median %.0f ms", median_ms) + bench::verdict(median_ms <= 200));
    return report.exit_status();
}
