#pragma once
// The program's parts wired together: network thread (with the cookie jar), request runner, site
// session and refresher, the embedded browser's side (loaded on first use), plan store and the
// main window with its hooks. main() builds one around the real clock and power-off; benchmarks
// build one around their own.

#include "app/browser_loader.h"
#include "desktop/shutdown_warning.h"
#include "http/curl_request_runner.h"
#include "http/network_thread.h"
#include "mainwin/main_window.h"
#include "site/hosts.h"
#include "site/listing_refresh.h"
#include "site/session.h"
#include "store/plan_store.h"
#include "store/settings.h"

#include <filesystem>
#include <memory>
#include <optional>

namespace common { class Clock; }
namespace mainwin { class PowerOff; }

namespace app {

class Program final {
public:
    // `data` is the data folder. The QApplication must exist and outlive the program. Tests
    // shorten the refresh request's time limit (seconds; empty keeps the runner's 60 s).
    Program(const std::filesystem::path& data, const common::Clock& clock, mainwin::PowerOff* power_off,
            std::optional<int> refresh_time_limit = {});
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // False when the plan database could not be opened (the user has been told).
    bool ready() const { return window_->database_open(); }
    mainwin::MainWindow& window() { return *window_; }
    site::SiteSession& session() { return session_; }
    // Whether the embedded browser has been started (the site login window opened).
    bool browser_started() const { return browser_.started(); }

private:
    void open_plan_editor(QWidget* parent, const std::string& name);
    void warn_before_power_off();

    const store::SettingsFile settings_;
    http::NetworkThread network_;
    http::CurlRequestRunner runner_;
    const site::SiteHosts hosts_;
    site::SiteSession session_;
    BrowserLoader browser_;
    store::PlanStore store_;
    site::ListingRefresher refresher_;
    std::unique_ptr<mainwin::MainWindow> window_;
    desktop::ShutdownWarning shutdown_warning_;
};

} // namespace app
