#include "common/wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace common {

namespace {

using SteadyClock = std::chrono::steady_clock;

// `limit` from now; the farthest moment the clock can hold when the limit reaches past it.
SteadyClock::time_point deadline_after(std::chrono::milliseconds limit) {
    const auto now = SteadyClock::now();
    if (limit <= std::chrono::milliseconds::zero())
        return now;
    const auto room = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::time_point::max() - now);
    return limit >= room ? SteadyClock::time_point::max() : now + limit;
}

// Runs a nested loop until `deadline` or until something quits it. A timer takes at most
// INT_MAX ms (about 24.8 days): a later deadline wakes the loop then, and the caller waits again.
void run_loop_until(QEventLoop& loop, SteadyClock::time_point deadline) {
    const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(static_cast<int>(std::clamp<long long>(remaining.count(), 0, std::numeric_limits<int>::max())));
    loop.exec();
}

} // namespace

bool paced_wait(long long amount, int unit) {
    static constexpr long long kUnitMs[] = {1, 1000, 60'000, 3'600'000};
    const long long unit_ms = kUnitMs[(unit >= 0 && unit <= 3) ? unit : 0];
    const long long ms = amount > std::numeric_limits<long long>::max() / unit_ms ? std::numeric_limits<long long>::max()
                                                                                   : std::max(amount, 0LL) * unit_ms;
    const auto deadline = deadline_after(std::chrono::milliseconds(ms));
    QEventLoop loop;
    // An outer loop quit or a nested wait can end exec() early; wait again until due.
    while (SteadyClock::now() < deadline)
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
    // A posted event, not a queued call: the event belongs to the loop's thread once posted,
    // while a queued call's slot object is shared through reference counts inside Qt that the
    // thread sanitizer cannot see.
    if (loop_)
        QCoreApplication::postEvent(loop_, new QEvent(QEvent::Quit));
}

bool Completion::done() const {
    std::lock_guard lock(mutex_);
    return done_;
}

WaitOutcome wait_for(const std::shared_ptr<Completion>& completion, std::chrono::milliseconds limit) {
    const auto deadline = deadline_after(limit);
    QEventLoop loop;
    CompletionWaiter::attach(*completion, &loop);
    WaitOutcome outcome;
    for (;;) {
        if (SteadyClock::now() >= deadline) {
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
