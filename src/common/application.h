#pragma once
// The program's names as the desktop knows them: the application ID names the desktop entry,
// the icon and the AppStream metadata; the window class groups the main window under its entry.

namespace common {

inline constexpr const char* kApplicationId = "cn.qicheng.Qicheng";
inline constexpr const char* kExecutableName = "qicheng";
inline constexpr const char* kDisplayName = "栖橙";

} // namespace common
