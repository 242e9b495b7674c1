#pragma once
// What the main window is built from. The program's main() fills it; tests fill it with a set
// clock, a database on a temporary folder and a scripted refresher.

#include <filesystem>
#include <functional>
#include <string>

class QWidget;

namespace common { class Clock; }
namespace store { class PlanStore; class SettingsFile; }
namespace engine { class Refresher; }

namespace mainwin { class PowerOff; }

namespace mainwin {

struct MainWindowDeps {
    const common::Clock& clock;
    // Opened by the window from `database_file` when it is created.
    store::PlanStore& store;
    std::filesystem::path database_file;
    engine::Refresher& refresher;
    // "登录网站": shows the site login window modally over `parent`.
    std::function<void(QWidget* parent)> open_site_login = {};
    // Shows the plan editor modally over `parent` for `edited_plan_name` (empty for a new
    // plan); the window reloads its plan list when it returns.
    std::function<void(QWidget* parent, const std::string& edited_plan_name)> open_plan_editor = {};
    // What the scheduled shutdown calls at the chosen second; without one nothing is switched off.
    PowerOff* power_off = nullptr;
    // The password that opens the lock window, read at each unlock (the saved site password).
    std::function<std::string()> unlock_password = {};
    // Holds the switches of section "运行"; without it they are disabled.
    const store::SettingsFile* settings = nullptr;
};

} // namespace mainwin
