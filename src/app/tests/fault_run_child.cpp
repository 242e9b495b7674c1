// Test helper, never installed: runs the real run loop against the simulator on the database
// given and writes every log line to stdout the moment it is appended, so the test that
// starts it knows exactly what had been logged when it kills it.
//   fault_run_child <database> <backoffice host> <number of listing IDs>

#include "run_rig.h"

#include "common/text.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fputs("usage: fault_run_child <database> <backoffice host> <number of listing IDs>\n", stderr);
        return 2;
    }
    std::string ids;
    for (long long n = 0, count = common::text_to_int(argv[3]); n < count; ++n)
        ids += (ids.empty() ? "" : ",") + std::to_string(10001 + n);

    faults::RunRig rig(argv[1], argv[2], 5, {"甲"}, [](const std::string& line) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
    });
    if (!rig.database_open() || !rig.store.save_plan(faults::due_plan("甲", ids))) {
        std::fputs("database not usable\n", stderr);
        return 1;
    }
    std::fputs("READY\r\n", stdout);
    std::fflush(stdout);
    // Runs until the test kills the process.
    rig.loop.start();
    return 0;
}
