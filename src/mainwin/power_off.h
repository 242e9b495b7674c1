#pragma once
// Switching the computer off. The program's only implementation lives in the executable, so no
// library and no test can ever reach it; tests hand the window a recorder.

namespace mainwin {

class PowerOff {
public:
    virtual ~PowerOff() = default;
    // Asks the system to power off now, forcing other programs to close. The outcome is not
    // reported: a refused request simply leaves the machine running.
    virtual void power_off() = 0;
};

} // namespace mainwin
