#include "desktop/shutdown_warning.h"

namespace desktop {

bool ShutdownWarning::due(bool armed, std::int64_t moment_ms, long long remaining) {
    if (!armed) {
        warned_for_.reset();
        return false;
    }
    // At 0 the machine is already being switched off.
    if (remaining <= 0 || remaining > 60 || warned_for_ == moment_ms)
        return false;
    warned_for_ = moment_ms;
    return true;
}

} // namespace desktop
