#include "mainwin/paint_pacer.h"

namespace mainwin {

PaintPacer::PaintPacer(QWidget* target) : target_(target) {
    pause_.setSingleShot(true);
    pause_.setInterval(kIntervalMs);
    QObject::connect(&pause_, &QTimer::timeout, target, [this] {
        // Enabling again repaints what the held changes touched.
        if (target_ && !target_->updatesEnabled())
            target_->setUpdatesEnabled(true);
    });
}

void PaintPacer::changing() {
    if (pause_.isActive()) {
        if (target_ && target_->updatesEnabled())
            target_->setUpdatesEnabled(false);
    } else {
        pause_.start();
    }
}

} // namespace mainwin
