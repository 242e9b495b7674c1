#include "common/wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace common {

namespace {

// Runs a nested loop until `deadline` or until something quits it.
void run_loop_until(QEventLoop& loop, std::chrono::steady_clock::time_point deadline) {
    const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(static_cast<int>(std::max<long long>(0, remaining.count())));
    loop.exec();
}

} // namespace

bool paced_wait(long long amount, int unit) {
    static constexpr long long kUnitMs[] = {1, 1000, 60'000, 3'600'000};
    const long long ms = amount * kUnitMs[(unit >= 0 && unit <= 3) ? unit : 0];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    QEventLoop loop;
    // An outer loop quit or a nested wait can end exec() early; wait again until due.
    while (std::chrono::steady_clock::now() < deadline)
        run_loop_until(loop, deadline);
    return true;
}

class CompletionWaiter {
public:
    static void attach(Completion& c, QEventLoop* loop) {
        std::lock_guard lock(c.mutex_);
        c.loop_ = loop;
    }
};

void Completion::signal() {
    std::lock_guard lock(mutex_);
    done_ = true;
    if (loop_)
        QMetaObject::invokeMethod(loop_, &QEventLoop::quit, Qt::QueuedConnection);
}

bool Completion::done() const {
    std::lock_guard lock(mutex_);
    return done_;
}

WaitOutcome wait_for(const std::shared_ptr<Completion>& completion, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    QEventLoop loop;
    CompletionWaiter::attach(*completion, &loop);
    WaitOutcome outcome;
    for (;;) {
        if (std::chrono::steady_clock::now() >= deadline) {
            // The first wake-up dispatches what is pending even when the limit is already over.
            QCoreApplication::processEvents();
            outcome = WaitOutcome::TimedOut;
            break;
        }
        if (completion->done()) {
            outcome = WaitOutcome::Completed;
            break;
        }
        run_loop_until(loop, deadline);
    }
    CompletionWaiter::attach(*completion, nullptr);
    return outcome;
}

} // namespace common
