#include "app/program.h"

#include "desktop/notifications.h"
#include "editor/plan_editor.h"
#include "mainwin/shutdown_timer.h"
#include "store/settings_keys.h"
#include "uikit/message_box.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTimeEdit>

namespace app {

Program::Program(const std::filesystem::path& data, const common::Clock& clock, mainwin::PowerOff* power_off,
                 std::optional<int> refresh_time_limit)
    : settings_(data / "pz.ini"), network_(data / "cookies.txt"), runner_(network_),
      hosts_(site::load_site_hosts(settings_)),
      browser_({runner_, hosts_, session_, settings_, network_, data / "browser"}),
      refresher_(runner_, hosts_, session_, [this] {
          // Beside the box, which nobody may see for hours: once for the run it stops (a retry
          // or a later ID of the plan finds the run already stopping).
          if (window_ && window_->run_loop().running())
              desktop::notify(QStringLiteral("账号未登录，刷新已停止"), desktop::Urgency::Critical);
          uikit::show_message(window_.get(), QStringLiteral("您未登录账号"));
          if (window_)
              window_->run_loop().stop();
      }, refresh_time_limit) {
    window_ = std::make_unique<mainwin::MainWindow>(mainwin::MainWindowDeps{
        .clock = clock,
        .store = store_,
        .database_file = data / "data.db",
        .refresher = refresher_,
        .open_site_login =
            [this](QWidget* parent) {
                if (sitelogin::Browser* browser = browser_.browser(parent))
                    browser->open_site_login(parent);
            },
        .open_plan_editor = [this](QWidget* parent, const std::string& name) { open_plan_editor(parent, name); },
        .power_off = power_off,
        .unlock_password = [this] { return settings_.read(store::keys::kSiteSection, store::keys::kPassword); },
        .settings = &settings_,
    });
    QObject::connect(window_.get(), &mainwin::MainWindow::clock_ticked, window_.get(),
                     [this] { warn_before_power_off(); });
}

void Program::warn_before_power_off() {
    mainwin::MainWindow& w = *window_;
    const qint64 moment = w.shutdown_time_box()->dateTime().toMSecsSinceEpoch();
    if (shutdown_warning_.due(w.shutdown_check_box()->isChecked(), moment, w.shutdown_timer().remaining_seconds()))
        desktop::notify(QStringLiteral("将在 1 分钟后关机"));
}

void Program::open_plan_editor(QWidget* parent, const std::string& name) {
    editor::open_plan_editor(parent, store_, settings_, name, [this, parent](bool sale) {
        // Over the plan editor, which is the modal window at that moment.
        QWidget* over = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : parent;
        sitelogin::Browser* browser = browser_.browser(over);
        return browser ? browser->pick_listings(over, sale ? hosts_.sale_listing_page() : hosts_.rent_listing_page())
                       : std::string();
    });
}

} // namespace app
