// The scheduled shutdown, the lock window and the hide hot key.

#include "common/clock.h"
#include "mainwin/hot_key.h"
#include "mainwin/lock_window.h"
#include "mainwin/shutdown_timer.h"
#include "testsupport/clocks.h"
#include "testsupport/message_box_recorder.h"
#include "testsupport/power_off_recorder.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

using common::LocalTime;

namespace {

const LocalTime kNow{2024, 3, 5, 20, 0, 0, 0};

QDateTime at(const LocalTime& t) {
    return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
}

struct ShutdownFixture {
    testsupport::ManualClock clock{kNow};
    testsupport::PowerOffRecorder recorder;
    QCheckBox armed;
    QDateTimeEdit moment;
    QLabel pane;
    mainwin::ShutdownTimer timer{armed, moment, pane, clock, &recorder, nullptr};
};

} // namespace

class SideFeaturesTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void countdown_counts_down() {
        ShutdownFixture f;
        f.moment.setDateTime(at({2024, 3, 5, 21, 2, 3, 0}));
        f.armed.setChecked(true);
        f.timer.tick();
        QCOMPARE(f.pane.text(), QStringLiteral("距离开机时间还有 1时2分3秒"));
        f.clock.advance_ms(1000);
        f.timer.tick();
        QCOMPARE(f.pane.text(), QStringLiteral("距离开机时间还有 1时2分2秒"));
        QCOMPARE(f.recorder.requests, 0);
    }

    void countdown_has_no_day_part() {
        QCOMPARE(mainwin::countdown_text(100 * 3600 + 5), QStringLiteral("距离开机时间还有 100时0分5秒"));
    }

    void unticking_cancels_only_a_countdown() {
        ShutdownFixture f;
        f.moment.setDateTime(at({2024, 3, 5, 20, 10, 0, 0}));
        f.armed.setChecked(true);
        f.timer.tick();
        f.armed.setChecked(false);
        f.timer.tick();
        QCOMPARE(f.pane.text(), QStringLiteral("已经取消定时关机"));

        f.pane.setText(QStringLiteral("其他"));
        f.timer.tick();
        QCOMPARE(f.pane.text(), QStringLiteral("其他"));
    }

    void a_past_moment_disarms_without_power_off() {
        testsupport::MessageBoxRecorder boxes;
        ShutdownFixture f;
        f.moment.setDateTime(at({2024, 3, 5, 19, 59, 58, 0}));
        f.armed.setChecked(true);
        f.timer.tick();
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("请设置正确的关机时间")});
        QVERIFY(!f.armed.isChecked());
        QCOMPARE(f.recorder.requests, 0);
    }

    void the_moment_requests_power_off_once() {
        ShutdownFixture f;
        f.moment.setDateTime(at({2024, 3, 5, 20, 0, 1, 0}));
        f.armed.setChecked(true);
        f.timer.tick();
        const QString countdown = QStringLiteral("距离开机时间还有 0时0分1秒");
        QCOMPARE(f.pane.text(), countdown);
        f.clock.advance_ms(300); // 0.7 s before the moment counts as 0
        f.timer.tick();
        QCOMPARE(f.recorder.requests, 1);
        f.clock.advance_ms(1000); // 0.3 s after it: still 0, but already requested
        f.timer.tick();
        QCOMPARE(f.recorder.requests, 1);
        QCOMPARE(f.pane.text(), countdown);
        f.clock.advance_ms(1000); // refused: the next tick finds the moment passed
        testsupport::MessageBoxRecorder boxes;
        f.timer.tick();
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("请设置正确的关机时间")});
        QCOMPARE(f.recorder.requests, 1);
        QVERIFY(!f.armed.isChecked());
    }

    void rearming_requests_power_off_again_data() {
        QTest::addColumn<bool>("tick_again");
        QTest::addColumn<int>("moment_shift_s");
        QTest::newRow("the box ticked again") << true << 0;
        QTest::newRow("another moment") << false << 1;
        QTest::newRow("neither") << false << 0;
    }
    void rearming_requests_power_off_again() {
        QFETCH(bool, tick_again);
        QFETCH(int, moment_shift_s);
        ShutdownFixture f;
        f.moment.setDateTime(at({2024, 3, 5, 20, 0, 1, 0}));
        f.armed.setChecked(true);
        f.clock.advance_ms(300);
        f.timer.tick();
        QCOMPARE(f.recorder.requests, 1);
        if (tick_again) {
            f.armed.setChecked(false);
            f.armed.setChecked(true);
        }
        f.moment.setDateTime(f.moment.dateTime().addSecs(moment_shift_s));
        f.clock.advance_ms(1000); // the remaining time is 0 for either moment
        f.timer.tick();
        QCOMPARE(f.recorder.requests, tick_again || moment_shift_s != 0 ? 2 : 1);
    }

    void ticks_during_the_message_do_not_stack_boxes() {
        ShutdownFixture f;
        f.moment.setDateTime(at({2024, 3, 5, 19, 0, 0, 0}));
        f.armed.setChecked(true);
        testsupport::MessageBoxRecorder boxes;
        boxes.on_show([&](const QString&) { f.timer.tick(); });
        f.timer.tick();
        QCOMPARE(boxes.texts().size(), 1);
    }

    void lock_and_unlock() {
        testsupport::MessageBoxRecorder boxes;
        QWidget main;
        main.show();
        mainwin::LockController lock(main, [] { return std::string("秘密pass"); });
        lock.lock();
        QVERIFY(!main.isVisible());
        QPointer<mainwin::LockWindow> window = lock.lock_window();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("锁定界面"));

        // The close box does nothing.
        window->close();
        QVERIFY(window->isVisible());

        auto* box = window->findChild<QLineEdit*>(QStringLiteral("编辑框1"));
        auto* button = window->findChild<QPushButton*>(QStringLiteral("按钮1"));
        box->setText(QStringLiteral("秘密PASS"));
        QCOMPARE(box->displayText(), QStringLiteral("******"));
        button->click();
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("密码错误")});
        QCOMPARE(box->text(), QStringLiteral("秘密PASS"));
        QVERIFY(!main.isVisible());

        box->setText(QStringLiteral(" \u3000秘密pass "));
        button->click();
        QVERIFY(main.isVisible());
        QVERIFY(!lock.lock_window());
        QTRY_VERIFY(!window);
    }

    void hot_key_flips_the_lock_window_while_it_exists() {
        QWidget main;
        main.show();
        mainwin::LockController lock(main, [] { return std::string("p"); });
        lock.toggle_visibility();
        QVERIFY(!main.isVisible());
        lock.toggle_visibility();
        QVERIFY(main.isVisible());

        lock.lock();
        auto* window = lock.lock_window();
        lock.toggle_visibility();
        QVERIFY(!window->isVisible());
        QVERIFY(!main.isVisible());
        lock.toggle_visibility();
        QVERIFY(window->isVisible());
        QVERIFY(!main.isVisible());

        window->findChild<QLineEdit*>(QStringLiteral("编辑框1"))->setText(QStringLiteral("p"));
        window->findChild<QPushButton*>(QStringLiteral("按钮1"))->click();
        lock.toggle_visibility();
        QVERIFY(!main.isVisible());
    }

    void unlock_trims_both_sides_data() {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("unlocks");
        // pz.ini keeps a password's blanks (pass="  pw9  "); the agent types it without them.
        QTest::newRow("saved with blanks, typed without") << "  pw9  " << "pw9" << true;
        QTest::newRow("saved with full-width blanks") << "\u3000pw9 " << " pw9" << true;
        QTest::newRow("inner blanks count") << "pw 9" << "pw9" << false;
        QTest::newRow("letter case counts") << "  pw9  " << "PW9" << false;
    }
    void unlock_trims_both_sides() {
        QFETCH(QString, saved);
        QFETCH(QString, typed);
        QFETCH(bool, unlocks);
        testsupport::MessageBoxRecorder boxes;
        QWidget main;
        main.show();
        mainwin::LockController lock(main, [&] { return saved.toStdString(); });
        lock.lock();
        QPointer<mainwin::LockWindow> window = lock.lock_window();
        QVERIFY(window);
        window->findChild<QLineEdit*>(QStringLiteral("编辑框1"))->setText(typed);
        window->findChild<QPushButton*>(QStringLiteral("按钮1"))->click();
        QCOMPARE(main.isVisible(), unlocks);
        QCOMPARE(boxes.texts(), unlocks ? QStringList() : QStringList{QStringLiteral("密码错误")});
    }

    void no_saved_password_does_not_lock_data() {
        QTest::addColumn<QString>("saved");
        QTest::newRow("empty") << "";
        // Blanks alone trim to nothing: such a lock would open to an empty box.
        QTest::newRow("blanks only") << "   ";
        QTest::newRow("full-width blanks only") << "\u3000 \u3000";
    }
    void no_saved_password_does_not_lock() {
        QFETCH(QString, saved);
        testsupport::MessageBoxRecorder boxes;
        QWidget main;
        main.show();
        mainwin::LockController lock(main, [&] { return saved.toStdString(); });
        lock.lock();
        QVERIFY(main.isVisible());
        QVERIFY(!lock.lock_window());
        QCOMPARE(boxes.texts().size(), 1);
    }

    void hot_key_without_x11_fails_silently() {
        // The offscreen platform has no X11 display.
        mainwin::HotKey key;
        QCOMPARE(key.register_alt_a(), 0);
        QCOMPARE(key.id(), 0);
        key.unregister();
    }
};

QTEST_MAIN(SideFeaturesTests)
#include "side_features_tests.moc"
