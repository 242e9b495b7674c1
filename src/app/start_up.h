#pragma once
// What main() settles before any window exists: the command line, whether a display can be had,
// and the embedded browser's sandbox when the program runs as root.

#include <QtGlobal>
#include <filesystem>
#include <string>
#include <vector>

namespace app {

enum class StartAction { run, help, version, refuse };

struct CommandLine {
    StartAction action = StartAction::run;
    std::string refused; // the argument that was not understood
};

// The program takes --help (-h) and --version (-v) and nothing else.
CommandLine read_command_line(int argc, char* const* argv);
std::string help_text(const std::filesystem::path& data);
std::string version_text();
std::string refusal_text(const std::string& argument);

// The variables that decide where Qt looks for a display.
struct DisplayEnvironment {
    std::string platform; // QT_QPA_PLATFORM
    std::string display;  // DISPLAY
    std::string wayland_display;

    static DisplayEnvironment of_process();
};

// False when nothing names a display, so Qt could only fail. A platform chosen by name
// (offscreen for tests, or xcb against a server that may refuse) is left to Qt to try.
bool display_named(const DisplayEnvironment& environment);
std::string no_display_text(const DisplayEnvironment& environment);

// Chromium refuses to run as root with its sandbox on. The flags for `effective_uid`: as root,
// `flags` with --no-sandbox added unless it is there already; otherwise `flags` unchanged.
std::string browser_flags_for(unsigned effective_uid, const std::string& flags);
// Applies that to QTWEBENGINE_CHROMIUM_FLAGS of this process, saying so on stderr when it
// adds the flag.
void allow_browser_as(unsigned effective_uid);

// Qt ends the process with abort() (and a dump) when its platform plugin finds no display or the
// X server refuses the connection. While a guard lives, that becomes the one line of
// no_display_text() and exit status 1; Qt's other messages are held back and passed on when
// the guard ends, since they belong to a start that went on.
class PlatformFailureGuard final {
public:
    explicit PlatformFailureGuard(const DisplayEnvironment& environment);
    ~PlatformFailureGuard();
    PlatformFailureGuard(const PlatformFailureGuard&) = delete;
    PlatformFailureGuard& operator=(const PlatformFailureGuard&) = delete;
};

} // namespace app
