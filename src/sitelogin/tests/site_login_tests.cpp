#include "http/curl_request_runner.h"
#include "http/network_thread.h"
#include "site/hosts.h"
#include "site/listing_refresh.h"
#include "site/session.h"
#include "sitelogin/browser_profile.h"
#include "sitelogin/credential_autofill.h"
#include "sitelogin/site_login.h"
#include "sitelogin/site_login_window.h"
#include "site-sim/simulator.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "testsupport/message_box_recorder.h"
#include "webpage/page_automation.h"
#include "webpage/page_script.h"

#include <QApplication>
#include <QGroupBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

using namespace sitelogin;

namespace {

namespace keys = store::keys;
// Ten characters: 20 bytes in GBK (30 in UTF-8), the longest password that is saved.
const std::string kLongestPassword = "十个汉字十个汉字十个";
// How long a condition may take to come true on a busy machine; waits end as soon as it does.
constexpr int kPatience = 20000;

QPushButton* button(QWidget* window, const char* name) {
    return window->findChild<QPushButton*>(QString::fromUtf8(name));
}

} // namespace

class SiteLoginTests : public QObject {
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
    // The test's own view of the page, as the agent sees and types into it.
    webpage::PageAutomation agent_;

    SiteLoginDeps deps() { return {*runner_, hosts_, session_, *settings_, *profile_, automation_}; }

    std::filesystem::path data_dir() const { return std::filesystem::path(home_.path().toStdString()) / "data"; }

    // Shows the window on `start` and waits for its first page.
    std::unique_ptr<SiteLoginWindow> open_window(const std::string& start) {
        session_.set_start_address(start);
        auto window = std::make_unique<SiteLoginWindow>(nullptr, deps());
        QSignalSpy loaded(window->browser(), &QWebEngineView::loadFinished);
        window->show();
        if (!loaded.wait(15000))
            qWarning("the first page did not load");
        return window;
    }

    void load(SiteLoginWindow& window, const std::string& address) {
        QSignalSpy loaded(window.browser(), &QWebEngineView::loadFinished);
        window.browser()->load(QUrl(QString::fromStdString(address)));
        QVERIFY(loaded.wait(15000));
    }

    std::string page(SiteLoginWindow& window, const QString& script) {
        return webpage::run_page_script(window.browser()->page(), script, std::chrono::seconds(5)).value_or("?");
    }

    std::string box(SiteLoginWindow& window, const char* key) {
        agent_.attach(window.browser());
        return agent_.text_box_value(key);
    }

    void type(SiteLoginWindow& window, const char* key, const std::string& text) {
        agent_.attach(window.browser());
        QVERIFY(agent_.set_text_box_value(key, text));
    }

    // Ticks exactly the listing check boxes with these IDs and un-ticks the others.
    void tick(SiteLoginWindow& window, const QStringList& ids) {
        const QString script = QStringLiteral(
                                   "(() => { const want = %1; "
                                   "for (const b of document.getElementsByName('selectitem')) b.checked = want.includes(b.value); "
                                   "return 'ok'; })()")
                                   .arg(QStringLiteral("['") + ids.join(QStringLiteral("','")) + QStringLiteral("']"));
        QCOMPARE(page(window, script), std::string("ok"));
    }

    std::string saved(const char* key) const { return settings_->read(keys::kSiteSection, key); }

    // Waits until the autofill has looked at the login page `passes` more times, so that what it
    // would do with the boxes as they stand now has been done.
    void wait_for_login_passes(SiteLoginWindow& window, int passes) {
        auto* autofill = window.findChild<CredentialAutofill*>();
        QVERIFY(autofill);
        QSignalSpy spy(autofill, &CredentialAutofill::pass_finished);
        const auto login_passes = [&] {
            return std::ranges::count_if(spy, [](const QList<QVariant>& args) { return args.at(0).toBool(); });
        };
        QTRY_VERIFY_WITH_TIMEOUT(login_passes() >= passes, kPatience);
    }

    std::string sale_page(int number) const {
        return hosts_.sale_listing_page() + "&page=" + std::to_string(number);
    }

    void sign_in_through_the_program() {
        std::string url = sim_.url("/login?username=agent&password=pw");
        runner_->http_request(url);
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(sim_.start());
        QVERIFY(home_.isValid());
        std::filesystem::create_directories(data_dir());
        settings_ = std::make_unique<store::SettingsFile>(data_dir() / "pz.ini");
        network_ = std::make_unique<http::NetworkThread>(data_dir() / "cookies.txt");
        runner_ = std::make_unique<http::CurlRequestRunner>(*network_);
        profile_ = std::make_unique<BrowserProfile>(data_dir() / "browser", network_.get());
    }

