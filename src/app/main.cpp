// The program qicheng (and its demo build qicheng-demo, which differs only in its power-off): shows
// the main window over the data folder and ends when it is closed.

#include "app/program.h"
#include "app/system_power_off.h"
#include "common/clock.h"
#include "common/paths.h"
#include "desktop/autostart.h"
#include "store/settings.h"

#include <QApplication>
#include <QFont>

int main(int argc, char* argv[]) {
    // The embedded browser needs shared GL contexts, set before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 9));

    // A folder that cannot be made shows up as the database failing to open.
    common::ensure_data_dir();
    // The autostart entry follows its setting, also after the program or its folder moved.
    desktop::bring_autostart_in_line(store::SettingsFile(common::data_dir() / "pz.ini"),
                                     desktop::AutostartEntry::for_this_program());
    const common::SystemClock clock;
    app::SystemPowerOff power_off;
    app::Program program(common::data_dir(), clock, &power_off);
    if (!program.ready())
        return 1;
    program.window().show();
    return QApplication::exec();
}
