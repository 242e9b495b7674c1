#pragma once
// The switches of section "运行" of the settings file: "1" is on; missing or any other value is off.

#include <string>

namespace store { class SettingsFile; }

namespace desktop {

bool run_setting_on(const store::SettingsFile& settings, const char* key);
// Writes "1" or "0"; false when the settings file could not be written.
bool write_run_setting(const store::SettingsFile& settings, const char* key, bool on);

} // namespace desktop
