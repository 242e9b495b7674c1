#pragma once
// When to warn of a scheduled power-off: once for each armed moment, at the first tick that
// finds it a minute or less away.

#include <cstdint>
#include <optional>

namespace desktop {

class ShutdownWarning final {
public:
    // One tick: `remaining` whole seconds to the moment `moment_ms`. True when the warning is
    // due now. Disarming, or another moment, makes the next approach warn again.
    bool due(bool armed, std::int64_t moment_ms, long long remaining);

private:
    std::optional<std::int64_t> warned_for_;
};

} // namespace desktop
