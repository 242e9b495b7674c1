// Where a request goes and what it says, decided before anything is sent.

#include "suites.h"

#include "http/byte_text.h"
#include "http/request_headers.h"
#include "http/set_cookie.h"
#include "http/transfer_plan.h"
#include "http/url_parts.h"

#include <QTest>

using namespace http;

namespace {

const QByteArray kAccept =
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";

RequestRecord record(const std::string& url, const std::string& method = "GET", const std::string& cookies = "",
                     std::string_view follow = kFollow) {
    RequestRecord r;
    r[RequestRecord::Url] = url;
    r[RequestRecord::Method] = method;
    r[RequestRecord::Cookies] = cookies;
    r[RequestRecord::FollowRedirects] = std::string(follow);
    return r;
}

} // namespace

class RequestRulesTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void url_parts_data() {
        QTest::addColumn<QByteArray>("url");
        QTest::addColumn<QByteArray>("host");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("secure");
        QTest::newRow("host lower-cased, path keeps case") << QByteArray("http://WWW.Example.com/Magent/Top.aspx?A=1")
                                                          << QByteArray("www.example.com")
                                                          << QByteArray("/Magent/Top.aspx?A=1") << 80 << false;
        QTest::newRow("no slash after host") << QByteArray("http://a.com") << QByteArray("a.com") << QByteArray("/")
                                             << 80 << false;
        QTest::newRow("explicit port") << QByteArray("http://a.com:8080/x") << QByteArray("a.com")
                                       << QByteArray("/x") << 8080 << false;
        QTest::newRow("port without path") << QByteArray("http://a.com:8080") << QByteArray("a.com")
                                           << QByteArray("/") << 8080 << false;
        QTest::newRow("secure") << QByteArray("https://a.com/x") << QByteArray("a.com") << QByteArray("/x") << 443
                                << true;
        QTest::newRow("secure with port") << QByteArray("https://a.com:8443/x") << QByteArray("a.com")
                                          << QByteArray("/x") << 8443 << true;
        QTest::newRow("secure in any case") << QByteArray("HTTPS://A.com/x") << QByteArray("a.com")
                                            << QByteArray("/x") << 443 << true;
        QTest::newRow("https in the query is not secure")
            << QByteArray("http://a.com/go?to=https://b.com/") << QByteArray("a.com")
            << QByteArray("/go?to=https://b.com/") << 80 << false;
        QTest::newRow("host that occurs inside the scheme") << QByteArray("http://t/x") << QByteArray("t")
                                                            << QByteArray("/x") << 80 << false;
        QTest::newRow("port not a number") << QByteArray("http://a.com:abc/") << QByteArray("a.com")
                                           << QByteArray("/") << 80 << false;
        QTest::newRow("port out of range") << QByteArray("http://a.com:99999/") << QByteArray("a.com")
                                           << QByteArray("/") << -1 << false;
        QTest::newRow("GBK bytes in the path") << QByteArray("http://a.com/\xcb\xa2\xd0\xc2") << QByteArray("a.com")
                                               << QByteArray("/\xcb\xa2\xd0\xc2") << 80 << false;
    }
    void url_parts() {
        QFETCH(QByteArray, url);
        QCOMPARE(bytes(host_of_url(text(url))), fetched<QByteArray>("host"));
        QCOMPARE(bytes(path_of_url(text(url))), fetched<QByteArray>("path"));
        QCOMPARE(port_of_url(text(url)), fetched<int>("port"));
        QCOMPARE(is_secure_url(text(url)), fetched<bool>("secure"));
    }

    void scheme_and_text_before() {
        QCOMPARE(bytes(with_scheme("a.com/x")), QByteArray("http://a.com/x"));
        QCOMPARE(bytes(with_scheme("https://a.com")), QByteArray("https://a.com"));
        QCOMPARE(bytes(with_scheme("http://a.com")), QByteArray("http://a.com"));
        QCOMPARE(bytes(with_scheme("HTTP://a.com")), QByteArray("http://HTTP://a.com"));
        QCOMPARE(bytes(text_before("a=1; path=/", ";")), QByteArray("a=1"));
        QCOMPARE(bytes(text_before("b=2", ";")), QByteArray());
    }

    void trim_gbk_blanks_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("trimmed");
        QTest::newRow("ascii and full-width") << QByteArray(" \xa1\xa1k=v \xa1\xa1") << QByteArray("k=v");
        // B0 A1 is one character: its second byte and a stray A1 after it are no blank.
        QTest::newRow("character ending in A1") << QByteArray("\xb0\xa1\xa1") << QByteArray("\xb0\xa1\xa1");
        QTest::newRow("character, then a blank") << QByteArray("\xb0\xa1\xa1\xa1") << QByteArray("\xb0\xa1");
        QTest::newRow("A1 A1 inside stays") << QByteArray("a\xa1\xa1" "b") << QByteArray("a\xa1\xa1" "b");
        QTest::newRow("tab is not a blank") << QByteArray("\t ") << QByteArray("\t");
        QTest::newRow("only blanks") << QByteArray(" \xa1\xa1 ") << QByteArray();
    }
    void trim_gbk_blanks() {
        QFETCH(QByteArray, input);
        QCOMPARE(bytes(std::string(trim_blanks(text(input)))), fetched<QByteArray>("trimmed"));
    }

    void compose_headers_data() {
        QTest::addColumn<QByteArray>("extra");
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("cookies");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray referer = "Referer: http://h/p\r\n";
        const QByteArray language = "Accept-Language: zh-cn\r\n";
        QTest::newRow("plain GET") << QByteArray() << QByteArray("GET") << QByteArray() << QByteArray()
                                   << kAccept + referer + language;
        QTest::newRow("cookie text comes last with an empty line")
            << QByteArray() << QByteArray("GET") << QByteArray() << QByteArray("k=v")
            << kAccept + referer + language + "Cookie: k=v\r\n\r\n";
        QTest::newRow("accept-encoding names Accept")
            << QByteArray("Accept-Encoding: gzip\r\n") << QByteArray("GET") << QByteArray() << QByteArray()
            << "Accept-Encoding: gzip\r\n" + referer + language;
        QTest::newRow("accept-language names both") << QByteArray("accept-language: en\r\n") << QByteArray("GET")
                                                    << QByteArray() << QByteArray()
                                                    << "accept-language: en\r\n" + referer;
        QTest::newRow("RefererNo removed, no Referer")
            << QByteArray("X-A: 1\r\nRefererNo\r\n") << QByteArray("GET") << QByteArray() << QByteArray()
            << "X-A: 1\r\n\r\n" + kAccept + language;
        QTest::newRow("own Referer kept") << QByteArray("Referer: http://r/\r\n") << QByteArray("GET")
                                          << QByteArray() << QByteArray()
                                          << "Referer: http://r/\r\n" + kAccept + language;
        QTest::newRow("POST with a body") << QByteArray() << QByteArray("POST") << QByteArray("a=1&b") << QByteArray()
                                          << kAccept + referer + language +
                                                 "Content-Type: application/x-www-form-urlencoded\r\n"
                                                 "Content-Length: 5\r\n";
        QTest::newRow("POST with own content type")
            << QByteArray("Content-Type: text/plain\r\n") << QByteArray("POST") << QByteArray("12") << QByteArray()
            << "Content-Type: text/plain\r\n" + kAccept + referer + language + "Content-Length: 2\r\n";
        QTest::newRow("POST without a body") << QByteArray() << QByteArray("POST") << QByteArray() << QByteArray()
                                             << kAccept + referer + language;
        QTest::newRow("GET ignores a body") << QByteArray() << QByteArray("GET") << QByteArray("abc") << QByteArray()
                                            << kAccept + referer + language;
    }
    void compose_headers() {
        QFETCH(QByteArray, extra);
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, cookies);
        QCOMPARE(bytes(http::compose_headers("http://h/p", text(method), text(extra), text(body), text(cookies))),
                 fetched<QByteArray>("expected"));
    }

    void user_agent() {
        QCOMPARE(bytes(user_agent_of("")), bytes(std::string(kDefaultUserAgent)));
        QCOMPARE(bytes(user_agent_of("X: 1\r\nuser-agent:  Agent/1 \r\n")), QByteArray("Agent/1"));
        QCOMPARE(bytes(user_agent_of("User-Agent: Agent/1")), QByteArray());
    }

    // curl adds Accept, Expect and a form Content-Type of its own unless told not to; a header
    // with an empty value must still go out.
    void curl_lines() {
        using Lines = std::vector<std::string>;
        QCOMPARE(curl_header_lines("Accept: a\r\nReferer: r\r\n", false), (Lines{"Accept: a", "Referer: r", "Expect:"}));
        QCOMPARE(curl_header_lines("Accept-Encoding: gzip\r\nX-Empty:\r\n\r\n", false),
                 (Lines{"Accept-Encoding: gzip", "X-Empty;", "Accept:", "Expect:"}));
        QCOMPARE(curl_header_lines("Accept: a\r\nbare\nContent-Type: t\r\n", true),
                 (Lines{"Accept: a", "bare", "Content-Type: t", "Expect:"}));
        QCOMPARE(curl_header_lines("Accept: a\r\n", true), (Lines{"Accept: a", "Expect:", "Content-Type:"}));
    }

    void transfer_plan() {
        const TransferPlan plain = plan_transfer(record("http://Host.example:8080/a b?q=1"));
        QVERIFY(plain.can_open);
        QVERIFY(plain.send);
        QCOMPARE(bytes(plain.url), QByteArray("http://host.example:8080/a%20b?q=1"));
        QVERIFY(plain.use_jar);
        QVERIFY(plain.follow_redirects);

        // A secure request honours the redirect choice, the cookie text and its port.
        RequestRecord secure_record = record("https://a.com:8443/x", "GET", "k=v", kDontFollow);
        secure_record[RequestRecord::Proxy] = "127.0.0.1:3128";
        const TransferPlan secure = plan_transfer(secure_record);
        QCOMPARE(bytes(secure.url), QByteArray("https://a.com:8443/x"));
        QVERIFY(!secure.follow_redirects);
        QVERIFY(!secure.use_jar);
        QVERIFY2(secure.proxy.empty(), "the proxy serves plain HTTP only");

        QCOMPARE(bytes(plan_transfer(record("http://a.com:80/x")).url), QByteArray("http://a.com/x"));
        QCOMPARE(bytes(plan_transfer(record("https://a.com/x")).url), QByteArray("https://a.com/x"));

        RequestRecord proxied = record("http://a.com/");
        proxied[RequestRecord::Proxy] = "127.0.0.1:3128";
        QCOMPARE(bytes(plan_transfer(proxied).proxy), QByteArray("127.0.0.1:3128"));

        QVERIFY2(plan_transfer(record("http://a.com/", "GET", " \xa1\xa1 ")).use_jar, "blank cookie text is none");
        QVERIFY(!plan_transfer(record("http://a.com/", "PUT")).send);
        QVERIFY(plan_transfer(record("http://a.com/", "POST")).post);
    }

    void unusable_urls_data() {
        QTest::addColumn<QByteArray>("url");
        QTest::newRow("no host") << QByteArray("http:///x");
        QTest::newRow("line break would split the request") << QByteArray("http://a.com/x\r\nX-Evil: 1");
        QTest::newRow("credentials in front of the host") << QByteArray("http://user@evil.com/");
        QTest::newRow("query straight after the host") << QByteArray("http://a.com?x=1");
        QTest::newRow("port out of range") << QByteArray("http://a.com:70000/");
    }
    void unusable_urls() {
        QFETCH(QByteArray, url);
        QVERIFY(!plan_transfer(record(text(url))).can_open);
    }

    void set_cookie_lines() {
        const std::string raw = "HTTP/1.1 200 OK\r\n"
                                "Set-Cookie: a=1; path=/\r\n"
                                "X-Set-Cookie: no=1\r\n"
                                "set-cookie:b=2\n"
                                "SET-COOKIE:   c=3 ; HttpOnly\r\n"
                                "Set-Cookie: \r\n";
        const std::vector<std::string> values = set_cookie_values(raw);
        QCOMPARE(values, (std::vector<std::string>{"a=1; path=/", "b=2", "c=3 ; HttpOnly", ""}));
        QCOMPARE(bytes(cookie_pairs(values)), QByteArray("a=1;b=2;c=3;"));
    }

    void parse_cookie_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QByteArray>("domain");
        QTest::addColumn<bool>("host_only");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<qlonglong>("expires");
        QTest::newRow("bare pair") << QByteArray("b=2") << true << QByteArray("www.site.cn") << true
                                   << QByteArray("/") << 0LL;
        QTest::newRow("path and max-age") << QByteArray("a=1; Path=/magent; Max-Age=60") << true
                                          << QByteArray("www.site.cn") << true << QByteArray("/magent") << 1060LL;
        QTest::newRow("max-age 0 deletes") << QByteArray("a=; max-age=0") << true << QByteArray("www.site.cn")
                                           << true << QByteArray("/") << 1LL;
        QTest::newRow("expires") << QByteArray("a=1; expires=Thu, 01 Jan 1970 00:20:00 GMT") << true
                                 << QByteArray("www.site.cn") << true << QByteArray("/") << 1200LL;
        QTest::newRow("parent domain") << QByteArray("a=1; domain=.Site.cn") << true << QByteArray("site.cn")
                                       << false << QByteArray("/") << 0LL;
        QTest::newRow("foreign domain") << QByteArray("a=1; domain=other.cn") << false << QByteArray() << false
                                        << QByteArray() << 0LL;
        QTest::newRow("look-alike domain") << QByteArray("a=1; domain=te.cn") << false << QByteArray() << false
                                           << QByteArray() << 0LL;
        QTest::newRow("no name") << QByteArray("=1") << false << QByteArray() << false << QByteArray() << 0LL;
        QTest::newRow("no equals sign") << QByteArray("junk") << false << QByteArray() << false << QByteArray()
                                        << 0LL;
    }
    void parse_cookie() {
        QFETCH(QByteArray, value);
        QFETCH(bool, stored);
        const auto cookie = parse_set_cookie(text(value), "www.site.cn", 1000);
        QCOMPARE(cookie.has_value(), stored);
        if (!cookie)
            return;
        QCOMPARE(bytes(cookie->domain), fetched<QByteArray>("domain"));
        QCOMPARE(cookie->host_only, fetched<bool>("host_only"));
        QCOMPARE(bytes(cookie->path), fetched<QByteArray>("path"));
        QCOMPARE(cookie->expires, fetched<qlonglong>("expires"));
    }
};

int run_request_rules_tests(int argc, char** argv) {
    RequestRulesTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "request_rules_tests.moc"
