#include "desktop/run_settings.h"

#include "store/settings.h"
#include "store/settings_keys.h"

namespace desktop {

bool run_setting_on(const store::SettingsFile& settings, const char* key) {
    return settings.read(store::keys::kRunSection, key) == "1";
}

bool write_run_setting(const store::SettingsFile& settings, const char* key, bool on) {
    return settings.write(store::keys::kRunSection, key, on ? "1" : "0");
}

} // namespace desktop
