// The site protocol: how answers are read, what is sent, and where the login window goes first.
// Pure rules are checked on texts; the requests themselves through a runner that plays back
// answers and keeps what it was asked.

#include "common/encoding.h"
#include "http/cookie_store.h"
#include "http/curl_request_runner.h"
#include "http/request_runner.h"
#include "site/hosts.h"
#include "site/listing_refresh.h"
#include "site/session.h"
#include "site/sign_in.h"
#include "site-sim/simulator.h"
#include "store/settings.h"
#include "store/settings_keys.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <filesystem>

namespace {

QString q(const std::string& utf8) { return QString::fromStdString(utf8); }

const site::SiteHosts kHosts{"portal.test:81", "office.test:82"};

// Plays back GBK answers in turn (the last one stays) and keeps every request.
class ScriptedRunner final : public http::RequestRunner {
public:
    explicit ScriptedRunner(std::vector<std::string> utf8_answers) {
        for (const auto& answer : utf8_answers)
            answers_.push_back(common::to_gbk(answer));
    }

    std::string http_request(std::string& url, const http::RequestOptions& options) override {
        urls.push_back(url);
        plain_get.push_back(options.method == 0 && options.proxy.empty() && options.extra_headers.empty() &&
                            options.body.empty() && options.cookies.empty() && !options.time_limit &&
                            !options.returned_headers && !options.returned_cookies &&
                            options.body_conversion == 0 && options.follow_redirects);
        if (answers_.empty())
            return {};
        const std::size_t n = std::min(urls.size(), answers_.size()) - 1;
        return answers_[n];
    }

    std::vector<std::string> urls;
    std::vector<bool> plain_get;

private:
    std::vector<std::string> answers_;
};

} // namespace

