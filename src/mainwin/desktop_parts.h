#pragma once
// What the main window shows on the desktop besides itself: the switches of the unattended day
// (after the plan list's designed menu items and in the tray menu), the tray icon where a tray
// host runs, and the statistics window.

#include "desktop/run_options.h"
#include "stats/statistics_window.h"

#include <QObject>
#include <QPointer>
#include <memory>

class QMenu;

namespace common { class Clock; }
namespace desktop { class TrayIcon; struct TrayHooks; }
namespace store { class PlanStore; class SettingsFile; }

namespace mainwin {

class DesktopParts final : public QObject {
public:
    // `window` owns the statistics window and carries the messages; `plan_menu` gets a separator
    // and the three switches. Without `settings` the two check items are disabled.
    DesktopParts(QWidget& window, QMenu& plan_menu, const store::SettingsFile* settings,
                 store::PlanStore& store, const common::Clock& clock, desktop::TrayHooks hooks);
    ~DesktopParts() override;

    desktop::RunOptions& options() { return options_; }
    // Null where no tray host runs and none can come.
    desktop::TrayIcon* tray() const { return tray_.get(); }
    // Null until "刷新统计" is first chosen.
    stats::StatisticsWindow* statistics_window() const { return statistics_; }

    void show_run_state(bool running);
    void show_today_total(long long total);

private:
    void open_statistics();

    QWidget& window_;
    store::PlanStore& store_;
    const common::Clock& clock_;
    desktop::RunOptions options_;
    std::unique_ptr<desktop::TrayIcon> tray_;
    QPointer<stats::StatisticsWindow> statistics_;
};

} // namespace mainwin
