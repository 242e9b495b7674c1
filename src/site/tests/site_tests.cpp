// The site protocol: how answers are read, what is sent, and where the login window goes first.
// Pure rules are checked on texts; the requests themselves through a runner that plays back
// answers and keeps what it was asked.

#include "common/encoding.h"
#include "http/request_runner.h"
#include "site/hosts.h"
#include "site/listing_refresh.h"
#include "site/session.h"
#include "site/sign_in.h"
#include "store/settings.h"

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
            QVERIFY(settings.write("搜房网", "portal", portal.toStdString()));
            QVERIFY(settings.write("搜房网", "backoffice", backoffice.toStdString()));
        }
        const site::SiteHosts hosts = site::load_site_hosts(settings);
        QCOMPARE(q(hosts.portal_home()), portal_home);
        QCOMPARE(q(hosts.top_page()), top_page);
    }
};

QTEST_GUILESS_MAIN(SiteTests)
#include "site_tests.moc"
