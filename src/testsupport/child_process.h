#pragma once
// What every server a test starts for itself needs: it ends with the test, and the test waits
// until it is up without an event loop (the QApplication may not exist yet).

#include <QProcess>
#include <functional>
#include <memory>

namespace testsupport {

// A process that ends with this one, also when this one crashes.
std::unique_ptr<QProcess> child_process();
void end_with_this_process(QProcess& process);

// Polls `ready` every 50 ms until it holds or `ms` have passed.
bool wait_until(const std::function<bool()>& ready, int ms);

} // namespace testsupport
