#include "app/start_up.h"

#include "common/application.h"

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <utility>
#include <unistd.h>

namespace app {
namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

CommandLine read_command_line(int argc, char* const* argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h")
            line.action = StartAction::help;
        else if (argument == "--version" || argument == "-v")
            line.action = StartAction::version;
        else
            return {StartAction::refuse, argument};
        // The first of several is the one obeyed, as with most programs.
        break;
    }
    return line;
}

std::string help_text(const std::filesystem::path& data) {
    std::ostringstream out;
    out << "Usage: " << common::kExecutableName << " [--help | --version]\n"
        << "\n"
        << common::kDisplayName << " refreshes an estate agent's listings on 搜房网 at the times of the\n"
        << "agent's plans. It is a desktop program: start it from the applications menu,\n"
        << "or with no arguments.\n"
        << "\n"
        << "  -h, --help     show this help and exit\n"
        << "  -v, --version  show the version and exit\n"
        << "\n"
        << "Data folder (plans, settings, cookies, browser profile):\n"
        << "  " << data.string() << "\n"
        << "It is $QICHENG_HOME/data when QICHENG_HOME is set, else data/ beside the program\n"
        << "when that folder exists, else $XDG_DATA_HOME/qicheng/data (by default\n"
        << "~/.local/share/qicheng/data). One program runs per data folder; a second start\n"
        << "shows the first one's window.\n";
    return out.str();
}

std::string version_text() {
    return std::string(common::kExecutableName) + " " + QICHENG_VERSION + "\n";
}

std::string refusal_text(const std::string& argument) {
    const std::string name = common::kExecutableName;
    return name + ": unknown argument '" + argument + "'\nTry '" + name + " --help' for more information.\n";
}

DisplayEnvironment DisplayEnvironment::of_process() {
    return {variable("QT_QPA_PLATFORM"), variable("DISPLAY"), variable("WAYLAND_DISPLAY")};
}

bool display_named(const DisplayEnvironment& environment) {
    return !environment.platform.empty() || !environment.display.empty() || !environment.wayland_display.empty();
}

std::string no_display_text(const DisplayEnvironment& environment) {
    std::string text = std::string(common::kExecutableName) + ": " + common::kDisplayName +
                       " needs a desktop session, and no display could be opened";
    std::string named;
    for (const auto& [name, value] : {std::pair{"DISPLAY", &environment.display},
                                      std::pair{"WAYLAND_DISPLAY", &environment.wayland_display}})
        if (!value->empty())
            named += (named.empty() ? "" : ", ") + std::string(name) + "=" + *value;
    return text + " (" + (named.empty() ? "DISPLAY and WAYLAND_DISPLAY are not set" : named) + ")\n";
}

std::string browser_flags_for(unsigned effective_uid, const std::string& flags) {
    if (effective_uid != 0)
        return flags;
    std::istringstream words(flags);
    for (std::string word; words >> word;)
        if (word == "--no-sandbox")
            return flags;
    return flags.empty() ? "--no-sandbox" : flags + " --no-sandbox";
}

void allow_browser_as(unsigned effective_uid) {
    const std::string flags = variable("QTWEBENGINE_CHROMIUM_FLAGS");
    const std::string wanted = browser_flags_for(effective_uid, flags);
    if (wanted == flags)
        return;
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", QByteArray::fromStdString(wanted));
    std::fprintf(stderr, "%s: running as root, so the embedded browser runs without its sandbox (--no-sandbox)\n",
                 common::kExecutableName);
}

namespace {

// The guard's state: a message handler is a plain function, so it lives here.
struct HeldMessage {
    QtMsgType type;
    std::string category, file, function;
    int line;
    QString text;
};

std::mutex guard_mutex;
QtMessageHandler previous_handler = nullptr;
std::vector<HeldMessage> held_messages;
DisplayEnvironment guarded_environment;

void pass_on(const HeldMessage& m) {
    const QMessageLogContext context(m.file.empty() ? nullptr : m.file.c_str(), m.line,
                                     m.function.empty() ? nullptr : m.function.c_str(),
                                     m.category.empty() ? nullptr : m.category.c_str());
    if (previous_handler)
        previous_handler(m.type, context, m.text);
}

// The X11 and Wayland plugins say so before Qt gives up; any other failure (a plugin that is
// not installed, say) keeps Qt's own explanation.
bool display_refused(const std::vector<HeldMessage>& messages) {
    for (const HeldMessage& m : messages)
        if (m.text.contains(QStringLiteral("connect to display"), Qt::CaseInsensitive) ||
            m.text.contains(QStringLiteral("wl_display")))
            return true;
    return false;
}

void guard_handler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const std::lock_guard lock(guard_mutex);
    HeldMessage message{type, context.category ? context.category : "", context.file ? context.file : "",
                        context.function ? context.function : "", context.line, text};
    if (type != QtFatalMsg) {
        held_messages.push_back(std::move(message));
        return;
    }
    if (display_refused(held_messages) || !display_named(guarded_environment)) {
        std::fputs(no_display_text(guarded_environment).c_str(), stderr);
    } else {
        for (const HeldMessage& m : held_messages)
            pass_on(m);
        message.type = QtCriticalMsg; // the text, without the abort that follows a fatal one
        pass_on(message);
    }
    std::fflush(stderr);
    // Qt is half-built here: end at once, without running destructors.
    ::_exit(1);
}

} // namespace

PlatformFailureGuard::PlatformFailureGuard(const DisplayEnvironment& environment) {
    const std::lock_guard lock(guard_mutex);
    guarded_environment = environment;
    held_messages.clear();
    previous_handler = qInstallMessageHandler(guard_handler);
}

PlatformFailureGuard::~PlatformFailureGuard() {
    std::vector<HeldMessage> messages;
    {
        const std::lock_guard lock(guard_mutex);
        qInstallMessageHandler(previous_handler);
        messages.swap(held_messages);
    }
    for (const HeldMessage& m : messages)
        pass_on(m);
}

} // namespace app
