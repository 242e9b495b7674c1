// The program qicheng (and its demo build qicheng-demo, which differs only in its power-off): shows
// the main window over the data folder and ends when it is closed.

#include "app/program.h"
#include "app/single_instance.h"
#include "app/start_up.h"
#include "app/system_power_off.h"
#include "common/application.h"
#include "common/clock.h"
#include "common/paths.h"
#include "desktop/autostart.h"
#include "store/settings.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

// The icon drawn for the desktop entry, compiled in so the window carries it wherever the
// program runs from; a tray icon reads it back from the application.
QIcon program_icon() {
    QIcon icon;
    for (const char* size : {"48x48", "128x128", "256x256"})
        icon.addFile(QStringLiteral(":/hicolor/%1/apps/%2.png")
                         .arg(QLatin1String(size), QLatin1String(common::kApplicationId)));
    return icon;
}

void say(const std::string& text) { std::fputs(text.c_str(), stderr); }

} // namespace

int main(int argc, char* argv[]) {
    const std::filesystem::path data = common::data_dir();
    switch (const app::CommandLine line = app::read_command_line(argc, argv); line.action) {
    case app::StartAction::help:
        std::fputs(app::help_text(data).c_str(), stdout);
        return 0;
    case app::StartAction::version:
        std::fputs(app::version_text().c_str(), stdout);
        return 0;
    case app::StartAction::refuse:
        say(app::refusal_text(line.refused));
        return 2;
    case app::StartAction::run:
        break;
    }

    const auto display = app::DisplayEnvironment::of_process();
    if (!app::display_named(display)) {
        say(app::no_display_text(display));
        return 1;
    }

    // No shared OpenGL context is asked for here: it would load the GL driver at every start.
    // The embedded browser, loaded when first wanted, sets up the one its views share. The
    // application name is the class of every window (WM_CLASS), which the desktop entry's
    // StartupWMClass names.
    QCoreApplication::setApplicationName(QLatin1String(common::kExecutableName));
    QCoreApplication::setApplicationVersion(QStringLiteral(QICHENG_VERSION));
    std::optional<app::PlatformFailureGuard> guard(std::in_place, display);
    QApplication application(argc, argv);
    guard.reset();
    QGuiApplication::setDesktopFileName(QLatin1String(common::kApplicationId));
    QApplication::setWindowIcon(program_icon());
    QApplication::setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 9));

    // A folder that cannot be made shows up as the database failing to open.
    common::ensure_private_dir(data);
    app::SingleInstance instance(data);
    switch (instance.claim()) {
    case app::SingleInstance::Claim::second:
        say(std::string(common::kExecutableName) + ": already running over " + data.string() +
            "; its window was brought to the front\n");
        return 0;
    case app::SingleInstance::Claim::unanswered:
        say(std::string(common::kExecutableName) + ": another " + common::kExecutableName + " holds " +
            data.string() + " but does not answer; end it, or start with QICHENG_HOME set to another folder\n");
        return 1;
    case app::SingleInstance::Claim::first:
    case app::SingleInstance::Claim::unguarded:
        break;
    }

    // The autostart entry follows its setting, also after the program or its folder moved.
    desktop::bring_autostart_in_line(store::SettingsFile(data / "pz.ini"), desktop::AutostartEntry::for_this_program());
    // Before the program's parts exist, since the browser reads its flags when it starts.
    app::allow_browser_as(::geteuid());
    const common::SystemClock clock;
    app::SystemPowerOff power_off;
    app::Program program(data, clock, &power_off);
    if (!program.ready())
        return 1;
    QObject::connect(&instance, &app::SingleInstance::present_requested, &program.window(),
                     &mainwin::MainWindow::present);
    program.window().show();
    return QApplication::exec();
}
