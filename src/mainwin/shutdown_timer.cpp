#include "mainwin/shutdown_timer.h"

#include "common/clock.h"
#include "mainwin/power_off.h"
#include "uikit/message_box.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLabel>

namespace mainwin {

ShutdownTimer::ShutdownTimer(QCheckBox& armed, QDateTimeEdit& moment, QLabel& pane, const common::Clock& clock,
                             PowerOff* power_off, QWidget* message_parent)
    : armed_(armed), moment_(moment), pane_(pane), clock_(clock), power_off_(power_off),
      message_parent_(message_parent) {
    connect(&armed_, &QCheckBox::toggled, this, [this] { powered_off_for_.reset(); });
}

long long ShutdownTimer::moment_ms() const {
    const QDateTime moment = moment_.dateTime();
    const common::LocalTime at{moment.date().year(), moment.date().month(), moment.date().day(),
                               moment.time().hour(), moment.time().minute(), moment.time().second(), 0};
    return common::from_local(at);
}

long long ShutdownTimer::remaining_seconds() const {
    // Integer division cuts toward zero: -0.7 s counts as 0.
    return (moment_ms() - clock_.now_ms()) / 1000;
}

void ShutdownTimer::tick() {
    // Ticks go on while the message below is up; they wait for it instead of stacking boxes.
    if (showing_message_)
        return;
    if (!armed_.isChecked()) {
        if (pane_.text().contains(QStringLiteral("开机时间")))
            pane_.setText(QStringLiteral("已经取消定时关机"));
        return;
    }
    const long long r = remaining_seconds();
    if (r < 0) {
        showing_message_ = true;
        uikit::show_message(message_parent_, QStringLiteral("请设置正确的关机时间"));
        showing_message_ = false;
        armed_.setChecked(false);
    } else if (r == 0) {
        if (const long long moment = moment_ms(); powered_off_for_ != moment) {
            powered_off_for_ = moment;
            if (power_off_)
                power_off_->power_off();
        }
    } else {
        pane_.setText(countdown_text(r));
    }
}

QString countdown_text(long long seconds) {
    const long long h = seconds / 3600;
    const long long m = (seconds - 3600 * h) / 60;
    const long long s = seconds - 3600 * h - 60 * m;
    return QStringLiteral("距离开机时间还有 %1时%2分%3秒").arg(h).arg(m).arg(s);
}

} // namespace mainwin
