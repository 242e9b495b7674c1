#include "desktop/run_options.h"

#include "desktop/run_settings.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "uikit/message_box.h"

#include <QAction>

namespace desktop {

RunOptions::RunOptions(const store::SettingsFile* settings, AutostartEntry entry, QWidget* message_parent)
    : settings_(settings), entry_(std::move(entry)), message_parent_(message_parent),
      autostart_(new QAction(QStringLiteral("开机自动启动"), this)),
      autorun_(new QAction(QStringLiteral("启动后自动开始刷新"), this)),
      statistics_(new QAction(QStringLiteral("刷新统计"), this)) {
    autostart_->setCheckable(true);
    autorun_->setCheckable(true);
    autostart_->setEnabled(settings_ != nullptr);
    autorun_->setEnabled(settings_ != nullptr);
    connect(autostart_, &QAction::triggered, this, &RunOptions::switch_autostart);
    connect(autorun_, &QAction::triggered, this, &RunOptions::switch_autorun);
    show_settings();
}

void RunOptions::show_settings() {
    autostart_->setChecked(settings_ && run_setting_on(*settings_, store::keys::kAutostart));
    autorun_->setChecked(autorun_on());
}

bool RunOptions::autorun_on() const { return settings_ && run_setting_on(*settings_, store::keys::kAutorun); }

void RunOptions::switch_autostart(bool on) {
    if (!settings_)
        return;
    write_run_setting(*settings_, store::keys::kAutostart, on);
    // The entry follows what the file holds now: when the setting could not be written, the
    // entry stays as it was and the check mark goes back.
    show_settings();
    if (!entry_.apply(autostart_->isChecked()))
        uikit::show_message(message_parent_, QStringLiteral("无法更改开机自动启动项：") +
                                                 QString::fromStdString(entry_.file().string()));
}

void RunOptions::switch_autorun(bool on) {
    if (!settings_)
        return;
    write_run_setting(*settings_, store::keys::kAutorun, on);
    show_settings();
}

} // namespace desktop
