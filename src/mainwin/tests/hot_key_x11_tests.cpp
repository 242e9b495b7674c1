// The hide hot key against a real X server: starts its own Xvfb, presses Alt+A through XTest
// (xdotool) and checks that the grab catches it, also with NumLock and CapsLock on.

#include "common/clock.h"
#include "engine/refresher.h"
#include "mainwin/hot_key.h"
#include "mainwin/lock_window.h"
#include "mainwin/main_window.h"
#include "store/plan_store.h"
#include "testsupport/clocks.h"
#include "testsupport/x11_display.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {

QString g_display;

// Limit of the waits for a key's effect: generous, as a loaded machine may be slow to deliver
// it; a wait that succeeds ends at once.
constexpr int kKeyEffectMs = 10'000;

// Makes sure the server has handled everything sent on the connection so far.
void xcb_aux_sync_like(xcb_connection_t* c) { std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); }

void press(const QString& keys) {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
    QVERIFY(xdotool.waitForFinished(10'000));
    QCOMPARE(xdotool.exitCode(), 0);
}

class NoRefresh final : public engine::Refresher {
public:
    std::string refresh_listing(const std::string&) override { return {}; }
};

} // namespace

class HotKeyX11Tests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void alt_a_flips_the_window_whatever_the_lock_keys() {
        QWidget window;
        auto* typed = new QLineEdit(&window);
        window.show();
        mainwin::HotKey key;
        QVERIFY(key.register_alt_a() != 0);
        int presses = 0;
        connect(&key, &mainwin::HotKey::pressed, &window, [&](int) {
            ++presses;
            window.setVisible(!window.isVisible());
        });

        press(QStringLiteral("alt+a"));
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), kKeyEffectMs);
        press(QStringLiteral("alt+a"));
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), kKeyEffectMs);

        press(QStringLiteral("Num_Lock"));
        press(QStringLiteral("alt+a"));
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), kKeyEffectMs);
        press(QStringLiteral("Caps_Lock"));
        press(QStringLiteral("alt+a"));
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), kKeyEffectMs);
        press(QStringLiteral("Num_Lock"));
        press(QStringLiteral("Caps_Lock"));

        // A plain "a" is not the hot key: it reaches the focused box as typing, and by then a
        // grab would have caught it.
        window.activateWindow();
        typed->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&window, kKeyEffectMs));
        const int before = presses;
        press(QStringLiteral("a"));
        QTRY_COMPARE_WITH_TIMEOUT(typed->text(), QStringLiteral("a"), kKeyEffectMs);
        QCOMPARE(presses, before);
        QVERIFY(window.isVisible());
    }

    void alt_a_hides_and_shows_the_real_main_window_and_never_reveals_a_lock() {
        QTemporaryDir home;
        testsupport::ManualClock clock({2024, 3, 5, 8, 0, 0, 0});
        store::PlanStore plans;
        NoRefresh refresher;
        mainwin::MainWindow window({
            .clock = clock,
            .store = plans,
            .database_file = std::filesystem::path(home.path().toStdString()) / "data.db",
            .refresher = refresher,
            .unlock_password = [] { return std::string("pw"); },
        });
        QVERIFY(window.hot_key_id() != 0);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window, kKeyEffectMs));

        press(QStringLiteral("alt+a"));
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), kKeyEffectMs);
        press(QStringLiteral("alt+a"));
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), kKeyEffectMs);

        // The lock keeps the hot key: Alt+A flips the lock window now.
        window.lock_button()->click();
        QPointer<mainwin::LockWindow> lock = window.lock_controller().lock_window();
        QVERIFY(lock && lock->isVisible() && !window.isVisible());
        press(QStringLiteral("alt+a"));
        QTRY_VERIFY_WITH_TIMEOUT(!lock->isVisible(), kKeyEffectMs);
        press(QStringLiteral("alt+a"));
        QTRY_VERIFY_WITH_TIMEOUT(lock->isVisible(), kKeyEffectMs);
        QVERIFY(!window.isVisible());
    }

    void a_key_held_by_another_program_is_refused() {
        // A second client connection stands in for another program holding Alt+A.
        xcb_connection_t* other = xcb_connect(g_display.toLocal8Bit().constData(), nullptr);
        QVERIFY(!xcb_connection_has_error(other));
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
        mainwin::HotKey probe;
        QVERIFY(probe.register_alt_a() != 0);
        probe.unregister();
        xcb_grab_key(other, 1, root, XCB_MOD_MASK_1, XCB_GRAB_ANY, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_aux_sync_like(other);

        mainwin::HotKey key;
        QCOMPARE(key.register_alt_a(), 0);
        QCOMPARE(key.id(), 0);
        // The server drops the other client's grab once it has seen the connection close.
        xcb_disconnect(other);
        QTRY_VERIFY_WITH_TIMEOUT(key.register_alt_a() != 0, kKeyEffectMs);
    }
};

int main(int argc, char** argv) {
    // A display of our own, so the test neither needs nor disturbs the user's.
    testsupport::OwnX11Display display(false);
    if (!display.ok())
        return 1;
    display.enter();
    g_display = display.name();
    QApplication app(argc, argv);
    HotKeyX11Tests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "hot_key_x11_tests.moc"
