#pragma once
// The scheduled shutdown: once a second, while "定时关机" is ticked, counts down to the moment in
// the date box and powers the computer off when the moment is reached.

#include <QObject>
#include <optional>

class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QWidget;

namespace common { class Clock; }

namespace mainwin {

class PowerOff;

class ShutdownTimer final : public QObject {
public:
    // Without a power-off (null) the countdown runs but nothing is switched off.
    ShutdownTimer(QCheckBox& armed, QDateTimeEdit& moment, QLabel& pane, const common::Clock& clock,
                  PowerOff* power_off, QWidget* message_parent);

    // One tick of the once-a-second timer.
    void tick();
    // Whole seconds from now to the moment in the date box, cut toward zero.
    long long remaining_seconds() const;

private:
    // The moment in the date box, in milliseconds since the epoch.
    long long moment_ms() const;

    QCheckBox& armed_;
    QDateTimeEdit& moment_;
    QLabel& pane_;
    const common::Clock& clock_;
    PowerOff* power_off_;
    QWidget* message_parent_;
    bool showing_message_ = false;
    // The moment the power-off was requested for. Cut toward zero, the remaining time is 0 for
    // two seconds around the moment, so up to two ticks find it; the power-off is requested
    // once, until the box is ticked again or another moment is set.
    std::optional<long long> powered_off_for_;
};

// "距离开机时间还有 1时2分3秒" for 3723 seconds; the hours are not folded into days.
QString countdown_text(long long seconds);

} // namespace mainwin
