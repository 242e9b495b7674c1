#pragma once
// Stands in for the power-off, which no test may ever reach: counts the requests instead.

#include "mainwin/power_off.h"

namespace testsupport {

class PowerOffRecorder final : public mainwin::PowerOff {
public:
    void power_off() override { ++requests; }
    int requests = 0;
};

} // namespace testsupport
