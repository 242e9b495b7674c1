// Requests against the local site simulator: what goes out byte for byte, what comes back, and
// how the runner behaves when the server is slow, silent or rude.

#include "suites.h"

#include "http/curl_request_runner.h"
#include "http/request_headers.h"
#include "site-sim/simulator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <algorithm>
#include <mutex>

using namespace http;

namespace {

const std::string kAccept =
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";
const std::string kLanguage = "Accept-Language: zh-cn\r\n";
const std::string kUserAgent = "User-Agent: " + std::string(kDefaultUserAgent) + "\r\n";

// A network thread (and so a jar) and a runner of their own for each test, so no cookie leaks
// from one into the next.
struct Client {
    // What the browser would be told; shared with the listener, which runs on the network thread.
    struct Heard {
        std::mutex mutex;
        std::vector<Cookie> cookies;
    };
    std::shared_ptr<Heard> heard_ = std::make_shared<Heard>();
    NetworkThread network;
    CurlRequestRunner runner{network};

    Client() {
        network.set_cookie_listener([heard = heard_](const std::vector<Cookie>& cookies) {
            std::lock_guard lock(heard->mutex);
            heard->cookies.insert(heard->cookies.end(), cookies.begin(), cookies.end());
        });
    }
    std::string get(std::string url, RequestOptions options = {}) { return runner.http_request(url, options); }
    // "name=value path" of each cookie heard.
    std::vector<std::string> heard() {
        std::lock_guard lock(heard_->mutex);
        std::vector<std::string> names;
        for (const Cookie& c : heard_->cookies)
            names.push_back(c.name + "=" + c.value + " " + c.path);
        return names;
    }
};

int thread_count() { return static_cast<int>(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size()); }

const Cookie* find_cookie(const std::vector<Cookie>& cookies, const std::string& name) {
    const auto it = std::find_if(cookies.begin(), cookies.end(), [&](const Cookie& c) { return c.name == name; });
    return it == cookies.end() ? nullptr : &*it;
}

int refused_port() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort(); // closed again when `server` goes
}

bool has_cookie(const std::vector<Cookie>& cookies, const std::string& name, const std::string& value) {
    return std::any_of(cookies.begin(), cookies.end(),
                       [&](const Cookie& c) { return c.name == name && c.value == value && c.domain == "127.0.0.1"; });
}

} // namespace

class ExchangeTests : public QObject {
    Q_OBJECT
    sitesim::Simulator sim_;

    std::string page(const std::string& path) const { return sim_.url(path); }
    void fault(const std::string& answer, const std::string& path) {
        QVERIFY(sim_.set_knob("fault", answer));
        QVERIFY(sim_.set_knob("fault_path", path));
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY2(sim_.start(), "the site simulator did not start"); }
    void init() { QVERIFY(sim_.reset()); }

    void sent_head_data() {
        QTest::addColumn<QByteArray>("extra");
        QTest::addColumn<int>("method");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("cookies");
        QTest::addColumn<QByteArray>("lines"); // what follows the Host line
        const std::string referer = "Referer: " + page("/Echo/Page?x=1") + "\r\n";
        const QByteArray plain = bytes(kUserAgent + kAccept + referer + kLanguage);
        QTest::newRow("plain GET") << QByteArray() << 0 << QByteArray() << QByteArray() << plain;
        QTest::newRow("method 2 sends GET") << QByteArray() << 2 << QByteArray() << QByteArray() << plain;
        QTest::newRow("cookie text") << QByteArray() << 0 << QByteArray() << QByteArray("k=v; m=2")
                                     << plain + "Cookie: k=v; m=2\r\n";
        QTest::newRow("POST with a 5-byte body")
            << QByteArray() << 1 << QByteArray("a=1&b") << QByteArray()
            << plain + "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 5\r\n";
        // Nothing of ours says how long the body is; the framing line is curl's, as a server may
        // refuse a POST without one.
        QTest::newRow("POST without a body") << QByteArray() << 1 << QByteArray() << QByteArray()
                                             << plain + "Content-Length: 0\r\n";
        QTest::newRow("extra Accept-Encoding")
            << QByteArray("Accept-Encoding: identity\r\n") << 0 << QByteArray() << QByteArray()
            << bytes(kUserAgent + "Accept-Encoding: identity\r\n" + referer + kLanguage);
        QTest::newRow("RefererNo") << QByteArray("RefererNo\r\n") << 0 << QByteArray() << QByteArray()
                                   << bytes(kUserAgent + kAccept + kLanguage);
        QTest::newRow("User-Agent line") << QByteArray("User-Agent: Tool/2\r\n") << 0 << QByteArray() << QByteArray()
                                         << bytes("User-Agent: Tool/2\r\n" + kAccept + referer + kLanguage);
    }
    void sent_head() {
        QFETCH(QByteArray, extra);
        QFETCH(int, method);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, cookies);
        QFETCH(QByteArray, lines);
        Client client;
        RequestOptions options;
        options.method = method;
        options.extra_headers = text(extra);
        options.body = text(body);
        options.cookies = text(cookies);
        QVERIFY(!client.get(page("/Echo/Page?x=1"), options).empty());

