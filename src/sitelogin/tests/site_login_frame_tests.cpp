// The site login window's layout under a real window manager (Xvfb and openbox of the test's
// own): the frame exists only there, and it comes after the window's first resize.

#include "http/curl_request_runner.h"
#include "http/network_thread.h"
#include "site/hosts.h"
#include "site/session.h"
#include "site-sim/simulator.h"
#include "sitelogin/browser_profile.h"
#include "sitelogin/site_login.h"
#include "sitelogin/site_login_window.h"
#include "store/settings.h"
#include "testsupport/x11_display.h"
#include "webpage/page_automation.h"

#include <QApplication>
#include <QGroupBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

#include <filesystem>

using namespace sitelogin;

namespace {

constexpr int kPatience = 20000;

// The browser and the bar as the layout rule places them for the window's outer size.
QRect browser_for(QSize outer) { return {1, 48, outer.width() - 10, outer.height() - 100}; }
int bar_left_for(QSize outer) { return (outer.width() - 10 - 750) / 2; }

} // namespace

class SiteLoginFrameTests : public QObject {
    Q_OBJECT
private:
    sitesim::Simulator sim_;
    QTemporaryDir home_;
    std::unique_ptr<store::SettingsFile> settings_;
    std::unique_ptr<http::NetworkThread> network_;
    std::unique_ptr<http::CurlRequestRunner> runner_;
    std::unique_ptr<BrowserProfile> profile_;
    site::SiteHosts hosts_;
    site::SiteSession session_;
    webpage::PageAutomation automation_;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(sim_.start());
        QVERIFY(home_.isValid());
        const std::filesystem::path data = std::filesystem::path(home_.path().toStdString()) / "data";
        std::filesystem::create_directories(data);
        settings_ = std::make_unique<store::SettingsFile>(data / "pz.ini");
        hosts_ = {sim_.host(), sim_.host()};
        network_ = std::make_unique<http::NetworkThread>(data / "cookies.txt");
        runner_ = std::make_unique<http::CurlRequestRunner>(*network_);
        profile_ = std::make_unique<BrowserProfile>(data / "browser", network_.get());
    }

    void cleanupTestCase() {
        profile_.reset();
        runner_.reset();
        network_.reset();
    }

    void lays_out_from_the_framed_outer_size() {
        session_.set_start_address(hosts_.portal_home());
        SiteLoginWindow window(nullptr, {*runner_, hosts_, session_, *settings_, *profile_, automation_});
        auto* bar = window.findChild<QGroupBox*>(QStringLiteral("分组框1"));
        window.show();
        // Framed: the outer size is larger than the client area.
        QTRY_VERIFY_WITH_TIMEOUT(window.frameGeometry().height() > window.height(), kPatience);
        QTRY_COMPARE_WITH_TIMEOUT(window.browser()->geometry(), browser_for(window.frameGeometry().size()), kPatience);
        QCOMPARE(bar->x(), bar_left_for(window.frameGeometry().size()));

        // Resized by the agent: laid out again, frame included.
        window.resize(700, 480);
        QTRY_COMPARE_WITH_TIMEOUT(window.size(), QSize(700, 480), kPatience);
        QTRY_COMPARE_WITH_TIMEOUT(window.browser()->geometry(), browser_for(window.frameGeometry().size()), kPatience);
        QCOMPARE(bar->x(), bar_left_for(window.frameGeometry().size()));
        window.findChild<QPushButton*>(QStringLiteral("按钮取消提取"))->click();
    }
};

int main(int argc, char** argv) {
    testsupport::OwnX11Display display(true);
    if (!display.ok()) {
        qCritical("no X server with a window manager (Xvfb and openbox are needed)");
        return 1;
    }
    display.enter();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    SiteLoginFrameTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "site_login_frame_tests.moc"
