#pragma once
// Starting with the desktop session: the XDG autostart entry
// $XDG_CONFIG_HOME/autostart/<application id>.desktop, whose Exec starts this very program
// with its data folder, so a portable copy or one run with QICHENG_HOME starts as itself.

#include <filesystem>
#include <string>
#include <string_view>

namespace store { class SettingsFile; }

namespace desktop {

// $XDG_CONFIG_HOME/autostart; ~/.config/autostart when that variable is unset, empty or not an
// absolute path (such a value is to be ignored).
std::filesystem::path autostart_folder();

// One argument of an Exec value: quoted where it holds a reserved character, "%" doubled.
// The string escapes of the file (a backslash doubled, line breaks and tabs as \n, \t, \r)
// are applied to the whole value by exec_value().
std::string exec_argument(std::string_view argument);
std::string exec_value(std::string_view command_line);

// The command line that starts `executable` (an absolute path), with QICHENG_HOME=`home` in
// its environment unless `home` is empty.
std::string autostart_command(const std::string& executable, const std::string& home);

class AutostartEntry final {
public:
    AutostartEntry(std::filesystem::path file, std::string command);
    // This program: the running executable, and $QICHENG_HOME (made absolute) when it is set.
    static AutostartEntry for_this_program();

    const std::filesystem::path& file() const { return file_; }
    // The whole desktop entry.
    std::string text() const;
    // Writes the entry (unless its file already holds it), or removes it when it is this
    // program's: the file name is one per user, and another copy of the program (a portable
    // one, the demo) that starts with the session keeps its entry. False when the folder or the
    // file could not be changed; nothing else is touched either way.
    bool apply(bool on) const;

private:
    std::filesystem::path file_;
    std::string command_;
};

// At start-up: the entry as the setting "运行"/autostart says, also after the program moved.
bool bring_autostart_in_line(const store::SettingsFile& settings, const AutostartEntry& entry);

} // namespace desktop
