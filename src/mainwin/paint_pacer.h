#pragma once
// Paints a widget at most a few times a second while changes come close behind each other. A
// run against a fast site counts hundreds of successes a second, and painting the log, the
// status bar and the plan list after each one would cost more than the requests; the changes
// themselves are made at once, only their painting waits.

#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace mainwin {

class PaintPacer final {
public:
    static constexpr int kIntervalMs = 250;

    // `target` is the widget whose painting is held (a scroll area's viewport, a bar).
    explicit PaintPacer(QWidget* target);

    // Call before each change: the first change after a quiet spell shows at once, the ones
    // close behind it at the end of the pause.
    void changing();

private:
    QPointer<QWidget> target_;
    QTimer pause_;
};

} // namespace mainwin
