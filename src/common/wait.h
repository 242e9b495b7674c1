#pragma once
// Waits that keep the calling thread's windows alive: the thread's event loop runs inside
// them, so handlers (clicks, timers, other requests) run in the middle of a wait and state
// they change must be read again after it.

#include <chrono>
#include <memory>
#include <mutex>

class QEventLoop;

namespace common {

// Waits `amount` of `unit` (0 ms, also for any other value; 1 s; 2 min; 3 h). Returns true
// once the time has passed.
bool paced_wait(long long amount, int unit = 0);

// Signalled from any thread when a piece of work is done; the waiter and the worker each hold
// a reference, so a late signal after the waiter gave up is harmless.
class Completion final {
public:
    void signal();
    bool done() const;

private:
    friend class CompletionWaiter;
    mutable std::mutex mutex_;
    bool done_ = false;
    QEventLoop* loop_ = nullptr;
};

enum class WaitOutcome { Completed, TimedOut };

// Runs the event loop until `completion` is signalled or `limit` has passed, measured on a
// monotonic clock. The limit is tested first after every wake-up, so work that finishes in the
// wake-up that reaches the limit counts as timed out; a limit of 0 or less times out at the
// first wake-up. A limit longer than one timer can run is waited out in several; one beyond
// the clock's range waits for the completion alone.
WaitOutcome wait_for(const std::shared_ptr<Completion>& completion, std::chrono::milliseconds limit);

} // namespace common