        const auto requests = sim_.requests();
        QCOMPARE(requests.size(), 1u);
        const std::string verb = method == 1 ? "POST" : "GET";
        QCOMPARE(bytes(requests[0].raw_head),
                 bytes(verb + " /Echo/Page?x=1 HTTP/1.1\r\nHost: " + sim_.host() + "\r\n") + lines + "\r\n");
        QCOMPARE(bytes(requests[0].body), body);
    }

    // Without cookie text the jar's cookies go out; with it only the caller's, in one line.
    void jar_or_cookie_text() {
        Client client;
        Cookie jarred;
        jarred.domain = "127.0.0.1";
        jarred.name = "jarred";
        jarred.value = "1";
        client.network.set_cookie(jarred);
        RequestOptions with_text;
        with_text.cookies = "k=v";
        client.get(page("/one"));
        client.get(page("/two"), with_text);
        const auto requests = sim_.requests();
        QCOMPARE(requests.size(), 2u);
        QCOMPARE(bytes(requests[0].header("Cookie")), QByteArray("jarred=1"));
        const auto cookie_lines = std::count_if(requests[1].headers.begin(), requests[1].headers.end(),
                                                [](const auto& h) { return QByteArray::fromStdString(h.first).toLower() == "cookie"; });
        QCOMPARE(cookie_lines, 1);
        QCOMPARE(bytes(requests[1].header("Cookie")), QByteArray("k=v"));
    }

    void host_port_and_scheme() {
        Client client;
        client.get("http://LocalHost:" + std::to_string(sim_.port()) + "/Path/Case?Q=1");
        std::string bare = "127.0.0.1:" + std::to_string(sim_.port()) + "/no/scheme";
        client.runner.http_request(bare);
        QCOMPARE(bytes(bare), bytes(page("/no/scheme")));

        const auto requests = sim_.requests();
        QCOMPARE(requests.size(), 2u);
        QCOMPARE(bytes(requests[0].header("Host")), bytes("localhost:" + std::to_string(sim_.port())));
        QCOMPARE(bytes(requests[0].target), QByteArray("/Path/Case?Q=1"));
        QCOMPARE(bytes(requests[1].target), QByteArray("/no/scheme"));
    }

    // The proxy serves plain HTTP: the request goes to it with the whole URL as its target.
    void proxy() {
        Client client;
        RequestOptions options;
        options.proxy = sim_.host();
        client.get("http://listing.invalid/Page?x=1", options);
        const auto requests = sim_.requests();
        QCOMPARE(requests.size(), 1u);
        QCOMPARE(bytes(requests[0].target), QByteArray("http://listing.invalid/Page?x=1"));
        QCOMPARE(bytes(requests[0].header("Host")), QByteArray("listing.invalid"));
    }

    void blank_url_sends_nothing() {
        Client client;
        std::string headers = "untouched";
        RequestOptions options;
        options.returned_headers = &headers;
        std::string blank = "  \xa1\xa1 ";
        QCOMPARE(bytes(client.runner.http_request(blank, options)), QByteArray());
        QCOMPARE(bytes(blank), QByteArray("  \xa1\xa1 "));
        QCOMPARE(bytes(headers), QByteArray("untouched"));
        QVERIFY(sim_.requests().empty());
    }

    void cookies_a_response_sets_data() {
        QTest::addColumn<QByteArray>("cookie_text");
        QTest::newRow("jar in use") << QByteArray();
        QTest::newRow("with cookie text") << QByteArray("k=v");
    }
    void cookies_a_response_sets() {
        QFETCH(QByteArray, cookie_text);
        Client client;
        std::string headers, cookies;
        RequestOptions options;
        options.cookies = text(cookie_text);
        options.returned_headers = &headers;
        options.returned_cookies = &cookies;
        QCOMPARE(bytes(client.get(sim_.respond_url(200, {"Set-Cookie: a=1; path=/", "Set-Cookie: b=2"}, "ok"), options)),
                 QByteArray("ok"));
        QCOMPARE(bytes(cookies), QByteArray("a=1;b=2;"));
        QVERIFY2(headers.starts_with("HTTP/1.1 200"), headers.c_str());
        QVERIFY(headers.find("\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n") != std::string::npos);
        QVERIFY(headers.ends_with("\r\n") && !headers.ends_with("\r\n\r\n"));
        QCOMPARE(client.heard(), (std::vector<std::string>{"a=1 /", "b=2 /"}));
        const auto jar = client.network.cookies();
        QVERIFY(has_cookie(jar, "a", "1"));
        QVERIFY(has_cookie(jar, "b", "2"));

        sim_.clear_requests();
        client.get(sim_.respond_url(200, {}, "next"));
        const QByteArray sent = bytes(sim_.requests().at(0).header("Cookie"));
        QVERIFY2(sent.contains("a=1") && sent.contains("b=2"), sent.constData());
    }

    void redirects_data() {
        QTest::addColumn<bool>("follow");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArray>("cookies");
        QTest::newRow("followed") << true << QByteArray("final") << QByteArray("HTTP/1.1 200") << QByteArray("after=2;");
        QTest::newRow("not followed") << false << QByteArray("moved") << QByteArray("HTTP/1.1 302")
                                      << QByteArray("before=1;");
    }
    void redirects() {
        QFETCH(bool, follow);
        Client client;
        const std::string target = sim_.respond_url(200, {"Set-Cookie: after=2"}, "final");
        std::string headers, cookies;
        RequestOptions options;
        options.follow_redirects = follow;
        options.returned_headers = &headers;
        options.returned_cookies = &cookies;
        QCOMPARE(bytes(client.get(sim_.respond_url(302, {"Location: " + target, "Set-Cookie: before=1"}, "moved"), options)),
                 fetched<QByteArray>("body"));
        QVERIFY2(bytes(headers).startsWith(fetched<QByteArray>("status")), headers.c_str());
        QVERIFY2(headers.find("HTTP/1.1", 1) == std::string::npos, "only the final response's headers");
        QCOMPARE(bytes(cookies), fetched<QByteArray>("cookies"));
        QCOMPARE(client.heard().size(), follow ? 2u : 1u);
    }

    void time_out_leaves_outputs_alone() {
        fault("silent", "/silent");
        Client client;
        std::string headers = "before", cookies = "before";
        RequestOptions options;
        options.time_limit = 1;
        options.returned_headers = &headers;
        options.returned_cookies = &cookies;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(bytes(client.get(page("/silent"), options)), bytes(timeout_message()));
        QVERIFY2(clock.elapsed() >= 950 && clock.elapsed() < 10'000, std::to_string(clock.elapsed()).c_str());
        QCOMPARE(bytes(headers), QByteArray("before"));
        QCOMPARE(bytes(cookies), QByteArray("before"));
    }

    void limit_of_zero_or_less_data() {
        QTest::addColumn<int>("limit");
        QTest::newRow("zero") << 0;
        QTest::newRow("negative") << -5;
    }
    void limit_of_zero_or_less() {
        Client client;
        RequestOptions options;
        options.time_limit = fetched<int>("limit");
        QCOMPARE(bytes(client.get(page("/fast"), options)), bytes(timeout_message()));
    }

    // The caller's event loop runs during the wait: a request started from a handler that runs
    // inside it completes before the outer one. The outer request goes to a server of the test's
    // own, on this thread, which answers only once the inner request has come back, so the
    // order cannot come out otherwise; and nothing of the test outlives it.
    void event_loop_runs_during_the_wait() {
        Client client;
        RequestOptions options;
        options.time_limit = 20;
        std::vector<std::string> finished;
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        connect(&server, &QTcpServer::newConnection, &server, [&] {
            QTcpSocket* outer = server.nextPendingConnection();
            finished.push_back(client.get(sim_.respond_url(200, {}, "ok"), options) == "ok" ? "inner" : "inner failed");
            outer->write("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nouter");
            outer->disconnectFromHost();
        });
        finished.push_back(client.get("http://127.0.0.1:" + std::to_string(server.serverPort()) + "/outer", options));
        QCOMPARE(finished, (std::vector<std::string>{"inner", "outer"}));
    }

    void zero_byte_in_the_body_data() {
        QTest::addColumn<int>("conversion");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("as received") << 0 << QByteArray("ab\0cd", 5);
        QTest::newRow("from UTF-8") << 1 << QByteArray("ab");
    }
    void zero_byte_in_the_body() {
        Client client;
        RequestOptions options;
        options.body_conversion = fetched<int>("conversion");
        QCOMPARE(bytes(client.get(sim_.respond_url(200, {}, std::string_view("ab\0cd", 5)), options)),
                 fetched<QByteArray>("expected"));
    }

    void rude_servers_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("connection refused") << QByteArray("refused");
        QTest::newRow("reset") << QByteArray("reset");
        QTest::newRow("closed without an answer") << QByteArray("close");
        QTest::newRow("body shorter than announced") << QByteArray("truncate");
        QTest::newRow("invalid GBK") << QByteArray("invalid_gbk");
    }
    void rude_servers() {
        QFETCH(QByteArray, answer);
        Client client;
        RequestOptions options;
        options.time_limit = 20;
        std::string headers = "before", cookies = "before";
        options.returned_headers = &headers;
        options.returned_cookies = &cookies;
        const std::string normal = client.get(page("/rude"), options);
        QVERIFY(!normal.empty());

        std::string url = page("/rude");
        if (answer == "refused")
            url = "http://127.0.0.1:" + std::to_string(refused_port()) + "/rude";
        else
            fault(text(answer), "/rude");
        const std::string body = client.get(url, options);
        if (answer == "truncate") {
            QCOMPARE(bytes(body), bytes(normal)); // what was sent before the close
        } else if (answer == "invalid_gbk") {
            QVERIFY(body.find("\xff\x81") != std::string::npos);
        } else {
            QCOMPARE(bytes(body), QByteArray());
            QCOMPARE(bytes(headers), QByteArray());
            QCOMPARE(bytes(cookies), QByteArray());
        }
    }

    void big_body() {
        fault("huge:100000000", "/big");
        Client client;
        RequestOptions options;
        options.time_limit = 120;
        QCOMPARE(client.get(page("/big"), options).size(), 100'000'000u);
    }

    // A request given up at its limit is taken off the network thread at once: no thread is
    // left behind, and the next request goes out as usual.
    void hundred_time_outs_leave_no_threads() {
        fault("silent", "/silent");
        Client client;
        RequestOptions quick;
        quick.time_limit = 0;
        RequestOptions one_second;
        one_second.time_limit = 1;
        client.get(page("/warm-up"));
        const int before = thread_count();
        for (int i = 0; i < 100; ++i)
            QCOMPARE(bytes(client.get(page("/silent"), quick)), bytes(timeout_message()));
        for (int i = 0; i < 2; ++i)
            QCOMPARE(bytes(client.get(page("/silent"), one_second)), bytes(timeout_message()));
        QCOMPARE(thread_count(), before);
        QVERIFY(!client.get(page("/after")).empty());
    }

    // A cookie set without a Path attribute holds for the whole host, not only for the folder of
    // the page that set it (/__sim/ here), in the jar and for the browser alike.
    void a_cookie_without_a_path_holds_for_the_whole_host() {
        Client client;
        client.get(sim_.respond_url(200, {"Set-Cookie: bare=1", "Set-Cookie: scoped=2; Path=/__sim/"}, "ok"));
        const std::vector<Cookie> jar = client.network.cookies();
        QCOMPARE(std::count_if(jar.begin(), jar.end(), [](const Cookie& c) { return c.name == "bare"; }), 1);
        QCOMPARE(bytes(find_cookie(jar, "bare")->path), QByteArray("/"));
        QCOMPARE(bytes(find_cookie(jar, "scoped")->path), QByteArray("/__sim/"));
        QCOMPARE(client.heard(), (std::vector<std::string>{"bare=1 /", "scoped=2 /__sim/"}));

        sim_.clear_requests();
        client.get(page("/magent/top.aspx"));
        client.get(sim_.respond_url(200, {}, "again"));
        const auto requests = sim_.requests();
        QCOMPARE(requests.size(), 2u);
        QCOMPARE(bytes(requests[0].header("Cookie")), QByteArray("bare=1"));
        const QByteArray both = bytes(requests[1].header("Cookie"));
        QVERIFY2(both.count("bare=1") == 1 && both.contains("scoped=2"), both.constData());
    }
};

int run_exchange_tests(int argc, char** argv) {
    ExchangeTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "exchange_tests.moc"