class SiteTests final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(sim_.start()); }
    void init() {
        QVERIFY(sim_.reset());
        network_ = std::make_unique<http::NetworkThread>();
        runner_ = std::make_unique<http::CurlRequestRunner>(*network_);
    }
    void cleanup() {
        runner_.reset();
        network_.reset();
    }

    void classify_refresh_answer_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("signed_out");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("success") << "<script>alert('刷新成功！');</script>" << false << "刷新成功";
        QTest::newRow("sign-in asked, even beside success")
            << "alert('刷新成功！');alert('请先登录！');" << true << "未登录账号";
        QTest::newRow("sign-in text without quotes") << "请先登录" << true << "未登录账号";
        QTest::newRow("quoted success without the full-width mark") << "alert('刷新成功')" << false << "刷新成功";
        QTest::newRow("half-width mark is only a message") << "alert('刷新成功!')" << false << "刷新成功!";
        QTest::newRow("site message") << "('M')" << false << "M";
        QTest::newRow("first message wins") << "alert('房源不存在');alert('x');" << false << "房源不存在";
        QTest::newRow("opening without closing quote") << "alert('刷新" << false << "";
        QTest::newRow("empty answer") << "" << false << "";
        QTest::newRow("time-out text")
            << "超时返回，指定网站不能访问，或者你的网络出现问题，你可以把参数中的＂超时返回＂的值设置长一些。" << false << "";
    }

    void classify_refresh_answer() {
        QFETCH(QString, answer);
        QFETCH(bool, signed_out);
        QFETCH(QString, outcome);
        const site::RefreshOutcome got = site::classify_refresh_answer(answer.toStdString());
        QCOMPARE(got.signed_out, signed_out);
        QCOMPARE(q(got.text), outcome);
    }

    void refresh_url_fills_agent_then_id_data() {
        QTest::addColumn<QString>("agent");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("agentid_and_houseid");
        QTest::newRow("digits as they are") << "4321" << "10001" << "agentid=4321&mendianID=0&action=refhouse&houseid=10001";
        QTest::newRow("empty agent") << "" << "7" << "agentid=&mendianID=0&action=refhouse&houseid=7";
        // A typed ID must not end the query or add a parameter; non-ASCII goes as GBK bytes.
        QTest::newRow("query characters encoded")
            << "[id]" << "1&action=del#x 中" << "agentid=%5Bid%5D&mendianID=0&action=refhouse&houseid=1%26action%3Ddel%23x%20%D6%D0";
    }

    void refresh_url_fills_agent_then_id() {
        QFETCH(QString, agent);
        QFETCH(QString, id);
        QFETCH(QString, agentid_and_houseid);
        const std::string url = site::refresh_url(kHosts, agent.toStdString(), id.toStdString());
        QCOMPARE(q(url), QStringLiteral("http://office.test:82/Magent/House/HouseListAction.aspx?businesstype=cs&page=1&"
                                        "pagesize=20&flag=1&") +
                             agentid_and_houseid +
                             QStringLiteral("&pageurl=%2fmagent%2fhouse%2fhouselist.aspx%3fbusinesstype%3dcs%26page%3d1%26"
                                            "pagesize%3d20%26flag%3d1"));
    }

    void refresh_listing_sends_a_plain_get_and_reports_sign_out() {
        ScriptedRunner runner({"alert('刷新成功！');", "<p>请先登录！</p>", "alert('请先登录！')"});
        site::SiteSession session;
        session.set_agent_id("4321");
        int signed_out_calls = 0;
        site::ListingRefresher refresher(runner, kHosts, session, [&] { ++signed_out_calls; });

        QCOMPARE(q(refresher.refresh_listing("10001")), QStringLiteral("刷新成功"));
        QCOMPARE(signed_out_calls, 0);
        // The agent ID is read at every request, not when the refresher was made.
        session.set_agent_id("");
        QCOMPARE(q(refresher.refresh_listing("10002")), QStringLiteral("未登录账号"));
        QCOMPARE(q(refresher.refresh_listing("10002")), QStringLiteral("未登录账号"));
        QCOMPARE(signed_out_calls, 2); // once per answer that asks for a sign-in

        QCOMPARE(runner.urls.size(), 3u);
        QCOMPARE(q(runner.urls[0]), q(site::refresh_url(kHosts, "4321", "10001")));
        QCOMPARE(q(runner.urls[1]), q(site::refresh_url(kHosts, "", "10002")));
        QVERIFY(std::all_of(runner.plain_get.begin(), runner.plain_get.end(), [](bool b) { return b; }));
    }

    void refresh_listing_reads_gbk_only() {
        // The same answer in UTF-8 must not pass for success; a stray lead byte right before
        // the marker must not swallow it.
        site::SiteSession session;
        struct Utf8Runner final : http::RequestRunner {
            std::string body;
            std::string http_request(std::string&, const http::RequestOptions&) override { return body; }
        } raw;
        site::ListingRefresher refresher(raw, kHosts, session, {});
        raw.body = "alert('\xE5\x88\xB7\xE6\x96\xB0\xE6\x88\x90\xE5\x8A\x9F\xEF\xBC\x81');"; // UTF-8
        QVERIFY(refresher.refresh_listing("1") != "刷新成功");
        raw.body = "alert\xFF\x81" + common::to_gbk("('刷新成功！');");
        QCOMPARE(q(refresher.refresh_listing("1")), QStringLiteral("刷新成功"));
    }

    void agent_id_in_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("agent_id");
        QTest::newRow("marker as the site writes it") << "var a = { AgentId: '4321', x: 1 };" << "4321";
        QTest::newRow("marker in lower case") << "agentid: '4321'" << "4321";
        QTest::newRow("kept unchanged") << "AgentId: ' 12a '" << " 12a ";
        QTest::newRow("no closing quote") << "AgentId: '4321" << "";
        QTest::newRow("twice: the first") << "AgentId: '11' AgentId: '22'" << "11";
        QTest::newRow("no marker") << "<p>请先登录！</p>" << "";
        QTest::newRow("empty value") << "AgentId: ''" << "";
    }

    void agent_id_in() {
        QFETCH(QString, page);
        QFETCH(QString, agent_id);
        QCOMPARE(q(site::agent_id_in(page.toStdString())), agent_id);
    }

    void read_agent_id_replaces_the_id_even_with_nothing() {
        ScriptedRunner runner({"AgentId: '4321'", "<p>请先登录！</p>"});
        site::SiteSession session;
        QVERIFY(site::read_agent_id(runner, kHosts, session));
        QCOMPARE(q(session.agent_id()), QStringLiteral("4321"));
        QVERIFY(!site::read_agent_id(runner, kHosts, session));
        QCOMPARE(q(session.agent_id()), QString());
        QCOMPARE(q(runner.urls[0]), QStringLiteral("http://office.test:82/magent/top.aspx"));
        QVERIFY(runner.plain_get[0] && runner.plain_get[1]);
    }

    void first_page_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("first");
        const QString home = q(kHosts.portal_home());
        const QString sale = q(kHosts.sale_listing_page());
        const QString rent = q(kHosts.rent_listing_page());
        QTest::newRow("home, signed out") << home << "<p>请先登录！</p>" << home;
        QTest::newRow("home, signed in") << home << "<input type=\"checkbox\" name=\"selectitem\">" << sale;
        QTest::newRow("no start address") << "" << "" << "";
        QTest::newRow("home, no answer") << home << "" << sale;
        QTest::newRow("home, prompt without the mark") << home << "请先登录" << sale;
        QTest::newRow("rent page, signed out") << rent << "<p>请先登录！</p>" << rent;
        QTest::newRow("home in other letter case is not home") << "HTTP://portal.test:81/" << "请先登录！"
                                                               << "HTTP://portal.test:81/";
    }

    void first_page() {
        QFETCH(QString, start);
        QFETCH(QString, answer);
        QFETCH(QString, first);
        ScriptedRunner runner({answer.toStdString()});
        site::SiteSession session;
        session.set_start_address(start.toStdString());
        QCOMPARE(q(site::first_page(runner, kHosts, session)), first);
        // The check is asked for whatever the start address.
        QCOMPARE(runner.urls.size(), 1u);
        QCOMPARE(q(runner.urls[0]), q(kHosts.sale_listing_page()));
    }

    // Against the simulator, through the program's own HTTP client and cookie jar.

    void refresh_outcomes_from_the_site_data() {
        QTest::addColumn<QString>("answer"); // the simulator's answer knob for the house
        QTest::addColumn<bool>("signed_in");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("signed_out_calls");
        QTest::newRow("success") << "success" << true << "刷新成功" << 0;
        QTest::newRow("signed out") << "success" << false << "未登录账号" << 1;
        QTest::newRow("site says sign in") << "login" << true << "未登录账号" << 1;
        QTest::newRow("site message") << "message:房源不存在" << true << "房源不存在" << 0;
        QTest::newRow("stray bytes before the marker") << "invalid_gbk" << true << "刷新成功" << 0;
        QTest::newRow("closed without answer") << "close" << true << "" << 0;
        QTest::newRow("big answer, marker at its end") << "huge:3000000" << true << "刷新成功" << 0;
    }

    void refresh_outcomes_from_the_site() {
        QFETCH(QString, answer);
        QFETCH(bool, signed_in);
        QFETCH(QString, outcome);
        QFETCH(int, signed_out_calls);
        if (signed_in)
            sign_jar_in();
        QVERIFY(sim_.set_knob("refresh.10001", answer.toStdString()));
        site::SiteSession session;
        session.set_agent_id("4321");
        int calls = 0;
        site::ListingRefresher refresher(*runner_, sim_hosts(), session, [&] { ++calls; });
        QCOMPARE(q(refresher.refresh_listing("10001")), outcome);
        QCOMPARE(calls, signed_out_calls);
    }

    void refresh_request_is_sent_as_built() {
        sign_jar_in();
        site::SiteSession session;
        session.set_agent_id("4321");
        site::ListingRefresher refresher(*runner_, sim_hosts(), session, {});
        QCOMPARE(q(refresher.refresh_listing("10002")), QStringLiteral("刷新成功"));
        const auto seen = sim_.requests();
        QCOMPARE(seen.size(), 1u);
        QCOMPARE(q(seen[0].method), QStringLiteral("GET"));
        QCOMPARE(q(seen[0].target),
                 QStringLiteral("/Magent/House/HouseListAction.aspx?businesstype=cs&page=1&pagesize=20&flag=1&"
                                "agentid=4321&mendianID=0&action=refhouse&houseid=10002&pageurl=%2fmagent%2fhouse%2f"
                                "houselist.aspx%3fbusinesstype%3dcs%26page%3d1%26pagesize%3d20%26flag%3d1"));
        QVERIFY(seen[0].header("Cookie").find(cookie_.pair()) != std::string::npos);
    }

    void agent_id_follows_the_sign_in_on_the_site() {
        site::SiteSession session;
        sign_jar_in();
        QVERIFY(site::read_agent_id(*runner_, sim_hosts(), session));
        QCOMPARE(q(session.agent_id()), QStringLiteral("4321"));

        // Signed out on the site: the ID found before is gone, and refreshes carry none.
        QVERIFY(sim_.sign_out_everywhere());
        QVERIFY(!site::read_agent_id(*runner_, sim_hosts(), session));
        QCOMPARE(q(session.agent_id()), QString());
        site::ListingRefresher refresher(*runner_, sim_hosts(), session, {});
        QCOMPARE(q(refresher.refresh_listing("10001")), QStringLiteral("未登录账号"));
        QVERIFY(sim_.requests().back().target.find("&agentid=&") != std::string::npos);
    }

    void first_page_follows_the_sign_in_on_the_site() {
        const site::SiteHosts hosts = sim_hosts();
        site::SiteSession session;
        session.set_start_address(hosts.portal_home());
        QCOMPARE(q(site::first_page(*runner_, hosts, session)), q(hosts.portal_home()));
        sign_jar_in();
        QCOMPARE(q(site::first_page(*runner_, hosts, session)), q(hosts.sale_listing_page()));
        const auto seen = sim_.requests();
        QCOMPARE(seen.size(), 2u);
        QCOMPARE(q(seen[1].target), QStringLiteral("/magent/house/houselist.aspx?businesstype=cs"));
    }

    void hosts_come_from_the_settings_file_data() {
        QTest::addColumn<QString>("portal");
        QTest::addColumn<QString>("backoffice");
        QTest::addColumn<QString>("portal_home");
        QTest::addColumn<QString>("top_page");
        const QString default_home = q("http://" + std::string(site::kDefaultPortalHost) + "/");
        const QString default_top = q("http://" + std::string(site::kDefaultBackofficeHost) + "/magent/top.aspx");
        QTest::newRow("missing") << QString() << QString() << default_home << default_top;
        QTest::newRow("host and port") << "127.0.0.1:8080" << "127.0.0.1:8081" << "http://127.0.0.1:8080/"
                                       << "http://127.0.0.1:8081/magent/top.aspx";
        QTest::newRow("pasted address") << "  http://Portal.test/login " << "https://office.test:9/x/y"
                                        << "http://Portal.test/" << "http://office.test:9/magent/top.aspx";
        QTest::newRow("blank value") << "　 " << "/" << default_home << default_top;
    }

    void hosts_come_from_the_settings_file() {
        QFETCH(QString, portal);
        QFETCH(QString, backoffice);
        QFETCH(QString, portal_home);
        QFETCH(QString, top_page);
        QTemporaryDir dir;
        const store::SettingsFile settings(std::filesystem::path(dir.path().toStdString()) / "pz.ini");
        if (!portal.isNull()) {
            QVERIFY(settings.write(store::keys::kSiteSection, store::keys::kPortalHost, portal.toStdString()));
            QVERIFY(settings.write(store::keys::kSiteSection, store::keys::kBackofficeHost, backoffice.toStdString()));
        }
        const site::SiteHosts hosts = site::load_site_hosts(settings);
        QCOMPARE(q(hosts.portal_home()), portal_home);
        QCOMPARE(q(hosts.top_page()), top_page);
    }

    void hosts_written_are_read_back() {
        QTemporaryDir dir;
        const store::SettingsFile settings(std::filesystem::path(dir.path().toStdString()) / "pz.ini");
        QVERIFY(settings.write(store::keys::kSiteSection, store::keys::kUser, "agent"));
        const site::SiteHosts hosts{sim_.host(), "127.0.0.1:1"};
        QVERIFY(site::write_site_hosts(settings, hosts));
        QVERIFY(site::load_site_hosts(settings) == hosts);
        QCOMPARE(q(settings.read(store::keys::kSiteSection, store::keys::kUser)), QStringLiteral("agent"));
        const store::SettingsFile nowhere(std::filesystem::path(dir.path().toStdString()) / "missing" / "pz.ini");
        QVERIFY(!site::write_site_hosts(nowhere, hosts));
    }

private:
    site::SiteHosts sim_hosts() const { return {sim_.host(), sim_.host()}; }

    // The browser would leave this cookie in the shared jar after the agent signed in.
    void sign_jar_in() {
        cookie_ = sim_.sign_in();
        QVERIFY(!cookie_.empty());
        http::Cookie cookie;
        cookie.domain = "127.0.0.1";
        cookie.http_only = true;
        cookie.name = cookie_.name;
        cookie.value = cookie_.value;
        network_->set_cookie(cookie);
    }

    sitesim::Simulator sim_;
    sitesim::SessionCookie cookie_;
    std::unique_ptr<http::NetworkThread> network_;
    std::unique_ptr<http::CurlRequestRunner> runner_;
};

QTEST_GUILESS_MAIN(SiteTests)
#include "site_tests.moc"
