#include "testsupport/child_process.h"

#include <QDeadlineTimer>
#include <QThread>
#include <csignal>
#include <sys/prctl.h>

namespace testsupport {

std::unique_ptr<QProcess> child_process() {
    auto process = std::make_unique<QProcess>();
    end_with_this_process(*process);
    return process;
}

void end_with_this_process(QProcess& process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

bool wait_until(const std::function<bool()>& ready, int ms) {
    const QDeadlineTimer deadline(ms);
    while (!ready()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

} // namespace testsupport