    void cleanupTestCase() {
        profile_.reset();
        // The browser's storage is written once more after its profile goes.
        QTest::qWait(500);
        runner_.reset();
        network_.reset();
    }

    void init() {
        QVERIFY(sim_.reset());
        std::filesystem::remove(settings_->path());
        QVERIFY(settings_->write(keys::kSiteSection, keys::kPortalHost, sim_.host()));
        QVERIFY(settings_->write(keys::kSiteSection, keys::kBackofficeHost, sim_.host()));
        hosts_ = site::load_site_hosts(*settings_);
        session_.set_agent_id({});
    }

    void lays_out_and_refuses_to_close() {
        auto window = open_window(hosts_.portal_home());
        QCOMPARE(window->windowTitle(), QStringLiteral("登录提取"));
        for (const char* name : {"按钮我已登录", "按钮提取勾选", "按钮保存提取到", "按钮打开出售", "按钮打开出租", "按钮取消提取"})
            QVERIFY2(button(window.get(), name), name);
        QCOMPARE(window->status_text(0), QStringLiteral("状态栏"));

        // The rule works on the window's outer size, frame included.
        const QSize frame = window->frameGeometry().size() - window->size();
        window->resize(QSize(600, 562) - frame);
        QCOMPARE(window->browser()->geometry(), QRect(1, 48, 590, 462));
        auto* bar = window->findChild<QGroupBox*>(QStringLiteral("分组框1"));
        QCOMPARE(bar->geometry(), QRect(-80, -6, 746, 49));
        window->resize(QSize(1001, 700) - frame);
        QCOMPARE(bar->x(), (991 - 750) / 2);

        window->close();
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QVERIFY(window->isVisible());
        button(window.get(), "按钮取消提取")->click();
        QVERIFY(!window->isVisible());
        QCOMPARE(window->result(), int(QDialog::Rejected));
    }

    void fills_saved_credentials_once_per_opening() {
        QVERIFY(settings_->write(keys::kSiteSection, keys::kUser, "老王"));
        QVERIFY(settings_->write(keys::kSiteSection, keys::kPassword, "旧密码"));
        {
            auto window = open_window(hosts_.portal_home());
            QTRY_COMPARE_WITH_TIMEOUT(box(*window, "1"), std::string("老王"), kPatience);
            QCOMPARE(box(*window, "2"), std::string("旧密码"));

            // Back on the login page later in the same opening: not filled again.
            load(*window, hosts_.portal_home());
            wait_for_login_passes(*window, 2);
            QCOMPARE(box(*window, "1"), std::string());
            QCOMPARE(saved(keys::kUser), std::string("老王"));
            button(window.get(), "按钮取消提取")->click();
        }
        auto again = open_window(hosts_.portal_home());
        QTRY_COMPARE_WITH_TIMEOUT(box(*again, "1"), std::string("老王"), kPatience);
        button(again.get(), "按钮取消提取")->click();
    }

