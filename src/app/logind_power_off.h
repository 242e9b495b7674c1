#pragma once
// The real power-off: systemd-logind's PowerOff over the system bus. Only the executable links
// this, so neither a test nor a benchmark can switch the machine off.

#include "mainwin/power_off.h"

namespace app {

class LogindPowerOff final : public mainwin::PowerOff {
public:
    void power_off() override;
};

} // namespace app
