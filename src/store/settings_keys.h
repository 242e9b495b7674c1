#pragma once
// Every section and key of the settings file data/pz.ini, named once. The values themselves
// are read and written through SettingsFile.

namespace store::keys {

// The plan editor's boxes: each key is the objectName of the box whose text it keeps.
inline constexpr const char* kInterfaceSection = "界面";

// The remembered site account and the optional host overrides (host or host:port).
inline constexpr const char* kSiteSection = "搜房网";
inline constexpr const char* kUser = "user";
inline constexpr const char* kPassword = "pass";
inline constexpr const char* kPortalHost = "portal";
inline constexpr const char* kBackofficeHost = "backoffice";

// The unattended day: "1" switches each on; missing or any other value is off.
inline constexpr const char* kRunSection = "运行";
inline constexpr const char* kAutostart = "autostart"; // start with the desktop session
inline constexpr const char* kAutorun = "autorun";     // start the run once the plan list is loaded

} // namespace store::keys
