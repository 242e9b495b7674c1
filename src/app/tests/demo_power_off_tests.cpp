// The demo build's power-off: at the moment of 定时关机 the operation log says what the program
// would have done, and nothing else happens.

#include "app/system_power_off.h"
#include "common/clock.h"
#include "engine/refresher.h"
#include "mainwin/main_window.h"
#include "store/plan_store.h"
#include "testsupport/clocks.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QTemporaryDir>
#include <QTest>

namespace {

class NoRefresher final : public engine::Refresher {
public:
    std::string refresh_listing(const std::string&) override { return {}; }
};

} // namespace

class DemoPowerOffTests final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void the_shutdown_moment_writes_in_the_log() {
        QTemporaryDir dir;
        testsupport::ManualClock clock({.year = 2024, .month = 3, .day = 5, .hour = 8, .minute = 5});
        store::PlanStore store;
        NoRefresher refresher;
        app::SystemPowerOff power_off;
        mainwin::MainWindow window({.clock = clock,
                                    .store = store,
                                    .database_file = dir.path().toStdString() + "/data.db",
                                    .refresher = refresher,
                                    .power_off = &power_off});
        window.show();
        window.shutdown_time_box()->setDateTime(QDateTime(QDate(2024, 3, 5), QTime(8, 5, 2)));
        window.shutdown_check_box()->setChecked(true);
        clock.advance_ms(2'000);
        // The window's own once-a-second timer reaches the moment.
        QTRY_VERIFY_WITH_TIMEOUT(QString::fromStdString(window.log_text()).contains(QStringLiteral("演示版不关机")), 10'000);
        QVERIFY(window.isVisible());
    }
};

QTEST_MAIN(DemoPowerOffTests)
#include "demo_power_off_tests.moc"