    void saves_what_the_agent_types() {
        auto window = open_window(hosts_.portal_home());
        // Past the first sight of the login page, which fills in the (empty) saved pair.
        wait_for_login_passes(*window, 1);
        type(*window, "1", "张三");
        type(*window, "2", kLongestPassword);
        QTRY_COMPARE_WITH_TIMEOUT(saved(keys::kPassword), kLongestPassword, kPatience);
        QCOMPARE(saved(keys::kUser), std::string("张三"));
        struct stat st {};
        QCOMPARE(::stat(settings_->path().c_str(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);

        // 21 bytes in GBK: that pass saves nothing, not even the new user name.
        type(*window, "1", "李四");
        type(*window, "2", kLongestPassword + "x");
        wait_for_login_passes(*window, 2);
        // An empty box saves nothing either.
        type(*window, "2", "");
        wait_for_login_passes(*window, 2);
        QCOMPARE(saved(keys::kUser), std::string("张三"));
        QCOMPARE(saved(keys::kPassword), kLongestPassword);

        type(*window, "2", "short");
        QTRY_COMPARE_WITH_TIMEOUT(saved(keys::kPassword), std::string("short"), kPatience);
        QCOMPARE(saved(keys::kUser), std::string("李四"));

        // A character GBK lacks would come back from the file as "?": such a pair is not saved.
        type(*window, "1", "王五");
        type(*window, "2", "pw\U0001F600");
        wait_for_login_passes(*window, 2);
        QCOMPARE(saved(keys::kUser), std::string("李四"));
        QCOMPARE(saved(keys::kPassword), std::string("short"));
        button(window.get(), "按钮取消提取")->click();
    }

    void signs_in_in_the_browser_and_refreshes_with_its_cookie() {
        testsupport::MessageBoxRecorder messages;
        QVERIFY(settings_->write(keys::kSiteSection, keys::kUser, "agent"));
        QVERIFY(settings_->write(keys::kSiteSection, keys::kPassword, "pw"));
        auto window = open_window(hosts_.portal_home());
        QCOMPARE(page(*window, QStringLiteral("document.title")), std::string(kLoginPageTitle));

        session_.set_agent_id("stale");
        button(window.get(), "按钮我已登录")->click();
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("程序未检测到登录状态")});
        QVERIFY(session_.agent_id().empty());
        QVERIFY(window->isVisible());

        QTRY_COMPARE_WITH_TIMEOUT(box(*window, "2"), std::string("pw"), kPatience);
        QCOMPARE(box(*window, "1"), std::string("agent"));
        QSignalSpy loaded(window->browser(), &QWebEngineView::loadFinished);
        page(*window, QStringLiteral("document.forms[0].submit(), 'sent'"));
        QVERIFY(loaded.wait(15000));
        // The browser's session cookie (HttpOnly) reaches the program's jar.
        QTRY_VERIFY_WITH_TIMEOUT(std::ranges::any_of(network_->cookies(), [](const http::Cookie& c) {
                                     return c.name == "agent_session" && c.http_only && c.host_only &&
                                            c.domain == "127.0.0.1";
                                 }),
                                 kPatience);

        messages.clear();
        button(window.get(), "按钮我已登录")->click();
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("登录状态 检测正常！")});
        QCOMPARE(session_.agent_id(), std::string("4321"));
        QVERIFY(!window->isVisible());
        QCOMPARE(window->result(), int(QDialog::Accepted));

        QVERIFY(sim_.clear_requests());
        site::ListingRefresher refresher(*runner_, hosts_, session_, [] {});
        QCOMPARE(refresher.refresh_listing("10001"), std::string("刷新成功"));
        const auto requests = sim_.requests();
        QCOMPARE(requests.size(), std::size_t{1});
        QVERIFY(requests.front().header("Cookie").find("agent_session=") != std::string::npos);
    }

    void picks_accumulate_over_pages() {
        // Signed in by the program's own request: the bridge hands the cookie to the browser.
        sign_in_through_the_program();
        auto window = open_window(sale_page(1));
        QPushButton* pick = button(window.get(), "按钮提取勾选");

        tick(*window, {QStringLiteral("10001"), QStringLiteral("10002"), QStringLiteral("10003")});
        pick->click();
        QCOMPARE(window->status_text(1), QStringLiteral("本次累积选择 3 条"));
        QCOMPARE(window->picked_ids(), std::string("10001,10002,10003,"));
        pick->click();
        QCOMPARE(window->status_text(1), QStringLiteral("本次累积选择 3 条"));

        load(*window, sale_page(2));
        tick(*window, {QStringLiteral("10011"), QStringLiteral("10012")});
        pick->click();
        QCOMPARE(window->status_text(1), QStringLiteral("本次累积选择 5 条"));

        load(*window, sale_page(1));
        tick(*window, {QStringLiteral("10001"), QStringLiteral("10003")});
        pick->click();
        QCOMPARE(window->status_text(1), QStringLiteral("本次累积选择 4 条"));
        QCOMPARE(window->picked_ids(), std::string("10001,10003,10011,10012,"));

        button(window.get(), "按钮保存提取到")->click();
        QVERIFY(!window->isVisible());
        QCOMPARE(window->picked_ids(), std::string("10001,10003,10011,10012,"));
    }

    // As after a restart: the jar file holds a session the browser has never seen, and the
    // browser starts only when the window first opens; the jar is handed to it then.
    void a_jar_signed_in_before_the_browser_starts_signs_it_in() {
        profile_.reset();
        // The old profile's storage is written once more after it goes.
        QTest::qWait(500);
        profile_ = std::make_unique<BrowserProfile>(data_dir() / "browser-after-restart", network_.get());
        const sitesim::SessionCookie session = sim_.sign_in();
        http::Cookie c;
        c.domain = "127.0.0.1";
        c.name = session.name;
        c.value = session.value;
        c.http_only = true;
        network_->set_cookie(c);
        QVERIFY(!profile_->started());
        auto window = open_window(sale_page(1));
        QVERIFY(profile_->started());
        QCOMPARE(page(*window, QStringLiteral("String(document.getElementsByName('selectitem').length > 0)")),
                 std::string("true"));
        button(window.get(), "按钮取消提取")->click();
    }

    void signing_out_in_the_browser_signs_the_program_out() {
        sign_in_through_the_program();
        const auto holds_session = [this] {
            return std::ranges::any_of(network_->cookies(), [](const http::Cookie& c) { return c.name == "agent_session"; });
        };
        QVERIFY(holds_session());
        auto window = open_window(sale_page(1));
        load(*window, sim_.url("/logout"));
        QTRY_VERIFY_WITH_TIMEOUT(!holds_session(), kPatience);
        bool told = false;
        site::ListingRefresher refresher(*runner_, hosts_, session_, [&] { told = true; });
        QCOMPARE(refresher.refresh_listing("10001"), std::string(site::kNotSignedIn));
        QVERIFY(told);
        button(window.get(), "按钮取消提取")->click();
    }

    void opens_the_listing_pages() {
        sign_in_through_the_program();
        auto window = open_window(hosts_.portal_home());
        // Signed in: from the portal home the window goes straight to the sale listings.
        QCOMPARE(window->browser()->url().toString().toStdString(), hosts_.sale_listing_page());
        QSignalSpy loaded(window->browser(), &QWebEngineView::loadFinished);
        button(window.get(), "按钮打开出租")->click();
        QVERIFY(loaded.wait(15000));
        QCOMPARE(window->browser()->url().toString().toStdString(), hosts_.rent_listing_page());
        button(window.get(), "按钮取消提取")->click();
    }

    void a_press_during_another_wait_runs_once_it_ends() {
        testsupport::MessageBoxRecorder messages;
        sign_in_through_the_program();
        QVERIFY(sim_.clear_requests());
        // A slow site: the first activation's check of the sale listing page waits for it.
        QVERIFY(sim_.set_knob("fault_path", "/magent/house/houselist.aspx"));
        QVERIFY(sim_.set_knob("delay_ms", "1500"));
        session_.set_start_address(hosts_.portal_home());
        SiteLoginWindow window(nullptr, deps());

        // The agent signs in quickly and presses "我已登录", twice, while the check still waits;
        // the press comes from a timer, which runs inside that wait.
        bool pressed_during_the_wait = false;
        QTimer agent;
        connect(&agent, &QTimer::timeout, this, [&] {
            const auto requests = sim_.requests();
            const bool asked = std::ranges::any_of(requests, [](const sitesim::RecordedRequest& r) {
                return r.path().ends_with("houselist.aspx");
            });
            if (!asked)
                return;
            agent.stop();
            pressed_during_the_wait = window.browser()->url().isEmpty();
            button(&window, "按钮我已登录")->click();
            button(&window, "按钮我已登录")->click();
        });
        agent.start(20);
        window.show();

        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), kPatience);
        QVERIFY(pressed_during_the_wait);
        QCOMPARE(session_.agent_id(), std::string("4321"));
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("登录状态 检测正常！")});
        const auto requests = sim_.requests();
        QCOMPARE(std::ranges::count_if(requests, [](const sitesim::RecordedRequest& r) {
                     return r.path().ends_with("top.aspx");
                 }),
                 1);
    }

    void pick_listings_returns_the_picks_data() {
        QTest::addColumn<QString>("way_out");
        QTest::addColumn<QString>("picked");
        QTest::newRow("保存提取") << "按钮保存提取到" << "20002,";
        QTest::newRow("取消") << "按钮取消提取" << "";
    }
    void pick_listings_returns_the_picks() {
        QFETCH(QString, way_out);
        QFETCH(QString, picked);
        sign_in_through_the_program();
        // The window is modal: the agent's part runs from a timer inside it.
        bool acted = false;
        QTimer agent;
        connect(&agent, &QTimer::timeout, this, [&] {
            auto* window = qobject_cast<SiteLoginWindow*>(QApplication::activeModalWidget());
            if (!window || acted || !window->browser()->url().toString().contains(QStringLiteral("cz")))
                return;
            webpage::PageAutomation look;
            if (!look.attach(window->browser()) || look.count_check_boxes(false) == 0)
                return;
            acted = true;
            agent.stop();
            tick(*window, {QStringLiteral("20002")});
            button(window, "按钮提取勾选")->click();
            window->findChild<QPushButton*>(way_out)->click();
        });
        agent.start(100);
        QTimer::singleShot(30000, [] {
            if (auto* window = QApplication::activeModalWidget())
                button(window, "按钮取消提取")->click();
        });
        const std::string result = pick_listings(nullptr, deps(), hosts_.rent_listing_page());
        QVERIFY(acted);
        QCOMPARE(QString::fromStdString(result), picked);
        QCOMPARE(session_.start_address(), hosts_.rent_listing_page());
    }
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    SiteLoginTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "site_login_tests.moc"
