#include "suites.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int failures = 0;
    for (const auto run : {run_request_rules_tests, run_cookie_tests, run_conversion_tests, run_exchange_tests})
        failures += run(argc, argv);
    return failures == 0 ? 0 : 1;
}
