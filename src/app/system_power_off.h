#pragma once
// The power-off an executable is built with. `qicheng` links logind_power_off.cpp, systemd-logind's
// PowerOff over the system bus; `qicheng-demo` links demo_power_off.cpp, which only writes in the
// operation log what it would have done. Nothing else links either, so neither a test nor a
// benchmark nor the demo can switch the machine off, and the program has no switch that turns its
// power-off into something else.

#include "mainwin/power_off.h"

namespace app {

class SystemPowerOff final : public mainwin::PowerOff {
public:
    void power_off() override;
};

} // namespace app
