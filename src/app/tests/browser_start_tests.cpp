// The browser starts on first use: the wired program runs without it until the site login window
// first opens, then loads the browser's module, hands it the jar and shows the site signed in.
// (This executable does not link Qt WebEngine, as the program does not.)

#include "app/program.h"
#include "common/clock.h"
#include "site-sim/simulator.h"
#include "site/hosts.h"
#include "store/settings.h"
#include "testsupport/message_box_recorder.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <fstream>

class BrowserStartTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void the_login_window_starts_the_browser_signed_in_by_the_jar() {
        sitesim::Simulator sim;
        QVERIFY(sim.start());
        QTemporaryDir home;
        const std::filesystem::path data = std::filesystem::path(home.path().toStdString()) / "data";
        std::filesystem::create_directories(data);
        const store::SettingsFile settings(data / "pz.ini");
        QVERIFY(site::write_site_hosts(settings, {sim.host(), sim.host()}));
        std::ofstream(data / "cookies.txt") << sim.netscape_cookie_line(sim.sign_in()) << "\n";

        // A browser that cannot start says so in a message box.
        testsupport::MessageBoxRecorder boxes;
        const common::SystemClock clock;
        app::Program program(data, clock, nullptr, 5);
        QVERIFY(program.ready());
        program.window().show();
        QVERIFY(!program.browser_started());

        // The window is modal: what the agent does runs from a timer inside it. Signed in, it
        // goes from the portal home straight to the sale listings.
        QString shown;
        QTimer agent;
        connect(&agent, &QTimer::timeout, &agent, [&] {
            QWidget* window = QApplication::activeModalWidget();
            if (!window || window->windowTitle() != QStringLiteral("登录提取"))
                return;
            auto* browser = window->findChild<QWidget*>(QStringLiteral("互联网浏览器1"));
            const QString title = browser ? browser->property("title").toString() : QString();
            if (!title.contains(QStringLiteral("出售")))
                return;
            shown = browser->property("url").toUrl().path();
            window->findChild<QPushButton*>(QStringLiteral("按钮取消提取"))->click();
        });
        agent.start(100);
        QTimer::singleShot(60'000, &agent, [] {
            if (QWidget* window = QApplication::activeModalWidget())
                if (auto* cancel = window->findChild<QPushButton*>(QStringLiteral("按钮取消提取")))
                    cancel->click();
        });
        program.window().findChild<QPushButton*>(QStringLiteral("按钮登录网站"))->click();
        QCOMPARE(boxes.texts(), QStringList());
        QVERIFY(program.browser_started());
        QCOMPARE(shown, QStringLiteral("/magent/house/houselist.aspx"));
        program.window().hide();
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    BrowserStartTests tests;
    const int failed = QTest::qExec(&tests, argc, argv);
    // The browser's engine writes its profile once more as it goes.
    QTest::qWait(500);
    return failed;
}

#include "browser_start_tests.moc"
