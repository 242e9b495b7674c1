#pragma once
// The menu items of the unattended day, shared by the plan list's menu and the tray menu:
// "开机自动启动" and "启动后自动开始刷新" (checkable, showing the settings) and "刷新统计".

#include "desktop/autostart.h"

#include <QList>
#include <QObject>

class QAction;
class QWidget;

namespace store { class SettingsFile; }

namespace desktop {

class RunOptions final : public QObject {
public:
    // Without a settings file both switches are disabled. `message_parent` carries the message
    // shown when the autostart entry cannot be changed.
    RunOptions(const store::SettingsFile* settings, AutostartEntry entry, QWidget* message_parent);

    QAction* autostart_action() const { return autostart_; }
    QAction* autorun_action() const { return autorun_; }
    // Its effect is the owner's to connect.
    QAction* statistics_action() const { return statistics_; }
    QList<QAction*> actions() const { return {autostart_, autorun_, statistics_}; }

    // Sets the check marks from the settings file, which another program may have changed;
    // called before a menu that holds them is shown.
    void show_settings();
    bool autorun_on() const;

private:
    void switch_autostart(bool on);
    void switch_autorun(bool on);

    const store::SettingsFile* settings_;
    const AutostartEntry entry_;
    QWidget* message_parent_;
    QAction* autostart_;
    QAction* autorun_;
    QAction* statistics_;
};

} // namespace desktop
