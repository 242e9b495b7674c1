#pragma once
// Desktop notifications (org.freedesktop.Notifications on the session bus), summary "栖橙".
// Sent without waiting for an answer: where no session bus or no notification server runs,
// nothing happens and nothing is reported.

#include <QString>

namespace desktop {

// Critical ones stay on screen until the agent dismisses them.
enum class Urgency : unsigned char { Normal = 1, Critical = 2 };

void notify(const QString& body, Urgency urgency = Urgency::Normal);

} // namespace desktop
