// The demo build's power-off: a newcomer who ticks 定时关机 in the demo sees in the operation log
// that the program would now switch the computer off, and the computer stays on.

#include "app/system_power_off.h"
#include "mainwin/main_window.h"

#include <QApplication>

namespace app {

void SystemPowerOff::power_off() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* widget : windows) {
        if (auto* window = qobject_cast<mainwin::MainWindow*>(widget))
            window->run_loop().append_log("定时关机时间到：演示版不关机，正式程序此时请系统关闭计算机");
    }
}

} // namespace app
