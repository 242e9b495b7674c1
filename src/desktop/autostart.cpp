#include "desktop/autostart.h"

#include "common/application.h"
#include "common/atomic_file.h"
#include "desktop/run_settings.h"
#include "store/settings_keys.h"

#include <QCoreApplication>
#include <QString>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace desktop {
namespace {

// An argument holding one of these must be quoted.
constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
// Inside the quotes these take a backslash.
constexpr std::string_view kEscapedInQuotes = "\"`$\\";

std::string env_text(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string file_text(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

std::filesystem::path autostart_folder() {
    const std::filesystem::path config = env_text("XDG_CONFIG_HOME");
    if (config.is_absolute())
        return config / "autostart";
    return std::filesystem::path(env_text("HOME")) / ".config" / "autostart";
}

std::string exec_argument(std::string_view argument) {
    const bool quote = argument.empty() || argument.find_first_of(kReserved) != std::string_view::npos;
    std::string out = quote ? "\"" : "";
    for (const char c : argument) {
        if (quote && kEscapedInQuotes.find(c) != std::string_view::npos)
            out += '\\';
        // Field codes are expanded inside quotes too.
        if (c == '%')
            out += '%';
        out += c;
    }
    return quote ? out + '"' : out;
}

std::string exec_value(std::string_view command_line) {
    std::string out;
    for (const char c : command_line) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::string autostart_command(const std::string& executable, const std::string& home) {
    // env keeps the entry a plain command line: the variable travels as an argument.
    const std::string program = exec_argument(executable);
    return home.empty() ? program : "env " + exec_argument("QICHENG_HOME=" + home) + " " + program;
}

AutostartEntry::AutostartEntry(std::filesystem::path file, std::string command)
    : file_(std::move(file)), command_(std::move(command)) {}

AutostartEntry AutostartEntry::for_this_program() {
    std::string home = env_text("QICHENG_HOME");
    // The session starts the program from another folder: a relative home would point elsewhere.
    if (!home.empty()) {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(home, ec);
        home = ec ? home : absolute.lexically_normal().string();
    }
    return AutostartEntry(autostart_folder() / (std::string(common::kApplicationId) + ".desktop"),
                          autostart_command(QCoreApplication::applicationFilePath().toStdString(), home));
}

std::string AutostartEntry::text() const {
    return std::string("[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=") +
           common::kDisplayName + "\nExec=" + exec_value(command_) + "\nIcon=" + common::kApplicationId +
           "\nTerminal=false\n";
}

bool AutostartEntry::apply(bool on) const {
    std::error_code ec;
    const std::string present = file_text(file_);
    if (!on) {
        if (present.find("\nExec=" + exec_value(command_) + "\n") != std::string::npos)
            std::filesystem::remove(file_, ec);
        return !ec;
    }
    const std::string wanted = text();
    if (present == wanted)
        return true;
    std::filesystem::create_directories(file_.parent_path(), ec);
    // A session starting meanwhile reads a whole entry.
    return common::save_file_atomically(file_, wanted, 0644);
}

bool bring_autostart_in_line(const store::SettingsFile& settings, const AutostartEntry& entry) {
    return entry.apply(run_setting_on(settings, store::keys::kAutostart));
}

} // namespace desktop
