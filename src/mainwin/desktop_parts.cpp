#include "mainwin/desktop_parts.h"

#include "desktop/tray_icon.h"
#include "stats/statistics_window.h"

#include <QAction>
#include <QMenu>

namespace mainwin {

DesktopParts::DesktopParts(QWidget& window, QMenu& plan_menu, const store::SettingsFile* settings,
                           store::PlanStore& store, const common::Clock& clock, desktop::TrayHooks hooks)
    : window_(window), store_(store), clock_(clock),
      options_(settings, desktop::AutostartEntry::for_this_program(), &window) {
    plan_menu.addSeparator();
    plan_menu.addActions(options_.actions());
    connect(&plan_menu, &QMenu::aboutToShow, &options_, &desktop::RunOptions::show_settings);
    connect(options_.statistics_action(), &QAction::triggered, this, &DesktopParts::open_statistics);
    tray_ = desktop::TrayIcon::create_if_available(std::move(hooks), options_.actions());
    if (tray_)
        connect(&tray_->menu(), &QMenu::aboutToShow, &options_, &desktop::RunOptions::show_settings);
}

DesktopParts::~DesktopParts() = default;

void DesktopParts::show_run_state(bool running) {
    if (tray_)
        tray_->show_run_state(running);
}

void DesktopParts::show_today_total(long long total) {
    if (tray_)
        tray_->show_today_total(total);
}

void DesktopParts::open_statistics() {
    if (!statistics_)
        statistics_ = new stats::StatisticsWindow(&window_, store_, clock_);
    statistics_->open();
}

} // namespace mainwin
